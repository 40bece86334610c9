// Tarnwick's uninstaller. It lives in the product's folder and removes the
// files the installer put there; the folder is found from its own path, so
// it works wherever the user chose to install.

#include <windows.h>

namespace {

const char kCaption[] = "Uninstall Tarnwick";

// Everything the installer copies beside this program, except this program.
const char* const kProductFiles[] = {
    "tarnwick.exe",
    "help.htm",
    "tw.gif",
    "tw-target.gif",
    "tw-head-prologue.twr",
    "tw-body-prologue.twr",
    "tw-body-epilogue.twr",
    "tw-menu-insert.twr",
};

// Fills `folder` with this program's folder, ending in a backslash.
bool own_folder(char* folder, DWORD size) {
    const DWORD length = GetModuleFileNameA(nullptr, folder, size);
    // A full buffer means the path was cut short: no folder can be trusted.
    if (length == 0 || length >= size) return false;
    char* slash = nullptr;
    for (char* p = folder; *p; ++p)
        if (*p == '\\' || *p == '/') slash = p;
    if (!slash) return false;
    slash[1] = '\0';
    return true;
}

bool join(char* out, int outSize, const char* folder, const char* name) {
    const int folderLength = lstrlenA(folder);
    if (folderLength + lstrlenA(name) + 1 > outSize) return false;
    lstrcpyA(out, folder);
    lstrcpyA(out + folderLength, name);
    return true;
}

typedef BOOL(WINAPI* MoveFileExProc)(LPCSTR, LPCSTR, DWORD);

// The Windows 95 family's WININIT.EXE deletes, at the next start, every
// file named by a NUL= line of the [rename] section of WININIT.INI, by its
// short name: it runs before long names are available. The section may
// hold several NUL= lines, which the key functions would fold into one, so
// the whole section is read, extended and written back.
void delete_at_restart_by_wininit(const char* path) {
    static char section[32768];
    char line[MAX_PATH + 4] = "NUL=";
    const DWORD shortLength = GetShortPathNameA(path, line + 4, MAX_PATH);
    if (shortLength == 0 || shortLength >= MAX_PATH) return;
    char windows[MAX_PATH];
    char wininit[MAX_PATH];
    const UINT windowsLength = GetWindowsDirectoryA(windows, sizeof(windows));
    if (windowsLength == 0 || windowsLength >= sizeof(windows) ||
        !join(wininit, sizeof(wininit), windows, "\\WININIT.INI"))
        return;
    const DWORD used = GetPrivateProfileSectionA("rename", section, sizeof(section), wininit);
    const int lineLength = lstrlenA(line);
    if (used + lineLength + 2 > sizeof(section)) return;
    lstrcpyA(section + used, line);
    section[used + lineLength + 1] = '\0';
    WritePrivateProfileSectionA("rename", section, wininit);
}

// Deletes the file when the system next starts. MoveFileEx is looked up at
// run time: the Windows 95 family's kernel32 does not implement it, and
// there WININIT.INI does the same.
void delete_at_restart(const char* path) {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    MoveFileExProc moveFileEx = kernel ? reinterpret_cast<MoveFileExProc>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "MoveFileExA"))) : nullptr;
    if (moveFileEx && moveFileEx(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return;
    const bool windows95Family = (GetVersion() & 0x80000000u) != 0;
    if (windows95Family) delete_at_restart_by_wininit(path);
}

// A file that is busy (Tarnwick still open, say) goes at the next restart
// instead; failing that too leaves it, as there is nothing more to try.
void remove_file(const char* path) {
    if (DeleteFileA(path)) return;
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return;
    delete_at_restart(path);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (MessageBoxA(nullptr,
                    "Do you want to remove Tarnwick from this computer?\n\n"
                    "Your own pages in its data folder will be kept.",
                    kCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return 0;

    char self[MAX_PATH];
    char folder[MAX_PATH];
    if (!own_folder(folder, sizeof(folder)) ||
        !GetModuleFileNameA(nullptr, self, sizeof(self))) {
        MessageBoxA(nullptr,
                    "Tarnwick could not be removed: the uninstaller cannot "
                    "tell which folder it was installed in.",
                    kCaption, MB_OK | MB_ICONERROR);
        return 1;
    }

    char path[MAX_PATH];
    for (const char* name : kProductFiles)
        if (join(path, sizeof(path), folder, name)) remove_file(path);

    // A running program cannot delete its own file; Windows can at restart.
    // Without the rights for that the file simply stays behind.
    delete_at_restart(self);

    MessageBoxA(nullptr, "Tarnwick has been removed.", kCaption,
                MB_OK | MB_ICONINFORMATION);
    return 0;
}
