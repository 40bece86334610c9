// The rest of what the completion needs from the system: one registry key
// with its values, programs started with or without a wait, and the
// debugger's output line. system_platform_win32.cpp does it with the Win32
// API and the runtime; the native tests link a stand-in that records each
// call and fails any of them on request.
#pragma once

#include <stdint.h>

namespace system_platform {

struct RegistryKey;  // an open key, opaque to the logic

// Creates the key below HKEY_LOCAL_MACHINE, or opens it when it exists
// (its values stay), with full access; null when neither works.
RegistryKey* createMachineKey(const char* path);
void setTextValue(RegistryKey* key, const char* name, const char* text);
void setNumberValue(RegistryKey* key, const char* name, uint32_t number);
void closeKey(RegistryKey* key);

// Starts a command line shown normally; the result does not matter to the
// run. Returns once the program first waits for input (or after a time
// limit of the system's), not when it ends: a run that starts the product
// at its end lasts until the product has started.
void startProgram(const char* commandLine);

// Runs `path` with argument zero `argumentZero` and up to two more (null
// ends them), which the runtime joins with blanks and does not quote; waits
// for it to end. Its exit code, or -1 when it could not be started.
int runAndWait(const char* path, const char* argumentZero, const char* first,
               const char* second);

// One line for a debugger; invisible to the user.
void debugOutput(const char* text);

}  // namespace system_platform
