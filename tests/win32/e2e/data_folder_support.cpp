#include "e2e/data_folder_support.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
#include <winternl.h>

#include <algorithm>
#include <ostream>

#include "scripted_user/deadline.h"

namespace e2e {
namespace data_folder {

const char* const WINDOWS_DIRECTORY_CAPTION = "Can't Install to Windows Directory";
const char* const WINDOWS_DIRECTORY_TEXT =
    "That directory is the Windows directory. It is not safe to install applications in the "
    "Windows directory because it contains other important system files. Please choose another "
    "location.";
const char* const CANNOT_CREATE_CAPTION = "Can't Create Directory";
const char* const CANNOT_CREATE_FOLDER_TEXT =
    "That folder does not exist, and the application was not able to create it. Most likely the "
    "parent folder does not exist or you have entered a path the program does not have write "
    "access to.";
const char* const EXISTING_FOLDER_TEXT =
    "That folder already exists. The application can use it, but we do not recommend using a "
    "folder that is already being used for other purposes. Are you sure you want to use this "
    "directory?";
const char* const ENTER_FOLDER_NAME_CAPTION = "Please Enter a Folder Name";
const char* const ENTER_FOLDER_NAME_TEXT =
    "That path specifies a file, and not a new or existing folder name. Please enter a folder "
    "name, such as Tarnwick for example.";
const char* const TOO_LONG_CAPTION = "Folder Name Too Long";
const char* const TOO_LONG_TEXT =
    "That folder name is too long to hold the application's files. Please choose a folder with "
    "a shorter path.";
const char* const SHUTTING_DOWN_CAPTION = "Shutting Down";
const char* const SHUTTING_DOWN_TEXT =
    "This program cannot operate without a data folder to store its files in. The program will "
    "exit now. Please determine an appropriate folder name and start the program again later.";
const char* const DISK_SPACE_CAPTION = "Not Enough Disk Space";

namespace {

const char SETTINGS_FILE[] = "tarnwick.ini";

// Offsets in the process environment block and in the process parameters
// it points to, for this program's word size; setup is built for the same.
const size_t PARAMETERS_OFFSET = sizeof(void*) == 8 ? 0x20 : 0x10;
const size_t CURRENT_DIRECTORY_OFFSET = sizeof(void*) == 8 ? 0x38 : 0x24;

bool readRemote(HANDLE process, const void* address, void* buffer, size_t size) {
    SIZE_T got = 0;
    return ReadProcessMemory(process, address, buffer, size, &got) && got == size;
}

// The folder browser's tree in another process. Tree messages carry
// pointers that the tree follows in its own process, so the item record and
// its text buffer live there.
class RemoteTree {
public:
    RemoteTree(HANDLE process, HWND tree) : process_(process), tree_(tree) {
        remote_ = static_cast<char*>(VirtualAllocEx(process, nullptr, sizeof(TVITEMA) + MAX_PATH,
                                                    MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
    RemoteTree(const RemoteTree&) = delete;
    RemoteTree& operator=(const RemoteTree&) = delete;
    ~RemoteTree() {
        if (remote_) VirtualFreeEx(process_, remote_, 0, MEM_RELEASE);
    }

    bool ready() const { return remote_ != nullptr; }

    // The first item below `parent` (among the roots when null) whose label
    // satisfies `matches`; null when there is none.
    template <typename Matches>
    HTREEITEM childOf(HTREEITEM parent, Matches matches) {
        for (HTREEITEM child : children(parent)) {
            if (matches(label(child))) return child;
        }
        return nullptr;
    }

    // The same among the roots and the two levels below them, a level
    // opened only when the one above has no match.
    template <typename Matches>
    HTREEITEM findBelowRoots(Matches matches) {
        std::vector<HTREEITEM> level = children(nullptr);
        for (int depth = 0;; ++depth) {
            for (HTREEITEM item : level) {
                if (matches(label(item))) return item;
            }
            if (depth == 2) return nullptr;
            std::vector<HTREEITEM> below;
            for (HTREEITEM item : level) {
                std::vector<HTREEITEM> more = children(item);
                below.insert(below.end(), more.begin(), more.end());
            }
            level = below;
        }
    }

    // Selects the item as a click would, and says whether it is selected.
    bool select(HTREEITEM item) {
        send(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
        return next(TVGN_CARET, nullptr) == item;
    }

private:
    LRESULT send(UINT message, WPARAM wParam, LPARAM lParam) {
        DWORD_PTR answer = 0;
        if (!scripted_user::ask(tree_, message, wParam, lParam, &answer)) return 0;
        return static_cast<LRESULT>(answer);
    }

    // The items below `parent`, opened first as a user opens a folder; the
    // roots when it is null.
    std::vector<HTREEITEM> children(HTREEITEM parent) {
        std::vector<HTREEITEM> found;
        if (parent) send(TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parent));
        HTREEITEM child = parent ? next(TVGN_CHILD, parent) : next(TVGN_ROOT, nullptr);
        for (; child; child = next(TVGN_NEXT, child)) found.push_back(child);
        return found;
    }

    HTREEITEM next(UINT relation, HTREEITEM item) {
        return reinterpret_cast<HTREEITEM>(
            send(TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
    }

    std::string label(HTREEITEM item) {
        TVITEMA record = {};
        record.mask = TVIF_TEXT;
        record.hItem = item;
        record.pszText = remote_ + sizeof record;
        record.cchTextMax = MAX_PATH;
        char text[MAX_PATH] = "";
        if (!WriteProcessMemory(process_, remote_, &record, sizeof record, nullptr) ||
            !send(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote_)) ||
            !readRemote(process_, remote_ + sizeof record, text, sizeof text)) {
            return "";
        }
        text[sizeof text - 1] = '\0';
        return text;
    }

    HANDLE process_;
    HWND tree_;
    char* remote_ = nullptr;
};

}  // namespace

std::string setupExe() { return buildPath(TW_SETUP_EXE); }

std::string programFilesFolder() {
    char path[MAX_PATH] = "";
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, path))) return "";
    return path;
}

std::string windowsDirectory() {
    char path[MAX_PATH] = "";
    UINT length = GetWindowsDirectoryA(path, sizeof path);
    return length > 0 && length < sizeof path ? path : "";
}

std::string recordedDataFolder(bool* recorded) {
    // The profile functions keep files in a cache of their own; setup wrote
    // this one from another process.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, SETTINGS_FILE);
    const char missing[] = "<no entry>";
    char value[1024] = "";
    GetPrivateProfileStringA("Options", "dataDir", missing, value, sizeof value, SETTINGS_FILE);
    *recorded = lstrcmpA(value, missing) != 0;
    return *recorded ? value : "";
}

bool recordDataFolder(const std::string& folder) {
    bool written = WritePrivateProfileStringA("Options", "dataDir", folder.c_str(),
                                              SETTINGS_FILE) != 0;
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, SETTINGS_FILE);
    return written;
}

std::string settingsFilePath() { return joinPath(windowsDirectory(), SETTINGS_FILE); }

std::ostream& operator<<(std::ostream& out, const Proposal& proposal) {
    return out << "{parent \"" << proposal.parent << "\", application \""
               << proposal.application << "\"}";
}

HWND waitForFolderDialog(scripted_user::ScriptedUser& user) {
    HWND dialog = user.waitForWindow(FOLDER_CAPTION, WINDOW_TIMEOUT_MS);
    if (!dialog) return nullptr;
    for (int id : {PARENT_FOLDER_ID, APPLICATION_FOLDER_ID, BROWSE_ID}) {
        if (!scripted_user::waitForControl(dialog, id, WINDOW_TIMEOUT_MS)) return nullptr;
    }
    return dialog;
}

HWND openFolderDialog(scripted_user::ScriptedUser& user) {
    if (!makeEmptyFolder(SETUP_START_FOLDER) || !user.start(setupExe(), SETUP_START_FOLDER) ||
        !acceptAgreement(user)) {
        return nullptr;
    }
    return waitForFolderDialog(user);
}

Proposal readProposal(scripted_user::ScriptedUser& user, HWND dialog) {
    Proposal proposal;
    proposal.parent = user.readControl(dialog, PARENT_FOLDER_ID);
    proposal.application = user.readControl(dialog, APPLICATION_FOLDER_ID);
    return proposal;
}

bool answerMessage(scripted_user::ScriptedUser& user, const std::string& caption, int button,
                   std::string* text) {
    HWND box = user.waitForMessageBox(caption, WINDOW_TIMEOUT_MS);
    if (!box) return false;
    *text = user.readMessageBox(box);
    return answerAndWaitUntilClosed(user, box, button);
}

bool answerAndWaitUntilClosed(scripted_user::ScriptedUser& user, HWND window, int button) {
    return user.answer(window, button) &&
           scripted_user::pollUntil(WINDOW_TIMEOUT_MS, [&] { return !IsWindow(window); });
}

bool dialogStaysOpen(HWND dialog) {
    // Any message box of the dialog's thread is gone first: until then the
    // box's own loop would answer for it.
    DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
    bool boxGone = scripted_user::pollUntil(WINDOW_TIMEOUT_MS, [&] {
        for (HWND window : scripted_user::visibleTopLevelWindows(0)) {
            if (GetWindowThreadProcessId(window, nullptr) == thread &&
                scripted_user::isMessageBox(window)) {
                return false;
            }
        }
        return true;
    });
    DWORD_PTR answer = 0;
    return boxGone && scripted_user::ask(dialog, WM_NULL, 0, 0, &answer) && IsWindow(dialog) &&
           IsWindowVisible(dialog);
}

void expectRunCompletes(scripted_user::ScriptedUser& user) {
    ASSERT_TRUE(waitUntilFolderDialogGone(user)) << user.transcript().joined();
    ASSERT_TRUE(answerNotices(user, TARNWICK_RUN) && waitForExtraction(user))
        << user.transcript().joined();
    answerFinalQuestion(user, waitForNextMessage(user, FINAL_CAPTION), "Tarnwick", IDNO,
                        "final-question");
}

std::vector<std::string> completedEnding() {
    return concat(noticesTranscript(TARNWICK_RUN), finalTranscript("Tarnwick", "No"));
}

void expectCancelEndsTheRun(scripted_user::ScriptedUser& user, HWND dialog) {
    ASSERT_TRUE(user.answer(dialog, IDCANCEL));
    std::string text;
    ASSERT_TRUE(answerMessage(user, SHUTTING_DOWN_CAPTION, IDOK, &text));
    EXPECT_EQ(text, SHUTTING_DOWN_TEXT);
    ASSERT_TRUE(answerMessage(user, NOT_INSTALLED_CAPTION, IDOK, &text));
    EXPECT_EQ(text, NOT_INSTALLED_TEXT);
    DWORD exitCode = 1;
    ASSERT_TRUE(user.waitForExit(RUN_TIMEOUT_MS, &exitCode));
    EXPECT_EQ(exitCode, 0u);
}

void expectPayloadIn(const std::string& folder) {
    std::vector<std::string> expectedNames;
    for (const PayloadFile& file : tarnwickFiles()) {
        SCOPED_TRACE(file.name);
        expectedNames.push_back(file.name);
        std::vector<uint8_t> written, genuine;
        ASSERT_TRUE(readFile(joinPath(folder, file.name), &written)) << "not in " << folder;
        ASSERT_TRUE(readFile(file.source, &genuine)) << file.source;
        EXPECT_TRUE(written == genuine) << written.size() << " bytes written, "
                                        << genuine.size() << " in the product";
    }
    std::sort(expectedNames.begin(), expectedNames.end());
    EXPECT_EQ(folderEntries(folder), expectedNames);
}

std::vector<std::string> transcriptFrom(scripted_user::ScriptedUser& user, size_t first) {
    const std::vector<std::string>& lines = user.transcript().lines();
    if (first >= lines.size()) return {};
    return std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(first),
                                    lines.end());
}

std::string currentDirectoryOf(HANDLE process) {
    PROCESS_BASIC_INFORMATION basic = {};
    ULONG got = 0;
    if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic, &got) !=
        0) {
        return "";
    }
    const char* block = reinterpret_cast<const char*>(basic.PebBaseAddress);
    const char* parameters = nullptr;
    UNICODE_STRING path = {};
    if (!readRemote(process, block + PARAMETERS_OFFSET, &parameters, sizeof parameters) ||
        !readRemote(process, parameters + CURRENT_DIRECTORY_OFFSET, &path, sizeof path) ||
        path.Length == 0) {
        return "";
    }
    std::wstring wide(path.Length / sizeof(wchar_t), L'\0');
    if (!readRemote(process, path.Buffer, &wide[0], path.Length)) return "";
    char narrow[1024] = "";
    int length = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()),
                                     narrow, sizeof narrow - 1, nullptr, nullptr);
    return std::string(narrow, length > 0 ? static_cast<size_t>(length) : 0);
}

HWND waitForFolderBrowser(scripted_user::ScriptedUser& user, HWND owner) {
    HWND browser = nullptr;
    scripted_user::pollUntil(WINDOW_TIMEOUT_MS, [&] {
        for (HWND window : scripted_user::visibleTopLevelWindows(user.program().processId)) {
            if (GetWindow(window, GW_OWNER) == owner &&
                scripted_user::windowClass(window) == "#32770" &&
                FindWindowExA(window, nullptr, "SysTreeView32", nullptr)) {
                browser = window;
                return true;
            }
        }
        return false;
    });
    if (browser) user.transcript().add("window", scripted_user::windowCaption(browser));
    return browser;
}

bool selectInFolderBrowser(const scripted_user::Program& program, HWND browser,
                           const std::string& folder) {
    HWND treeWindow = FindWindowExA(browser, nullptr, "SysTreeView32", nullptr);
    if (!treeWindow || folder.size() < 3 || folder[1] != ':' || folder[2] != '\\') return false;
    RemoteTree tree(program.process, treeWindow);
    if (!tree.ready()) return false;
    // The drive first, wherever the tree shows it ("(C:)" below the
    // computer), then one folder after the other, as a user would open them.
    const std::string driveLabel = "(" + folder.substr(0, 2) + ")";
    HTREEITEM item = tree.findBelowRoots([&](const std::string& label) {
        return label.find(driveLabel) != std::string::npos;
    });
    size_t start = 3;
    while (item && start < folder.size()) {
        size_t end = folder.find('\\', start);
        if (end == std::string::npos) end = folder.size();
        const std::string name = folder.substr(start, end - start);
        item = tree.childOf(item, [&](const std::string& label) {
            return lstrcmpiA(label.c_str(), name.c_str()) == 0;
        });
        start = end + 1;
    }
    return item && tree.select(item);
}

bool copyFile(const std::string& from, const std::string& to) {
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

}  // namespace data_folder
}  // namespace e2e
