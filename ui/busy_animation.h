// The program's timed wait: a ring of the letters of "Working" turning on
// the backdrop while another program or a service gets time to react.
#pragma once

#include <stdint.h>

#include "system/timed_wait.h"

// The ring's rotation step, 0 to 35; each call goes on where the last one
// stopped. Touched only by showBusyAnimation, on the GUI thread.
extern int32_t busyFrame;

// showBusyAnimation (system/timed_wait.h) puts the area of the backdrop
// back exactly as it was when its frames are done.
