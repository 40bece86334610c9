// The uninstaller every product gets. It lives in the product's data
// folder as kluninst.exe and undoes what setup did there and around it:
// running copies are closed and the product's service removed as setup
// removes an old one, then the payload's files go, the program group's and
// the startup shortcut, the uninstall entry and the settings entry; the
// folder itself goes when nothing of the user's is left in it. The folder
// is found from the program's own path, so it works wherever the user
// chose to install. Portable: the system comes through the rooms' seams.
//
// A running program cannot delete its own file. So the first process asks
// the user and hands over to a copy of itself in a folder of its own below
// the temporary folder (a name nobody can predict, made new, and on the NT
// family closed to everyone but the system, the administrators and the
// user as it is made, so that nothing can be planted beside the copy),
// which does the work, hands its result back (the first process ends with
// it as its exit code), waits for the first process to end, deletes its
// file and the then empty folder, says what happened, and has its own
// file and folder deleted at the next restart. That works on both Windows
// families and needs no rights beyond those of the folder.
#pragma once

#include <stddef.h>
#include <stdint.h>

struct InstallerConfig;

// Exit codes, the same whether the user or a deployment tool ("/S") ran it.
enum UninstallResult {
    UNINSTALL_DONE = 0,             // everything removed (the user's own files stay)
    UNINSTALL_DECLINED = 1,         // the user answered No
    UNINSTALL_BAD_COMMAND_LINE = 2, // an argument it does not know
    UNINSTALL_FOLDER_UNKNOWN = 3,   // it cannot tell which folder it was installed in
    UNINSTALL_SERVICE_RUNS = 4,     // the service could not be stopped and removed: nothing was
    UNINSTALL_AT_RESTART = 5,       // removed, but files in use go at the next restart
    UNINSTALL_FILES_KEPT = 6,       // some files could not be removed
    UNINSTALL_NO_RESULT = 7,        // the finishing copy ended without a result
};

// Files that could not be removed at once: those the system deletes at the
// next restart, and those that stay.
struct Leftovers {
    uint32_t atRestart;
    uint32_t kept;
};

// The whole program for its command line's arguments (after its name).
int runUninstaller(const InstallerConfig& config, uint32_t platformId, const char* arguments);

// The work: closes running copies, removes the service, then the files,
// shortcuts and entries. The file `original` (the first process's own)
// stays for the caller. UNINSTALL_SERVICE_RUNS, said unless `silent`,
// before anything is deleted; else what the leftovers make of it.
int removeProduct(const InstallerConfig& config, uint32_t platformId, const char* folder,
                  const char* original, bool silent, Leftovers* leftovers);

// The finishing copy's folder below the temporary folder `temp` (which
// ends in a separator): "kun" and the 16 hex digits of `random`.
bool finisherFolderName(char* out, size_t size, const char* temp, uint64_t random);

// That folder's access list on the NT family, in the system's descriptor
// language: protected from its parent's, full control for SYSTEM, the
// administrators and the account `userSid` alone, inherited by what is
// made in it.
bool finisherFolderSecurity(char* out, size_t size, const char* userSid);

// The last word: removed, what could not be, and the user's files kept.
// False when it does not fit.
bool removedText(char* out, size_t size, const char* productName, const char* folder,
                 const Leftovers& leftovers, bool folderStays);
