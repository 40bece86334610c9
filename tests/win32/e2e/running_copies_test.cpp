// Copies of the product that run while setup replaces its files: once the
// user has read the notice, every top-level window whose title begins with
// the product's name, exactly as written, is asked to close, and setup
// waits before it writes. A copy that closes is replaced; one that ignores
// the request and holds its program open makes the run fail, and the
// payload files are taken back.
#include <atomic>
#include <memory>

#include "e2e/e2e_support.h"
#include "e2e/setup_driving.h"
#include "scripted_user/deadline.h"

namespace e2e {
namespace {

using RunningCopies = ScriptedRun;

// The wait between the answer to the notice and the requests to close.
const ULONGLONG WAIT_BEFORE_CLOSING_MS = 2000;
// A frame of the busy animation may end a little before its 100 ms by
// this process's clock.
const ULONGLONG CLOCK_SLACK_MS = 50;
const int64_t EARLIER_TIME = 900000000;

// Top-level windows of this process with given titles, on a thread of
// their own that answers their messages while setup runs. Each counts the
// requests to close it and notes when the first came; one that `closes`
// then goes, one that does not stays, as a copy that ignores it would.
// Hidden: setup asks every top-level window, shown or not.
class TitledWindows {
public:
    struct Wanted {
        const char* title;
        bool closes;
    };

    TitledWindows() = default;
    TitledWindows(const TitledWindows&) = delete;
    TitledWindows& operator=(const TitledWindows&) = delete;
    ~TitledWindows() {
        if (!thread_) return;
        PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
        WaitForSingleObject(thread_, WINDOW_TIMEOUT_MS);
        CloseHandle(thread_);
    }

    // Opens the windows; false unless all of them stand.
    bool open(const std::vector<Wanted>& wanted) {
        for (const Wanted& wish : wanted) windows_.push_back(std::make_unique<Window>(wish));
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (!ready) return false;
        ready_ = ready;
        thread_ = CreateThread(nullptr, 0, run, this, 0, &threadId_);
        bool opened = thread_ && WaitForSingleObject(ready, WINDOW_TIMEOUT_MS) == WAIT_OBJECT_0;
        CloseHandle(ready);
        for (const auto& window : windows_) opened = opened && window->handle != nullptr;
        return opened;
    }

    int requests(const std::string& title) const { return find(title).requests; }
    ULONGLONG firstRequestAt(const std::string& title) const { return find(title).firstAt; }
    bool standing(const std::string& title) const { return IsWindow(find(title).handle) != 0; }

private:
    struct Window {
        explicit Window(const Wanted& s) : wish(s) {}
        Wanted wish;
        HWND handle = nullptr;
        std::atomic<int> requests{0};
        std::atomic<ULONGLONG> firstAt{0};
    };

    const Window& find(const std::string& title) const {
        for (const auto& window : windows_) {
            if (title == window->wish.title) return *window;
        }
        ADD_FAILURE() << "no test window titled " << title;
        return *windows_.front();
    }

    static LRESULT CALLBACK procedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_CLOSE) {
            Window* window = reinterpret_cast<Window*>(GetWindowLongPtrA(handle, GWLP_USERDATA));
            if (window->requests++ == 0) window->firstAt = GetTickCount64();
            if (window->wish.closes) DestroyWindow(handle);
            return 0;
        }
        return DefWindowProcA(handle, message, wParam, lParam);
    }

    static DWORD WINAPI run(void* context) {
        TitledWindows* self = static_cast<TitledWindows*>(context);
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "TarnwickTestTitledWindow";
        RegisterClassA(&windowClass);
        for (const auto& window : self->windows_) {
            window->handle = CreateWindowExA(0, windowClass.lpszClassName, window->wish.title,
                                             WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                             nullptr, windowClass.hInstance, nullptr);
            SetWindowLongPtrA(window->handle, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(window.get()));
        }
        SetEvent(self->ready_);
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
        return 0;
    }

    std::vector<std::unique_ptr<Window>> windows_;
    HANDLE thread_ = nullptr;
    HANDLE ready_ = nullptr;
    DWORD threadId_ = 0;
};

// A program of the test's own, ended with the test if it still runs.
struct OwnProgram {
    ~OwnProgram() { scripted_user::endProgram(&program); }
    scripted_user::Program program;
};

std::string builtTarnwick() {
    return joinPath(buildPath(TW_TARNWICK_BUILT_DIR), "tarnwick.exe");
}

// Besides the installed product's own window, "Tarnwick": which titles
// are the product's, and which only look like it.
const struct {
    const char* title;
    bool asked;
} OTHER_WINDOWS[] = {
    {"Tarnwick - Help", true},
    {"TarnwickX", true},
    {"tarnwick", false},
    {"Install Tarnwick", false},
};

TEST_F(RunningCopies, AreAskedToCloseAfterTheNoticeAndTheProgramTheyRanIsReplaced) {
    const std::string folder = "C:\\twtest\\copies\\Tarnwick";
    const std::string program = joinPath(folder, "tarnwick.exe");
    ASSERT_TRUE(makeEmptyFolder(folder));
    // An earlier build: the product's program with bytes of its own after
    // its end, which it never reads.
    std::vector<uint8_t> genuine;
    ASSERT_TRUE(readFile(builtTarnwick(), &genuine));
    std::vector<uint8_t> earlierBuild = genuine;
    for (uint8_t byte : bytesOf("an earlier build\r\n")) earlierBuild.push_back(byte);
    ASSERT_TRUE(writeFile(program, earlierBuild));
    ASSERT_TRUE(setModificationTime(program, EARLIER_TIME));
    OwnProgram installed;
    ASSERT_TRUE(scripted_user::startProgram(program, "", folder, &installed.program));
    ASSERT_NE(scripted_user::waitForWindow(installed.program.processId, "Tarnwick",
                                           WINDOW_TIMEOUT_MS),
              nullptr)
        << "the installed Tarnwick did not show its window";
    std::vector<TitledWindows::Wanted> wanted;
    for (const auto& other : OTHER_WINDOWS) wanted.push_back({other.title, true});
    TitledWindows windows;
    ASSERT_TRUE(windows.open(wanted));
    const std::vector<std::string> expected =
        concat(openingTranscript(folder), finalTranscript("Tarnwick", "No"));

    ASSERT_TRUE(startSetup(user, buildPath(TW_SETUP_EXE)));
    ASSERT_TRUE(driveThroughFolderChoice(user, folder));
    // While the notice stands, nothing has been asked to close.
    ASSERT_NE(scripted_user::waitForWindow(user.program().processId, RUNNING_COPIES_CAPTION,
                                           WINDOW_TIMEOUT_MS),
              nullptr)
        << user.transcript().joined();
    EXPECT_TRUE(scripted_user::isRunning(installed.program));
    for (const auto& other : OTHER_WINDOWS) EXPECT_EQ(windows.requests(other.title), 0);
    ULONGLONG answered = 0;
    ASSERT_TRUE(answerNotices(user, TARNWICK_RUN, &answered)) << user.transcript().joined();
    ASSERT_TRUE(waitForExtraction(user));

    // The product's windows were asked once each, after the wait; the
    // installed program has closed.
    DWORD exitCode = 1;
    EXPECT_TRUE(scripted_user::waitForExit(installed.program, WINDOW_TIMEOUT_MS, &exitCode))
        << "the installed Tarnwick still runs";
    EXPECT_EQ(exitCode, 0u);
    for (const auto& other : OTHER_WINDOWS) {
        if (!other.asked) continue;
        SCOPED_TRACE(other.title);
        EXPECT_EQ(windows.requests(other.title), 1);
        EXPECT_GE(windows.firstRequestAt(other.title) + CLOCK_SLACK_MS,
                  answered + WAIT_BEFORE_CLOSING_MS);
        EXPECT_FALSE(windows.standing(other.title));
    }

    answerFinalQuestion(user, waitForNextMessage(user, FINAL_CAPTION), "Tarnwick", IDNO,
                        "final-question");
    if (HasFatalFailure()) return;
    EXPECT_EQ(user.transcript().lines(), expected);
    // The program that ran is replaced by the product's, with its time.
    std::vector<uint8_t> written;
    ASSERT_TRUE(readFile(program, &written));
    EXPECT_TRUE(written == genuine) << written.size() << " bytes, " << genuine.size()
                                    << " in the product";
    EXPECT_EQ(modificationTime(program), storedTime(tarnwickFiles().front()));
    // Titles that only look like the product's were never asked.
    for (const auto& other : OTHER_WINDOWS) {
        if (other.asked) continue;
        SCOPED_TRACE(other.title);
        EXPECT_EQ(windows.requests(other.title), 0);
        EXPECT_TRUE(windows.standing(other.title));
    }
}

TEST_F(RunningCopies, CopyThatStaysAndHoldsItsProgramFailsTheRunAndTheFilesAreTakenBack) {
    const std::string folder = "C:\\twtest\\stuck\\Tarnwick";
    const std::string program = joinPath(folder, "tarnwick.exe");
    const std::vector<uint8_t> earlier = bytesOf("the program a running copy has open\r\n");
    ASSERT_TRUE(makeEmptyFolder(folder));
    ASSERT_TRUE(writeFile(program, earlier));
    ASSERT_TRUE(writeFile(joinPath(folder, "help.htm"), bytesOf("earlier help\r\n")));
    TitledWindows windows;
    ASSERT_TRUE(windows.open({{"Tarnwick", false}}));
    HeldFile held;
    ASSERT_TRUE(held.hold(program)) << "holdfile.exe did not take hold of " << program;

    std::vector<std::string> expected;
    HWND box = runToFailureMessage(user, buildPath(TW_SETUP_EXE), folder, &expected);
    ASSERT_NE(box, nullptr) << "no message box captioned " << FAILURE_CAPTION << " after\n"
                            << user.transcript().joined();
    EXPECT_EQ(user.readMessageBox(box), CANNOT_CREATE_TEXT);
    EXPECT_EQ(windows.requests("Tarnwick"), 1);
    EXPECT_TRUE(windows.standing("Tarnwick"));
    EXPECT_TRUE(user.screenshot("running-copy-stayed"));
    ASSERT_TRUE(user.answerOk(box));
    DWORD exitCode = 1;
    ASSERT_TRUE(user.waitForExit(RUN_TIMEOUT_MS, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(user.transcript().lines(),
              concat(expected, {std::string("window: ") + FAILURE_CAPTION,
                                std::string("text: ") + CANNOT_CREATE_TEXT, "answer: OK",
                                "exit: 0"}));
    ASSERT_TRUE(held.release());

    // The run failed at its first file and wrote nothing: the held program
    // and the earlier help file are as they were.
    EXPECT_EQ(folderEntries(folder), (std::vector<std::string>{"help.htm", "tarnwick.exe"}));
    std::vector<uint8_t> left;
    ASSERT_TRUE(readFile(program, &left));
    EXPECT_TRUE(left == earlier);
    ASSERT_TRUE(readFile(joinPath(folder, "help.htm"), &left));
    EXPECT_TRUE(left == bytesOf("earlier help\r\n"));
}

}  // namespace
}  // namespace e2e
