// A fresh folder per test that is also the current directory while the test
// runs, since payload names resolve against the current directory.
#pragma once

#include <filesystem>
#include <string>

#include "support/test_payload.h"

class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::filesystem::path previous_;
};

Bytes readFile(const std::string& path);
void writeFile(const std::string& path, const Bytes& content);
bool exists(const std::string& path);
