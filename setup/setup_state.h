// The process-wide state of one run, carried from stage to stage.
#pragma once

#include <windows.h>

// Every text of the run fits a fixed buffer of this size (at most 1023
// characters and the NUL); a text that would not fit is an error.
enum { TEXT_BUFFER_SIZE = 1024 };

struct SetupState {
    HINSTANCE instance;     // the program's module: dialog and icon resources
    DWORD platformId;       // VER_PLATFORM_WIN32_NT (2), or the Windows 95 family
    HFONT titleFont;        // large title font of the backdrop and busy animation
    HWND backdropWindow;    // full-screen backdrop; owner of every dialog and message
    char windowTitle[TEXT_BUFFER_SIZE];         // "Install <product>"
    char dataFolder[TEXT_BUFFER_SIZE];          // chosen folder, "\" separators
    char programPath[TEXT_BUFFER_SIZE];         // data folder \ main executable
    char startupProgramPath[TEXT_BUFFER_SIZE];  // same, for the startup shortcut
    char uninstallerPath[TEXT_BUFFER_SIZE];     // data folder \ kluninst.exe
    char servicePath[TEXT_BUFFER_SIZE];         // data folder \ service executable
    char quotedServicePath[TEXT_BUFFER_SIZE];   // the same in double quotes
    char scratchText[TEXT_BUFFER_SIZE];         // captions and texts formatted on the way
};

extern SetupState setupState;
