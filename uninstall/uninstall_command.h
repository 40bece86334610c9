// The uninstaller's command line. A user, the system's list of programs or
// a deployment tool starts it with no argument or with "/S"; it starts its
// own finishing copy with "-finish" and what the copy needs to know.
// Portable: no <windows.h>.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "common/command_line.h"
#include "common/path_rules.h"

struct UninstallCommand {
    bool finisher;          // the copy that finishes the removal
    bool silent;            // "/S": no question, no message, only an exit code
    uint32_t firstProcess;  // finisher: a handle of the first process to wait for
    uint32_t resultPipe;    // finisher: a handle to hand the result through
    char original[PATH_BUFFER_SIZE];  // finisher: the first process's own file
};

// The arguments after the program's name. False for anything but none,
// "/S" (either case), or a well-formed finisher's line; `command` then
// still says whether "/S" was among them, so a silent caller stays silent.
bool parseUninstallCommand(const char* arguments, UninstallCommand* command);

// The finisher's arguments for parseUninstallCommand to read back; false
// when they do not fit.
bool formatFinisherArguments(char* out, size_t size, uint32_t firstProcess, uint32_t resultPipe,
                             bool silent, const char* original);
