// Writing an RGB picture as a PNG file, for screenshots a person can open.
#pragma once

#include <stdint.h>

#include <string>

namespace scripted_user {

// `pixels` holds `height` rows from the top, each `width` pixels of three
// bytes (red, green, blue) with no padding. False when the file cannot be
// written or the picture does not fit the format's 31-bit sizes.
bool writePng(const std::string& path, uint32_t width, uint32_t height, const uint8_t* pixels);

}  // namespace scripted_user
