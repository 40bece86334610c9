// The arithmetic of the busy animation: its area, where each letter of the
// ring stands, how many frames a wait draws. Portable: no <windows.h>.
#pragma once

#include <stdint.h>

enum { BUSY_STEPS = 36, BUSY_FRAME_MS = 100 };

// Inclusive rectangle in the backdrop's client coordinates: the middle half
// of the desktop in each direction.
struct AnimationArea {
    int left, top, right, bottom;
};

struct Point {
    int x, y;
};

AnimationArea animationArea(int desktopLeft, int desktopTop, int desktopRight, int desktopBottom);

// Centre of letter `index` of `count` at rotation step `busyFrame`, in area
// coordinates (dx = right - left, dy = bottom - top). The ring is an ellipse
// with semi-axes 3/8 of dx and dy, turning clockwise on the screen.
Point letterCentre(int busyFrame, int index, int count, int dx, int dy);

// ceil(durationMs / 100) frames for a positive duration, none otherwise.
int busyFrameCount(int32_t durationMs);

// The rotation step after one more frame.
int nextBusyFrame(int busyFrame);

// How long frame `frame` (0 the first) sleeps once it is drawn, `elapsedMs`
// after the first was begun: frame n ends (n + 1) * 100 ms after that, so
// that drawing comes out of the frames' sleep instead of adding to the
// wait. Never more than a frame's 100 ms, none for a frame already late.
int32_t busyFrameSleep(int frame, int64_t elapsedMs);
