// setup.exe's command line. A person starts it with none; whoever deploys
// it to many machines starts it unattended:
//
//   setup.exe /S [/LOG=file] [/D=folder]
//
// Switches are read without regard to case. /LOG= takes a path, in double
// quotes when it holds blanks. /D= comes last and takes the rest of the
// line as the data folder itself, quotes allowed. Without /S every argument
// but /LOG= is ignored. Portable: no <windows.h>.
#pragma once

#include "common/path_rules.h"

struct SetupCommand {
    bool unattended;                  // /S
    bool understood;                  // every argument was one of the above, well formed
    char logPath[PATH_BUFFER_SIZE];   // "" for none
    char folder[PATH_BUFFER_SIZE];    // /D=, "" for none
    char refused[PATH_BUFFER_SIZE];   // the first argument not understood
};

// Reads the arguments after the program's name.
void parseSetupCommand(const char* arguments, SetupCommand* command);
