// Runs a setup program the way a user who accepts every default would:
//
//   autopilot.exe SETUP.EXE FOLDER OUTPUT-FOLDER [SECONDS]
//
// Starts SETUP.EXE with FOLDER (created when missing) as its current
// directory. Each new top-level window of setup is recorded in the
// transcript with its texts, saved as OUTPUT-FOLDER\NN-<caption>.png, and
// answered with its default: OK, or Yes for a question, in a message box;
// the default push button, else OK, in a dialog. A window with no button
// (the backdrop, the progress dialog) is recorded and left as it is, for
// setup to take down itself. A second after its answer to the notice that
// running copies will be closed, while setup waits for them, the screen
// with the busy ring turning on the backdrop is saved as
// OUTPUT-FOLDER\NN-busy-ring.png. When setup ends after a Yes to its final
// question, the product's window, the first new top-level window of another
// program, is recorded and saved the same way and then closed. Then prints
// the transcript, saves it as OUTPUT-FOLDER\transcript.txt and exits with
// setup's exit code. Exits with 125 when setup cannot be started or does not
// end within SECONDS (default 300), or the product's window does not show.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "scripted_user/deadline.h"
#include "scripted_user/scripted_user.h"

namespace {

using namespace scripted_user;

const int AUTOPILOT_FAILED = 125;
const DWORD CONTROLS_TIMEOUT_MS = 10000;
const DWORD PRODUCT_TIMEOUT_MS = 30000;
// The question that ends a complete run; its Yes starts the product.
const char FINAL_CAPTION[] = "Installation Successful";
// The notice after which setup waits, turning its busy ring, while running
// copies close; the ring is pictured this long after the answer.
const char RUNNING_COPIES_CAPTION[] = "Closing Running Copies";
const ULONGLONG BUSY_RING_AFTER_MS = 1000;
const size_t SHORT_CAPTION_LENGTH = 32;

// "Install Tarnwick - Agreement" becomes "install-tarnwick-agreement".
std::string shortCaption(const std::string& caption) {
    std::string name;
    for (char c : caption) {
        if (name.size() >= SHORT_CAPTION_LENGTH) break;
        unsigned char u = static_cast<unsigned char>(c);
        if (isalnum(u)) {
            name += static_cast<char>(tolower(u));
        } else if (!name.empty() && name.back() != '-') {
            name += '-';
        }
    }
    while (!name.empty() && name.back() == '-') name.pop_back();
    return name.empty() ? "window" : name;
}

BOOL CALLBACK collectChild(HWND child, LPARAM context) {
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(child);
    return TRUE;
}

BOOL CALLBACK findButton(HWND child, LPARAM context) {
    if (lstrcmpiA(windowClass(child).c_str(), "Button") != 0) return TRUE;
    *reinterpret_cast<bool*>(context) = true;
    return FALSE;
}

bool hasButton(HWND window) {
    bool found = false;
    EnumChildWindows(window, findButton, reinterpret_cast<LPARAM>(&found));
    return found;
}

// The button a user who accepts the defaults presses; 0 when the window
// has none to press.
int defaultAnswer(HWND window) {
    if (isMessageBox(window)) {
        if (GetDlgItem(window, IDOK)) return IDOK;
        if (GetDlgItem(window, IDYES)) return IDYES;
        return 0;
    }
    if (!hasButton(window)) return 0;
    int id = defaultButton(window);
    return id != 0 ? id : IDOK;
}

// Saves the screen as OUTPUT-FOLDER\NN-<name>.png.
void savePicture(int number, const std::string& name, const std::string& output) {
    char prefix[16];
    snprintf(prefix, sizeof prefix, "%02d-", number);
    std::string picture = output + "\\" + prefix + name + ".png";
    if (!saveScreenshot(picture)) fprintf(stderr, "autopilot: cannot save %s\n", picture.c_str());
}

// Records the window and its texts and saves a screenshot.
void recordWindow(ScriptedUser& user, HWND window, int number, const std::string& output) {
    std::string caption = windowCaption(window);
    user.transcript().add("window", caption);
    waitForAnyControl(window, CONTROLS_TIMEOUT_MS);
    if (isMessageBox(window)) {
        user.readMessageBox(window);
    } else {
        std::vector<HWND> children;
        EnumChildWindows(window, collectChild, reinterpret_cast<LPARAM>(&children));
        for (HWND child : children) {
            std::string kind = windowClass(child);
            if (!IsWindowVisible(child) || lstrcmpiA(kind.c_str(), "Button") == 0) continue;
            std::string text = childText(child);
            if (!text.empty()) user.transcript().add("text", text);
        }
    }
    savePicture(number, shortCaption(caption), output);
}

// Records the window and answers it; returns the button pressed, 0 for none.
int handleWindow(ScriptedUser& user, HWND window, int number, const std::string& output) {
    recordWindow(user, window, number, output);
    int answer = defaultAnswer(window);
    if (answer != 0 && !user.answer(window, answer)) {
        user.transcript().add("answer", "none (no such button)");
        return 0;
    }
    return answer;
}

// The product's window: the first visible top-level window, not among
// `before`, of a program other than this one. Null when none showed.
HWND waitForProductWindow(const std::vector<HWND>& before) {
    HWND found = nullptr;
    pollUntil(PRODUCT_TIMEOUT_MS, [&] {
        for (HWND window : visibleTopLevelWindows(0)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == GetCurrentProcessId() ||
                std::find(before.begin(), before.end(), window) != before.end()) {
                continue;
            }
            found = window;
            return true;
        }
        return false;
    });
    return found;
}

// Closes the product as its user would; true once its window is gone.
bool closeProduct(ScriptedUser& user, HWND window) {
    user.transcript().add("close", windowCaption(window));
    return PostMessageA(window, WM_CLOSE, 0, 0) && waitUntilGone(window, PRODUCT_TIMEOUT_MS);
}

bool makeFolder(const std::string& folder) {
    for (size_t i = 3; i <= folder.size(); ++i) {
        if (i < folder.size() && folder[i] != '\\' && folder[i] != '/') continue;
        std::string prefix = folder.substr(0, i);
        DWORD attributes = GetFileAttributesA(prefix.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            continue;
        }
        if (!CreateDirectoryA(prefix.c_str(), nullptr)) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4 || argc > 5) {
        fprintf(stderr, "usage: autopilot.exe SETUP.EXE FOLDER OUTPUT-FOLDER [SECONDS]\n");
        return AUTOPILOT_FAILED;
    }
    const std::string setup = argv[1], folder = argv[2], output = argv[3];
    const DWORD limit = argc == 5 ? static_cast<DWORD>(atoi(argv[4])) * 1000 : 300000;
    if (!makeFolder(folder) || !makeFolder(output)) {
        fprintf(stderr, "autopilot: cannot create %s or %s\n", folder.c_str(), output.c_str());
        return AUTOPILOT_FAILED;
    }

    // Whatever shows already is no window of the product's.
    const std::vector<HWND> before = visibleTopLevelWindows(0);
    ScriptedUser user;
    if (!user.start(setup, folder)) {
        fprintf(stderr, "autopilot: cannot start %s (error %lu)\n", setup.c_str(),
                GetLastError());
        return AUTOPILOT_FAILED;
    }
    std::vector<HWND> answered;
    int number = 0;
    bool productStarted = false;
    ULONGLONG busyRingAt = 0;
    bool ended = pollUntil(limit, [&] {
        for (HWND window : visibleTopLevelWindows(user.program().processId)) {
            if (std::find(answered.begin(), answered.end(), window) != answered.end()) continue;
            answered.push_back(window);
            const std::string caption = windowCaption(window);
            const int answer = handleWindow(user, window, ++number, output);
            if (answer == IDYES && caption == FINAL_CAPTION) productStarted = true;
            if (answer != 0 && caption == RUNNING_COPIES_CAPTION) {
                busyRingAt = GetTickCount64() + BUSY_RING_AFTER_MS;
            }
        }
        if (busyRingAt != 0 && GetTickCount64() >= busyRingAt) {
            busyRingAt = 0;
            savePicture(++number, "busy-ring", output);
        }
        return !isRunning(user.program());
    });
    DWORD exitCode = AUTOPILOT_FAILED;
    if (!ended || !user.waitForExit(0, &exitCode)) {
        user.transcript().add("timeout", "setup did not end in time");
        exitCode = AUTOPILOT_FAILED;
    } else if (productStarted) {
        HWND product = waitForProductWindow(before);
        if (!product) {
            user.transcript().add("timeout", "the product's window did not show");
            exitCode = AUTOPILOT_FAILED;
        } else {
            recordWindow(user, product, ++number, output);
            if (!closeProduct(user, product)) {
                user.transcript().add("timeout", "the product's window did not close");
                exitCode = AUTOPILOT_FAILED;
            }
        }
    }
    fputs(user.transcript().joined().c_str(), stdout);
    if (!user.transcript().save(output + "\\transcript.txt")) {
        fprintf(stderr, "autopilot: cannot save the transcript in %s\n", output.c_str());
    }
    return static_cast<int>(exitCode);
}
