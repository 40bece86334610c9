// What the extraction tests need from the machine they run on, with one
// implementation for the host (where faults are injected) and one for
// Windows (where they are made for real).
#pragma once

#include <stdint.h>

#include <memory>
#include <string>

// The system directory that "SYSTEM/" names land in during a test: a folder
// below the scratch folder on the host, the real one under Wine.
std::string prepareSystemDirectory(const std::string& scratchFolder);

// Keeps a file open so that opening it for writing is refused for lack of
// access, as when a running program holds it without sharing.
class HeldFile {
public:
    explicit HeldFile(const std::string& path);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

private:
    std::string path_;
    void* handle_ = nullptr;
};

int64_t modificationTime(const std::string& path);  // -1 when missing
void setModificationTime(const std::string& path, int64_t time);

// Makes a file that opens for reading but cannot be deleted.
void makeUndeletable(const std::string& path);
void makeDeletable(const std::string& path);
