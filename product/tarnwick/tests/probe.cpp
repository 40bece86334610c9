// Drives Tarnwick's programs the way a user would, for wine_smoke.sh: starts
// one, finds its windows, reads what they show, answers them and checks how
// the program ends. Built for x86_64 so it runs under 64-bit Wine.
//
//   probe window <tarnwick.exe> <expected text> normal|minimised [args...]
//   probe uninstall <kluninst.exe> yes|no

#include <windows.h>

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
bool answer(HWND box, int button, const char* expectedText) {
    Text t;
    static_text(box, &t);
    const bool ok = std::strstr(t.all, expectedText) != nullptr;
    if (!ok) std::printf("box says \"%s\", expected \"%s\"\n", t.all, expectedText);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    return ok;
}

int check_uninstall(int argc, char** argv) {
    (void)argc;
    const bool yes = std::strcmp(argv[1], "yes") == 0;
    PROCESS_INFORMATION pi;
    if (!start(argv[0], 0, nullptr, &pi)) return 1;
    const char* caption = "Uninstall Tarnwick";
    bool ok = false;
    HWND question = wait_for_window(pi.dwProcessId, caption);
    if (question) {
        ok = answer(question, yes ? IDYES : IDNO, "remove Tarnwick");
        if (yes) {
            HWND done = wait_for_window(pi.dwProcessId, caption, question);
            ok = done && answer(done, IDOK, "Tarnwick has been removed.") && ok;
        }
    }
    if (!ok) TerminateProcess(pi.hProcess, 99);
    return ends_with_code(pi, 0) && ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 5 && std::strcmp(argv[1], "window") == 0)
        return check_main_window(argc - 2, argv + 2);
    if (argc == 4 && std::strcmp(argv[1], "uninstall") == 0)
        return check_uninstall(argc - 2, argv + 2);
    std::printf("usage: probe window <exe> <text> normal|minimised [args...]\n"
                "       probe uninstall <exe> yes|no\n");
    return 2;
}
