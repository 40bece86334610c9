// What is on the screen: whole-screen captures saved as PNG, and single
// pixels for checks of colour.
#pragma once

#include <windows.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace scripted_user {

struct Capture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // rows from the top, 3 bytes a pixel, no padding
};

struct Rgb {
    uint8_t red, green, blue;
};

// Copies the whole screen; false when GDI refuses.
bool captureScreen(Capture* capture);

// The colour at a point of the screen; false outside it or when GDI refuses.
bool pixelAt(int x, int y, Rgb* colour);

// Waits until two captures in a row are the same (a window just shown may
// still be painting its controls), then saves the last one as a PNG file.
// Saves what it has when the screen does not settle in time.
bool saveScreenshot(const std::string& path, DWORD settleMilliseconds = 2000);

}  // namespace scripted_user
