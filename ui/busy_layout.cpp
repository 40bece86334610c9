#include "ui/busy_layout.h"

#include <math.h>

namespace {
// The turn is this constant exactly, not 2*pi to full precision, so letter
// positions are reproducible to the pixel.
const double FULL_TURN = 6.283185306;
}  // namespace

AnimationArea animationArea(int desktopLeft, int desktopTop, int desktopRight, int desktopBottom) {
    int qx = (desktopRight - desktopLeft) / 4;
    int qy = (desktopBottom - desktopTop) / 4;
    return AnimationArea{qx, qy, desktopRight - qx, desktopBottom - qy};
}

Point letterCentre(int busyFrame, int index, int count, int dx, int dy) {
    double angle = busyFrame * FULL_TURN / BUSY_STEPS + index * FULL_TURN / count;
    int x = dx / 2 + static_cast<int>(cos(angle) * dx * 3 / 8);
    int y = dy / 2 + static_cast<int>(sin(angle) * dy * 3 / 8);
    return Point{x, y};
}

int busyFrameCount(int32_t durationMs) {
    if (durationMs <= 0) return 0;
    return static_cast<int>((static_cast<int64_t>(durationMs) + BUSY_FRAME_MS - 1) / BUSY_FRAME_MS);
}

int nextBusyFrame(int busyFrame) { return (busyFrame + 1) % BUSY_STEPS; }

int32_t busyFrameSleep(int frame, int64_t elapsedMs) {
    const int64_t left = (static_cast<int64_t>(frame) + 1) * BUSY_FRAME_MS - elapsedMs;
    if (left <= 0) return 0;
    return left > BUSY_FRAME_MS ? BUSY_FRAME_MS : static_cast<int32_t>(left);
}
