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

// A picture named after a window, which must show that window: saved only
// from captures taken while `window` stays the front one of its program's
// visible windows and none of them comes or goes, once two such captures in
// a row agree (or more, as above). False, with no file, when the window
// went or another came before that: a quick window (a progress dialog that
// is done at once) may leave no picture at all, never one of what came
// after it.
bool saveWindowScreenshot(const std::string& path, HWND window,
                          DWORD settleMilliseconds = 2000);

}  // namespace scripted_user
