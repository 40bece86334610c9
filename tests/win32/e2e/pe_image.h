// What a Windows program file says about itself: machine, kind of image,
// subsystem and what it imports. Reads PE32 and PE32+ files.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace e2e {

enum : uint16_t {
    MACHINE_I386 = 0x14C,
    MACHINE_AMD64 = 0x8664,
    OPTIONAL_MAGIC_PE32 = 0x10B,
    OPTIONAL_MAGIC_PE32_PLUS = 0x20B,
    SUBSYSTEM_WINDOWS_GUI = 2,
    // A program that a Remote Desktop server runs without a private
    // Windows folder per user.
    TERMINAL_SERVER_AWARE = 0x8000,
};

// One imported function: by name, or by ordinal when `name` is empty.
struct ImportedFunction {
    std::string dll;  // as the image names it
    std::string name;
    uint32_t ordinal = 0;
};

struct PeImage {
    uint16_t machine = 0;
    uint16_t optionalMagic = 0;
    uint16_t subsystem = 0;
    uint16_t dllCharacteristics = 0;  // the optional header's flags
    std::vector<std::string> importedDlls;  // ordinary and delay-loaded, as named
    std::vector<ImportedFunction> importedFunctions;
};

// Parses the headers and import directories; false with a reason when the
// bytes are no well-formed image.
bool readPeImage(const std::vector<uint8_t>& file, PeImage* image, std::string* error);

}  // namespace e2e
