#include "ui/busy_animation.h"

#include <windows.h>

#include "state/setup_state.h"
#include "system/conversation.h"
#include "system/system_platform.h"
#include "ui/busy_layout.h"

int32_t busyFrame = 0;

namespace {

const char BUSY_TEXT[] = "Working";
const int BUSY_LETTERS = sizeof BUSY_TEXT - 1;
const COLORREF LETTER_COLOUR = RGB(255, 216, 216);

// Composes one frame off-screen: the saved background, then the letters at
// their places on the ring.
void composeFrame(HDC frame, HDC background, int dx, int dy) {
    BitBlt(frame, 0, 0, dx + 1, dy + 1, background, 0, 0, SRCCOPY);
    for (int i = 0; i < BUSY_LETTERS; ++i) {
        Point centre = letterCentre(busyFrame, i, BUSY_LETTERS, dx, dy);
        SIZE letter = {0, 0};
        GetTextExtentPoint32A(frame, &BUSY_TEXT[i], 1, &letter);
        SetBkMode(frame, TRANSPARENT);
        TextOutA(frame, centre.x - letter.cx / 2, centre.y - letter.cy / 2, &BUSY_TEXT[i], 1);
    }
}

// Whole milliseconds since `start`, rounded down, so that a frame never
// sleeps less than it has left.
int64_t millisecondsSince(const LARGE_INTEGER& start, const LARGE_INTEGER& frequency) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (now.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart;
}

}  // namespace

void showBusyAnimation(int32_t durationMs) {
    // Nobody to show it to: the wait stays, as a plain one.
    if (unattendedRun()) {
        system_platform::pause(durationMs);
        return;
    }
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    AnimationArea area = animationArea(desktop.left, desktop.top, desktop.right, desktop.bottom);
    int dx = area.right - area.left;
    int dy = area.bottom - area.top;

    // Without a backdrop the animation draws on the whole screen instead.
    HDC window = GetDC(setupState.backdropWindow);
    HBITMAP backgroundBitmap = CreateCompatibleBitmap(window, dx + 1, dy + 1);
    HBITMAP frameBitmap = CreateCompatibleBitmap(window, dx + 1, dy + 1);
    HDC background = CreateCompatibleDC(window);
    HDC frame = CreateCompatibleDC(window);
    HGDIOBJ previousBackgroundBitmap = SelectObject(background, backgroundBitmap);
    HGDIOBJ previousFrameBitmap = SelectObject(frame, frameBitmap);

    BitBlt(background, 0, 0, dx + 1, dy + 1, window, area.left, area.top, SRCCOPY);
    HGDIOBJ previousFont = SelectObject(frame, setupState.titleFont);
    SetTextColor(frame, LETTER_COLOUR);

    // The wait lasts its full number of frames whatever the drawing does,
    // and no longer than they take: each frame sleeps what is left of it
    // after its drawing. Where the system has no high-resolution counter
    // (the calls may fail), every frame sleeps whole, its drawing added.
    LARGE_INTEGER frequency, start;
    const bool paced = QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0 &&
                       QueryPerformanceCounter(&start);
    int frames = busyFrameCount(durationMs);
    for (int n = 0; n < frames; ++n) {
        composeFrame(frame, background, dx, dy);
        BitBlt(window, area.left, area.top, dx + 1, dy + 1, frame, 0, 0, SRCCOPY);
        Sleep(paced ? busyFrameSleep(n, millisecondsSince(start, frequency)) : BUSY_FRAME_MS);
        busyFrame = nextBusyFrame(busyFrame);
    }

    BitBlt(window, area.left, area.top, dx + 1, dy + 1, background, 0, 0, SRCCOPY);

    SelectObject(frame, previousFont);
    SelectObject(frame, previousFrameBitmap);
    SelectObject(background, previousBackgroundBitmap);
    ReleaseDC(setupState.backdropWindow, window);
    DeleteDC(frame);
    DeleteDC(background);
    DeleteObject(frameBitmap);
    DeleteObject(backgroundBitmap);
}
