// The program's timed wait, as the system room's steps need it: another
// program or a service gets time to react while the user sees that the
// setup is at work. The setup windows provide it (ui/busy_animation.cpp):
// a ring of the letters of "Working" turning on the backdrop.
#pragma once

#include <stdint.h>

// Blocks for ceil(durationMs / 100) frames of 100 ms (none for 0 or less).
void showBusyAnimation(int32_t durationMs);
