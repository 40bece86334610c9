#include "e2e/setup_driving.h"

#include <algorithm>
#include <cctype>

#include "e2e/e2e_support.h"
#include "scripted_user/deadline.h"

namespace e2e {

const char* const BACKDROP_CAPTION = "Install Tarnwick";
const char* const AGREEMENT_CAPTION = "END USER LICENSE AGREEMENT";
const char* const FOLDER_CAPTION = "Choose a Folder";
const char* const PROGRESS_CAPTION = "Setup Progress";
const char* const EXISTING_FOLDER_CAPTION = "Write Data to Existing Folder?";
const char* const NOT_INSTALLED_CAPTION = "Application Not Installed";
const char* const NOT_INSTALLED_TEXT =
    "The application will not be installed at this time. If you decide to install the "
    "application later, just launch this program again to complete the installation process.";
const char* const FINAL_CAPTION = "Installation Successful";
const char* const RUNNING_COPIES_CAPTION = "Closing Running Copies";
const char* const OLD_SERVICE_CAPTION = "Uninstalling Old Service (If Present)";
const char* const OLD_SERVICE_TEXT =
    "There will be a brief pause while any previously installed copies of our NT service are "
    "shut down. This pause will begin when you click OK.";
const ProductRun TARNWICK_RUN = {"Tarnwick", false};
const char* const SETUP_START_FOLDER = "C:\\twtest\\start";

std::string runningCopiesText(const std::string& product) {
    return "Any copies of " + product +
           " currently running must now be shut down. This may take a few seconds.";
}

void splitFolder(const std::string& folder, std::string* parent, std::string* application) {
    size_t split = folder.find_last_of("\\/");
    *parent = split == std::string::npos ? folder : folder.substr(0, split);
    *application = split == std::string::npos ? "" : folder.substr(split + 1);
}

namespace {

bool endsWithTarnwick(const std::string& folder) {
    const std::string group = "tarnwick";
    if (folder.size() < group.size()) return false;
    std::string tail = folder.substr(folder.size() - group.size());
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return tail == group;
}

bool asksAboutExistingFolder(const std::string& folder) {
    return isDirectory(folder) && !endsWithTarnwick(folder);
}

}  // namespace

bool acceptAgreement(scripted_user::ScriptedUser& user) {
    HWND agreement = user.waitForWindow(AGREEMENT_CAPTION, WINDOW_TIMEOUT_MS);
    return agreement && user.answer(agreement, IDOK);
}

bool chooseFolder(scripted_user::ScriptedUser& user, const std::string& parent,
                  const std::string& application) {
    HWND dialog = user.waitForWindow(FOLDER_CAPTION, WINDOW_TIMEOUT_MS);
    if (!dialog || !scripted_user::waitForControl(dialog, APPLICATION_FOLDER_ID, WINDOW_TIMEOUT_MS)) {
        return false;
    }
    return user.type(dialog, PARENT_FOLDER_ID, parent) &&
           user.type(dialog, APPLICATION_FOLDER_ID, application) && user.answer(dialog, IDOK);
}

bool driveThroughFolderChoice(scripted_user::ScriptedUser& user, const std::string& folder) {
    bool asked = asksAboutExistingFolder(folder);
    std::string parent, application;
    splitFolder(folder, &parent, &application);
    if (!acceptAgreement(user) || !chooseFolder(user, parent, application)) return false;
    if (asked) {
        HWND question = user.waitForMessageBox(EXISTING_FOLDER_CAPTION, WINDOW_TIMEOUT_MS);
        if (!question || !user.answerYes(question)) return false;
    }
    return waitUntilFolderDialogGone(user);
}

bool waitUntilFolderDialogGone(scripted_user::ScriptedUser& user) {
    HWND dialog = scripted_user::waitForWindow(user.program().processId, FOLDER_CAPTION, 0);
    return !dialog || scripted_user::waitUntilGone(dialog, WINDOW_TIMEOUT_MS);
}

namespace {

struct Notice {
    const char* caption;
    std::string text;
};

std::vector<Notice> noticesOf(const ProductRun& run) {
    std::vector<Notice> notices = {{RUNNING_COPIES_CAPTION, runningCopiesText(run.product)}};
    if (run.removesOldService) notices.push_back({OLD_SERVICE_CAPTION, OLD_SERVICE_TEXT});
    return notices;
}

}  // namespace

bool answerNotices(scripted_user::ScriptedUser& user, const ProductRun& run,
                   ULONGLONG* lastAnswer) {
    for (const Notice& notice : noticesOf(run)) {
        HWND box = waitForNextMessage(user, notice.caption);
        if (!box) return false;
        // The text is checked with the transcript.
        user.readMessageBox(box);
        if (lastAnswer) *lastAnswer = GetTickCount64();
        // An answered box stays a moment; it is no next message.
        if (!user.answerOk(box) || !scripted_user::waitUntilGone(box, WINDOW_TIMEOUT_MS)) {
            return false;
        }
    }
    return true;
}

std::vector<std::string> noticesTranscript(const ProductRun& run) {
    std::vector<std::string> lines;
    for (const Notice& notice : noticesOf(run)) {
        lines.push_back(std::string("window: ") + notice.caption);
        lines.push_back("text: " + notice.text);
        lines.push_back("answer: OK");
    }
    return lines;
}

bool waitForExtraction(scripted_user::ScriptedUser& user) {
    return scripted_user::pollUntil(STAGE_WAITS_MS + WINDOW_TIMEOUT_MS, [&] {
        for (HWND window : scripted_user::visibleTopLevelWindows(user.program().processId)) {
            if (scripted_user::isMessageBox(window) ||
                scripted_user::windowCaption(window) == PROGRESS_CAPTION) {
                return true;
            }
        }
        return !scripted_user::isRunning(user.program());
    });
}

bool driveToExtraction(scripted_user::ScriptedUser& user, const std::string& folder,
                       const ProductRun& run) {
    return driveThroughFolderChoice(user, folder) && answerNotices(user, run) &&
           waitForExtraction(user);
}

std::vector<std::string> openingTranscript(const std::string& folder, const ProductRun& run) {
    std::string parent, application;
    splitFolder(folder, &parent, &application);
    std::vector<std::string> lines = {std::string("window: ") + AGREEMENT_CAPTION, "answer: I Accept",
                                      std::string("window: ") + FOLDER_CAPTION,
                                      "type: " + parent, "type: " + application, "answer: OK"};
    if (asksAboutExistingFolder(folder)) {
        lines.push_back(std::string("window: ") + EXISTING_FOLDER_CAPTION);
        lines.push_back("answer: Yes");
    }
    return concat(lines, noticesTranscript(run));
}

bool startSetup(scripted_user::ScriptedUser& user, const std::string& exe, WindowSpy* spy,
                const std::string& backdrop) {
    if (!isDirectory(SETUP_START_FOLDER) && !makeEmptyFolder(SETUP_START_FOLDER)) return false;
    if (!user.start(exe, SETUP_START_FOLDER)) return false;
    HWND window = scripted_user::waitForWindow(user.program().processId, backdrop,
                                               WINDOW_TIMEOUT_MS);
    return window && (!spy || spy->watch(window));
}

std::string finalQuestionText(const std::string& product) {
    return product + " has been successfully installed on your system. Would you like to start " +
           product + " now?";
}

HWND waitForNextMessage(scripted_user::ScriptedUser& user, const std::string& caption) {
    HWND found = nullptr;
    scripted_user::pollUntil(WINDOW_TIMEOUT_MS, [&] {
        for (HWND window : scripted_user::visibleTopLevelWindows(user.program().processId)) {
            if (!scripted_user::isMessageBox(window)) continue;
            // Not yet captioned, or a dialog of setup's going.
            if (!scripted_user::waitUntilReady(window) || !scripted_user::isMessageBox(window)) {
                continue;
            }
            const std::string shown = scripted_user::windowCaption(window);
            if (shown == caption) {
                found = window;
            } else {
                user.transcript().add("window", shown);
                user.readMessageBox(window);
            }
            return true;
        }
        return !scripted_user::isRunning(user.program());
    });
    if (!found) return nullptr;
    return user.waitForMessageBox(caption, WINDOW_TIMEOUT_MS);
}

std::vector<std::string> finalTranscript(const std::string& product, const char* answer) {
    return {std::string("window: ") + FINAL_CAPTION, "text: " + finalQuestionText(product),
            std::string("answer: ") + answer, "exit: 0"};
}

void answerFinalQuestion(scripted_user::ScriptedUser& user, HWND question,
                         const std::string& product, int button,
                         const std::string& screenshotName) {
    // The transcript says what stood in the way.
    ASSERT_NE(question, nullptr) << "no message captioned " << FINAL_CAPTION << " after\n"
                                 << user.transcript().joined();
    EXPECT_EQ(user.readMessageBox(question), finalQuestionText(product));
    // Yes and No, and no icon.
    EXPECT_NE(GetDlgItem(question, IDYES), nullptr);
    EXPECT_NE(GetDlgItem(question, IDNO), nullptr);
    EXPECT_FALSE(scripted_user::messageBoxHasIcon(question));
    EXPECT_TRUE(user.screenshot(screenshotName));
    ASSERT_TRUE(user.answer(question, button));
    DWORD exitCode = 1;
    ASSERT_TRUE(user.waitForExit(RUN_TIMEOUT_MS, &exitCode))
        << "setup did not end within " << RUN_TIMEOUT_MS << " ms";
    EXPECT_EQ(exitCode, 0u);
}

HWND runToFailureMessage(scripted_user::ScriptedUser& user, const std::string& exe,
                         const std::string& folder, std::vector<std::string>* opening) {
    *opening = openingTranscript(folder);
    if (!startSetup(user, exe) || !driveToExtraction(user, folder)) return nullptr;
    return user.waitForMessageBox(FAILURE_CAPTION, WINDOW_TIMEOUT_MS);
}

void runToSuccess(scripted_user::ScriptedUser& user, const std::string& exe,
                  const std::string& folder, int button, const std::string& screenshotName) {
    const std::vector<std::string> expected =
        concat(openingTranscript(folder),
               finalTranscript("Tarnwick", button == IDYES ? "Yes" : "No"));
    WindowSpy spy;
    ASSERT_TRUE(startSetup(user, exe, &spy)) << exe;
    ASSERT_TRUE(driveToExtraction(user, folder));
    HWND question = waitForNextMessage(user, FINAL_CAPTION);
    const std::vector<std::string> beforeQuestion = spy.destroyed();
    answerFinalQuestion(user, question, "Tarnwick", button, screenshotName);
    if (::testing::Test::HasFatalFailure()) return;
    EXPECT_EQ(user.transcript().lines(), expected);
    EXPECT_EQ(std::count(beforeQuestion.begin(), beforeQuestion.end(), PROGRESS_CAPTION), 1)
        << "the progress dialog was not closed before the final question";
    // Wine's own helper windows of the thread may go after it.
    const std::vector<std::string> destroyed = spy.destroyed();
    const auto asked = std::find(destroyed.begin(), destroyed.end(), FINAL_CAPTION);
    EXPECT_TRUE(asked != destroyed.end() &&
                std::find(asked, destroyed.end(), BACKDROP_CAPTION) != destroyed.end())
        << "setup did not close the backdrop after the final question: "
        << ::testing::PrintToString(destroyed);
}

}  // namespace e2e
