#include "scripted_user/screen.h"

#include "scripted_user/deadline.h"
#include "scripted_user/png_writer.h"
#include "scripted_user/top_windows.h"

namespace scripted_user {

namespace {

// Copies a rectangle of the screen into a top-down 24-bit DIB section and
// returns it as RGB rows. DIB rows are padded to 4 bytes and stored BGR.
bool copyScreenRectangle(int left, int top, int width, int height, std::vector<uint8_t>* rgb) {
    HDC screen = GetDC(nullptr);
    if (!screen) return false;
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // negative: the first row is the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = memory ? CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0)
                            : nullptr;
    bool copied = false;
    if (bitmap) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        copied = BitBlt(memory, 0, 0, width, height, screen, left, top, SRCCOPY) != 0;
        GdiFlush();
        SelectObject(memory, previous);
    }
    if (copied) {
        const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
        const uint8_t* source = static_cast<const uint8_t*>(bits);
        rgb->resize(static_cast<size_t>(width) * height * 3);
        uint8_t* out = rgb->data();
        for (int y = 0; y < height; ++y) {
            const uint8_t* row = source + y * stride;
            for (int x = 0; x < width; ++x) {
                *out++ = row[x * 3 + 2];
                *out++ = row[x * 3 + 1];
                *out++ = row[x * 3];
            }
        }
    }
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return copied;
}

}  // namespace

bool captureScreen(Capture* capture) {
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    if (width <= 0 || height <= 0) return false;
    if (!copyScreenRectangle(0, 0, width, height, &capture->rgb)) return false;
    capture->width = width;
    capture->height = height;
    return true;
}

bool pixelAt(int x, int y, Rgb* colour) {
    if (x < 0 || y < 0 || x >= GetSystemMetrics(SM_CXSCREEN) ||
        y >= GetSystemMetrics(SM_CYSCREEN)) {
        return false;
    }
    std::vector<uint8_t> rgb;
    if (!copyScreenRectangle(x, y, 1, 1, &rgb)) return false;
    *colour = {rgb[0], rgb[1], rgb[2]};
    return true;
}

namespace {

// Captures the screen until it settles: several polls in a row without
// change (two captures taken back to back agree even while a paint is
// pending), or the time is up. A capture counts only when `shows` holds
// before and after it, and capturing stops once it no longer does.
// `last` receives the last capture that counted; false when none did.
// `whole` tells whether that one can be trusted to show a window fully
// painted: it agreed with the capture before it, or the time ran out while
// the screen kept changing under a window that still showed.
template <typename Shows>
bool captureSettled(DWORD settleMilliseconds, Shows shows, Capture* last, bool* whole) {
    const int settledPolls = 3;
    bool have = false, went = false;
    int unchanged = 0;
    pollUntil(settleMilliseconds, [&] {
        Capture next;
        if (!shows() || !captureScreen(&next) || !shows()) {
            went = !shows();
            return went;
        }
        unchanged = have && next.rgb == last->rgb ? unchanged + 1 : 0;
        *last = std::move(next);
        have = true;
        return unchanged >= settledPolls;
    });
    *whole = unchanged > 0 || !went;
    return have;
}

bool savePng(const std::string& path, const Capture& capture) {
    return writePng(path, static_cast<uint32_t>(capture.width),
                    static_cast<uint32_t>(capture.height), capture.rgb.data());
}

}  // namespace

bool saveScreenshot(const std::string& path, DWORD settleMilliseconds) {
    Capture last;
    bool whole = false;
    return captureSettled(settleMilliseconds, [] { return true; }, &last, &whole) &&
           savePng(path, last);
}

bool saveWindowScreenshot(const std::string& path, HWND window, DWORD settleMilliseconds) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    const std::vector<HWND> shown = visibleTopLevelWindows(processId);
    if (shown.empty() || shown.front() != window) return false;
    Capture last;
    bool whole = false;
    return captureSettled(settleMilliseconds,
                          [&] { return visibleTopLevelWindows(processId) == shown; }, &last,
                          &whole) &&
           whole && savePng(path, last);
}

}  // namespace scripted_user
