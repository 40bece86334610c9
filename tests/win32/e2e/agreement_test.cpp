// The agreement: the gate of the run. It shows the product's text, which
// cannot be changed, and only its acceptance leads on; every way of
// declining ends the run with nothing written.
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"
#include "e2e/setup_driving.h"
#include "scripted_user/deadline.h"

namespace e2e {
namespace {

using Agreement = ScriptedRun;

std::string agreementFile() {
    return joinPath(buildPath(TW_TARNWICK_FILES_DIR), "..\\agreement.txt");
}

// Starts setup and waits for the agreement and its text.
HWND openAgreement(scripted_user::ScriptedUser& user) {
    if (!startSetup(user, buildPath(TW_SETUP_EXE))) return nullptr;
    HWND dialog = user.waitForWindow(AGREEMENT_CAPTION, WINDOW_TIMEOUT_MS);
    if (!dialog || !scripted_user::waitForControl(dialog, AGREEMENT_TEXT_ID, WINDOW_TIMEOUT_MS)) {
        return nullptr;
    }
    return dialog;
}

LONG styleOf(HWND dialog, int id) { return GetWindowLongA(GetDlgItem(dialog, id), GWL_STYLE); }

// A key pressed and let go while the dialog is in front, with the focus
// where the dialog puts it at the start: its first tab stop, "I Accept".
// The dialog's own loop turns Enter and Escape into its commands.
bool pressKeyAtTheStart(scripted_user::ScriptedUser& user, HWND dialog, UINT key,
                        const char* name) {
    return user.pressKey(dialog, IDOK, key, name, WINDOW_TIMEOUT_MS);
}

// Posted messages are handled in order: once a selection posted after
// `messages` shows, they have all been handled.
bool postAndSettle(HWND edit, const std::vector<MSG>& messages) {
    for (const MSG& message : messages) {
        if (!PostMessageA(edit, message.message, message.wParam, message.lParam)) return false;
    }
    const DWORD markStart = 1, markEnd = 2;
    if (!PostMessageA(edit, EM_SETSEL, markStart, markEnd)) return false;
    return scripted_user::pollUntil(WINDOW_TIMEOUT_MS, [&] {
        DWORD start = 0, end = 0;
        DWORD_PTR answered = 0;
        return scripted_user::ask(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                                  reinterpret_cast<LPARAM>(&end), &answered) &&
               start == markStart && end == markEnd;
    });
}

bool putOnClipboard(const std::string& text) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (!memory) return false;
    memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
    GlobalUnlock(memory);
    bool placed = false;
    if (scripted_user::pollUntil(WINDOW_TIMEOUT_MS, [] { return OpenClipboard(nullptr) != 0; })) {
        placed = EmptyClipboard() && SetClipboardData(CF_TEXT, memory) != nullptr;
        CloseClipboard();
    }
    if (!placed) GlobalFree(memory);
    return placed;
}

std::string programFilesFolder() {
    char folder[MAX_PATH] = "";
    return SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, folder)) ? folder
                                                                                       : "";
}

std::string windowsDirectory() {
    char folder[MAX_PATH] = "";
    UINT length = GetWindowsDirectoryA(folder, sizeof folder);
    return length > 0 && length < sizeof folder ? folder : "";
}

// Adds a case's transcript to the test's own, each line labelled.
void keepTranscript(scripted_user::ScriptedUser& user, const std::string& label,
                    scripted_user::ScriptedUser& caseUser) {
    for (const std::string& line : caseUser.transcript().lines()) {
        user.transcript().add("case", label + ": " + line);
    }
}

TEST_F(Agreement, ShowsTheProductsTextReadOnlyAboveItsTwoButtons) {
    HWND dialog = openAgreement(user);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(scripted_user::windowClass(dialog), "#32770");
    EXPECT_EQ(scripted_user::windowCaption(dialog), AGREEMENT_CAPTION);

    struct Button {
        int id;
        const char* text;
        LONG type;
    };
    for (const Button& button : {Button{IDOK, "I Accept", BS_DEFPUSHBUTTON},
                                 Button{IDCANCEL, "I Do NOT Accept", BS_PUSHBUTTON}}) {
        SCOPED_TRACE(button.text);
        HWND control = GetDlgItem(dialog, button.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(scripted_user::windowClass(control), "Button");
        EXPECT_EQ(user.readControl(dialog, button.id), button.text);
        EXPECT_EQ(styleOf(dialog, button.id) & BS_TYPEMASK, button.type);
        EXPECT_TRUE(IsWindowVisible(control) && IsWindowEnabled(control));
    }
    EXPECT_EQ(scripted_user::defaultButton(dialog), IDOK);

    HWND edit = GetDlgItem(dialog, AGREEMENT_TEXT_ID);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(scripted_user::windowClass(edit), "Edit");
    const LONG style = styleOf(dialog, AGREEMENT_TEXT_ID);
    EXPECT_TRUE(style & ES_READONLY) << "the agreement can be edited";
    EXPECT_TRUE(style & ES_MULTILINE);
    EXPECT_TRUE(style & WS_VSCROLL) << "the agreement cannot be scrolled";
    std::vector<uint8_t> genuine;
    ASSERT_TRUE(readFile(agreementFile(), &genuine)) << agreementFile();
    // Byte for byte, the product's CR CR LF line ends included.
    EXPECT_TRUE(bytesOf(user.readControl(dialog, AGREEMENT_TEXT_ID)) == genuine);
    EXPECT_TRUE(user.screenshot("agreement"));
}

TEST_F(Agreement, TypingLeavesTheTextAsItWas) {
    HWND dialog = openAgreement(user);
    ASSERT_NE(dialog, nullptr);
    HWND edit = GetDlgItem(dialog, AGREEMENT_TEXT_ID);
    const std::string original = scripted_user::childText(edit);
    ASSERT_FALSE(original.empty());
    ASSERT_TRUE(putOnClipboard("pasted over the agreement"));

    struct Typing {
        const char* label;
        std::vector<MSG> messages;
    };
    auto message = [](UINT id, WPARAM wParam) {
        MSG m = {};
        m.message = id;
        m.wParam = wParam;
        return m;
    };
    const Typing typings[] = {
        {"letters", {message(WM_CHAR, 'x'), message(WM_CHAR, 'Y'), message(WM_CHAR, ' ')}},
        {"backspace", {message(WM_KEYDOWN, VK_BACK), message(WM_CHAR, '\b')}},
        {"the Delete key", {message(WM_KEYDOWN, VK_DELETE)}},
        {"cut", {message(WM_CUT, 0)}},
        {"clear", {message(WM_CLEAR, 0)}},
        {"paste", {message(WM_PASTE, 0)}},
        {"undo", {message(WM_UNDO, 0)}},
    };
    for (const Typing& typing : typings) {
        SCOPED_TRACE(typing.label);
        // Everything selected: any typing that went through would replace it.
        DWORD_PTR answered = 0;
        ASSERT_TRUE(scripted_user::ask(edit, EM_SETSEL, 0, -1, &answered));
        ASSERT_TRUE(postAndSettle(edit, typing.messages));
        EXPECT_EQ(scripted_user::childText(edit), original);
        user.transcript().add("typed", typing.label);
    }
    EXPECT_TRUE(IsWindowVisible(dialog)) << "typing ended the agreement";
}

// One way of answering the agreement, and the line it leaves in the
// transcript.
struct Way {
    const char* label;
    const char* transcriptLine;
    bool (*answer)(scripted_user::ScriptedUser& user, HWND dialog);
};

// Answers the agreement one way. When that fails, the case's transcript,
// whose last line says what the agreement was doing at that moment, is kept
// whatever follows (the screen of that moment is "not-delivered.png").
testing::AssertionResult answerAgreement(const Way& way, scripted_user::ScriptedUser& user,
                                         scripted_user::ScriptedUser& caseUser, HWND dialog) {
    if (way.answer(caseUser, dialog)) return testing::AssertionSuccess();
    keepTranscript(user, way.label, caseUser);
    return testing::AssertionFailure() << "the agreement was not answered: "
                                       << caseUser.transcript().joined();
}

TEST_F(Agreement, AcceptingLeadsToTheFolderChoice) {
    const Way ways[] = {
        {"the I Accept button", "answer: I Accept",
         [](scripted_user::ScriptedUser& u, HWND d) { return u.answer(d, IDOK); }},
        {"the Enter key", "key: Enter",
         [](scripted_user::ScriptedUser& u, HWND d) {
             return pressKeyAtTheStart(u, d, VK_RETURN, "Enter");
         }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.label);
        scripted_user::ScriptedUser caseUser;
        HWND dialog = openAgreement(caseUser);
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(answerAgreement(way, user, caseUser, dialog));
        HWND folder = caseUser.waitForWindow(FOLDER_CAPTION, WINDOW_TIMEOUT_MS);
        keepTranscript(user, way.label, caseUser);
        EXPECT_NE(folder, nullptr) << "no folder choice after the agreement was accepted";
        EXPECT_FALSE(IsWindow(dialog)) << "the agreement stayed";
        EXPECT_EQ(caseUser.transcript().lines(),
                  (std::vector<std::string>{std::string("window: ") + AGREEMENT_CAPTION,
                                            way.transcriptLine,
                                            std::string("window: ") + FOLDER_CAPTION}));
    }
}

TEST_F(Agreement, EveryWayOfDecliningEndsTheRunWithNothingWritten) {
    const Way ways[] = {
        {"the I Do NOT Accept button", "answer: I Do NOT Accept",
         [](scripted_user::ScriptedUser& u, HWND d) { return u.answer(d, IDCANCEL); }},
        {"the Escape key", "key: Escape",
         [](scripted_user::ScriptedUser& u, HWND d) {
             return pressKeyAtTheStart(u, d, VK_ESCAPE, "Escape");
         }},
        {"the close box", "close: close box",
         [](scripted_user::ScriptedUser& u, HWND d) { return u.closeBox(d, "close box"); }},
    };
    const std::string programFiles = programFilesFolder();
    const std::string windows = windowsDirectory();
    ASSERT_FALSE(programFiles.empty());
    ASSERT_FALSE(windows.empty());
    const std::string defaultFolder = joinPath(programFiles, "Tarnwick");
    const std::string settings = joinPath(windows, "tarnwick.ini");

    for (const Way& way : ways) {
        SCOPED_TRACE(way.label);
        scripted_user::ScriptedUser caseUser;
        HWND dialog = openAgreement(caseUser);
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(answerAgreement(way, user, caseUser, dialog));
        HWND box = caseUser.waitForMessageBox(NOT_INSTALLED_CAPTION, WINDOW_TIMEOUT_MS);
        if (box) {
            EXPECT_EQ(caseUser.readMessageBox(box), NOT_INSTALLED_TEXT);
            EXPECT_FALSE(IsWindow(dialog)) << "the agreement stayed behind the message";
            EXPECT_TRUE(caseUser.answerOk(box));
            EXPECT_TRUE(scripted_user::waitUntilGone(box, WINDOW_TIMEOUT_MS));
        }
        // Nothing follows the message but the end of the run.
        DWORD exitCode = 1;
        std::string window;
        bool ended = box && caseUser.waitForExitShowingOnly(RUN_TIMEOUT_MS, {BACKDROP_CAPTION},
                                                            &exitCode, &window);
        keepTranscript(user, way.label, caseUser);
        ASSERT_NE(box, nullptr) << "no message captioned " << NOT_INSTALLED_CAPTION;
        EXPECT_EQ(window, "") << "a window showed after the decline";
        ASSERT_TRUE(ended);
        EXPECT_EQ(exitCode, 0u);
        EXPECT_EQ(caseUser.transcript().lines(),
                  (std::vector<std::string>{std::string("window: ") + AGREEMENT_CAPTION,
                                            way.transcriptLine,
                                            std::string("window: ") + NOT_INSTALLED_CAPTION,
                                            std::string("text: ") + NOT_INSTALLED_TEXT,
                                            "answer: OK", "exit: 0"}));

        EXPECT_EQ(GetFileAttributesA(defaultFolder.c_str()), INVALID_FILE_ATTRIBUTES)
            << defaultFolder << " was made";
        EXPECT_FALSE(fileExists(settings)) << settings << " was written";
        EXPECT_TRUE(folderEntries(SETUP_START_FOLDER).empty());
    }
}

}  // namespace
}  // namespace e2e
