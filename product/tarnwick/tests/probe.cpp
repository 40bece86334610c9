// Drives Tarnwick's programs the way a user would, for wine_smoke.sh: starts
// one, finds its windows, reads what they show, answers them and checks how
// the program ends. Built for x86_64 so it runs under 64-bit Wine.
//
//   probe window <tarnwick.exe> <expected text> normal|minimised [args...]
//   probe uninstall <kluninst.exe> no
//   probe uninstall <kluninst.exe> yes <last message> [<program running> [<file held open>]]
//   probe registration plant|gone [<file of the user's in the group>]

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

namespace {

const DWORD kTimeoutMs = 30000;

bool start(const char* exe, int argc, char** argv, PROCESS_INFORMATION* pi) {
    char line[2048];
    std::snprintf(line, sizeof(line), "\"%s\"", exe);
    for (int i = 0; i < argc; ++i) {
        std::strncat(line, " ", sizeof(line) - std::strlen(line) - 1);
        std::strncat(line, argv[i], sizeof(line) - std::strlen(line) - 1);
    }
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &si, pi)) {
        std::printf("cannot start %s (error %lu)\n", exe, GetLastError());
        return false;
    }
    return true;
}

struct Search {
    DWORD pid;
    const char* title;
    HWND skip;
    HWND found;
};

BOOL CALLBACK match_window(HWND hwnd, LPARAM param) {
    Search* s = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char title[256];
    GetWindowTextA(hwnd, title, sizeof(title));
    if (pid == s->pid && hwnd != s->skip && IsWindowVisible(hwnd) &&
        std::strcmp(title, s->title) == 0) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The process's visible top-level window with this exact title, other than
// `skip`; polls since the program needs a moment to show it.
HWND wait_for_window(DWORD pid, const char* title, HWND skip = nullptr) {
    for (DWORD waited = 0; waited < kTimeoutMs; waited += 100) {
        Search s = {pid, title, skip, nullptr};
        EnumWindows(match_window, reinterpret_cast<LPARAM>(&s));
        if (s.found) return s.found;
        Sleep(100);
    }
    std::printf("no window titled \"%s\" appeared\n", title);
    return nullptr;
}

struct Text {
    char all[2048];
};

BOOL CALLBACK collect_static_text(HWND hwnd, LPARAM param) {
    Text* t = reinterpret_cast<Text*>(param);
    char cls[32];
    char text[1024];
    GetClassNameA(hwnd, cls, sizeof(cls));
    if (lstrcmpiA(cls, "Static") == 0 && GetWindowTextA(hwnd, text, sizeof(text))) {
        if (t->all[0]) std::strncat(t->all, "|", sizeof(t->all) - std::strlen(t->all) - 1);
        std::strncat(t->all, text, sizeof(t->all) - std::strlen(t->all) - 1);
    }
    return TRUE;
}

void static_text(HWND hwnd, Text* t) {
    t->all[0] = '\0';
    EnumChildWindows(hwnd, collect_static_text, reinterpret_cast<LPARAM>(t));
}

bool ends_with_code(PROCESS_INFORMATION& pi, DWORD expected) {
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(pi.hProcess, kTimeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (code != expected) {
        std::printf("program ended with %lu, expected %lu\n", code, expected);
        return false;
    }
    return true;
}

int check_main_window(int argc, char** argv) {
    const char* exe = argv[0];
    const char* expected = argv[1];
    const bool minimised = std::strcmp(argv[2], "minimised") == 0;
    PROCESS_INFORMATION pi;
    if (!start(exe, argc - 3, argv + 3, &pi)) return 1;
    bool ok = true;
    HWND window = wait_for_window(pi.dwProcessId, "Tarnwick");
    if (!window) {
        TerminateProcess(pi.hProcess, 99);
        ok = false;
    } else {
        Text t;
        static_text(window, &t);
        if (std::strcmp(t.all, expected) != 0) {
            std::printf("window shows \"%s\", expected \"%s\"\n", t.all, expected);
            ok = false;
        }
        if ((IsIconic(window) != FALSE) != minimised) {
            std::printf("window is %s\n", IsIconic(window) ? "minimised" : "not minimised");
            ok = false;
        }
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
    return ends_with_code(pi, 0) && ok ? 0 : 1;
}

// Presses a message box button the way a click would end it.
bool answer(HWND box, int button) {
    return PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0) != FALSE;
}

bool says(HWND box, const char* expected) {
    Text t;
    static_text(box, &t);
    if (std::strcmp(t.all, expected) == 0) return true;
    std::printf("box says \"%s\", expected \"%s\"\n", t.all, expected);
    return false;
}

const char* const kCaption = "Uninstall Tarnwick";

// Windows of this probe's own that the uninstaller must, or must not, ask
// to close: its title test is a case-sensitive prefix of the product name.
struct Decoy {
    const char* title;
    bool closes;
    HWND window;
    bool askedToClose;
};
Decoy decoys[] = {
    {"Tarnwick", true, nullptr, false},
    {"Tarnwick - Help", true, nullptr, false},
    {"TarnwickX", true, nullptr, false},
    {"tarnwick", false, nullptr, false},
    {"Install Tarnwick", false, nullptr, false},
    {"Tarnwic", false, nullptr, false},
};

LRESULT CALLBACK decoy_procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        for (Decoy& d : decoys)
            if (d.window == hwnd) d.askedToClose = true;
        return 0;  // stays open: a copy that ignores the request
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

DWORD WINAPI decoy_thread(LPVOID ready) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = decoy_procedure;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ProbeDecoy";
    RegisterClassA(&wc);
    for (Decoy& d : decoys)
        d.window = CreateWindowExA(0, wc.lpszClassName, d.title, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                   nullptr, nullptr, wc.hInstance, nullptr);
    SetEvent(static_cast<HANDLE>(ready));
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}

// After a No nothing is closed; after a Yes the product's windows are.
bool decoys_as_expected(bool yes) {
    bool ok = true;
    for (const Decoy& d : decoys)
        if (d.askedToClose != (yes && d.closes)) {
            std::printf("window \"%s\" was %sasked to close\n", d.title, d.askedToClose ? "" : "not ");
            ok = false;
        }
    return ok;
}

// The top-level window with this caption of any process but `skip`'s.
HWND wait_for_caption(const char* caption, DWORD skip) {
    for (DWORD waited = 0; waited < kTimeoutMs; waited += 100) {
        for (HWND w = FindWindowA(nullptr, caption); w; w = FindWindowExA(nullptr, w, nullptr, caption)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid != skip && GetDlgItem(w, 0xFFFF)) return w;
        }
        Sleep(100);
    }
    std::printf("no window captioned \"%s\" appeared\n", caption);
    return nullptr;
}

// probe uninstall <kluninst.exe> no
// probe uninstall <kluninst.exe> yes <expected last message> [<program running meanwhile>
//     [<file held open meanwhile>]]
// The question comes from the uninstaller, the last message from its copy
// in the temporary folder once the uninstaller has ended; both must end
// with the uninstaller's exit code for what happened, and a program left
// running must have been closed.
int check_uninstall(int argc, char** argv) {
    const bool yes = std::strcmp(argv[1], "yes") == 0;
    if (yes && argc < 3) return 2;
    // The shell passes the message's line breaks as the two characters \n.
    char expected[2048];
    if (yes) {
        int n = 0;
        for (const char* p = argv[2]; *p && n < static_cast<int>(sizeof(expected)) - 1; ++p, ++n) {
            expected[n] = p[0] == '\\' && p[1] == 'n' ? '\n' : *p;
            if (p[0] == '\\' && p[1] == 'n') ++p;
        }
        expected[n] = '\0';
    }
    PROCESS_INFORMATION running = {};
    if (yes && argc >= 4 && *argv[3] && !start(argv[3], 0, nullptr, &running)) return 1;
    // A file held open, shared with nobody, as a program still using it would.
    HANDLE held = INVALID_HANDLE_VALUE;
    if (yes && argc >= 5) {
        held = CreateFileA(argv[4], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (held == INVALID_HANDLE_VALUE) {
            std::printf("cannot hold %s open\n", argv[4]);
            return 1;
        }
    }
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    CreateThread(nullptr, 0, decoy_thread, ready, 0, nullptr);
    WaitForSingleObject(ready, kTimeoutMs);
    if (running.hProcess && !wait_for_window(running.dwProcessId, "Tarnwick")) return 1;

    PROCESS_INFORMATION pi;
    if (!start(argv[0], 0, nullptr, &pi)) return 1;
    bool ok = false;
    HWND question = wait_for_window(pi.dwProcessId, kCaption);
    if (question) {
        ok = says(question, "Do you want to remove Tarnwick from this computer?");
        ok = answer(question, yes ? IDYES : IDNO) && ok;
    }
    if (!ok) TerminateProcess(pi.hProcess, 99);
    const DWORD first = pi.dwProcessId;
    // The uninstaller's exit codes: 1 for No, 5 when a file in use goes
    // at the next restart; the first process ends with its copy's result.
    const DWORD code = !yes ? 1 : held != INVALID_HANDLE_VALUE ? 5 : 0;
    ok = ends_with_code(pi, code) && ok;
    if (!ok || !yes) return ok && decoys_as_expected(yes) ? 0 : 1;

    HWND done = wait_for_caption(kCaption, first);
    if (!done) return 1;
    DWORD copyId = 0;
    GetWindowThreadProcessId(done, &copyId);
    PROCESS_INFORMATION copy = {};
    copy.hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, copyId);
    ok = says(done, expected);
    answer(done, IDOK);
    ok = copy.hProcess && ends_with_code(copy, code) && ok;
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    if (running.hProcess) {
        CloseHandle(running.hThread);
        if (WaitForSingleObject(running.hProcess, 0) != WAIT_OBJECT_0) {
            std::printf("the running program was not closed\n");
            TerminateProcess(running.hProcess, 99);
            ok = false;
        }
        CloseHandle(running.hProcess);
    }
    return ok && decoys_as_expected(yes) ? 0 : 1;
}

// What setup puts outside the data folder, made by hand here so that the
// uninstaller meets it: the group's links, the startup link, the uninstall
// key and the settings entry, beside a settings value that is not setup's.
struct Planted {
    char group[MAX_PATH];
    char links[3][MAX_PATH];
};

bool special_folder(int csidl, char* out) {
    return SHGetSpecialFolderPathA(nullptr, out, csidl, TRUE) != FALSE;
}

bool planted_paths(Planted* p) {
    char programs[MAX_PATH], startup[MAX_PATH];
    if (!special_folder(CSIDL_PROGRAMS, programs) || !special_folder(CSIDL_STARTUP, startup)) return false;
    std::snprintf(p->group, MAX_PATH, "%s\\Tarnwick", programs);
    std::snprintf(p->links[0], MAX_PATH, "%s\\Tarnwick.lnk", p->group);
    std::snprintf(p->links[1], MAX_PATH, "%s\\Uninstall.lnk", p->group);
    std::snprintf(p->links[2], MAX_PATH, "%s\\Tarnwick.lnk", startup);
    return true;
}

const char kKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnwick";

// probe registration plant|gone [<extra file in the group>]
int check_registration(int argc, char** argv) {
    Planted p;
    if (!planted_paths(&p)) return 1;
    const char* extra = argc >= 2 ? argv[1] : nullptr;
    char extraPath[MAX_PATH] = "";
    if (extra) std::snprintf(extraPath, MAX_PATH, "%s\\%s", p.group, extra);
    if (std::strcmp(argv[0], "plant") == 0) {
        CreateDirectoryA(p.group, nullptr);
        for (const char* link : p.links) {
            FILE* f = std::fopen(link, "wb");
            if (!f) return 1;
            std::fputs("link", f);
            std::fclose(f);
        }
        if (extra) {
            FILE* f = std::fopen(extraPath, "wb");
            if (!f) return 1;
            std::fclose(f);
        }
        HKEY key;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            return 1;
        RegSetValueExA(key, "DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>("Tarnwick"), 9);
        RegCloseKey(key);
        WritePrivateProfileStringA("Options", "dataDir", "C:\\Tarnwick Test", "tarnwick.ini");
        WritePrivateProfileStringA("Options", "theirs", "kept", "tarnwick.ini");
        return 0;
    }
    bool ok = true;
    for (const char* link : p.links)
        if (GetFileAttributesA(link) != INVALID_FILE_ATTRIBUTES) {
            std::printf("left behind: %s\n", link);
            ok = false;
        }
    const bool groupThere = GetFileAttributesA(p.group) != INVALID_FILE_ATTRIBUTES;
    if (groupThere != (extra != nullptr)) {
        std::printf("group folder %s\n", groupThere ? "left behind" : "removed with a file of the user's");
        ok = false;
    }
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegCloseKey(key);
        std::printf("uninstall key left behind\n");
        ok = false;
    }
    char value[64];
    GetPrivateProfileStringA("Options", "dataDir", "(none)", value, sizeof(value), "tarnwick.ini");
    if (std::strcmp(value, "(none)") != 0) {
        std::printf("dataDir left behind: %s\n", value);
        ok = false;
    }
    GetPrivateProfileStringA("Options", "theirs", "(none)", value, sizeof(value), "tarnwick.ini");
    if (std::strcmp(value, "kept") != 0) {
        std::printf("another settings value went too: %s\n", value);
        ok = false;
    }
    if (extra) {
        DeleteFileA(extraPath);
        RemoveDirectoryA(p.group);
    }
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 5 && std::strcmp(argv[1], "window") == 0)
        return check_main_window(argc - 2, argv + 2);
    if (argc >= 4 && std::strcmp(argv[1], "uninstall") == 0)
        return check_uninstall(argc - 2, argv + 2);
    if (argc >= 3 && std::strcmp(argv[1], "registration") == 0)
        return check_registration(argc - 2, argv + 2);
    std::printf("usage: probe window <exe> <text> normal|minimised [args...]\n"
                "       probe uninstall <exe> no\n"
                "       probe uninstall <exe> yes <last message> [<program> [<held file>]]\n"
                "       probe registration plant|gone [<file of the user's in the group>]\n");
    return 2;
}
