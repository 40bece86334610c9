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

// A file that is busy (Tarnwick still open, say) goes at the next restart
// instead; failing that too leaves it, as there is nothing more to try.
void remove_file(const char* path) {
    if (DeleteFileA(path)) return;
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return;
    MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
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
    MoveFileExA(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);

    MessageBoxA(nullptr, "Tarnwick has been removed.", kCaption,
                MB_OK | MB_ICONINFORMATION);
    return 0;
}
