#include "scripted_user/controls.h"

#include "scripted_user/deadline.h"

namespace scripted_user {

bool ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* answer) {
    return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, SEND_TIMEOUT_MS,
                               answer) != 0;
}

bool waitUntilReady(HWND window) {
    DWORD_PTR answer = 0;
    return ask(window, WM_NULL, 0, 0, &answer) && IsWindow(window) && IsWindowVisible(window);
}

bool waitForControl(HWND dialog, int id, DWORD milliseconds) {
    return pollUntil(milliseconds, [&] {
        return IsWindow(dialog) && GetDlgItem(dialog, id) != nullptr;
    });
}

bool waitForAnyControl(HWND window, DWORD milliseconds) {
    return pollUntil(milliseconds, [&] {
        return IsWindow(window) && GetWindow(window, GW_CHILD) != nullptr;
    });
}

std::string windowClass(HWND window) {
    char name[256] = "";
    if (window) GetClassNameA(window, name, sizeof name);
    return name;
}

std::string childText(HWND control) {
    if (!control) return "";
    if (lstrcmpiA(windowClass(control).c_str(), "Edit") == 0) {
        DWORD_PTR length = 0;
        if (!ask(control, WM_GETTEXTLENGTH, 0, 0, &length)) {
            return "";
        }
        std::string text(static_cast<size_t>(length) + 1, '\0');
        DWORD_PTR copied = 0;
        if (!ask(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), &copied)) {
            return "";
        }
        text.resize(static_cast<size_t>(copied));
        return text;
    }
    int length = GetWindowTextLengthA(control);
    if (length <= 0) return "";
    std::string text(static_cast<size_t>(length) + 1, '\0');
    int copied = GetWindowTextA(control, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

std::string controlText(HWND dialog, int id) {
    // Wine's GetWindowTextA(NULL, ...) does not fail cleanly, so a missing
    // control is answered here.
    HWND control = GetDlgItem(dialog, id);
    return control ? childText(control) : "";
}

namespace {

struct BoxChildren {
    bool onlyBoxControls = true;
    bool button = false;
};

// A message box holds buttons (one at least), its text and its icon,
// nothing else. A dialog's unnamed static controls carry the text's id as
// well (-1 is 65535), so the id alone does not tell the two apart.
BOOL CALLBACK checkBoxChild(HWND child, LPARAM context) {
    BoxChildren* children = reinterpret_cast<BoxChildren*>(context);
    const std::string kind = windowClass(child);
    const int id = GetDlgCtrlID(child);
    const bool button = lstrcmpiA(kind.c_str(), "Button") == 0;
    bool boxControl = button || (lstrcmpiA(kind.c_str(), "Static") == 0 &&
                                 (id == MESSAGE_BOX_TEXT_ID || id == MESSAGE_BOX_ICON_ID));
    if (button) children->button = true;
    if (!boxControl) children->onlyBoxControls = false;
    return boxControl;
}

}  // namespace

bool isMessageBox(HWND window) {
    if (windowClass(window) != "#32770" || GetDlgItem(window, MESSAGE_BOX_TEXT_ID) == nullptr) {
        return false;
    }
    BoxChildren children;
    EnumChildWindows(window, checkBoxChild, reinterpret_cast<LPARAM>(&children));
    return children.onlyBoxControls && children.button;
}

bool messageBoxHasIcon(HWND box) {
    HWND icon = GetDlgItem(box, MESSAGE_BOX_ICON_ID);
    DWORD_PTR handle = 0;
    return icon && IsWindowVisible(icon) && ask(icon, STM_GETICON, 0, 0, &handle) && handle != 0;
}

bool setControlText(HWND dialog, int id, const std::string& text) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) return false;
    DWORD_PTR answer = 0;
    return ask(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), &answer) &&
           answer != 0;
}

int defaultButton(HWND dialog) {
    DWORD_PTR answer = 0;
    if (!ask(dialog, DM_GETDEFID, 0, 0, &answer)) return 0;
    if (HIWORD(answer) != DC_HASDEFID) return 0;
    return LOWORD(answer);
}

std::string answerName(HWND dialog, int id) {
    // The button's own words, as the user reads them ("I Accept"); the
    // common ids have names of their own for a button without text.
    std::string name;
    for (char c : controlText(dialog, id)) {
        if (c != '&') name += c;
    }
    if (!name.empty()) return name;
    switch (id) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDYES: return "Yes";
    case IDNO: return "No";
    default: return "button " + std::to_string(id);
    }
}

}  // namespace scripted_user
