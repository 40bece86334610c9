// Browse in "Choose a Folder": the shell's folder browser, titled "Select a
// Folder". Cancelling it changes nothing; a folder picked in it becomes the
// parent folder, below which the application folder is made.
#include "e2e/data_folder_support.h"

#include <algorithm>

namespace e2e {
namespace data_folder {
namespace {

using DataFolderBrowse = ScriptedRun;

const char BROWSER_TITLE[] = "Select a Folder";

BOOL CALLBACK collectText(HWND child, LPARAM context) {
    reinterpret_cast<std::vector<std::string>*>(context)->push_back(
        scripted_user::childText(child));
    return TRUE;
}

// The texts the browser shows: its caption and those of its controls.
std::vector<std::string> shownTexts(HWND browser) {
    std::vector<std::string> texts = {scripted_user::windowCaption(browser)};
    EnumChildWindows(browser, collectText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

bool showsTitle(HWND browser) {
    std::vector<std::string> texts = shownTexts(browser);
    return std::find(texts.begin(), texts.end(), BROWSER_TITLE) != texts.end();
}

HWND openBrowser(scripted_user::ScriptedUser& user, HWND dialog) {
    if (!user.answer(dialog, BROWSE_ID)) return nullptr;
    return waitForFolderBrowser(user, dialog);
}

TEST_F(DataFolderBrowse, CancelledBrowserLeavesBothEdits) {
    const Proposal typed = {"C:\\twtest\\typed", "Mine"};
    HWND dialog = openFolderDialog(user);
    ASSERT_NE(dialog, nullptr) << "no dialog captioned " << FOLDER_CAPTION;
    ASSERT_TRUE(user.type(dialog, PARENT_FOLDER_ID, typed.parent));
    ASSERT_TRUE(user.type(dialog, APPLICATION_FOLDER_ID, typed.application));

    HWND browser = openBrowser(user, dialog);
    ASSERT_NE(browser, nullptr) << "no folder browser showed";
    EXPECT_TRUE(showsTitle(browser)) << "\"" << BROWSER_TITLE << "\" is not shown";
    EXPECT_TRUE(user.screenshot("select-a-folder"));
    ASSERT_TRUE(answerAndWaitUntilClosed(user, browser, IDCANCEL));

    ASSERT_TRUE(dialogStaysOpen(dialog));
    EXPECT_EQ(readProposal(user, dialog), typed);
    expectCancelEndsTheRun(user, dialog);
    EXPECT_FALSE(isDirectory(typed.parent));
}

TEST_F(DataFolderBrowse, PickedFolderBecomesTheParent) {
    const std::string picked = "C:\\twtest\\browse\\picked";
    const std::string folder = joinPath(picked, "Mine");
    ASSERT_TRUE(makeEmptyFolder(picked));
    HWND dialog = openFolderDialog(user);
    ASSERT_NE(dialog, nullptr) << "no dialog captioned " << FOLDER_CAPTION;
    ASSERT_TRUE(user.type(dialog, APPLICATION_FOLDER_ID, "Mine"));

    HWND browser = openBrowser(user, dialog);
    ASSERT_NE(browser, nullptr) << "no folder browser showed";
    EXPECT_TRUE(showsTitle(browser)) << "\"" << BROWSER_TITLE << "\" is not shown";
    ASSERT_TRUE(selectInFolderBrowser(user.program(), browser, picked));
    ASSERT_TRUE(answerAndWaitUntilClosed(user, browser, IDOK));

    ASSERT_TRUE(dialogStaysOpen(dialog));
    // Anything else would install into a folder the test does not own.
    ASSERT_EQ(readProposal(user, dialog), (Proposal{picked, "Mine"}));
    ASSERT_TRUE(user.answer(dialog, IDOK));
    expectRunCompletes(user);
    if (HasFatalFailure()) return;

    bool recorded = false;
    EXPECT_EQ(recordedDataFolder(&recorded), folder);
    expectPayloadIn(folder);
}

}  // namespace
}  // namespace data_folder
}  // namespace e2e
