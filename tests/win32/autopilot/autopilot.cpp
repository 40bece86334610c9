// Runs a setup program the way a user who accepts every default would:
//
//   autopilot.exe [--times PROBE.EXE] SETUP.EXE FOLDER OUTPUT-FOLDER [SECONDS]
//
// Starts SETUP.EXE with FOLDER (created when missing) as its current
// directory. Each new top-level window of setup is recorded in the
// transcript with its texts, saved as OUTPUT-FOLDER\NN-<caption>.png (only
// while it is in front: a window that is gone before the screen settles,
// such as a quick progress dialog, has no picture), and answered with its
// default: OK, or Yes for a question, in a message box;
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
//
// With --times the run is timed, for tests/bench/whole-run: PROBE.EXE, a
// program that does nothing, is started and waited for a few times first,
// and OUTPUT-FOLDER\times.txt gets one line per moment, "<ms> <event>
// [caption]", printed after the transcript too, in milliseconds from just
// before setup was started: "probe"
// (how long after its own start each probe ended), "created" (setup's
// process made), "seen" (a window of setup's found), "answered" (its
// button pressed), "product" (the product's process made) and "exited"
// (setup ended). No picture is taken then: a capture would be the user's
// time, and the busy ring's would take the CPU from setup's animation in
// the middle of its wait.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

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
const int PROBE_STARTS = 5;
const DWORD PROBE_TIMEOUT_MS = 30000;

// Whether screenshots are saved; not in a timed run.
bool takePictures = true;

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

// Saves the screen as OUTPUT-FOLDER\NN-<name>.png. With `window`, the picture
// is of that window, in front of its program's others, or there is none: a
// window that went (or was covered by the next) before the screen settled
// leaves no picture of what came after it under its name.
void savePicture(int number, const std::string& name, const std::string& output,
                 HWND window = nullptr) {
    if (!takePictures) return;
    char prefix[16];
    snprintf(prefix, sizeof prefix, "%02d-", number);
    std::string picture = output + "\\" + prefix + name + ".png";
    if (window && !IsWindow(window)) {
        fprintf(stderr, "autopilot: no %s: the window went before it could be pictured\n",
                picture.c_str());
    } else if (window && !saveWindowScreenshot(picture, window)) {
        DeleteFileA(picture.c_str());
        fprintf(stderr, "autopilot: no %s: the window went, or another came in front of it, "
                        "before the screen settled\n", picture.c_str());
    } else if (!window && !saveScreenshot(picture)) {
        fprintf(stderr, "autopilot: cannot save %s\n", picture.c_str());
    }
}

// Records the window and its texts and saves a screenshot.
void recordWindow(ScriptedUser& user, HWND window, int number, const std::string& output) {
    std::string caption = windowCaption(window);
    user.transcript().add("window", caption);
    // A dialog may show before its controls are made. A plain window may
    // have none at all, as the backdrop has: waiting for one there kept the
    // agreement unanswered for the whole timeout.
    if (windowClass(window) == "#32770") {
        waitForAnyControl(window, CONTROLS_TIMEOUT_MS);
        if (isMessageBox(window)) waitUntilReady(window);
    }
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
    savePicture(number, shortCaption(caption), output, window);
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
    return user.press(window, "close", windowCaption(window), {{WM_CLOSE, 0, 0}}) &&
           waitUntilGone(window, PRODUCT_TIMEOUT_MS);
}

// A moment as a count of 100 ns since 1601, the unit of FILETIME.
ULONGLONG ticks(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

ULONGLONG now() {
    FILETIME time;
    GetSystemTimePreciseAsFileTime(&time);
    return ticks(time);
}

// When the process was made and when it ended, as the system recorded them:
// exact where a poll would be late by up to its interval. False while it
// runs.
bool processTimes(HANDLE process, ULONGLONG* created, ULONGLONG* exited) {
    FILETIME creation, exit, kernel, user;
    if (WaitForSingleObject(process, 0) != WAIT_OBJECT_0 ||
        !GetProcessTimes(process, &creation, &exit, &kernel, &user)) {
        return false;
    }
    *created = ticks(creation);
    *exited = ticks(exit);
    return true;
}

// When the running process `processId` was made; false when it cannot be
// asked.
bool creationTime(DWORD processId, ULONGLONG* created) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process) return false;
    FILETIME creation, exit, kernel, user;
    const bool known = GetProcessTimes(process, &creation, &exit, &kernel, &user) != 0;
    CloseHandle(process);
    if (known) *created = ticks(creation);
    return known;
}

// The moments of a timed run. Kept in memory and written once at the end,
// so that keeping them takes nothing from setup while it runs.
class Timeline {
public:
    void begin() { origin_ = now(); }
    void mark(const char* event, const std::string& caption = "") {
        markAt(now(), event, caption);
    }
    void markAt(ULONGLONG at, const char* event, const std::string& caption = "") {
        add(static_cast<double>(static_cast<LONGLONG>(at - origin_)) / 1e4, event, caption);
    }
    void add(double milliseconds, const char* event, const std::string& caption = "") {
        char line[64];
        snprintf(line, sizeof line, "%.1f %s", milliseconds, event);
        lines_ += line;
        if (!caption.empty()) lines_ += " " + caption;
        lines_ += "\n";
    }
    const std::string& text() const { return lines_; }
    bool save(const std::string& path) const {
        FILE* file = fopen(path.c_str(), "wb");
        if (!file) return false;
        bool written = fwrite(lines_.data(), 1, lines_.size(), file) == lines_.size();
        return fclose(file) == 0 && written;
    }

private:
    ULONGLONG origin_ = 0;
    std::string lines_;
};

// What a start costs by itself under this Wine: PROBE.EXE, which does
// nothing, from just before its start to its end, a few times. False when
// it does not start or end.
bool timeProbe(const std::string& probe, Timeline* timeline) {
    for (int i = 0; i < PROBE_STARTS; ++i) {
        Program program;
        const ULONGLONG started = now();
        ULONGLONG created = 0, exited = 0;
        DWORD exitCode = 0;
        bool ended = startProgram(probe, "", "", &program) &&
                     waitForExit(program, PROBE_TIMEOUT_MS, &exitCode) &&
                     processTimes(program.process, &created, &exited);
        endProgram(&program);
        if (!ended) return false;
        timeline->add(static_cast<double>(exited - started) / 1e4, "probe");
    }
    return true;
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
    std::string probe;
    if (argc > 2 && strcmp(argv[1], "--times") == 0) {
        probe = argv[2];
        argc -= 2;
        argv += 2;
    }
    const bool timed = !probe.empty();
    if (argc < 4 || argc > 5) {
        fprintf(stderr,
                "usage: autopilot.exe [--times PROBE.EXE] SETUP.EXE FOLDER OUTPUT-FOLDER "
                "[SECONDS]\n");
        return AUTOPILOT_FAILED;
    }
    takePictures = !timed;
    const std::string setup = argv[1], folder = argv[2], output = argv[3];
    const DWORD limit = argc == 5 ? static_cast<DWORD>(atoi(argv[4])) * 1000 : 300000;
    if (!makeFolder(folder) || !makeFolder(output)) {
        fprintf(stderr, "autopilot: cannot create %s or %s\n", folder.c_str(), output.c_str());
        return AUTOPILOT_FAILED;
    }

    // Whatever shows already is no window of the product's.
    const std::vector<HWND> before = visibleTopLevelWindows(0);
    Timeline timeline;
    if (timed && !timeProbe(probe, &timeline)) {
        fprintf(stderr, "autopilot: %s did not start and end (error %lu)\n", probe.c_str(),
                GetLastError());
        return AUTOPILOT_FAILED;
    }
    ScriptedUser user;
    timeline.begin();
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
        // Bottom first: windows found in one look are taken in the order
        // they came, the backdrop before the dialog over it.
        std::vector<HWND> shown = visibleTopLevelWindows(user.program().processId);
        std::reverse(shown.begin(), shown.end());
        for (HWND window : shown) {
            if (std::find(answered.begin(), answered.end(), window) != answered.end()) continue;
            answered.push_back(window);
            // A message box is taken once its initialisation is done.
            if (isMessageBox(window)) waitUntilReady(window);
            const std::string caption = windowCaption(window);
            timeline.mark("seen", caption);
            const int answer = handleWindow(user, window, ++number, output);
            if (answer != 0) timeline.mark("answered", caption);
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
    ULONGLONG created = 0, exited = 0;
    if (ended && processTimes(user.program().process, &created, &exited)) {
        timeline.markAt(created, "created");
        timeline.markAt(exited, "exited");
    }
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
            DWORD productId = 0;
            ULONGLONG productCreated = 0;
            GetWindowThreadProcessId(product, &productId);
            if (creationTime(productId, &productCreated)) {
                timeline.markAt(productCreated, "product");
            }
            waitForAnyControl(product, CONTROLS_TIMEOUT_MS);
            recordWindow(user, product, ++number, output);
            if (!closeProduct(user, product)) {
                user.transcript().add("timeout", "the product's window did not close");
                exitCode = AUTOPILOT_FAILED;
            }
        }
    }
    fputs(user.transcript().joined().c_str(), stdout);
    if (timed) fputs(timeline.text().c_str(), stdout);
    if (!user.transcript().save(output + "\\transcript.txt")) {
        fprintf(stderr, "autopilot: cannot save the transcript in %s\n", output.c_str());
    }
    if (timed && !timeline.save(output + "\\times.txt")) {
        fprintf(stderr, "autopilot: cannot save the times in %s\n", output.c_str());
        exitCode = AUTOPILOT_FAILED;
    }
    return static_cast<int>(exitCode);
}
