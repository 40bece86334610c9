// The process-wide state of one run, carried from stage to stage. Every
// room above this one reads it; it includes none of them and no
// <windows.h>, so the portable decisions can use it on any host.
#pragma once

#include <stdint.h>

#include "common/handles.h"
#include "common/path_rules.h"

// Every text of the run fits a fixed buffer of this size (at most 1023
// characters and the NUL); a text that would not fit is an error.
enum { TEXT_BUFFER_SIZE = PATH_BUFFER_SIZE };

// GetVersionExA's platform identifier of the NT family; any other value is
// the Windows 95 family.
enum { PLATFORM_NT = 2 };

struct SetupState {
    ModuleHandle instance;    // the program's module: dialog and icon resources
    uint32_t platformId;      // PLATFORM_NT, or the Windows 95 family
    FontHandle titleFont;     // large title font of the backdrop and busy animation
    WindowHandle backdropWindow;  // full-screen backdrop; owner of every dialog and message
    char windowTitle[TEXT_BUFFER_SIZE];         // "Install <product>"
    char dataFolder[TEXT_BUFFER_SIZE];          // chosen folder, "\" separators
    char programPath[TEXT_BUFFER_SIZE];         // data folder \ main executable
    char startupProgramPath[TEXT_BUFFER_SIZE];  // same, for the startup shortcut
    char uninstallerPath[TEXT_BUFFER_SIZE];     // data folder \ kluninst.exe
    char servicePath[TEXT_BUFFER_SIZE];         // data folder \ service executable
    char quotedServicePath[TEXT_BUFFER_SIZE];   // the same in double quotes
    char scratchText[TEXT_BUFFER_SIZE];         // captions and texts formatted on the way
    char earlierFolder[TEXT_BUFFER_SIZE];       // recorded before this run; "" for none
    bool oldServiceRemoved;                     // this run deleted the earlier service
    char namedFolder[TEXT_BUFFER_SIZE];         // the command line's folder; "" for none
};

extern SetupState setupState;
