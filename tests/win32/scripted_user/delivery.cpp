#include "scripted_user/delivery.h"

#include "scripted_user/controls.h"
#include "scripted_user/top_windows.h"

namespace scripted_user {

namespace {

// Long enough for a thread that is only painting; a thread that takes
// longer is busy with something else, which is what the report is for.
const UINT ANSWER_TIMEOUT_MS = 500;

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

// "OK button (id 1)", "Edit (id 24001)", "the window itself".
std::string controlName(HWND window, HWND control) {
    if (control == window) return "the window itself";
    std::string name = windowClass(control);
    const std::string text = childText(control);
    if (!text.empty() && text.size() <= 40) name = quoted(text) + " " + name;
    return name + " (id " + std::to_string(GetDlgCtrlID(control)) + ")";
}

}  // namespace

bool pressDelivered(const std::vector<PostResult>& results) {
    if (results.empty() || results.front() != PostResult::POSTED) return false;
    for (PostResult result : results) {
        if (result == PostResult::REFUSED) return false;
    }
    return true;
}

bool postPress(HWND window, const std::vector<PostedMessage>& messages) {
    std::vector<PostResult> results;
    for (const PostedMessage& posted : messages) {
        if (PostMessageA(window, posted.message, posted.wParam, posted.lParam)) {
            results.push_back(PostResult::POSTED);
        } else {
            results.push_back(IsWindow(window) ? PostResult::REFUSED : PostResult::WINDOW_GONE);
        }
        // Nothing after a failed first post can make a press of it.
        if (results.front() != PostResult::POSTED) break;
    }
    return pressDelivered(results);
}

std::vector<PostedMessage> keyPress(UINT key) {
    const UINT scan = MapVirtualKeyA(key, MAPVK_VK_TO_VSC);
    // A repeat count of one and the key's scan code; the key-up also has
    // the previous state (bit 30) and the transition (bit 31) set.
    const LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
    const LPARAM up = down | static_cast<LPARAM>(0xC0000000UL);
    return {{WM_KEYDOWN, key, down}, {WM_KEYUP, key, up}};
}

std::vector<PostedMessage> buttonClick(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (!button) return {};
    return {{WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button)}};
}

HWND focusedControl(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    HWND focus = info.hwndFocus;
    return focus && (focus == window || IsChild(window, focus)) ? focus : nullptr;
}

std::string describeWindow(HWND window) {
    if (!window || !IsWindow(window)) return "gone";
    std::string state = quoted(windowCaption(window)) + " " + windowClass(window);
    state += IsWindowVisible(window) ? ", visible" : ", hidden";
    state += IsWindowEnabled(window) ? ", enabled" : ", disabled";
    HWND front = GetForegroundWindow();
    if (front == window) {
        state += ", in front";
    } else {
        state += ", behind " + (front ? quoted(windowCaption(front)) : std::string("nothing"));
    }
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                             ANSWER_TIMEOUT_MS, &answer)) {
        state += ", its thread not answering within " + std::to_string(ANSWER_TIMEOUT_MS) + " ms";
    }
    // Asked after the wait: a window may end while its thread is busy.
    if (!IsWindow(window)) return state + ", then gone";
    HWND focus = focusedControl(window);
    state += ", focus on " + (focus ? controlName(window, focus) : std::string("none of its"));
    return state;
}

}  // namespace scripted_user
