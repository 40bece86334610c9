// The product's icon file: checked before the resource compiler reads it,
// and reduced to one image for the uninstaller.
#pragma once

#include <filesystem>
#include <string>

namespace payloadgen {

// Throws Refusal("icon", ...) naming `path` when `icon` is not a whole
// icon file: a 6-byte header (0, 1 for icons, the image count) and one
// 16-byte entry per image whose last two fields are the image's size and
// offset in the file.
void checkIcon(const std::string& icon, const std::filesystem::path& path);

// An icon file holding one image of a checked `icon`: of the 32 x 32
// images the one with the most colours, else the image nearest that size
// (the smaller file on a tie). The uninstaller carries it, so that a
// product's icon of many large images cannot push the uninstaller past
// one payload chunk; the shell scales one image for every view of it.
std::string reducedIcon(const std::string& icon);

}  // namespace payloadgen
