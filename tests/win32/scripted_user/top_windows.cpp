#include "scripted_user/top_windows.h"

#include "scripted_user/deadline.h"

namespace scripted_user {

namespace {

struct Search {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK collectWindow(HWND window, LPARAM context) {
    Search* search = reinterpret_cast<Search*>(context);
    if (!IsWindowVisible(window)) return TRUE;
    if (search->processId != 0) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != search->processId) return TRUE;
    }
    search->found.push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> visibleTopLevelWindows(DWORD processId) {
    Search search = {processId, {}};
    EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string windowCaption(HWND window) {
    // GetWindowTextA on a window of another process asks for the caption
    // kept by the system, so it answers even while that process is busy.
    if (!window || !IsWindow(window)) return "";
    char caption[512] = "";
    GetWindowTextA(window, caption, sizeof caption);
    return caption;
}

HWND waitForWindow(DWORD processId, const std::string& caption, DWORD milliseconds) {
    HWND match = nullptr;
    pollUntil(milliseconds, [&] {
        for (HWND window : visibleTopLevelWindows(processId)) {
            if (windowCaption(window) == caption) {
                match = window;
                return true;
            }
        }
        return false;
    });
    return match;
}

bool waitUntilGone(HWND window, DWORD milliseconds) {
    return pollUntil(milliseconds, [&] { return !IsWindow(window) || !IsWindowVisible(window); });
}

}  // namespace scripted_user
