// Files that a running program holds open: a held library counts as in
// place already, any other held file fails the run.
#include <shlobj.h>

#include <map>
#include <utility>

#include "e2e/e2e_support.h"
#include "e2e/machine_state.h"
#include "e2e/setup_driving.h"

namespace e2e {
namespace {

using HeldFileRun = ScriptedRun;

// The times stored for the test product (products/held/product.json).
struct HeldProductFile {
    const char* name;
    int64_t time;
};
const HeldProductFile HELD_PRODUCT[] = {
    {"first.txt", 1200000000},
    {"helper.dll", 1200000100},
    {"data.bin", 1200000200},
    {"last.txt", 1200000300},
};

// What stood in the folder before setup ran, with a time of its own.
const int64_t EARLIER_TIME = 900000000;
const char* const EARLIER_CONTENT = "the version a running program has open\r\n";

std::string productFile(const char* name) {
    return joinPath(buildPath(TW_HELD_PRODUCT_DIR), std::string("files\\") + name);
}

void expectWrittenAsStored(const std::string& folder, const HeldProductFile& file) {
    SCOPED_TRACE(file.name);
    std::vector<uint8_t> written, genuine;
    ASSERT_TRUE(readFile(joinPath(folder, file.name), &written)) << "not written";
    ASSERT_TRUE(readFile(productFile(file.name), &genuine));
    EXPECT_TRUE(written == genuine);
    EXPECT_EQ(modificationTime(joinPath(folder, file.name)), file.time);
}

void expectEarlierCopy(const std::string& path) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(readFile(path, &bytes)) << path << " is gone";
    EXPECT_TRUE(bytes == bytesOf(EARLIER_CONTENT)) << path << " was changed";
    EXPECT_EQ(modificationTime(path), EARLIER_TIME);
}

// Puts an earlier copy of `name` into a new folder and holds it open.
void holdEarlierCopy(const std::string& folder, const char* name, HeldFile* held) {
    ASSERT_TRUE(makeEmptyFolder(folder));
    const std::string path = joinPath(folder, name);
    ASSERT_TRUE(writeFile(path, bytesOf(EARLIER_CONTENT)));
    ASSERT_TRUE(setModificationTime(path, EARLIER_TIME));
    ASSERT_TRUE(held->hold(path)) << "holdfile.exe did not take hold of " << path;
}

TEST_F(HeldFileRun, HeldLibraryIsTakenAsInPlace) {
    const std::string folder = "C:\\twtest\\heldlibrary";
    HeldFile held;
    holdEarlierCopy(folder, "helper.dll", &held);
    if (HasFatalFailure()) return;

    runToSuccess(user, buildPath(TW_HELD_SETUP_EXE), folder, IDNO, "final-question");
    if (HasFatalFailure()) return;
    ASSERT_TRUE(held.release());

    for (const HeldProductFile& file : HELD_PRODUCT) {
        if (std::string(file.name) != "helper.dll") expectWrittenAsStored(folder, file);
    }
    expectEarlierCopy(joinPath(folder, "helper.dll"));
}

TEST_F(HeldFileRun, HeldDataFileFailsTheRunAndWrittenFilesAreTakenBack) {
    const std::string folder = "C:\\twtest\\helddata";
    HeldFile held;
    holdEarlierCopy(folder, "data.bin", &held);
    if (HasFatalFailure()) return;

    std::vector<std::string> expected;
    HWND box = runToFailureMessage(user, buildPath(TW_HELD_SETUP_EXE), folder, &expected);
    ASSERT_NE(box, nullptr) << "no message box captioned " << FAILURE_CAPTION;
    EXPECT_EQ(user.readMessageBox(box), CANNOT_CREATE_TEXT);
    // The files the run wrote before the held one are gone before the
    // message: nothing of the failed run is left while the user reads.
    EXPECT_FALSE(fileExists(joinPath(folder, "first.txt")));
    EXPECT_FALSE(fileExists(joinPath(folder, "helper.dll")));
    EXPECT_FALSE(fileExists(joinPath(folder, "last.txt")));
    EXPECT_TRUE(user.screenshot("held-file-message"));
    ASSERT_TRUE(user.answerOk(box));
    DWORD exitCode = 1;
    ASSERT_TRUE(user.waitForExit(RUN_TIMEOUT_MS, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    for (const std::string& line : {std::string("window: ") + FAILURE_CAPTION,
                                    std::string("text: ") + CANNOT_CREATE_TEXT,
                                    std::string("answer: OK"), std::string("exit: 0")}) {
        expected.push_back(line);
    }
    EXPECT_EQ(user.transcript().lines(), expected);
    ASSERT_TRUE(held.release());

    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"data.bin"});
    expectEarlierCopy(joinPath(folder, "data.bin"));
}

// Every file of a folder with its bytes and time, and what the product's
// links and uninstall entry say.
struct Installation {
    std::map<std::string, std::pair<std::vector<uint8_t>, int64_t>> files;
    std::vector<ShellLink> links;
    std::vector<std::string> entry;
    bool operator==(const Installation& other) const {
        return files == other.files && links == other.links && entry == other.entry;
    }
};

Installation installationIn(const std::string& folder) {
    Installation state;
    for (const std::string& name : folderEntries(folder)) {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(readFile(joinPath(folder, name), &bytes)) << name;
        state.files[name] = {bytes, modificationTime(joinPath(folder, name))};
    }
    const std::string group = joinPath(specialFolder(CSIDL_PROGRAMS), "Tarnwick");
    for (const char* link : {"Tarnwick.lnk", "Uninstall.lnk"}) {
        state.links.push_back(readShellLink(joinPath(group, link)));
    }
    for (const char* name : {"DisplayName", "UninstallString", "QuietUninstallString",
                             "DisplayIcon", "InstallLocation", "EstimatedSize"}) {
        state.entry.push_back(machineValue(uninstallKey("Tarnwick"), name));
    }
    return state;
}

TEST_F(HeldFileRun, FailedUpgradeLeavesTheEarlierInstallationAsItWasOnEachFamily) {
    const std::string exe = buildPath(TW_HELD_SETUP_EXE);
    for (const bool windows95 : {false, true}) {
        SCOPED_TRACE(windows95 ? "the Windows 95 family" : "the NT family");
        const std::string folder =
            windows95 ? "C:\\twtest\\upgrade95\\Tarnwick" : "C:\\twtest\\upgradent\\Tarnwick";
        ASSERT_TRUE(makeEmptyFolder(folder));
        if (windows95) {
            ASSERT_TRUE(setWindowsVersionFor("setup.exe", "win98"));
        }
        {
            scripted_user::ScriptedUser installer;
            runToSuccess(installer, exe, folder, IDNO, windows95 ? "installed-95" : "installed-nt");
            if (HasFatalFailure()) return;
        }
        // Changed since it was installed, so that the two versions differ.
        const std::string changed = joinPath(folder, "data.bin");
        ASSERT_TRUE(writeFile(changed, bytesOf(EARLIER_CONTENT)));
        ASSERT_TRUE(setModificationTime(changed, EARLIER_TIME));
        const Installation before = installationIn(folder);
        ASSERT_EQ(before.files.size(), 5u) << "four files and the uninstaller";

        // The last file but the uninstaller is held: every file before it
        // has been replaced when the run fails.
        HeldFile held;
        ASSERT_TRUE(held.hold(joinPath(folder, "last.txt")));
        scripted_user::ScriptedUser upgrader;
        std::vector<std::string> opening;
        HWND box = runToFailureMessage(upgrader, exe, folder, &opening);
        ASSERT_NE(box, nullptr) << "no message box captioned " << FAILURE_CAPTION;
        EXPECT_EQ(upgrader.readMessageBox(box),
                  std::string(CANNOT_CREATE_TEXT) +
                      "\r\n\r\nThe version installed before has been restored and is unchanged.");
        // Put back before the message says so.
        expectEarlierCopy(changed);
        EXPECT_EQ(folderEntries(folder), (std::vector<std::string>{"data.bin", "first.txt",
                                                                   "helper.dll", "kluninst.exe",
                                                                   "last.txt"}));
        EXPECT_TRUE(upgrader.screenshot(windows95 ? "restored-95" : "restored-nt"));
        ASSERT_TRUE(upgrader.answerOk(box));
        DWORD exitCode = 1;
        ASSERT_TRUE(upgrader.waitForExit(RUN_TIMEOUT_MS, &exitCode));
        EXPECT_EQ(exitCode, 0u);
        ASSERT_TRUE(held.release());
        EXPECT_TRUE(installationIn(folder) == before)
            << "folder now: " << testing::PrintToString(folderEntries(folder));
    }
}

}  // namespace
}  // namespace e2e
