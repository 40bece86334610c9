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

// Creates the folder `path`, never taking one that exists, with the access
// list of `securityDescriptor` (in the system's descriptor language) set
// as it is made, or the system's default when it is null or the system
// has no descriptor language (NT 4, the 95 family).
enum FolderMade { FOLDER_MADE, FOLDER_EXISTS, FOLDER_FAILED };
FolderMade createFolder(const char* path, const char* securityDescriptor);

// What an existing folder's security says: whether it is a junction or a
// link, its owner, and the entries that allow something, each trustee as
// text ("S-1-5-32-545"). A list missing altogether allows everyone all,
// and reads so. False when it cannot be read (the 95 family, NT 4, no
// right to read it) or holds more than MAX_ACCESS_ENTRIES entries.
enum { MAX_ACCESS_ENTRIES = 32, ACCOUNT_TEXT_SIZE = 192 };
struct AccessEntry {
    char trustee[ACCOUNT_TEXT_SIZE];
    uint32_t rights;
};
struct FolderSecurity {
    bool isLink;
    char owner[ACCOUNT_TEXT_SIZE];
    int entryCount;
    AccessEntry entries[MAX_ACCESS_ENTRIES];
};
bool readFolderSecurity(const char* path, FolderSecurity* security);

// Gives the folder the owner and the access list of `securityDescriptor`,
// its list protected from the parent's; false when that fails.
bool takeOverFolder(const char* path, const char* securityDescriptor);

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
// Writes one key, or deletes it when `value` is null; false when the
// system says it could not.
bool writeSetting(const char* file, const char* section, const char* key, const char* value);

// Whether this process runs elevated on Windows Vista or later (an
// administrator's full token behind the consent prompt); false anywhere
// else, and whenever it cannot be told.
bool runsElevatedOnVistaOrLater();

// Starts `program` with `arguments` (may be "") in `folder`, shown as
// SW_SHOW, through the desktop's shell, so that it runs as the person
// signed in, with their normal rights, rather than with this process's;
// false, with nothing started, when the shell cannot be reached that way
// (no desktop shell, any failure on the way).
bool startThroughDesktopShell(const char* program, const char* arguments, const char* folder);

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

// The process's whole command line, its program's name first.
const char* commandLine();

// Appends `line` and a line end to the file at `path`, which is made when
// missing; false when any of it fails.
bool appendLine(const char* path, const char* line);

// The local date and time, "2026-12-09 14:03:27".
void localTime(char* out, size_t size);

// Blocks for `ms` milliseconds and nothing else.
void pause(int32_t ms);

}  // namespace system_platform
