// One run of the generator: product folder in, generated folder out; or a
// check of the product folder that writes nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "payloadgen/refusal.h"

namespace payloadgen {

struct Options {
    std::filesystem::path productDir;
    std::filesystem::path builtDir;
    std::filesystem::path outputDir;
    // The engine's built uninstaller, added as the payload's last file
    // unless the description names its own; "" adds nothing.
    std::filesystem::path uninstaller;
    unsigned threads = 0;    // 0: every core
    std::string nameSpace;   // "" puts the definitions at global scope
    // The time of the product's sources (a commit's time): no file is
    // stored with a later time, and the product's built programs, whose
    // file times are only the moment they were linked, take it. Times that
    // the description gives are kept as written. Unset: every file keeps
    // its own time.
    std::optional<int32_t> sourceTime;
    // Where the compression shows its progress (a terminal); null: nowhere.
    std::ostream* progress = nullptr;
};

struct Summary {
    std::size_t files = 0;
    std::size_t chunks = 0;
    uint64_t bytesIn = 0;    // sum of the payload files' sizes
    uint64_t bytesOut = 0;   // sum of the chunks' sizes
};

// Validates everything before writing anything, then brings the five
// outputs up to date. Throws Refusal, or Refusals when there are several,
// for every problem of the input or the output folder.
Summary generate(const Options& options);

struct CheckResult {
    std::string descriptionFile;     // the product.json that was read
    std::size_t files = 0;           // payload entries, the uninstaller added to them not counted
    uint64_t bytes = 0;              // size of the files that were looked at
    std::size_t uncheckedBuilt = 0;  // built entries not looked at (no built folder)
    std::vector<Refusal> warnings;   // see descriptionWarnings in rules.h
};

// Everything generate() would refuse, found without compressing or writing
// anything. With an empty `builtDir`, built entries are checked by name
// only, and refused when the product folder has no CMakeLists.txt to build
// them. Throws as generate() does.
CheckResult checkProduct(const std::filesystem::path& productDir,
                         const std::filesystem::path& builtDir);

// "payloadgen: DIR/product.json: ready: 4 files, 1234 bytes, 1 warning"
std::string checkLine(const CheckResult& result);

// Reads product.json alone, checks it and its payload names as generate()
// does, and brings the uninstaller's sources (uninstallerRecordSource and
// versionInfoHeader in emit.h) in `outputDir` up to date. It needs no built
// program: the uninstaller is built before the payload that holds it.
// Throws Refusal as generate() does.
void writeUninstallerSources(const std::filesystem::path& productDir,
                             const std::filesystem::path& outputDir);

// "payloadgen: 9 files, 14 chunks, 207931 bytes in, 98765 bytes out, ratio 0.475"
std::string summaryLine(const Summary& summary);

// Whether `name` can be both a C++ namespace and the start of an assembler
// label: an identifier of ASCII letters, digits and underscores.
bool isValidNamespace(std::string_view name);

// The agreement as the dialog needs it: a line feed without a carriage
// return before it becomes CR LF, since a Windows edit control breaks lines
// only there; CR LF and CR CR LF stay as written.
std::string withWindowsLineEnds(std::string_view text);

}  // namespace payloadgen
