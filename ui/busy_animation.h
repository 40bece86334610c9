// The program's timed wait: a ring of the letters of "Working" turning on
// the backdrop while another program or a service gets time to react.
#pragma once

#include <stdint.h>

// The ring's rotation step, 0 to 35; each call goes on where the last one
// stopped. Touched only by showBusyAnimation, on the GUI thread.
extern int32_t busyFrame;

// Blocks for ceil(durationMs / 100) frames of 100 ms (none for 0 or less),
// then puts the area of the backdrop back exactly as it was.
void showBusyAnimation(int32_t durationMs);
