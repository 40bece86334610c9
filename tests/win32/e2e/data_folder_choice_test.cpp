// What OK in "Choose a Folder" does with the folder typed, and how a folder
// recorded by an earlier run comes back: what is taken, what is asked about,
// what is refused while the dialog stays, and the Windows directory, which
// is never taken. Which folders are taken without a question, and the
// spellings of the Windows directory, are decisions the native tables of
// the folder choice check row by row.
#include "e2e/data_folder_support.h"

#include <algorithm>

namespace e2e {
namespace data_folder {
namespace {

using DataFolderRecorded = ScriptedRun;
using DataFolderChoice = ScriptedRun;
using DataFolderWindowsDirectory = ScriptedRun;

// Types both edits and presses OK, as a user choosing a folder does.
bool submitFolder(scripted_user::ScriptedUser& user, HWND dialog, const Proposal& folder) {
    return user.type(dialog, PARENT_FOLDER_ID, folder.parent) &&
           user.type(dialog, APPLICATION_FOLDER_ID, folder.application) &&
           user.answer(dialog, IDOK);
}

std::string window(const char* caption) { return std::string("window: ") + caption; }
std::string text(const char* words) { return std::string("text: ") + words; }

// The end of a run cancelled in the folder dialog, as the transcript has it.
const std::vector<std::string>& cancelledEnding() {
    static const std::vector<std::string> lines = {
        "answer: Cancel", window(SHUTTING_DOWN_CAPTION), text(SHUTTING_DOWN_TEXT), "answer: OK",
        window(NOT_INSTALLED_CAPTION), text(NOT_INSTALLED_TEXT), "answer: OK", "exit: 0"};
    return lines;
}

// A typed folder refused with a message: opens the dialog, submits the
// folder, reads and closes the message, and sees the dialog stay with the
// folder as typed.
void submitAndSeeItRefused(scripted_user::ScriptedUser& user, const Proposal& typed,
                           const char* caption, const char* words, HWND* dialog) {
    *dialog = openFolderDialog(user);
    ASSERT_NE(*dialog, nullptr) << "no dialog captioned " << FOLDER_CAPTION;
    ASSERT_TRUE(submitFolder(user, *dialog, typed));
    std::string message;
    ASSERT_TRUE(answerMessage(user, caption, IDOK, &message));
    EXPECT_EQ(message, words);
    ASSERT_TRUE(dialogStaysOpen(*dialog));
    EXPECT_EQ(readProposal(user, *dialog), typed);
}

// The transcript of that, then of a cancel that ends the run.
std::vector<std::string> refusedThenCancelled(const Proposal& typed, const char* caption,
                                              const char* words) {
    return concat({window(AGREEMENT_CAPTION), "answer: I Accept", window(FOLDER_CAPTION),
                   "type: " + typed.parent, "type: " + typed.application, "answer: OK",
                   window(caption), text(words), "answer: OK", "text: " + typed.parent,
                   "text: " + typed.application},
                  cancelledEnding());
}

std::string recordedOrNone() {
    bool recorded = true;
    std::string folder = recordedDataFolder(&recorded);
    return recorded ? folder : "<none>";
}

// --- a recorded folder ----------------------------------------------------

TEST_F(DataFolderRecorded, IsProposedWithItsSeparatorsNormalised) {
    struct Row {
        const char* label;
        const char* recorded;
        Proposal proposed;
    };
    const Row rows[] = {
        {"doubled and trailing separators", "C:/Data//Tarnwick/", {"C:\\Data\\Tarnwick", ""}},
        {"mixed runs of separators", "C:\\\\Data\\/Tarnwick", {"C:\\Data", "Tarnwick"}},
        {"forward slashes only", "D:/Apps/My Tarnwick", {"D:\\Apps", "My Tarnwick"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        user.transcript().add("row", row.label);
        ASSERT_TRUE(recordDataFolder(row.recorded));
        HWND dialog = openFolderDialog(user);
        ASSERT_NE(dialog, nullptr) << "no dialog captioned " << FOLDER_CAPTION;
        EXPECT_EQ(readProposal(user, dialog), row.proposed);
        expectCancelEndsTheRun(user, dialog);
        if (HasFatalFailure()) return;
        // Cancel leaves the record as it was, unnormalised.
        EXPECT_EQ(recordedOrNone(), row.recorded);
    }
}

TEST_F(DataFolderRecorded, ProposalWithAnEmptyApplicationFolderIsTakenAsItStands) {
    // Recorded with a trailing separator, the folder comes back whole as the
    // parent, and OK joins a trailing separator to it again: the same folder.
    struct Row {
        const char* label;
        const char* recorded;
        const char* existing;  // made before the run
        const char* folder;
    };
    const Row rows[] = {
        {"folder already there", "C:/Data//Tarnwick/", "C:\\Data\\Tarnwick", "C:\\Data\\Tarnwick"},
        {"folder to be made", "C:/Fresh/Tarnwick/", "C:\\Fresh", "C:\\Fresh\\Tarnwick"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        user.transcript().add("row", row.label);
        const size_t first = user.transcript().lines().size();
        ASSERT_TRUE(makeEmptyFolder(row.existing));
        ASSERT_TRUE(recordDataFolder(row.recorded));
        HWND dialog = openFolderDialog(user);
        ASSERT_NE(dialog, nullptr) << "no dialog captioned " << FOLDER_CAPTION;
        ASSERT_EQ(readProposal(user, dialog), (Proposal{row.folder, ""}));
        ASSERT_TRUE(user.answer(dialog, IDOK));
        expectRunCompletes(user);
        if (HasFatalFailure()) return;

        EXPECT_EQ(transcriptFrom(user, first),
                  concat({window(AGREEMENT_CAPTION), "answer: I Accept", window(FOLDER_CAPTION),
                          std::string("text: ") + row.folder, "text: ", "answer: OK"},
                         completedEnding()));
        EXPECT_EQ(recordedOrNone(), row.folder);
        expectPayloadIn(row.folder);
    }
}

// --- folders typed into the dialog ----------------------------------------

TEST_F(DataFolderChoice, OtherExistingFolderIsTakenOnlyWhenTheUserSaysYes) {
    const Proposal typed = {"C:\\twtest", "shared"};
    const std::string folder = typed.parent + "\\" + typed.application;
    ASSERT_TRUE(makeEmptyFolder(folder));

    HWND dialog = openFolderDialog(user);
    ASSERT_NE(dialog, nullptr) << "no dialog captioned " << FOLDER_CAPTION;
    ASSERT_TRUE(submitFolder(user, dialog, typed));
    std::string question;
    ASSERT_TRUE(answerMessage(user, EXISTING_FOLDER_CAPTION, IDNO, &question));
    EXPECT_EQ(question, EXISTING_FOLDER_TEXT);

    // No: the dialog stays with the folder as typed, and nothing is taken.
    ASSERT_TRUE(dialogStaysOpen(dialog));
    EXPECT_EQ(readProposal(user, dialog), typed);
    EXPECT_EQ(recordedOrNone(), "<none>");
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{});

    ASSERT_TRUE(user.answer(dialog, IDOK));
    ASSERT_TRUE(answerMessage(user, EXISTING_FOLDER_CAPTION, IDYES, &question));
    expectRunCompletes(user);
    if (HasFatalFailure()) return;

    EXPECT_EQ(user.transcript().lines(),
              concat({window(AGREEMENT_CAPTION), "answer: I Accept", window(FOLDER_CAPTION),
                      "type: " + typed.parent, "type: " + typed.application, "answer: OK",
                      window(EXISTING_FOLDER_CAPTION), text(EXISTING_FOLDER_TEXT), "answer: No",
                      "text: " + typed.parent, "text: " + typed.application, "answer: OK",
                      window(EXISTING_FOLDER_CAPTION), text(EXISTING_FOLDER_TEXT), "answer: Yes"},
                     completedEnding()));
    EXPECT_EQ(recordedOrNone(), folder);
    expectPayloadIn(folder);
}

TEST_F(DataFolderChoice, PathNamingAFileAsksForAFolderName) {
    const Proposal typed = {"C:\\twtest", "notes.txt"};
    const std::string file = typed.parent + "\\" + typed.application;
    ASSERT_TRUE(makeEmptyFolder(typed.parent));
    const std::vector<uint8_t> content = bytesOf("a user's own notes\r\n");
    ASSERT_TRUE(writeFile(file, content));

    HWND dialog = nullptr;
    submitAndSeeItRefused(user, typed, ENTER_FOLDER_NAME_CAPTION, ENTER_FOLDER_NAME_TEXT, &dialog);
    if (HasFatalFailure()) return;
    expectCancelEndsTheRun(user, dialog);
    if (HasFatalFailure()) return;

    EXPECT_EQ(user.transcript().lines(),
              refusedThenCancelled(typed, ENTER_FOLDER_NAME_CAPTION, ENTER_FOLDER_NAME_TEXT));
    std::vector<uint8_t> after;
    ASSERT_TRUE(readFile(file, &after));
    EXPECT_TRUE(after == content) << "the file changed";
    EXPECT_EQ(recordedOrNone(), "<none>");
}

// A drive letter no drive answers to, from the end of the alphabet.
std::string missingDrive() {
    for (char letter = 'Z'; letter >= 'D'; --letter) {
        std::string root = std::string(1, letter) + ":\\";
        if (GetDriveTypeA(root.c_str()) == DRIVE_NO_ROOT_DIR) return std::string(1, letter) + ":";
    }
    return "";
}

TEST_F(DataFolderChoice, FolderThatCannotBeCreatedIsRefusedAndTheDialogStays) {
    const std::string plainFile = "C:\\twtest\\plain.txt";
    ASSERT_TRUE(makeEmptyFolder("C:\\twtest"));
    ASSERT_TRUE(writeFile(plainFile, bytesOf("not a folder")));
    const std::string drive = missingDrive();
    ASSERT_NE(drive, "") << "every drive letter is taken";

    struct Row {
        const char* label;
        Proposal typed;
    };
    const Row rows[] = {
        {"parent folder missing", {"C:\\twtest\\missing\\deeper", "Tarnwick"}},
        {"drive that does not exist", {drive + "\\Apps", "Tarnwick"}},
        {"below a plain file", {plainFile, "Tarnwick"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        user.transcript().add("row", row.label);
        const size_t first = user.transcript().lines().size();
        HWND dialog = nullptr;
        submitAndSeeItRefused(user, row.typed, CANNOT_CREATE_CAPTION, CANNOT_CREATE_FOLDER_TEXT,
                              &dialog);
        if (HasFatalFailure()) return;
        expectCancelEndsTheRun(user, dialog);
        if (HasFatalFailure()) return;

        EXPECT_EQ(transcriptFrom(user, first),
                  refusedThenCancelled(row.typed, CANNOT_CREATE_CAPTION, CANNOT_CREATE_FOLDER_TEXT));
        EXPECT_FALSE(isDirectory(row.typed.parent + "\\" + row.typed.application));
        EXPECT_EQ(recordedOrNone(), "<none>");
    }
    EXPECT_TRUE(fileExists(plainFile));
    EXPECT_FALSE(isDirectory("C:\\twtest\\missing"));
}

// --- the platform's path limit --------------------------------------------

// The longest of Tarnwick's file names: every payload path is the folder,
// "\" and a name, and none may pass 259 characters.
// The longest name setup makes below the folder: a payload name with the
// six characters of ".kept~", under which an upgrade keeps the file it
// replaces until the run ends.
size_t longestPayloadName() {
    size_t longest = 0;
    for (const PayloadFile& file : tarnwickFiles()) longest = std::max(longest, file.name.size());
    return longest + 6;
}

const size_t PATH_LIMIT = 259;
const char LONG_BASE[] = "C:\\twtest\\long";

// An existing parent below which `application` makes a folder of exactly
// `length` characters.
Proposal folderOfLength(size_t length, const std::string& application) {
    const size_t padding = length - application.size() - 1 - sizeof LONG_BASE;
    return Proposal{std::string(LONG_BASE) + "\\" + std::string(padding, 'p'), application};
}

TEST_F(DataFolderChoice, FolderTooLongForThePayloadIsRefusedAndNothingIsCreated) {
    const Proposal typed = folderOfLength(PATH_LIMIT - longestPayloadName(), "Tarnwick");
    const std::string folder = typed.parent + "\\" + typed.application;
    ASSERT_EQ(folder.size() + 1 + longestPayloadName(), PATH_LIMIT + 1);
    ASSERT_TRUE(makeEmptyFolder(typed.parent));

    HWND dialog = nullptr;
    submitAndSeeItRefused(user, typed, TOO_LONG_CAPTION, TOO_LONG_TEXT, &dialog);
    if (HasFatalFailure()) return;
    EXPECT_EQ(folderEntries(typed.parent), std::vector<std::string>{});
    EXPECT_EQ(recordedOrNone(), "<none>");
    expectCancelEndsTheRun(user, dialog);
    if (HasFatalFailure()) return;

    EXPECT_EQ(user.transcript().lines(),
              refusedThenCancelled(typed, TOO_LONG_CAPTION, TOO_LONG_TEXT));
    EXPECT_EQ(folderEntries(typed.parent), std::vector<std::string>{});
}

TEST_F(DataFolderChoice, FolderWhosePayloadPathsReachTheLimitExactlyIsTaken) {
    const Proposal typed = folderOfLength(PATH_LIMIT - 1 - longestPayloadName(), "Tarnwick");
    const std::string folder = typed.parent + "\\" + typed.application;
    ASSERT_EQ(folder.size() + 1 + longestPayloadName(), PATH_LIMIT);
    ASSERT_TRUE(makeEmptyFolder(typed.parent));

    HWND dialog = openFolderDialog(user);
    ASSERT_NE(dialog, nullptr) << "no dialog captioned " << FOLDER_CAPTION;
    ASSERT_TRUE(submitFolder(user, dialog, typed));
    expectRunCompletes(user);
    if (HasFatalFailure()) return;

    EXPECT_EQ(recordedOrNone(), folder);
    expectPayloadIn(folder);
}

// --- the Windows directory ------------------------------------------------

TEST_F(DataFolderWindowsDirectory, ChosenInTheDialogIsRefusedAndNotRecorded) {
    const std::string windows = windowsDirectory();
    ASSERT_GT(windows.size(), 3u) << "Windows directory \"" << windows << "\"";
    Proposal typed;
    splitFolder(windows, &typed.parent, &typed.application);

    HWND dialog = openFolderDialog(user);
    ASSERT_NE(dialog, nullptr) << "no dialog captioned " << FOLDER_CAPTION;
    ASSERT_TRUE(submitFolder(user, dialog, typed));
    // An existing folder not named after the product: asked about first.
    std::string message;
    ASSERT_TRUE(answerMessage(user, EXISTING_FOLDER_CAPTION, IDYES, &message));
    ASSERT_TRUE(answerMessage(user, WINDOWS_DIRECTORY_CAPTION, IDOK, &message));
    EXPECT_EQ(message, WINDOWS_DIRECTORY_TEXT);
    dialog = waitForFolderDialog(user);
    ASSERT_NE(dialog, nullptr) << "the dialog did not come back";
    EXPECT_EQ(readProposal(user, dialog), typed);
    expectCancelEndsTheRun(user, dialog);
    if (HasFatalFailure()) return;

    EXPECT_EQ(user.transcript().lines(),
              concat({window(AGREEMENT_CAPTION), "answer: I Accept", window(FOLDER_CAPTION),
                      "type: " + typed.parent, "type: " + typed.application, "answer: OK",
                      window(EXISTING_FOLDER_CAPTION), text(EXISTING_FOLDER_TEXT), "answer: Yes",
                      window(WINDOWS_DIRECTORY_CAPTION), text(WINDOWS_DIRECTORY_TEXT),
                      "answer: OK", window(FOLDER_CAPTION), "text: " + typed.parent,
                      "text: " + typed.application},
                     cancelledEnding()));
    EXPECT_EQ(recordedOrNone(), "<none>");
    EXPECT_FALSE(fileExists(settingsFilePath()));
}

}  // namespace
}  // namespace data_folder
}  // namespace e2e
