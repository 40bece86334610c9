// Odd and overlong input from outside the program, taken end to end: a
// recorded folder longer than the setting's buffer, a home folder too long
// to make a default with no Program Files folder to be had, edits at and
// past their limit, network paths, names with trailing dots or blanks (the
// Windows directory among them), settings files of binary garbage. Each is
// answered with one of the choice's own messages or installs into the
// folder the system means by the name, and drive C: is compared before and
// after: a run that ends in the dialog leaves nothing, a complete one the
// folder chosen with its files, the group's links and the settings file.
#include "e2e/data_folder_support.h"
#include "e2e/machine_state.h"
#include "scripted_user/deadline.h"

#include <shlobj.h>

#include <algorithm>
#include <map>

namespace e2e {
namespace data_folder {
namespace {

using OddInput = ScriptedRun;

const char CLOSING_CAPTION[] = "Closing Running Copies";
const char CLOSING_TEXT[] =
    "Any copies of Tarnwick currently running must now be shut down. This may take a few "
    "seconds.";
const char FULL_PATH_CAPTION[] = "Please Enter a Full Path";
const char FULL_PATH_TEXT[] =
    "That location is not a full path to a folder on this computer. Please enter a folder that "
    "begins with a drive letter, such as C:\\Tarnwick.";
const char NETWORK_PATH_CAPTION[] = "Can't Install to a Network Path";
const char NETWORK_PATH_TEXT[] =
    "That location is a network path. The application can only store its data files in a "
    "folder on one of the drives of this computer. Please choose another location, or give the "
    "network folder a drive letter first.";

// What setup reads into a buffer of 1024 bytes, and what it reads from each
// edit.
const size_t TEXT_LIMIT = 1023;
const size_t EDIT_LIMIT = 259;

std::string window(const char* caption) { return std::string("window: ") + caption; }
std::string text(const std::string& words) { return "text: " + words; }

// `base`, then folders of up to 200 characters, then `leaf`: a path of
// exactly `length` characters with no empty component.
std::string pathOfLength(const std::string& base, size_t length, const std::string& leaf) {
    std::string path = base;
    size_t remaining = length - base.size() - 1 - leaf.size();
    while (remaining > 0) {
        const size_t letters = std::min<size_t>(200, remaining - 1);
        if (letters == 0) {
            path += 'd';
            remaining -= 1;
            continue;
        }
        path += "\\" + std::string(letters, 'd');
        remaining -= letters + 1;
    }
    return path + "\\" + leaf;
}

Proposal split(const std::string& folder) {
    Proposal proposal;
    splitFolder(folder, &proposal.parent, &proposal.application);
    return proposal;
}

// --- the machine before and after -----------------------------------------

// Every file and folder of drive C: with its size (-1 for a folder); the
// Windows directory only with its own entries, since setup writes nothing
// below it for Tarnwick.
using DriveTree = std::map<std::string, int64_t>;

void addTree(const std::string& folder, const std::string& windows, DriveTree* tree) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(joinPath(folder, "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        const std::string path = joinPath(folder, name);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            (*tree)[path] = -1;
            // Wine links the user's own folders to the Linux home folder:
            // not the drive's, and not to be walked.
            const bool linked = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if (!linked && lstrcmpiA(folder.c_str(), windows.c_str()) != 0) {
                addTree(path, windows, tree);
            }
        } else {
            (*tree)[path] = (static_cast<int64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

DriveTree driveTree() {
    DriveTree tree;
    addTree("C:", windowsDirectory(), &tree);
    return tree;
}

// "+ path" for what came, "- path" for what went, "~ path" for a file whose
// size changed, in path order.
std::vector<std::string> changes(const DriveTree& before, const DriveTree& after) {
    std::vector<std::string> lines;
    for (const auto& entry : after) {
        const auto old = before.find(entry.first);
        if (old == before.end()) {
            lines.push_back("+ " + entry.first);
        } else if (old->second != entry.second) {
            lines.push_back("~ " + entry.first);
        }
    }
    for (const auto& entry : before) {
        if (!after.count(entry.first)) lines.push_back("- " + entry.first);
    }
    std::sort(lines.begin(), lines.end(),
              [](const std::string& a, const std::string& b) { return a.substr(2) < b.substr(2); });
    return lines;
}

std::vector<uint8_t> settingsFileBytes() {
    std::vector<uint8_t> bytes;
    if (!readFile(settingsFilePath(), &bytes)) bytes.clear();
    return bytes;
}

// Random bytes, the same on every run: NULs, line ends, brackets and "="
// among them, in lines of any length.
std::vector<uint8_t> garbage(size_t size, uint32_t state) {
    std::vector<uint8_t> bytes(size);
    for (uint8_t& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<uint8_t>(state >> 16);
    }
    return bytes;
}

// A network share \\server\share as Wine serves one: a folder below
// dosdevices\unc of the prefix, made empty. "" when it cannot be made.
std::string makeShare(const std::string& server, const std::string& share) {
    char prefix[MAX_PATH] = "";
    DWORD length = GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix);
    if (length == 0 || length >= sizeof prefix) return "";
    std::string folder = std::string("Z:") + prefix + "/dosdevices/unc/" + server + "/" + share;
    std::replace(folder.begin(), folder.end(), '/', '\\');
    return makeEmptyFolder(folder) ? folder : "";
}

// --- the ways through a run -----------------------------------------------

// The environment setup inherits, and Wine's DLL settings for setup.exe
// alone: a home folder, and shfolder.dll kept from setup so that the
// Program Files folder cannot be had. Both are as they were again on
// destruction.
class HomeWithoutProgramFiles {
public:
    HomeWithoutProgramFiles() = default;
    HomeWithoutProgramFiles(const HomeWithoutProgramFiles&) = delete;
    HomeWithoutProgramFiles& operator=(const HomeWithoutProgramFiles&) = delete;
    ~HomeWithoutProgramFiles() {
        if (!active_) return;
        restore("HOMEDRIVE", homeDrive_);
        restore("HOMEPATH", homePath_);
        RegDeleteKeyValueA(HKEY_CURRENT_USER, OVERRIDES, "shfolder");
    }

    bool apply(const std::string& homeDrive, const std::string& homePath) {
        active_ = true;
        homeDrive_ = saved("HOMEDRIVE");
        homePath_ = saved("HOMEPATH");
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, OVERRIDES, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &key, nullptr) != ERROR_SUCCESS) {
            return false;
        }
        // An empty load order: the DLL is not loaded at all.
        const char disabled[] = "";
        bool set = RegSetValueExA(key, "shfolder", 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(disabled),
                                  sizeof disabled) == ERROR_SUCCESS;
        return RegCloseKey(key) == ERROR_SUCCESS && set &&
               SetEnvironmentVariableA("HOMEDRIVE", homeDrive.c_str()) &&
               SetEnvironmentVariableA("HOMEPATH", homePath.c_str());
    }

private:
    static constexpr const char* OVERRIDES = "Software\\Wine\\AppDefaults\\setup.exe\\DllOverrides";

    // A variable's value, or a null string when it is not set.
    struct Saved {
        bool set = false;
        std::string value;
    };
    static Saved saved(const char* name) {
        Saved old;
        char value[MAX_PATH] = "";
        DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
        old.set = length > 0 && length < sizeof value;
        if (old.set) old.value = value;
        return old;
    }
    static void restore(const char* name, const Saved& old) {
        SetEnvironmentVariableA(name, old.set ? old.value.c_str() : nullptr);
    }

    bool active_ = false;
    Saved homeDrive_;
    Saved homePath_;
};

// A message box answered by the user.
struct Answered {
    const char* caption;
    const char* words;
    int button;
};

std::string answerLine(int button) {
    switch (button) {
    case IDYES: return "answer: Yes";
    case IDNO: return "answer: No";
    default: return "answer: OK";
    }
}

const std::vector<std::string>& cancelledEnding() {
    static const std::vector<std::string> lines = {
        "answer: Cancel", window(SHUTTING_DOWN_CAPTION), text(SHUTTING_DOWN_TEXT), "answer: OK",
        window(NOT_INSTALLED_CAPTION), text(NOT_INSTALLED_TEXT), "answer: OK", "exit: 0"};
    return lines;
}

// Setup's next message box, which must be captioned `caption`, recorded
// as the scripted user does; null when another showed first (recorded with
// its text) or none in time. A box is taken only once it has its caption:
// Wine's message box can be seen for a moment before its caption and text
// are set.
HWND nextMessage(scripted_user::ScriptedUser& user, const std::string& caption) {
    HWND found = nullptr;
    std::string shown;
    scripted_user::pollUntil(WINDOW_TIMEOUT_MS, [&] {
        for (HWND box : scripted_user::visibleTopLevelWindows(user.program().processId)) {
            if (!scripted_user::isMessageBox(box)) continue;
            shown = scripted_user::windowCaption(box);
            if (shown.empty()) return false;
            found = box;
            return true;
        }
        return !scripted_user::isRunning(user.program());
    });
    if (!found) return nullptr;
    if (shown != caption) {
        user.transcript().add("window", shown);
        user.readMessageBox(found);
        return nullptr;
    }
    return user.waitForMessageBox(caption, WINDOW_TIMEOUT_MS);
}

// From OK in the folder dialog to the end of a complete run: the notice
// that running copies are closed, its pause, the extraction, and the final
// question answered No.
void expectClosingThenCompletion(scripted_user::ScriptedUser& user) {
    ASSERT_TRUE(waitUntilFolderDialogGone(user)) << user.transcript().joined();
    HWND notice = nextMessage(user, CLOSING_CAPTION);
    ASSERT_NE(notice, nullptr) << "no " << CLOSING_CAPTION << " after\n"
                               << user.transcript().joined();
    EXPECT_EQ(user.readMessageBox(notice), CLOSING_TEXT);
    ASSERT_TRUE(answerAndWaitUntilClosed(user, notice, IDOK));
    answerFinalQuestion(user, nextMessage(user, FINAL_CAPTION), "Tarnwick", IDNO,
                        "final-question");
}

// The running-copies notice is part of every completed run's ending.
std::vector<std::string> closingThenCompletion() { return completedEnding(); }

// Tarnwick's group, links, uninstall entry and settings file go again, so
// that the next row starts from the same machine.
bool forgetInstallation() {
    const std::string group = joinPath(specialFolder(CSIDL_PROGRAMS), "Tarnwick");
    for (const std::string& name : folderEntries(group)) {
        if (!DeleteFileA(joinPath(group, name).c_str())) return false;
    }
    if (isDirectory(group) && !RemoveDirectoryA(group.c_str())) return false;
    LONG removed = RegDeleteKeyA(HKEY_LOCAL_MACHINE, uninstallKey("Tarnwick").c_str());
    if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND) return false;
    const std::string settings = settingsFilePath();
    return !fileExists(settings) || DeleteFileA(settings.c_str());
}

std::string recordedOrNone() {
    bool recorded = true;
    std::string folder = recordedDataFolder(&recorded);
    return recorded ? folder : "<none>";
}

// --- input answered in the dialog -----------------------------------------

// A run that ends in the dialog: the proposal read, what the row types,
// OK and the messages it brings, each answered, the dialog still open with
// the folder as it was, then Cancel.
TEST_F(OddInput, IsAnsweredInTheDialogAndLeavesTheMachineAsItWas) {
    const std::string programFiles = programFilesFolder();
    ASSERT_NE(programFiles, "");
    const Proposal byDefault = {programFiles, "Tarnwick"};
    const std::string recorded1023 = pathOfLength("C:\\twtest\\deep", TEXT_LIMIT, "Tarnwick");
    const std::string recorded2000 = pathOfLength("C:\\twtest\\deep", 2000, "Tarnwick");
    // A home path that makes a default of exactly 1023 characters with the
    // drive "C:" before it and "\Tarnwick" after it, and one far longer.
    const std::string homeFilling = pathOfLength("", TEXT_LIMIT - 2 - 9, "home");
    const std::string homeOverlong = pathOfLength("", 2000, "home");
    const std::string parentAtLimit = "C:\\twtest\\" + std::string(EDIT_LIMIT - 10, 'p');
    const std::string applicationAtLimit(EDIT_LIMIT, 'a');
    const std::string parentPastLimit = "C:\\twtest\\" + std::string(300, 'p');
    ASSERT_EQ(parentAtLimit.size(), EDIT_LIMIT);
    std::vector<uint8_t> unicodeGarbage = {0xFF, 0xFE};
    const std::vector<uint8_t> tail = garbage(4096, 11);
    unicodeGarbage.insert(unicodeGarbage.end(), tail.begin(), tail.end());
    const Proposal inWindows = split(windowsDirectory());
    ASSERT_NE(inWindows.application, "");
    const Answered tooLong = {TOO_LONG_CAPTION, TOO_LONG_TEXT, IDOK};
    const Answered networkPath = {NETWORK_PATH_CAPTION, NETWORK_PATH_TEXT, IDOK};
    // A share, and on drive C:, where setup starts, the folder that its path
    // names once one of the two leading separators is gone.
    const std::string share = makeShare("server", "share");
    ASSERT_NE(share, "");
    ASSERT_TRUE(makeEmptyFolder("C:\\server\\share"));

    struct Row {
        const char* label;
        std::string recorded;           // dataDir written before the run; "" for none
        std::vector<uint8_t> settings;  // else the settings file's bytes, when not empty
        std::string homePath;           // with no Program Files folder, when not empty
        Proposal proposed;              // what the dialog opens with
        bool pressOk;                   // on what is typed, else on the proposal
        Proposal typed;                 // nothing typed when both are empty
        std::vector<Answered> answered;
    };
    const Row rows[] = {
        {"recorded folder of 1023 characters", recorded1023, {}, "", split(recorded1023), true,
         {}, {tooLong}},
        {"recorded folder of 2000 characters, read as its first 1023", recorded2000, {}, "",
         split(recorded2000.substr(0, TEXT_LIMIT)), true, {}, {tooLong}},
        {"home path filling the buffer, no Program Files folder", "", {}, homeFilling,
         split("C:" + homeFilling + "\\Tarnwick"), true, {}, {tooLong}},
        // No default fits: the empty edits join to the current drive's root,
        // which is no full path.
        {"home path of 2000 characters, no Program Files folder", "", {}, homeOverlong, {"", ""},
         true, {}, {{FULL_PATH_CAPTION, FULL_PATH_TEXT, IDOK}}},
        {"parent edit of 259 characters", "", {}, "", byDefault, true,
         {parentAtLimit, "Tarnwick"}, {tooLong}},
        {"application edit of 259 characters", "", {}, "", byDefault, true,
         {"C:\\twtest", applicationAtLimit}, {tooLong}},
        {"parent edit past the 259 characters read", "", {}, "", byDefault, true,
         {parentPastLimit, "Tarnwick"}, {tooLong}},
        {"application folder of two dots", "", {}, "", byDefault, true, {"C:\\twtest", ".."},
         {{EXISTING_FOLDER_CAPTION, EXISTING_FOLDER_TEXT, IDNO}}},
        {"Windows directory with a trailing dot", "", {}, "", byDefault, true,
         {inWindows.parent, inWindows.application + "."},
         {{EXISTING_FOLDER_CAPTION, EXISTING_FOLDER_TEXT, IDYES},
          {WINDOWS_DIRECTORY_CAPTION, WINDOWS_DIRECTORY_TEXT, IDOK}}},
        {"settings file of UTF-16 garbage", "", unicodeGarbage, "", byDefault, false, {}, {}},
        {"network path to no share", "", {}, "", byDefault, true, {"\\\\nowhere\\share", "x"},
         {networkPath}},
        {"network path to a share, its path also a folder of the current drive", "", {}, "",
         byDefault, true, {"\\\\server\\share", "x"}, {networkPath}},
    };
    ASSERT_TRUE(makeEmptyFolder("C:\\twtest"));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        user.transcript().add("row", row.label);
        const size_t first = user.transcript().lines().size();
        ASSERT_TRUE(forgetInstallation());
        if (!row.recorded.empty()) {
            ASSERT_TRUE(recordDataFolder(row.recorded));
        }
        if (!row.settings.empty()) {
            ASSERT_TRUE(writeFile(settingsFilePath(), row.settings));
        }
        HomeWithoutProgramFiles home;
        if (!row.homePath.empty()) {
            ASSERT_TRUE(home.apply("C:", row.homePath));
        }
        ASSERT_TRUE(makeEmptyFolder(SETUP_START_FOLDER));
        const std::vector<uint8_t> settingsBefore = settingsFileBytes();
        const DriveTree before = driveTree();

        HWND dialog = openFolderDialog(user);
        ASSERT_NE(dialog, nullptr) << "no dialog captioned " << FOLDER_CAPTION;
        EXPECT_EQ(readProposal(user, dialog), row.proposed);
        std::vector<std::string> expected = {window(AGREEMENT_CAPTION), "answer: I Accept",
                                             window(FOLDER_CAPTION), text(row.proposed.parent),
                                             text(row.proposed.application)};
        Proposal shown = row.proposed;
        if (!row.typed.parent.empty() || !row.typed.application.empty()) {
            ASSERT_TRUE(user.type(dialog, PARENT_FOLDER_ID, row.typed.parent));
            ASSERT_TRUE(user.type(dialog, APPLICATION_FOLDER_ID, row.typed.application));
            expected.push_back("type: " + row.typed.parent);
            expected.push_back("type: " + row.typed.application);
            shown = row.typed;
        }
        if (row.pressOk) {
            ASSERT_TRUE(user.answer(dialog, IDOK));
            expected.push_back("answer: OK");
            for (const Answered& message : row.answered) {
                HWND box = nextMessage(user, message.caption);
                ASSERT_NE(box, nullptr) << "no " << message.caption << " after\n"
                                        << user.transcript().joined();
                EXPECT_EQ(user.readMessageBox(box), message.words);
                ASSERT_TRUE(answerAndWaitUntilClosed(user, box, message.button));
                expected.push_back(window(message.caption));
                expected.push_back(text(message.words));
                expected.push_back(answerLine(message.button));
            }
            // The Windows directory is refused once the dialog has ended: it
            // opens again with the folder as the run holds it. Every other
            // refusal keeps the dialog open as it was.
            if (!row.answered.empty() &&
                std::string(row.answered.back().caption) == WINDOWS_DIRECTORY_CAPTION) {
                dialog = waitForFolderDialog(user);
                ASSERT_NE(dialog, nullptr) << "the dialog did not come back";
                expected.push_back(window(FOLDER_CAPTION));
                shown = inWindows;
            } else {
                ASSERT_TRUE(dialogStaysOpen(dialog));
            }
            EXPECT_EQ(readProposal(user, dialog), shown);
            expected.push_back(text(shown.parent));
            expected.push_back(text(shown.application));
        }
        expectCancelEndsTheRun(user, dialog);
        if (HasFatalFailure()) return;

        EXPECT_EQ(transcriptFrom(user, first), concat(expected, cancelledEnding()));
        EXPECT_EQ(changes(before, driveTree()), std::vector<std::string>{});
        EXPECT_TRUE(settingsFileBytes() == settingsBefore) << "the settings file changed";
        EXPECT_FALSE(machineKeyExists(uninstallKey("Tarnwick")));
    }
    EXPECT_EQ(folderEntries(share), std::vector<std::string>{});
}

// --- input that installs ---------------------------------------------------

// Names the system trims, and a settings file it cannot read, take the run
// to its end: the files land in the folder the system means by the name,
// and the machine gains that folder, the group's links and the settings
// entry, and nothing else.
TEST_F(OddInput, InstallsIntoTheFolderChosenAndNowhereElse) {
    const std::string programFiles = programFilesFolder();
    ASSERT_NE(programFiles, "");
    const std::string programs = specialFolder(CSIDL_PROGRAMS);
    ASSERT_NE(programs, "");
    const std::string group = joinPath(programs, "Tarnwick");
    struct Row {
        const char* label;
        std::vector<uint8_t> settings;  // the settings file before the run, when not empty
        Proposal typed;                 // the proposal taken as it stands when empty
        std::string folder;             // where the files land, as recorded
    };
    const std::string byDefault = joinPath(programFiles, "Tarnwick");
    const Row rows[] = {
        {"application folder with a trailing dot", {}, {"C:\\twtest\\dots", "Tarnwick."},
         "C:\\twtest\\dots\\Tarnwick"},
        {"application folder with trailing blanks", {}, {"C:\\twtest\\blanks", "Tarnwick  "},
         "C:\\twtest\\blanks\\Tarnwick"},
        {"application folder ending in dots and blanks", {},
         {"C:\\twtest\\mixed", "Tarnwick. ."}, "C:\\twtest\\mixed\\Tarnwick"},
        {"settings file of binary garbage", garbage(4096, 7), {}, byDefault},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        user.transcript().add("row", row.label);
        const size_t first = user.transcript().lines().size();
        ASSERT_TRUE(forgetInstallation());
        if (!row.settings.empty()) {
            ASSERT_TRUE(writeFile(settingsFilePath(), row.settings));
        }
        const bool typing = !row.typed.parent.empty();
        if (typing) {
            ASSERT_TRUE(makeEmptyFolder(row.typed.parent));
        }
        ASSERT_TRUE(makeEmptyFolder(SETUP_START_FOLDER));
        const bool hadSettings = fileExists(settingsFilePath());
        const DriveTree before = driveTree();

        HWND dialog = openFolderDialog(user);
        ASSERT_NE(dialog, nullptr) << "no dialog captioned " << FOLDER_CAPTION;
        EXPECT_EQ(readProposal(user, dialog), split(byDefault));
        std::vector<std::string> expected = {window(AGREEMENT_CAPTION), "answer: I Accept",
                                             window(FOLDER_CAPTION), text(programFiles),
                                             text("Tarnwick")};
        if (typing) {
            ASSERT_TRUE(user.type(dialog, PARENT_FOLDER_ID, row.typed.parent));
            ASSERT_TRUE(user.type(dialog, APPLICATION_FOLDER_ID, row.typed.application));
            expected.push_back("type: " + row.typed.parent);
            expected.push_back("type: " + row.typed.application);
        }
        ASSERT_TRUE(user.answer(dialog, IDOK));
        expected.push_back("answer: OK");
        expectClosingThenCompletion(user);
        if (HasFatalFailure()) return;

        EXPECT_EQ(transcriptFrom(user, first), concat(expected, closingThenCompletion()));
        expectPayloadIn(row.folder);
        EXPECT_EQ(recordedOrNone(), row.folder);
        expectTarnwickRegistered(row.folder);
        // What the links and the uninstall entry start is there: a path
        // through "Tarnwick " would lead nowhere, though the folder was made.
        for (const char* link : {"Tarnwick.lnk", "Uninstall.lnk"}) {
            const std::string target = readShellLink(joinPath(group, link)).target;
            EXPECT_TRUE(fileExists(target)) << link << " leads to \"" << target << "\"";
        }
        std::string command = machineValue(uninstallKey("Tarnwick"), "UninstallString");
        command.erase(0, command.find('"'));
        EXPECT_TRUE(command.size() > 2 && fileExists(command.substr(1, command.size() - 2)))
            << "the uninstall entry starts " << command;
        std::vector<std::string> gained = {
            "+ " + row.folder, "+ " + group, "+ " + joinPath(group, "Tarnwick.lnk"),
            "+ " + joinPath(group, "Uninstall.lnk"),
            (hadSettings ? "~ " : "+ ") + settingsFilePath()};
        for (const PayloadFile& file : tarnwickFiles()) {
            gained.push_back("+ " + joinPath(row.folder, file.name));
        }
        std::sort(gained.begin(), gained.end(), [](const std::string& a, const std::string& b) {
            return a.substr(2) < b.substr(2);
        });
        EXPECT_EQ(changes(before, driveTree()), gained);
    }
}

}  // namespace
}  // namespace data_folder
}  // namespace e2e
