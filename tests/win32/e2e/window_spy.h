// Which top-level windows a program destroys by itself, as opposed to those
// that vanish with it when it ends. window_spy.dll, hooked into the
// program's thread, notes each one from inside the program.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

class WindowSpy {
public:
    // Names a fresh record for the program started next: it is handed over
    // in this process's environment, which that program inherits.
    WindowSpy();
    WindowSpy(const WindowSpy&) = delete;
    WindowSpy& operator=(const WindowSpy&) = delete;
    ~WindowSpy();

    // Hooks the thread that owns `window`, a window of the program. Windows
    // destroyed before this are not seen. False when it cannot be hooked.
    bool watch(HWND window);

    // Captions of the windows destroyed since `watch`, in that order.
    std::vector<std::string> destroyed() const;

private:
    std::string record_;
    HMODULE spy_ = nullptr;
    HHOOK hook_ = nullptr;
};

}  // namespace e2e
