// What the data folder choice and the free-space check need from the
// machine, in our own words: the file system, the
// platform's folders, the environment, and the folder dialog itself.
// folder_platform_win32.cpp does it on Windows; the native tests link an
// in-memory machine with faults to order instead.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "common/handles.h"

namespace folder_platform {

enum PathKind { PATH_MISSING, PATH_DIRECTORY, PATH_FILE };

// What stands at the path, as the runtime's status query sees it: a
// directory named with a trailing separator is not found, a root only with
// one.
PathKind pathKind(const char* path);

// Creates the path's last component; false when it cannot be created.
bool makeDirectory(const char* path);

// Makes the path the process's current directory; false when it cannot.
bool changeDirectory(const char* path);

// The current drive: 1 for A, 2 for B, 3 for C.
int currentDrive();


// The Windows directory; false when it cannot be had or does not fit.
bool windowsDirectory(char* buffer, size_t size);

// The Program Files folder as the shell reports it (shfolder.dll from the
// system directory); false when the library, its function or the answer is
// missing, or the answer does not fit.
bool programFilesFolder(WindowHandle owner, char* buffer, size_t size);

// An environment variable's value; null when it is not set.
const char* environmentValue(const char* name);

struct DiskSpace {
    uint32_t sectorsPerCluster;
    uint32_t bytesPerSector;
    uint32_t freeClusters;
    uint32_t totalClusters;
};
// The free space of a drive given by its root ("C:\"); false when the
// drive cannot be queried.
bool freeSpace(const char* root, DiskSpace* space);

// Runs the modal "Choose a Folder" dialog owned by `owner`: 1 when OK
// accepted a folder (it stands in setupState.dataFolder), 0 when the user
// cancelled, -1 when the dialog could not be shown.
int runFolderDialog(ModuleHandle instance, WindowHandle owner);

}  // namespace folder_platform
