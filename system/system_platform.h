// The rest of what the completion needs from the system: one registry key
// with its values, programs started with or without a wait, and the
// debugger's output line. system_platform_win32.cpp does it with the Win32
// API and the runtime; the native tests link a stand-in that records each
// call and fails any of them on request.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace system_platform {

// Restricts the DLL search to the system directory where the system offers
// that, before anything could load a library.
void restrictDllSearch();

// GetVersionExA's platform identifier (PLATFORM_NT for the NT family).
uint32_t platformId();

// The string form ("S-1-5-21-...") of the account this process runs as,
// and of the account the desktop's shell runs as (the person signed in);
// false on the Windows 95 family, which has no accounts, without a
// desktop shell, or when it cannot be told.
bool processAccount(char* sid, size_t size);
bool desktopAccount(char* sid, size_t size);

struct RegistryKey;  // an open key, opaque to the logic

// Creates the key below HKEY_LOCAL_MACHINE, or opens it when it exists
// (its values stay), with full access; null when neither works.
RegistryKey* createMachineKey(const char* path);
void setTextValue(RegistryKey* key, const char* name, const char* text);
void setNumberValue(RegistryKey* key, const char* name, uint32_t number);
void closeKey(RegistryKey* key);
// Deletes a value of an open key; a value that is not there is no failure.
void deleteValue(RegistryKey* key, const char* name);
// Deletes a key below HKEY_LOCAL_MACHINE that has no subkeys; false when it
// stays (it is not there counts as gone).
bool deleteMachineKey(const char* path);

// One key of a private-profile settings file given without a directory
// (it lives in the Windows directory): the value, or `fallback` when the
// file or the key is missing, cut to `size` - 1 characters as the platform
// does.
void readSetting(const char* file, const char* section, const char* key, const char* fallback,
                 char* value, size_t size);
// Writes one key, or deletes it when `value` is null; whether it was
// written is of no interest to either program.
void writeSetting(const char* file, const char* section, const char* key, const char* value);

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
