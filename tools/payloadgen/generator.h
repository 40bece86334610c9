// One run of the generator: product folder in, generated folder out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace payloadgen {

struct Options {
    std::filesystem::path productDir;
    // When set, the run writes only this header for the product's
    // uninstaller (see writeUninstallHeader) and ignores the folders below.
    std::filesystem::path builtDir;
    std::filesystem::path outputDir;
    std::filesystem::path uninstallHeader;
    unsigned threads = 0;    // 0: every core
    std::string nameSpace;   // "" puts the definitions at global scope
};

struct Summary {
    std::size_t files = 0;
    std::size_t chunks = 0;
    uint64_t bytesIn = 0;    // sum of the payload files' sizes
    uint64_t bytesOut = 0;   // sum of the chunks' sizes
};

// Validates everything before writing anything, then brings the five
// outputs up to date. Throws Refusal for every problem of the input or the
// output folder.
Summary generate(const Options& options);

// Reads product.json alone, checks it and its payload names as generate()
// does, and brings the uninstaller's header (uninstallHeader in emit.h) at
// `header` up to date. It needs no built program: the uninstaller is built
// before the payload that holds it. Throws Refusal as generate() does.
void writeUninstallHeader(const std::filesystem::path& productDir,
                          const std::filesystem::path& header);

// "payloadgen: 9 files, 14 chunks, 207931 bytes in, 98765 bytes out, ratio 0.475"
std::string summaryLine(const Summary& summary);

// Whether `name` can be both a C++ namespace and the start of an assembler
// label: an identifier of ASCII letters, digits and underscores.
bool isValidNamespace(std::string_view name);

}  // namespace payloadgen
