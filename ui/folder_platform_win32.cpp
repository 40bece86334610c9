// The folder choice's machine on Windows: the C runtime (msvcrt) for the
// file system, kernel32 for settings, folders and disks, shfolder.dll for
// the Program Files folder.
#include <direct.h>
#include <stdlib.h>
#include <windows.h>

#include "common/bounded_text.h"
#include "common/path_rules.h"
#include "payload/payload_io.h"
#include "ui/data_folder_dialog.h"
#include "ui/folder_platform.h"
#include "ui/resource_ids.h"

namespace folder_platform {

namespace {

typedef HRESULT(WINAPI* GetFolderPathProc)(HWND, int, HANDLE, DWORD, LPSTR);
const int CSIDL_PROGRAM_FILES_ID = 38;

}  // namespace

// One status query for the whole engine: extraction's.
PathKind pathKind(const char* path) {
    payload_io::PathStatus status;
    if (!payload_io::pathStatus(path, &status)) return PATH_MISSING;
    return status.isDirectory ? PATH_DIRECTORY : PATH_FILE;
}

bool makeDirectory(const char* path) { return _mkdir(path) == 0; }

bool changeDirectory(const char* path) { return _chdir(path) == 0; }

int currentDrive() { return _getdrive(); }

bool windowsDirectory(char* buffer, size_t size) {
    UINT length = GetWindowsDirectoryA(buffer, static_cast<UINT>(size));
    return length > 0 && length < size;
}

// shfolder.dll is loaded from the system directory by its full path: a
// setup started from a downloads folder must never pick up a DLL of that
// name planted beside it or in the current directory.
bool programFilesFolder(WindowHandle owner, char* buffer, size_t size) {
    char library[PATH_BUFFER_SIZE];
    UINT length = GetSystemDirectoryA(library, sizeof library);
    if (length == 0 || length >= sizeof library) return false;
    if (!appendText(library, sizeof library, "\\shfolder.dll")) return false;
    HMODULE module = LoadLibraryA(library);
    if (!module) return false;
    // Through void* because FARPROC's type says nothing of the arguments.
    GetFolderPathProc getFolderPath = reinterpret_cast<GetFolderPathProc>(
        reinterpret_cast<void*>(GetProcAddress(module, "SHGetFolderPathA")));
    char path[PLATFORM_PATH_SIZE] = "";
    bool found = getFolderPath &&
                 getFolderPath(owner, CSIDL_PROGRAM_FILES_ID, nullptr, 0, path) >= 0;
    FreeLibrary(module);
    return found && copyText(buffer, size, path);
}

const char* environmentValue(const char* name) { return getenv(name); }

bool freeSpace(const char* root, DiskSpace* space) {
    DWORD sectors = 0, bytes = 0, freeClusters = 0, totalClusters = 0;
    if (!GetDiskFreeSpaceA(root, &sectors, &bytes, &freeClusters, &totalClusters)) return false;
    *space = DiskSpace{sectors, bytes, freeClusters, totalClusters};
    return true;
}

int runFolderDialog(ModuleHandle instance, WindowHandle owner) {
    return static_cast<int>(DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_CHOOSE_FOLDER), owner,
                                            dataFolderDialogProc, 0));
}

}  // namespace folder_platform
