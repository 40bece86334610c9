// The product's uninstaller. It lives in the product's data folder and undoes
// what setup did there and around it: the payload files, the program group's
// shortcuts, the startup shortcut, the uninstall entry and the settings
// entry; the folder itself goes when nothing of the user's is left in it.
// The folder is found from its own path, so it works wherever the user chose
// to install. Every name it removes comes from the product description,
// through the header that the generator writes for it (uninstall.h).
//
// A running program cannot delete its own file. So, once everything else is
// gone, it copies itself to the temporary folder and starts the copy with
// "-finish", a handle to this process, what could not be removed, and its own
// path. The copy waits for this process to end, deletes its file and the
// folder if empty, says that the product was removed, and has its own file
// deleted at the next restart. That works on both Windows families and needs
// no rights beyond those of the folder.

#include <windows.h>
#include <shlobj.h>

#include "uninstall.h"

namespace {

// Every path and text: at most 1023 characters and the NUL. A path that
// does not fit is skipped, never shortened.
enum { kPathSize = 1024 };

// The question and the messages hold the product's name, the group's and a
// path at most; names this short keep every text well inside its buffer.
static_assert(sizeof(uninstall::productName) < 128 && sizeof(uninstall::groupName) < 128 &&
                  sizeof(uninstall::startupShortcutName) < 128,
              "the product's names must stay short");
// A service would have to be stopped and deleted before its program file;
// this uninstaller does not do that.
static_assert(sizeof(uninstall::serviceName) == 1,
              "the product has a service, which this uninstaller cannot remove");

const char kFinishArgument[] = "-finish";
const char kUninstallKeyPrefix[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// Waits, in milliseconds: for the product's windows to let go of its
// program, as setup gives them; for the first process to end; for a file
// that the ended process held to become deletable.
const DWORD kCloseWaitMs = 8000;
const DWORD kOriginalEndWaitMs = 30000;
const DWORD kReleaseWaitMs = 5000;
const DWORD kPollMs = 100;

// Files that could not be removed: those that Windows deletes at the next
// restart, and those that stay. They decide the final message.
struct Leftovers {
    unsigned long atRestart;
    unsigned long kept;
};

// `out` becomes `text` appended to what it holds; false, with `out` as it
// was, when the result would not fit in `size` bytes.
bool append(char* out, int size, const char* text) {
    const int used = lstrlenA(out);
    const int length = lstrlenA(text);
    if (used + length >= size) return false;
    lstrcpyA(out + used, text);
    return true;
}

bool copy_text(char* out, int size, const char* text) {
    out[0] = '\0';
    return append(out, size, text);
}

// `folder` "\" `name`, with "/" in the name turned into "\".
bool join(char* out, int size, const char* folder, const char* name) {
    if (!copy_text(out, size, folder) || !append(out, size, "\\") || !append(out, size, name)) return false;
    for (char* p = out; *p; ++p)
        if (*p == '/') *p = '\\';
    return true;
}

// `value` in decimal, or in upper-case hex when `base` is 16.
void append_number(char* out, int size, unsigned long value, unsigned base, bool* fits) {
    char digits[24];
    int at = sizeof(digits) - 1;
    digits[at] = '\0';
    do {
        digits[--at] = "0123456789ABCDEF"[value % base];
        value /= base;
    } while (value != 0);
    *fits = *fits && append(out, size, digits + at);
}

// Equal but for the case of ASCII letters, as the file system compares
// the names this program builds.
bool same_name(const char* a, const char* b) {
    for (;; ++a, ++b) {
        char x = *a, y = *b;
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
        if (!x) return true;
    }
}

// Reads one decimal number; false when `text` holds anything else.
bool parse_number(const char* text, unsigned long* value) {
    if (!*text) return false;
    unsigned long result = 0;
    for (; *text; ++text) {
        if (*text < '0' || *text > '9' || result > 400000000ul) return false;
        result = result * 10 + static_cast<unsigned long>(*text - '0');
    }
    *value = result;
    return true;
}

// Cuts `path` at its last "\"; false when it has none.
bool cut_last_component(char* path) {
    char* slash = nullptr;
    for (char* p = path; *p; ++p)
        if (*p == '\\') slash = p;
    if (!slash) return false;
    *slash = '\0';
    return true;
}

// The next argument of a command line, quotes taken off; false at the end
// or when it does not fit.
bool next_argument(const char** line, char* out, int size) {
    const char* p = *line;
    while (*p == ' ' || *p == '\t') ++p;
    if (!*p) return false;
    int length = 0;
    bool quoted = false;
    for (; *p && (quoted || (*p != ' ' && *p != '\t')); ++p) {
        if (*p == '"') {
            quoted = !quoted;
            continue;
        }
        if (length + 1 >= size) return false;
        out[length++] = *p;
    }
    out[length] = '\0';
    *line = p;
    return true;
}

bool file_exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

typedef BOOL(WINAPI* MoveFileExProc)(LPCSTR, LPCSTR, DWORD);

// The Windows 95 family's WININIT.EXE deletes, at the next start, every
// file named by a NUL= line of the [rename] section of WININIT.INI, by its
// short name: it runs before long names are available. The section may
// hold several NUL= lines, which the key functions would fold into one, so
// the whole section is read, extended and written back.
bool delete_at_restart_by_wininit(const char* path) {
    static char section[32768];
    char line[MAX_PATH + 4] = "NUL=";
    const DWORD shortLength = GetShortPathNameA(path, line + 4, MAX_PATH);
    if (shortLength == 0 || shortLength >= MAX_PATH) return false;
    char windows[MAX_PATH];
    char wininit[MAX_PATH];
    const UINT windowsLength = GetWindowsDirectoryA(windows, sizeof(windows));
    if (windowsLength == 0 || windowsLength >= sizeof(windows) ||
        !join(wininit, sizeof(wininit), windows, "WININIT.INI"))
        return false;
    const DWORD used = GetPrivateProfileSectionA("rename", section, sizeof(section), wininit);
    const int lineLength = lstrlenA(line);
    if (used + lineLength + 2 > sizeof(section)) return false;
    lstrcpyA(section + used, line);
    section[used + lineLength + 1] = '\0';
    return WritePrivateProfileSectionA("rename", section, wininit) != FALSE;
}

// Has the file deleted when the system next starts. MoveFileEx is looked up
// at run time: the Windows 95 family's kernel32 does not implement it, and
// there WININIT.INI does the same.
bool delete_at_restart(const char* path) {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    MoveFileExProc moveFileEx = kernel ? reinterpret_cast<MoveFileExProc>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "MoveFileExA"))) : nullptr;
    if (moveFileEx && moveFileEx(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return true;
    const bool windows95Family = (GetVersion() & 0x80000000u) != 0;
    return windows95Family && delete_at_restart_by_wininit(path);
}

// True when the file is gone, or was never there.
bool delete_now(const char* path) { return DeleteFileA(path) || !file_exists(path); }

// A file that is busy goes at the next restart instead; failing that too,
// it stays.
void remove_file(const char* path, Leftovers* leftovers) {
    if (delete_now(path)) return;
    if (delete_at_restart(path))
        ++leftovers->atRestart;
    else
        ++leftovers->kept;
}

bool starts_with_product_name(const char* title) {
    for (const char* name = uninstall::productName; *name; ++name, ++title)
        if (*title != *name) return false;
    return true;
}

// Asks every top-level window of the product to close, as setup does
// before it replaces the files: the title begins with the product's name,
// compared with case. The message is posted, never sent, so a copy that
// hangs cannot hang the uninstaller too.
BOOL CALLBACK close_product_window(HWND window, LPARAM) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) return TRUE;
    char title[kPathSize];
    if (GetWindowTextA(window, title, sizeof(title)) > 0 && starts_with_product_name(title))
        PostMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}

// Closes running copies, then gives them until the product's program can
// be deleted, for at most kCloseWaitMs.
void close_running_copies(const char* folder) {
    EnumWindows(close_product_window, 0);
    char program[kPathSize];
    if (!join(program, sizeof(program), folder, uninstall::mainExecutable)) return;
    for (DWORD waited = 0; waited < kCloseWaitMs; waited += kPollMs) {
        if (delete_now(program)) return;
        Sleep(kPollMs);
    }
}

bool is_system_name(const char* name) {
    const char prefix[] = "SYSTEM";
    for (int i = 0; i < 6; ++i)
        if (name[i] != prefix[i]) return false;
    return name[6] == '/' || name[6] == '\\';
}

// Removes the payload's files from the data folder, and each folder that a
// payload name made once it is empty. Files in the system directory stay:
// they are shared by nature (setup writes one there only when it is newer
// than the one in place, which another program may have put there and still
// need), and nothing records who else uses them, so removing one could
// break another program. This program's own file is the copy's to remove.
void remove_payload(const char* folder, const char* self, Leftovers* leftovers) {
    const int folderLength = lstrlenA(folder);
    for (int i = 0; i < uninstall::payloadNameCount; ++i) {
        if (is_system_name(uninstall::payloadNames[i])) continue;
        char path[kPathSize];
        if (!join(path, sizeof(path), folder, uninstall::payloadNames[i]) || same_name(path, self))
            continue;
        remove_file(path, leftovers);
        while (cut_last_component(path) && lstrlenA(path) > folderLength && RemoveDirectoryA(path)) {
        }
    }
}

// The path of a special folder of the shell (CSIDL_...); false when it has
// none or it does not fit.
bool special_folder(int which, char* out) {
    LPITEMIDLIST items = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, which, &items))) return false;
    char path[MAX_PATH];
    const bool found = SHGetPathFromIDListA(items, path) != FALSE;
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator))) {
        allocator->Free(items);
        allocator->Release();
    }
    return found && copy_text(out, kPathSize, path);
}

void remove_link(const char* folder, const char* name) {
    char path[kPathSize];
    if (join(path, sizeof(path), folder, name) && append(path, sizeof(path), ".lnk")) DeleteFileA(path);
}

// The program group's two shortcuts and the group when nothing else is in
// it, then the startup shortcut. The shell is told of the removed group, as
// setup tells it of the group it makes.
void remove_shortcuts() {
    char folder[kPathSize];
    char group[kPathSize];
    if (special_folder(CSIDL_PROGRAMS, folder) && join(group, sizeof(group), folder, uninstall::groupName)) {
        remove_link(group, uninstall::productName);
        remove_link(group, "Uninstall");
        if (RemoveDirectoryA(group)) SHChangeNotify(SHCNE_RMDIR, SHCNF_PATHA, group, nullptr);
    }
    if (special_folder(CSIDL_STARTUP, folder))
        remove_link(folder, uninstall::startupShortcutName[0] ? uninstall::startupShortcutName
                                                              : uninstall::productName);
}

void remove_registration() {
    char key[kPathSize];
    if (copy_text(key, sizeof(key), kUninstallKeyPrefix) && append(key, sizeof(key), uninstall::productName))
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
    WritePrivateProfileStringA("Options", "dataDir", nullptr, uninstall::settingsFileName);
}

void caption(char* out) {
    copy_text(out, kPathSize, "Uninstall ");
    append(out, kPathSize, uninstall::productName);
}

// The last word: removed, what could not be, and the user's files kept.
// Once every file of the product is gone, a folder that stays holds files
// of the user's; while some are only due to go at the next restart, the
// folder's staying says nothing about the user's files, and nor does this.
void say_removed(const char* folder, const Leftovers& leftovers) {
    const bool userFiles = leftovers.atRestart == 0 && leftovers.kept == 0 && file_exists(folder);
    char text[3 * kPathSize];
    bool fits = copy_text(text, sizeof(text), uninstall::productName) &&
                append(text, sizeof(text), " has been removed from your computer.");
    if (leftovers.kept > 0)
        fits = fits && append(text, sizeof(text), "\n\nSome of its files could not be removed from ") &&
               append(text, sizeof(text), folder) && append(text, sizeof(text), ".");
    else if (leftovers.atRestart > 0)
        fits = fits && append(text, sizeof(text),
                              "\n\nSome of its files are in use. Windows will remove them when it restarts.");
    if (userFiles)
        fits = fits && append(text, sizeof(text), "\n\nYour own files in ") && append(text, sizeof(text), folder) &&
               append(text, sizeof(text), " were kept.");
    if (!fits) return;
    char title[kPathSize];
    caption(title);
    MessageBoxA(nullptr, text, title, MB_OK | (leftovers.kept > 0 ? MB_ICONWARNING : MB_ICONINFORMATION));
}

// Copies this program to the temporary folder and starts the copy to
// finish the removal; false when that cannot be done, and then nothing was
// started.
bool start_finisher(const char* self, const Leftovers& leftovers) {
    char temp[kPathSize];
    const DWORD tempLength = GetTempPathA(sizeof(temp), temp);
    if (tempLength == 0 || tempLength >= sizeof(temp)) return false;
    cut_last_component(temp);  // GetTempPath ends in "\"; join adds one
    char copy[kPathSize];
    char name[32] = "kun";
    bool named = true;
    append_number(name, sizeof(name), GetCurrentProcessId(), 16, &named);
    if (!named || !append(name, sizeof(name), ".exe") || !join(copy, sizeof(copy), temp, name) ||
        !CopyFileA(self, copy, FALSE))
        return false;

    // The handle lets the copy wait for exactly this process, whichever
    // process may later get its number.
    HANDLE me = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &me, SYNCHRONIZE,
                         TRUE, 0)) {
        DeleteFileA(copy);
        return false;
    }
    char line[3 * kPathSize] = "\"";
    bool fits = append(line, sizeof(line), copy) && append(line, sizeof(line), "\" ") &&
                append(line, sizeof(line), kFinishArgument) && append(line, sizeof(line), " ");
    append_number(line, sizeof(line), static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(me)), 10, &fits);
    fits = fits && append(line, sizeof(line), " ");
    append_number(line, sizeof(line), leftovers.atRestart, 10, &fits);
    fits = fits && append(line, sizeof(line), " ");
    append_number(line, sizeof(line), leftovers.kept, 10, &fits);
    fits = fits && append(line, sizeof(line), " \"") && append(line, sizeof(line), self) &&
           append(line, sizeof(line), "\"");

    // The copy works in the temporary folder so that it holds no claim on
    // the folder it is to remove.
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started;
    const bool running = fits && CreateProcessA(copy, line, nullptr, nullptr, TRUE, 0, nullptr, temp,
                                                &startup, &started);
    CloseHandle(me);
    if (!running) {
        DeleteFileA(copy);
        return false;
    }
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return true;
}

// The copy's part: "-finish <handle> <at restart> <kept> <original>".
int finish(const char* arguments) {
    char handleText[32], atRestartText[32], keptText[32], original[kPathSize], folder[kPathSize];
    unsigned long handle = 0;
    Leftovers leftovers = {0, 0};
    if (!next_argument(&arguments, handleText, sizeof(handleText)) ||
        !next_argument(&arguments, atRestartText, sizeof(atRestartText)) ||
        !next_argument(&arguments, keptText, sizeof(keptText)) ||
        !next_argument(&arguments, original, sizeof(original)) || !parse_number(handleText, &handle) ||
        !parse_number(atRestartText, &leftovers.atRestart) || !parse_number(keptText, &leftovers.kept) ||
        !copy_text(folder, sizeof(folder), original) || !cut_last_component(folder))
        return 2;

    HANDLE first = reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(handle));
    WaitForSingleObject(first, kOriginalEndWaitMs);
    CloseHandle(first);
    // The system may let go of an ended program's file a moment later.
    bool deleted = delete_now(original);
    for (DWORD waited = 0; !deleted && waited < kReleaseWaitMs; waited += kPollMs) {
        Sleep(kPollMs);
        deleted = delete_now(original);
    }
    if (!deleted) remove_file(original, &leftovers);
    RemoveDirectoryA(folder);

    char self[kPathSize];
    const DWORD selfLength = GetModuleFileNameA(nullptr, self, sizeof(self));
    if (selfLength > 0 && selfLength < sizeof(self)) delete_at_restart(self);
    say_removed(folder, leftovers);
    return 0;
}

int uninstall_product() {
    char title[kPathSize];
    caption(title);
    char question[kPathSize] = "Do you want to remove ";
    append(question, sizeof(question), uninstall::productName);
    append(question, sizeof(question), " from this computer?");
    if (MessageBoxA(nullptr, question, title, MB_YESNO | MB_ICONQUESTION) != IDYES) return 0;

    char self[kPathSize];
    char folder[kPathSize];
    const DWORD selfLength = GetModuleFileNameA(nullptr, self, sizeof(self));
    // A full buffer means the path was cut short: no folder can be trusted.
    if (selfLength == 0 || selfLength >= sizeof(self) || !copy_text(folder, sizeof(folder), self) ||
        !cut_last_component(folder)) {
        char text[kPathSize];
        copy_text(text, sizeof(text), uninstall::productName);
        append(text, sizeof(text),
               " could not be removed: the uninstaller cannot tell which folder it was installed in.");
        MessageBoxA(nullptr, text, title, MB_OK | MB_ICONERROR);
        return 1;
    }

    close_running_copies(folder);
    Leftovers leftovers = {0, 0};
    remove_payload(folder, self, &leftovers);
    remove_shortcuts();
    remove_registration();
    if (start_finisher(self, leftovers)) return 0;

    // Without a copy to finish, Windows removes this program at the next
    // restart; the folder then stays.
    remove_file(self, &leftovers);
    say_removed(folder, leftovers);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const char* line = GetCommandLineA();
    char argument[kPathSize];
    next_argument(&line, argument, sizeof(argument));  // the program itself
    const char* rest = line;
    if (next_argument(&rest, argument, sizeof(argument)) && same_name(argument, kFinishArgument))
        return finish(rest);
    return uninstall_product();
}
