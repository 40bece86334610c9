// The progress dialog's percentage line. Portable: no <windows.h>.
#pragma once

#include <stddef.h>

// "Percent Complete: N%" with one blank; the percentage is written as it
// comes, unclamped. False when the buffer is too small.
bool formatPercentLine(char* buffer, size_t size, int percent);
