// The product's parameters: one constant record per build, emitted by the
// payload generator from the product folder and linked in before WinMain runs.
#pragma once

#include <stdint.h>

// Field order and widths are fixed: every Part of the engine reads the record
// directly, and the generator emits an aggregate initialiser in this order.
// A text is never null; an empty text is "".
struct InstallerConfig {
    const char* groupName;          // program group; leaf of the default data folder
    const char* productName;        // display name; title prefix of running copies
    const char* settingsFileName;   // private-profile file holding Options/dataDir
    int32_t offerStartupShortcut;   // flag: a Startup-group shortcut may be made
    const char* startupPrompt;      // question asked before that shortcut
    const char* mainExecutable;     // the product's program in the data folder
    const char* startupArguments;   // arguments of the startup shortcut and start
    int32_t warnOfRunningCopies;    // flag: only warn instead of closing copies
    int32_t runHelperInstaller;     // flag: run quellsv.exe after installation
    const char* serviceExecutable;  // NT service program; "" when there is none
    uint32_t requiredMegabytes;     // free space needed, below 4096
    const char* serviceName;        // service registered with the SCM
    const char* startupShortcutName;  // "" means productName
    const char* version;    // "" or one to four dot-separated numbers
    const char* publisher;  // "" when not given
};

extern const InstallerConfig installerConfig;

// The licence agreement shown read-only by the agreement dialog; its line
// breaks are stored as the product supplies them (CR CR LF for Tarnwick).
extern const char agreementText[];
