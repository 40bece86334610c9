// What the end-to-end tests share: where the programs under test lie, the
// texts a user must see, files on the test machine, and the fixture that
// saves every run's transcript.
#pragma once

#include <windows.h>
#include <stdint.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scripted_user/scripted_user.h"

namespace e2e {

// Deadlines. A setup run takes well under a second here, besides the fixed
// waits of its own; the margin is for a loaded machine running several
// tests at once.
enum : DWORD {
    WINDOW_TIMEOUT_MS = 30000,
    RUN_TIMEOUT_MS = 60000,
    // Setup's own waits before the extraction: 2 + 8 s while running
    // copies close, 6 s after an old service is removed, and the seconds
    // that a stopping service takes (a few for the stand-in service).
    STAGE_WAITS_MS = 30000,
};

// Paths from the build, handed over as "Z:/..." (Wine's Z: drive is the
// Linux root), with Windows separators.
std::string buildPath(const char* path);
std::string joinPath(const std::string& folder, const std::string& name);

// What a failed extraction tells the user: the product's caption and one of
// its texts, word for word as the user must read them.
extern const char* const FAILURE_CAPTION;
extern const char* const CANNOT_CREATE_TEXT;
extern const char* const WRITE_FAILED_TEXT;

// The system icon a message box shows: "error", "warning", "information"
// or "question"; "" for none, "other" for one that is none of these or not
// on the screen in time, "unanswered" when the box did not say whether it
// has one.
std::string messageBoxIcon(HWND box);

// One payload file and where its genuine bytes come from.
struct PayloadFile {
    std::string name;
    std::string source;  // Windows path of the product's own copy
    bool built;          // one of the product's programs, built with the test
};

// Tarnwick's nine files in payload order.
std::vector<PayloadFile> tarnwickFiles();

// The time the build stored for one of them, as the installed file must
// carry it: the product's copy's own, capped at the build's source time (a
// commit's), which a built program takes whole.
int64_t storedTime(const PayloadFile& file);

// Files, read through kernel32 rather than the C runtime that setup uses.
bool readFile(const std::string& path, std::vector<uint8_t>* bytes);
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> bytesOf(const std::string& text);
bool fileExists(const std::string& path);
bool isDirectory(const std::string& path);
// Last write time in seconds since 1970 (UTC); -1 when there is no file.
int64_t modificationTime(const std::string& path);
bool setModificationTime(const std::string& path, int64_t seconds);
// Names in a folder, without "." and "..", sorted.
std::vector<std::string> folderEntries(const std::string& folder);
// Creates the folder and any missing parents; false unless it ends empty.
bool makeEmptyFolder(const std::string& folder);

// The transcript lines of `first`, then those of `second`.
std::vector<std::string> concat(std::vector<std::string> first,
                                const std::vector<std::string>& second);

// Wine's per-program setting: the Windows version `version` ("win98") for
// every program named `program` ("setup.exe").
bool setWindowsVersionFor(const std::string& program, const std::string& version);

// A file held open, shared with nobody, by a program of its own, as a
// running program holds its files. Released on destruction.
class HeldFile {
public:
    HeldFile() = default;
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    ~HeldFile();

    // Starts the holder and waits until it has the file open.
    bool hold(const std::string& path);
    // Lets the holder close the file and waits for it to end.
    bool release();

private:
    scripted_user::Program holder_;
    HANDLE releaseEvent_ = nullptr;
};

// Each test runs one program through the scripted user. Its transcript, and
// a screenshot when the test failed, are saved to the test's output folder.
class ScriptedRun : public ::testing::Test {
protected:
    void TearDown() override;

    scripted_user::ScriptedUser user;
};

}  // namespace e2e
