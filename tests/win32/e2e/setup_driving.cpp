#include "e2e/setup_driving.h"

#include <algorithm>
#include <cctype>

#include "e2e/e2e_support.h"

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
const char* const SETUP_START_FOLDER = "C:\\twtest\\start";

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

bool driveToExtraction(scripted_user::ScriptedUser& user, const std::string& folder) {
    bool asked = asksAboutExistingFolder(folder);
    std::string parent, application;
    splitFolder(folder, &parent, &application);
    if (!acceptAgreement(user) || !chooseFolder(user, parent, application)) return false;
    HWND dialog = scripted_user::waitForWindow(user.program().processId, FOLDER_CAPTION, 0);
    if (asked) {
        HWND question = user.waitForMessageBox(EXISTING_FOLDER_CAPTION, WINDOW_TIMEOUT_MS);
        if (!question || !user.answerYes(question)) return false;
    }
    // The dialog goes once the folder is taken; a test that watches the
    // windows from here on must not find it still standing.
    return !dialog || scripted_user::waitUntilGone(dialog, WINDOW_TIMEOUT_MS);
}

std::vector<std::string> openingTranscript(const std::string& folder) {
    std::string parent, application;
    splitFolder(folder, &parent, &application);
    std::vector<std::string> lines = {std::string("window: ") + AGREEMENT_CAPTION, "answer: I Accept",
                                      std::string("window: ") + FOLDER_CAPTION,
                                      "type: " + parent, "type: " + application, "answer: OK"};
    if (asksAboutExistingFolder(folder)) {
        lines.push_back(std::string("window: ") + EXISTING_FOLDER_CAPTION);
        lines.push_back("answer: Yes");
    }
    return lines;
}

bool startSetup(scripted_user::ScriptedUser& user, const std::string& exe, WindowSpy* spy) {
    if (!isDirectory(SETUP_START_FOLDER) && !makeEmptyFolder(SETUP_START_FOLDER)) return false;
    if (!user.start(exe, SETUP_START_FOLDER)) return false;
    HWND backdrop = scripted_user::waitForWindow(user.program().processId, BACKDROP_CAPTION,
                                                 WINDOW_TIMEOUT_MS);
    return backdrop && (!spy || spy->watch(backdrop));
}

HWND runToFailureMessage(scripted_user::ScriptedUser& user, const std::string& exe,
                         const std::string& folder, std::vector<std::string>* opening) {
    *opening = openingTranscript(folder);
    if (!startSetup(user, exe) || !driveToExtraction(user, folder)) return nullptr;
    return user.waitForMessageBox(FAILURE_CAPTION, WINDOW_TIMEOUT_MS);
}

void runToQuietSuccess(scripted_user::ScriptedUser& user, const std::string& exe,
                       const std::string& folder, const std::string& screenshotName) {
    std::vector<std::string> expected = openingTranscript(folder);
    expected.push_back("exit: 0");
    WindowSpy spy;
    ASSERT_TRUE(startSetup(user, exe, &spy)) << exe;
    ASSERT_TRUE(driveToExtraction(user, folder));
    expectQuietSuccess(user, screenshotName);
    if (::testing::Test::HasFatalFailure()) return;
    EXPECT_EQ(user.transcript().lines(), expected);
    std::vector<std::string> destroyed = spy.destroyed();
    EXPECT_TRUE(std::find(destroyed.begin(), destroyed.end(), PROGRESS_CAPTION) != destroyed.end())
        << "the progress dialog was left standing until setup ended";
}

}  // namespace e2e
