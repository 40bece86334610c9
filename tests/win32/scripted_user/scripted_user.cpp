#include "scripted_user/scripted_user.h"

#include <stdlib.h>

#include <algorithm>

#include "scripted_user/deadline.h"

namespace scripted_user {

std::string testOutputFolder() {
    const char* folder = getenv("TW_TEST_OUTPUT");
    return folder ? folder : "";
}

ScriptedUser::~ScriptedUser() { endProgram(&program_); }

bool ScriptedUser::start(const std::string& exe, const std::string& folder,
                         const std::string& arguments) {
    endProgram(&program_);
    return startProgram(exe, arguments, folder, &program_, standardOutput_);
}

HWND ScriptedUser::waitForWindow(const std::string& caption, DWORD milliseconds) {
    Deadline deadline(milliseconds);
    HWND window = scripted_user::waitForWindow(program_.processId, caption, milliseconds);
    if (!window) return nullptr;
    transcript_.add("window", caption);
    // A dialog may show before its controls are made; a plain window such
    // as a backdrop has none to wait for. A message box is read once its
    // initialisation is done (a dialog of setup's own is not asked: setup
    // takes no message while it extracts under its progress dialog).
    if (windowClass(window) == "#32770") {
        waitForAnyControl(window, deadline.remaining());
        if (isMessageBox(window)) waitUntilReady(window);
    }
    return window;
}

HWND ScriptedUser::waitForMessageBox(const std::string& caption, DWORD milliseconds) {
    Deadline deadline(milliseconds);
    HWND box = waitForWindow(caption, milliseconds);
    if (box && !waitForControl(box, MESSAGE_BOX_TEXT_ID, deadline.remaining())) return nullptr;
    return box;
}

std::string ScriptedUser::readMessageBox(HWND box) {
    return readControl(box, MESSAGE_BOX_TEXT_ID);
}

std::string ScriptedUser::readControl(HWND dialog, int id) {
    std::string text = controlText(dialog, id);
    transcript_.add("text", text);
    return text;
}

bool ScriptedUser::type(HWND dialog, int id, const std::string& text) {
    if (!setControlText(dialog, id, text)) {
        notDelivered("type", text, dialog);
        return false;
    }
    transcript_.add("type", text);
    return true;
}

bool ScriptedUser::press(HWND window, const char* kind, const std::string& name,
                         const std::vector<PostedMessage>& messages) {
    if (messages.empty() || !postPress(window, messages)) {
        notDelivered(kind, name, window);
        return false;
    }
    transcript_.add(kind, name);
    return true;
}

bool ScriptedUser::answer(HWND dialog, int id) {
    // The button's name is read before it is pressed: once pressed, the
    // dialog may end, and its buttons with it, before they could be read.
    return press(dialog, "answer", answerName(dialog, id), buttonClick(dialog, id));
}

bool ScriptedUser::pressKey(HWND dialog, int id, UINT key, const std::string& name,
                            DWORD milliseconds) {
    HWND control = GetDlgItem(dialog, id);
    if (!control || !pollUntil(milliseconds, [&] { return focusedControl(dialog) == control; })) {
        notDelivered("key", name + " (the focus never came to control " + std::to_string(id) + ")",
                     dialog);
        return false;
    }
    return press(control, "key", name, keyPress(key));
}

bool ScriptedUser::closeBox(HWND window, const std::string& name) {
    return press(window, "close", name, {{WM_SYSCOMMAND, SC_CLOSE, 0}});
}

void ScriptedUser::notDelivered(const char* kind, const std::string& name, HWND window) {
    transcript_.add("not delivered", std::string(kind) + " " + name + ": " + describeWindow(window));
    screenshot("not-delivered");
}

bool ScriptedUser::waitForExit(DWORD milliseconds, DWORD* exitCode) {
    if (!scripted_user::waitForExit(program_, milliseconds, exitCode)) return false;
    transcript_.add("exit", std::to_string(*exitCode));
    return true;
}

bool ScriptedUser::waitForExitShowingOnly(DWORD milliseconds,
                                          const std::vector<std::string>& ownWindows,
                                          DWORD* exitCode, std::string* window) {
    window->clear();
    bool ended = pollUntil(milliseconds, [&] {
        for (HWND open : visibleTopLevelWindows(program_.processId)) {
            if (isMessageBox(open)) waitUntilReady(open);
            std::string caption = windowCaption(open);
            // A window that went while it was being looked at was the
            // program's to close; only one that stays counts.
            if (!IsWindow(open) || !IsWindowVisible(open)) continue;
            bool own = std::find(ownWindows.begin(), ownWindows.end(), caption) != ownWindows.end();
            if (own && !isMessageBox(open)) continue;
            *window = caption;
            transcript_.add("window", caption);
            if (isMessageBox(open)) readMessageBox(open);
            return true;
        }
        return !isRunning(program_);
    });
    return ended && window->empty() && waitForExit(0, exitCode);
}

bool ScriptedUser::hasOpenWindow() const {
    return program_.processId != 0 && !visibleTopLevelWindows(program_.processId).empty();
}

bool ScriptedUser::screenshot(const std::string& name) {
    std::string folder = testOutputFolder();
    if (folder.empty()) return false;
    return saveScreenshot(folder + "\\" + name + ".png");
}

bool ScriptedUser::saveTranscript() const {
    std::string folder = testOutputFolder();
    if (folder.empty()) return false;
    return transcript_.save(folder + "\\transcript.txt");
}

}  // namespace scripted_user
