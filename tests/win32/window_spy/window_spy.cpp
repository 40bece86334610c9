// Runs inside the program under test as its thread's CBT hook and notes
// each top-level window that the program destroys by itself, one caption
// a line, in the file named by TW_WINDOW_SPY_RECORD in the program's
// environment (inherited from the test that started it).
//
// A window that is still open when the program ends is freed by the system
// without any hook being called, so the record tells a window the program
// closed apart from one it left on the screen until its end, which no poll
// from outside can do when the two happen a moment apart.
#include <windows.h>

namespace {

const char RECORD_VARIABLE[] = "TW_WINDOW_SPY_RECORD";

void appendLine(const char* path, const char* text) {
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(lstrlenA(text)), &written, nullptr);
    WriteFile(file, "\n", 1, &written, nullptr);
    CloseHandle(file);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK windowSpyHook(int code, WPARAM wParam,
                                                                LPARAM lParam) {
    if (code == HCBT_DESTROYWND) {
        HWND window = reinterpret_cast<HWND>(wParam);
        char path[MAX_PATH];
        DWORD length = GetEnvironmentVariableA(RECORD_VARIABLE, path, sizeof path);
        if (length > 0 && length < sizeof path && !(GetWindowLongA(window, GWL_STYLE) & WS_CHILD)) {
            char caption[512] = "";
            GetWindowTextA(window, caption, sizeof caption);
            appendLine(path, caption);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
