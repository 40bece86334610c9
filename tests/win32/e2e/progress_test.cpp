// The progress dialog: it stands during extraction, stays on the screen
// behind the message of a failed one with the failing file's name and the
// percentage reached, and is gone before a successful run asks its final
// question.
#include <algorithm>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"
#include "e2e/setup_driving.h"
#include "scripted_user/deadline.h"

namespace e2e {
namespace {

using ProgressDialog = ScriptedRun;

// What the dialog's template holds until the first file is announced.
const char* const TEMPLATE_PERCENT_LINE = "Percent Complete:   0%";

// The percentage in "Percent Complete: N%", one blank after the colon and
// none before the sign; -1 for any other text.
int percentIn(const std::string& line) {
    const std::string prefix = "Percent Complete: ";
    if (line.compare(0, prefix.size(), prefix) != 0 || line.size() < prefix.size() + 2 ||
        line.back() != '%') {
        return -1;
    }
    const std::string digits = line.substr(prefix.size(), line.size() - prefix.size() - 1);
    if (digits.size() > 3 || (digits.size() > 1 && digits[0] == '0')) return -1;
    int value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// Moves a window off the screen, out of the way of a screenshot.
bool moveAside(HWND window) {
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    return SetWindowPos(window, nullptr, desktop.right, desktop.bottom, 0, 0,
                        SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE) != 0;
}

TEST_F(ProgressDialog, StaysBehindTheFailureMessageShowingTheFailingFile) {
    struct Case {
        const char* label;
        const char* setup;
        const char* folder;
        bool directoryInTheWay;  // a directory where tarnwick.exe goes
        int lowestPercent, highestPercent;
        const char* screenshot;
    };
    // The directory stops the first file before any of it is written.
    const Case cases[] = {
        {"directory in the way", TW_SETUP_EXE, "C:\\twtest\\inway", true, 0, 0,
         "progress-in-the-way"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string folder = c.folder;
        const std::string parent = folder.substr(0, folder.find_last_of('\\'));
        ASSERT_TRUE(makeEmptyFolder(c.directoryInTheWay ? folder : parent));
        if (c.directoryInTheWay) {
            ASSERT_TRUE(CreateDirectoryA(joinPath(folder, "tarnwick.exe").c_str(), nullptr));
        }

        scripted_user::ScriptedUser caseUser;
        WindowSpy spy;
        std::vector<std::string> opening = openingTranscript(folder);
        ASSERT_TRUE(startSetup(caseUser, buildPath(c.setup), &spy));
        ASSERT_TRUE(driveToExtraction(caseUser, folder));
        HWND box = caseUser.waitForMessageBox(FAILURE_CAPTION, WINDOW_TIMEOUT_MS);
        ASSERT_NE(box, nullptr) << "no message captioned " << FAILURE_CAPTION;

        HWND progress = scripted_user::waitForWindow(caseUser.program().processId,
                                                     PROGRESS_CAPTION, 0);
        ASSERT_NE(progress, nullptr) << "the progress dialog is gone";
        // The message is the window in front, the one the user answers. (The
        // two do not overlap, and Wine may list the dialog above the message
        // in Z order after a late activation of it; what counts is which one
        // has the foreground.)
        EXPECT_TRUE(scripted_user::pollUntil(WINDOW_TIMEOUT_MS,
                                             [&] { return GetForegroundWindow() == box; }))
            << "the message is not in front";
        EXPECT_EQ(caseUser.readControl(progress, PROGRESS_ITEM_ID), "tarnwick.exe");
        const std::string line = caseUser.readControl(progress, PROGRESS_PERCENT_ID);
        const int percent = percentIn(line);
        EXPECT_GE(percent, c.lowestPercent) << line;
        EXPECT_LE(percent, c.highestPercent) << line;
        EXPECT_TRUE(caseUser.screenshot(std::string(c.screenshot) + "-behind-message"));
        // The dialog by itself, the message moved out of the way, as it
        // stood while extraction ran.
        ASSERT_TRUE(moveAside(box));
        EXPECT_TRUE(caseUser.screenshot(c.screenshot));

        ASSERT_TRUE(caseUser.answerOk(box));
        DWORD exitCode = 1;
        ASSERT_TRUE(caseUser.waitForExit(RUN_TIMEOUT_MS, &exitCode));
        for (const std::string& l : caseUser.transcript().lines()) {
            user.transcript().add("case", std::string(c.label) + ": " + l);
        }
        EXPECT_EQ(exitCode, 0u);
        std::vector<std::string> destroyed = spy.destroyed();
        EXPECT_EQ(std::find(destroyed.begin(), destroyed.end(), PROGRESS_CAPTION),
                  destroyed.end())
            << "the progress dialog was taken down before the run ended";
        std::vector<std::string> expected = opening;
        for (const std::string& l :
             {std::string("window: ") + FAILURE_CAPTION, std::string("text: tarnwick.exe"),
              std::string("text: ") + line, std::string("answer: OK"), std::string("exit: 0")}) {
            expected.push_back(l);
        }
        EXPECT_EQ(caseUser.transcript().lines(), expected);
    }
}

TEST_F(ProgressDialog, IsClosedBySetupBeforeTheFinalQuestion) {
    ASSERT_TRUE(makeEmptyFolder("C:\\twtest\\progress"));
    const std::string folder = "C:\\twtest\\progress\\Tarnwick";
    const std::vector<std::string> opening = openingTranscript(folder);
    WindowSpy spy;
    ASSERT_TRUE(startSetup(user, buildPath(TW_SETUP_EXE), &spy));
    ASSERT_TRUE(driveToExtraction(user, folder));

    // Until the final question, no window but setup's own may show; the
    // progress dialog, when it is caught at all, says how far it got, or
    // still holds its template's line when caught before the first file.
    std::vector<std::string> lines;
    std::string other;
    HWND question = nullptr;
    scripted_user::pollUntil(RUN_TIMEOUT_MS, [&] {
        for (HWND window : scripted_user::visibleTopLevelWindows(user.program().processId)) {
            // A message box is read once it has its caption.
            const bool box = scripted_user::isMessageBox(window) &&
                             scripted_user::waitUntilReady(window) &&
                             scripted_user::isMessageBox(window);
            std::string caption = scripted_user::windowCaption(window);
            if (caption.empty() && !IsWindow(window)) continue;
            if (caption == PROGRESS_CAPTION) {
                std::string line = scripted_user::controlText(window, PROGRESS_PERCENT_ID);
                if (!line.empty()) lines.push_back(line);
            } else if (box && caption == FINAL_CAPTION) {
                question = window;
                return true;
            } else if (caption != BACKDROP_CAPTION || box) {
                other = caption;
                return true;
            }
        }
        return !scripted_user::isRunning(user.program());
    });
    ASSERT_EQ(other, "") << "a window showed before the final question";
    ASSERT_NE(question, nullptr) << "no final question";
    // Closed by setup, once, and before the question showed.
    std::vector<std::string> destroyed = spy.destroyed();
    EXPECT_EQ(std::count(destroyed.begin(), destroyed.end(), PROGRESS_CAPTION), 1)
        << "the progress dialog was not closed by setup before the final question";
    answerFinalQuestion(user, user.waitForMessageBox(FINAL_CAPTION, WINDOW_TIMEOUT_MS),
                        "Tarnwick", IDNO, "final-question");
    EXPECT_EQ(user.transcript().lines(), concat(opening, finalTranscript("Tarnwick", "No")));
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        if (line == TEMPLATE_PERCENT_LINE) continue;
        EXPECT_GE(percentIn(line), 0);
        EXPECT_LE(percentIn(line), 100);
    }
}

}  // namespace
}  // namespace e2e
