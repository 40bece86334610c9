// The stages of one installation, in the order the user meets them.
// Portable: the Win32 shell comes through setup_platform.h and
// ui/folder_platform.h.
#pragma once

#include "common/handles.h"

// Runs the whole installation for the module `instance`, as the process's
// command line asks; returns the process's exit status (0 on every path
// with a person at the screen). A declined agreement ends the process from
// inside.
int runSetup(ModuleHandle instance);

struct InstallerConfig;

// The same for a given record and the arguments after the program's name;
// the run reads nothing else of the product.
int runSetupWith(ModuleHandle instance, const InstallerConfig& config, const char* arguments);
