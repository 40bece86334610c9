// payloadgen: the build-time generator of the setup program's payload.
#include <unistd.h>

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "payloadgen/cli.h"

int main(int argc, char** argv) {
    try {
        // Progress is for a person at a terminal, never for a build log.
        return payloadgen::runPayloadgen(std::vector<std::string>(argv + 1, argv + argc),
                                         std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
    } catch (const std::exception& error) {
        std::cerr << "payloadgen: " << error.what() << "\n";
        return 1;
    }
}
