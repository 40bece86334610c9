// The stages of one installation, in the order the user meets them.
#pragma once

#include <windows.h>

// Runs the whole installation for the module `instance`; returns the
// process's exit status, 0 on every path.
int runSetup(HINSTANCE instance);
