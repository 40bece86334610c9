// payloadgen: the build-time generator of the setup program's payload.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "payloadgen/cli.h"

int main(int argc, char** argv) {
    try {
        return payloadgen::runPayloadgen(std::vector<std::string>(argv + 1, argv + argc),
                                         std::cout, std::cerr);
    } catch (const std::exception& error) {
        std::cerr << "payloadgen: " << error.what() << "\n";
        return 1;
    }
}
