// What the end of a run does with what an earlier installation or the user
// left where the links and the uninstall entry go, and what Yes to the
// final question starts.
#include <shlobj.h>

#include "e2e/e2e_support.h"
#include "e2e/machine_state.h"
#include "e2e/setup_driving.h"
#include "scripted_user/deadline.h"

namespace e2e {
namespace {

using Completion = ScriptedRun;

const char* const PRODUCT_WINDOW_CAPTION = "Tarnwick";

// The product's main window once it has started; null when none showed. Its
// static control names the folder it found recorded.
HWND waitForProductWindow(std::string* folderLine) {
    HWND window = scripted_user::waitForWindow(0, PRODUCT_WINDOW_CAPTION, WINDOW_TIMEOUT_MS);
    if (!window) return nullptr;
    HWND label = nullptr;
    scripted_user::pollUntil(WINDOW_TIMEOUT_MS, [&] {
        label = FindWindowExA(window, nullptr, "Static", nullptr);
        return label != nullptr;
    });
    *folderLine = scripted_user::childText(label);
    return window;
}

// Closes the product as a user would and waits until its process is gone.
bool closeProduct(HWND window) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
    if (!process) return false;
    bool ended = scripted_user::postPress(window, {{WM_CLOSE, 0, 0}}) &&
                 WaitForSingleObject(process, RUN_TIMEOUT_MS) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

TEST_F(Completion, ExistingEntryKeepsOtherValuesLeftoverLinksGoAndYesStartsTheProduct) {
    const std::string key = uninstallKey("Tarnwick");
    ASSERT_TRUE(writeMachineText(key, "DisplayName", "Tarnwick 0.9"));
    ASSERT_TRUE(writeMachineText(key, "UninstallString", "C:\\Old\\kluninst.exe"));
    ASSERT_TRUE(writeMachineText(key, "Publisher", "Kestrel Loom Software"));
    const std::string group = joinPath(specialFolder(CSIDL_PROGRAMS), "Tarnwick");
    ASSERT_TRUE(makeEmptyFolder(group));
    ASSERT_TRUE(writeFile(joinPath(group, "Uninstall.lnk.lnk"), bytesOf("a leftover")));
    ASSERT_TRUE(writeFile(joinPath(group, "Uninstall.lnk"), bytesOf("no link at all")));
    ASSERT_TRUE(makeEmptyFolder("C:\\twtest\\again"));
    const std::string folder = "C:\\twtest\\again\\Tarnwick";

    runToSuccess(user, buildPath(TW_SETUP_EXE), folder, IDYES, "final-question-yes");
    if (HasFatalFailure()) return;

    // The two values are written over, the third stays; the links are made
    // as in a clean run, with the leftover gone.
    expectTarnwickRegistered(folder);
    EXPECT_EQ(machineValue(key, "Publisher"), "REG_SZ Kestrel Loom Software");
    EXPECT_FALSE(fileExists(joinPath(group, "Uninstall.lnk.lnk")));

    // Yes started the product from its folder, which it finds recorded.
    std::string folderLine;
    HWND product = waitForProductWindow(&folderLine);
    ASSERT_NE(product, nullptr) << "no window captioned " << PRODUCT_WINDOW_CAPTION;
    user.transcript().add("window", PRODUCT_WINDOW_CAPTION);
    user.transcript().add("text", folderLine);
    EXPECT_EQ(folderLine, "Data folder: " + folder);
    EXPECT_EQ(processesNamed("tarnwick.exe").size(), 1u);
    EXPECT_TRUE(user.screenshot("product-running"));
    EXPECT_TRUE(closeProduct(product));
}

TEST_F(Completion, FileWhereTheGroupFolderGoesGivesNoLinksAndTheRunGoesOn) {
    const std::string group = joinPath(specialFolder(CSIDL_PROGRAMS), "Tarnwick");
    const std::vector<uint8_t> content = bytesOf("a file of the user's, named like the group");
    ASSERT_TRUE(writeFile(group, content));
    ASSERT_TRUE(makeEmptyFolder("C:\\twtest\\nogroup"));
    const std::string folder = "C:\\twtest\\nogroup\\Tarnwick";

    runToSuccess(user, buildPath(TW_SETUP_EXE), folder, IDNO, "final-question");
    if (HasFatalFailure()) return;

    std::vector<uint8_t> after;
    ASSERT_TRUE(readFile(group, &after)) << "the file is gone";
    EXPECT_TRUE(after == content) << "the file was changed";
    EXPECT_FALSE(fileExists(group + ".lnk"));
    EXPECT_FALSE(fileExists(joinPath(specialFolder(CSIDL_PROGRAMS), "Tarnwick.lnk")));
    // What follows the links is done all the same.
    EXPECT_EQ(machineValue(uninstallKey("Tarnwick"), "DisplayName"), "REG_SZ Tarnwick");
}

}  // namespace
}  // namespace e2e
