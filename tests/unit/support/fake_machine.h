// A machine in memory for the setup's decisions: the folder choice's file
// system, settings, folders, environment and disks, the message boxes, the
// dialogs and the Win32 shell of the sequence, and the extraction. It
// stands in for every platform seam at link time, answers from what a test
// sets up or scripts, and keeps a log of every call that a test compares
// with the run it expects. Paths are Windows paths, compared without regard
// to case or separator.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "payload/extract.h"

namespace fake_machine {

// What the window handles of the log stand for.
extern const WindowHandle BACKDROP;
extern const WindowHandle FOLDER_DIALOG;
extern const WindowHandle PROGRESS_DIALOG;

// The machine of a fresh Windows: drive C: with C:\WINDOWS and
// C:\Program Files, which the shell reports; no environment, no settings;
// C:\ current; plenty of free space on every drive; the NT family.
void reset();

void addDirectory(const std::string& path);  // with its parents
void addFile(const std::string& path);
void failMakeDirectory(const std::string& path);
void failChangeDirectory(const std::string& path);
void setProgramFilesFolder(const std::string& path);  // "" when shfolder.dll is missing
void setEnvironment(const std::string& name, const std::string& value);
void setSetting(const std::string& key, const std::string& value);  // in tarnwick.ini, Options
std::string setting(const std::string& key);  // "" when missing
void setFreeClusters(char drive, uint32_t freeClusters);  // 8 sectors of 512 bytes each
void failFreeSpace(char drive);
void setCurrentDrive(char drive);
void failBackdrop();
void damagePayload();  // the payload check finds a damaged chunk
void setPlatform(uint32_t platformId);  // PLATFORM_NT unless set

// The user. Each folder dialog takes steps until one ends it: OK with the
// two edits (which ends it only when the choice is accepted), Cancel, or a
// dialog that cannot be shown at all. Each question takes the next answer.
struct Step {
    enum Kind { OK, CANCEL, NOT_SHOWN } kind;
    std::string parent;
    std::string application;
};
Step ok(const std::string& parent, const std::string& application);
Step cancel();
Step notShown();
void scriptFolderDialog(const std::vector<Step>& steps);
void scriptAnswers(const std::vector<bool>& yes);
void scriptAgreement(int result);  // 1 accepted, 0 declined, -1 not shown
void scriptExtraction(ExtractResult result);
// What the failed extraction's undo did: every file it kept aside put
// back (`kept` of them), or `stepsLeft` steps that failed.
void scriptUndo(int32_t kept, int32_t stepsLeft);
// A journal that an ended run left in `folder`, with its notes; finishing
// it undoes that run (`stepsLeft` steps failing) unless it was committed.
void leaveJournal(const std::string& folder, bool committed, bool serviceRemoved,
                  const std::string& earlierFolder, int32_t stepsLeft = 0);

// The system room: special folders (the Start menu's Programs folder is
// C:\WINDOWS\Start Menu\Programs, its Startup folder StartUp below it,
// both present), link files as the shell's link object left them, the
// registry below HKEY_LOCAL_MACHINE, and the exit codes of programs run.
extern const char* const PROGRAMS;
extern const char* const STARTUP;
extern const char* const COMMON_PROGRAMS;  // below C:\WINDOWS\All Users, both present
extern const char* const COMMON_STARTUP;
// The accounts of setup's process and of the desktop's shell: the same one
// unless set; "" for one that cannot be told.
void setAccounts(const std::string& process, const std::string& desktop);
// An existing folder and what its security reads as; a folder without one
// cannot be read.
void setFolderSecurity(const std::string& path, bool isLink, const std::string& owner,
                       const std::vector<std::pair<std::string, uint32_t>>& entries);
void failTakeOver();
// Setup elevated on Vista or later, and whether the desktop's shell then
// starts the product.
void runElevated(bool desktopShellStarts);
void setSpecialFolder(int folder, const std::string& path);  // "" when the shell has none
// Fails one step of the link object: "create", "query", "save 1", "save 2".
void failLinkStep(const std::string& step);
struct Link {
    std::string target, description, workingDirectory, arguments, icon;
    bool hasArguments = false;
    int iconIndex = -1;
    int showCommand = 0;  // 0: not set
    int saves = 0;
};
const Link* link(const std::string& path);  // null when no file was saved there
// Every COM initialisation undone and every link object and file released.
bool shellBalanced();
void failRegistry();
void setRegistryValue(const std::string& keyPath, const std::string& name,
                      const std::string& value);
// "" when missing; numbers as "dword:<decimal>".
std::string registryValue(const std::string& keyPath, const std::string& name);
size_t registryValueCount(const std::string& keyPath);
void setExitCode(const std::string& program, int code);  // -1: cannot be started

// Other programs' top-level windows, in the order the system visits them.
void addWindow(const std::string& title);
// The service manager and an old service of the product's name; by default
// none is installed. `states` are what the queries report in turn, -1 for a
// failing query; past its end the last entry holds.
struct OldService {
    bool managerFails = false;
    bool installed = false;
    bool acceptsStop = true;
    std::vector<int> states = {1};
    bool deletable = true;
    bool markedForDeletion = false;  // by an earlier removal
};
void setOldService(const OldService& service);
// The process's command line, whole ("setup.exe" unless set).
void setCommandLine(const std::string& line);
// Lines appended to a file (the run's log), each as written.
std::vector<std::string> fileLines(const std::string& path);
void failLogFile();
void failSettings();  // the settings file cannot be written

// Everything written to standard output.
const std::string& printed();

// Thrown by the process's end, which never returns.
struct ProcessEnded {
    int status;
};

// Every call in order, one line each, e.g. "warning[backdrop] Shutting
// Down", "mkdir C:\Tarnwick", "dialog C:\Program Files | Tarnwick".
const std::vector<std::string>& log();
// The texts of the messages shown, in order.
const std::vector<std::string>& messageTexts();

}  // namespace fake_machine
