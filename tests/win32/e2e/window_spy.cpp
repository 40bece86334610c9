#include "e2e/window_spy.h"

#include "e2e/e2e_support.h"

namespace e2e {

namespace {

// The variable window_spy.dll reads in the program it runs in.
const char RECORD_VARIABLE[] = "TW_WINDOW_SPY_RECORD";

}  // namespace

WindowSpy::WindowSpy() {
    static int made = 0;
    char temp[MAX_PATH];
    DWORD length = GetTempPathA(sizeof temp, temp);
    if (length == 0 || length >= sizeof temp) return;
    record_ = joinPath(temp, "tw-window-spy-" + std::to_string(GetCurrentProcessId()) + "-" +
                                 std::to_string(++made) + ".txt");
    DeleteFileA(record_.c_str());
    SetEnvironmentVariableA(RECORD_VARIABLE, record_.c_str());
}

WindowSpy::~WindowSpy() {
    if (hook_) UnhookWindowsHookEx(hook_);
    if (spy_) FreeLibrary(spy_);
    SetEnvironmentVariableA(RECORD_VARIABLE, nullptr);
    if (!record_.empty()) DeleteFileA(record_.c_str());
}

bool WindowSpy::watch(HWND window) {
    if (record_.empty() || hook_) return false;
    DWORD thread = GetWindowThreadProcessId(window, nullptr);
    if (thread == 0) return false;
    if (!spy_) spy_ = LoadLibraryA(buildPath(TW_WINDOW_SPY_DLL).c_str());
    if (!spy_) return false;
    // Through void* because FARPROC's type says nothing of the arguments.
    HOOKPROC procedure = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(GetProcAddress(spy_, "windowSpyHook")));
    if (!procedure) return false;
    hook_ = SetWindowsHookExA(WH_CBT, procedure, spy_, thread);
    return hook_ != nullptr;
}

std::vector<std::string> WindowSpy::destroyed() const {
    std::vector<std::string> captions;
    std::vector<uint8_t> bytes;
    if (record_.empty() || !readFile(record_, &bytes)) return captions;
    std::string line;
    for (uint8_t byte : bytes) {
        if (byte != '\n') {
            line += static_cast<char>(byte);
            continue;
        }
        captions.push_back(line);
        line.clear();
    }
    return captions;
}

}  // namespace e2e
