#include "support/fake_machine.h"
#include "support/fake_machine_state.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/bounded_text.h"
#include "setup/setup_platform.h"
#include "state/installer_config.h"
#include "state/setup_state.h"
#include "system/message_box.h"
#include "system/system_platform.h"
#include "ui/folder_choice.h"
#include "ui/folder_platform.h"
#include "ui/folder_rules.h"

// The record and payload names of a product like Tarnwick, its group named
// otherwise, so that a test sees which of the two a step takes; the longest
// name is 20 characters.
const InstallerConfig installerConfig = {
    "Tarnwick", "Tarnwick Suite", "tarnwick.ini", 0, "", "tarnwick.exe", "-icon", 0, 0, "", 1, "", "", "", ""};
const char agreementText[] = "agreement";
namespace {
const char* const PAYLOAD_NAMES[] = {"tarnwick.exe", "tw-head-prologue.twr", "kluninst.exe",
                                     "SYSTEM/a-longer-system-file-name.dll"};
const int32_t PAYLOAD_COUNTS[] = {0, 0, 0, 0};
}  // namespace
const PayloadTable payloadTable = {4, nullptr, nullptr, PAYLOAD_NAMES, PAYLOAD_COUNTS, nullptr};
const uint32_t payloadInstalledKilobytes = 186;

namespace fake_machine {

const WindowHandle BACKDROP = reinterpret_cast<WindowHandle>(0xB0);
const WindowHandle FOLDER_DIALOG = reinterpret_cast<WindowHandle>(0xF0);
const WindowHandle PROGRESS_DIALOG = reinterpret_cast<WindowHandle>(0xD0);

Machine machine;


char currentDriveLetter() {
    char drive = machine.currentDirectory[0];
    return drive >= 'a' && drive <= 'z' ? static_cast<char>(drive - 'a' + 'A') : drive;
}

// A drive path's components as the system resolves them: a doubled
// separator and "." name nothing, ".." the parent (never above the root).
std::string collapsed(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 3;  // past "X:\"
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string result = path.substr(0, 3);
    for (size_t i = 0; i < parts.size(); ++i) result += (i ? "\\" : "") + parts[i];
    // A trailing separator is kept: callers trim it where they mean to.
    if (path.size() > 3 && path.back() == '\\' && !parts.empty()) result += '\\';
    return result;
}

// The file system's key for a path: upper case, "\" only, without the dots
// and blanks that end its last component (as the system drops them), with
// doubled separators, "." and ".." resolved, relative paths and
// drive-relative ones ("\x") resolved against the current directory. A
// network path ("\\server\share") is on no drive and stays as it is.
std::string key(std::string path) {
    for (char& c : path) {
        if (c == '/') c = '\\';
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    const size_t last = path.find_last_of('\\') + 1;  // 0 without a separator
    if (path.compare(last, std::string::npos, ".") != 0 &&
        path.compare(last, std::string::npos, "..") != 0) {
        while (path.size() > last && (path.back() == '.' || path.back() == ' ')) path.pop_back();
    }
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') return path;
    if (!path.empty() && path[0] == '\\') return std::string(1, currentDriveLetter()) + ":" + path;
    if (path.size() < 2 || path[1] != ':') return key(machine.currentDirectory + "\\" + path);
    if (path.size() < 3 || path[2] != '\\') return path;  // "C:" or "C:x": left as they are
    return collapsed(path);
}

bool isRoot(const std::string& k) { return k.size() == 3 && k[1] == ':' && k[2] == '\\'; }

// A directory's name without trailing separators, a root's with its one.
std::string trimmed(std::string k) {
    while (k.size() > 1 && k.back() == '\\' && !isRoot(k)) k.pop_back();
    return k;
}

std::string parentOf(const std::string& k) {
    size_t split = k.find_last_of('\\');
    if (split == std::string::npos) return "";
    return split == 2 ? k.substr(0, 3) : k.substr(0, split);
}

std::string ownerName(WindowHandle owner) {
    if (owner == BACKDROP) return "backdrop";
    if (owner == FOLDER_DIALOG) return "dialog";
    return owner ? "other" : "none";
}

void note(const std::string& line) { machine.log.push_back(line); }


void reset() {
    machine = Machine();
    machine.currentDirectory = "C:\\";
    addDirectory("C:\\WINDOWS");
    addDirectory("C:\\Program Files");
    machine.programFiles = "C:\\Program Files";
    setSpecialFolder(2, PROGRAMS);
    setSpecialFolder(7, STARTUP);
    setSpecialFolder(0x17, COMMON_PROGRAMS);
    setSpecialFolder(0x18, COMMON_STARTUP);
    setAccounts("S-1-5-21-1000", "S-1-5-21-1000");
}

// A directory's parents are all known once it is: every directory comes in
// with them, and one is made only below a known parent.
void addDirectory(const std::string& path) {
    for (std::string k = trimmed(key(path)); !k.empty(); k = parentOf(k)) {
        if (!machine.directories.insert(k).second || isRoot(k)) break;
    }
}
void addFile(const std::string& path) {
    addDirectory(parentOf(key(path)));
    machine.files.insert(key(path));
}
void failMakeDirectory(const std::string& path) { machine.mkdirFails.insert(trimmed(key(path))); }
void failChangeDirectory(const std::string& path) { machine.chdirFails.insert(trimmed(key(path))); }
void setProgramFilesFolder(const std::string& path) { machine.programFiles = path; }
void setEnvironment(const std::string& name, const std::string& value) {
    machine.environment[name] = value;
}
void setSetting(const std::string& name, const std::string& value) {
    machine.settings[name] = value;
}
std::string setting(const std::string& name) {
    auto found = machine.settings.find(name);
    return found == machine.settings.end() ? "" : found->second;
}
void setFreeClusters(char drive, uint32_t freeClusters) { machine.freeClusters[drive] = freeClusters; }
void failFreeSpace(char drive) { machine.freeSpaceFails.insert(drive); }
void setCurrentDrive(char drive) {
    machine.currentDirectory = std::string(1, drive) + ":\\";
    addDirectory(machine.currentDirectory);
}
void failBackdrop() { machine.backdropFails = true; }
void damagePayload() { machine.payloadDamaged = true; }
void setPlatform(uint32_t platformId) { machine.platformId = platformId; }

Step ok(const std::string& parent, const std::string& application) {
    return Step{Step::OK, parent, application};
}
Step cancel() { return Step{Step::CANCEL, "", ""}; }
Step notShown() { return Step{Step::NOT_SHOWN, "", ""}; }
void scriptFolderDialog(const std::vector<Step>& steps) { machine.folderSteps = steps; }
void scriptAnswers(const std::vector<bool>& yes) { machine.answers = yes; }
void scriptAgreement(int result) { machine.agreement = result; }
void scriptExtraction(ExtractResult result) { machine.extraction = result; }
void setCommandLine(const std::string& line) { machine.commandLine = line; }
std::vector<std::string> fileLines(const std::string& path) { return machine.fileLines[key(path)]; }
void failLogFile() { machine.logFileFails = true; }
void failSettings() { machine.settingsFail = true; }

void scriptUndo(int32_t kept, int32_t stepsLeft) {
    machine.extractionOutcome.journalFound = true;
    machine.extractionOutcome.keptFiles = kept;
    machine.extractionOutcome.filesPutBack = stepsLeft == 0 ? kept : 0;
    machine.extractionOutcome.stepsLeft = stepsLeft;
    machine.extractionOutcome.journalRemoved = stepsLeft == 0;
}

void leaveJournal(const std::string& folder, bool committed, bool serviceRemoved,
                  const std::string& earlierFolder, int32_t stepsLeft) {
    UpgradeOutcome outcome = {};
    outcome.journalFound = true;
    outcome.committed = committed;
    outcome.keptFiles = 1;
    outcome.stepsLeft = stepsLeft;
    outcome.journalRemoved = stepsLeft == 0;
    outcome.serviceRemoved = serviceRemoved;
    copyText(outcome.earlierFolder, sizeof outcome.earlierFolder, earlierFolder.c_str());
    machine.journals[key(folder)] = outcome;
}

const std::vector<std::string>& log() { return machine.log; }
const std::vector<std::string>& messageTexts() { return machine.texts; }

}  // namespace fake_machine

using fake_machine::machine;
using fake_machine::note;

// --- message boxes ---------------------------------------------------------

void showWarning(WindowHandle owner, const char* caption, const char* text) {
    note("warning[" + fake_machine::ownerName(owner) + "] " + caption);
    machine.texts.push_back(text);
}

void showNotice(WindowHandle owner, const char* caption, const char* text) {
    note("notice[" + fake_machine::ownerName(owner) + "] " + caption);
    machine.texts.push_back(text);
}

namespace {
bool answer(const char* kind, WindowHandle owner, const char* caption, const char* text) {
    bool yes = machine.nextAnswer < machine.answers.size() && machine.answers[machine.nextAnswer++];
    note(kind + ("[" + fake_machine::ownerName(owner) + "] ") + caption + " -> " +
         (yes ? "Yes" : "No"));
    machine.texts.push_back(text);
    return yes;
}
}  // namespace

bool askYesNo(WindowHandle owner, const char* caption, const char* text) {
    return answer("question", owner, caption, text);
}

bool askQuestion(WindowHandle owner, const char* caption, const char* text) {
    return answer("question?", owner, caption, text);
}

void showInformation(WindowHandle owner, const char* caption, const char* text) {
    note("information[" + fake_machine::ownerName(owner) + "] " + caption);
    machine.texts.push_back(text);
}

// --- the folder choice's machine -------------------------------------------

namespace folder_platform {

PathKind pathKind(const char* path) {
    note(std::string("stat ") + path);
    std::string k = fake_machine::key(path);
    // The runtime finds no directory by a name with a trailing separator.
    if (k.size() > 1 && k.back() == '\\' && !fake_machine::isRoot(k)) return PATH_MISSING;
    if (machine.directories.count(k)) return PATH_DIRECTORY;
    return machine.files.count(k) ? PATH_FILE : PATH_MISSING;
}

bool makeDirectory(const char* path) {
    note(std::string("mkdir ") + path);
    std::string k = fake_machine::trimmed(fake_machine::key(path));
    if (machine.mkdirFails.count(k) || machine.directories.count(k) || machine.files.count(k) ||
        !machine.directories.count(fake_machine::parentOf(k))) {
        return false;
    }
    machine.directories.insert(k);
    return true;
}

bool changeDirectory(const char* path) {
    note(std::string("chdir ") + path);
    std::string k = fake_machine::trimmed(fake_machine::key(path));
    if (machine.chdirFails.count(k) || !machine.directories.count(k)) return false;
    // As given where it names its drive (the log shows it so), else resolved.
    const bool hasDrive = strlen(path) >= 2 && path[1] == ':';
    machine.currentDirectory = hasDrive ? std::string(path) : k;
    return true;
}

int currentDrive() { return fake_machine::currentDriveLetter() - 'A' + 1; }

}  // namespace folder_platform

// The settings file (Tarnwick's Options section only) and the system.
namespace system_platform {

void restrictDllSearch() { note("restrict DLL search"); }
uint32_t platformId() { return machine.platformId; }

bool processAccount(char* sid, size_t size) {
    return !machine.processAccount.empty() && copyText(sid, size, machine.processAccount.c_str());
}

bool desktopAccount(char* sid, size_t size) {
    return !machine.desktopAccount.empty() && copyText(sid, size, machine.desktopAccount.c_str());
}

bool runsElevatedOnVistaOrLater() { return machine.elevatedOnVista; }

bool startThroughDesktopShell(const char* program, const char* arguments, const char* folder) {
    note(std::string("start through the desktop's shell ") + program + " | " +
         fake_machine::visible(arguments) + " | " + folder + " -> " +
         (machine.desktopShellStarts ? "started" : "failed"));
    return machine.desktopShellStarts;
}

FolderMade createFolder(const char* path, const char* securityDescriptor) {
    note(std::string("mkdir ") + path + (securityDescriptor ? std::string(" ") + securityDescriptor : ""));
    const std::string k = fake_machine::trimmed(fake_machine::key(path));
    if (machine.directories.count(k) || machine.files.count(k)) return FOLDER_EXISTS;
    if (machine.mkdirFails.count(k)) return FOLDER_FAILED;
    machine.directories.insert(k);
    return FOLDER_MADE;
}

bool readFolderSecurity(const char* path, FolderSecurity* security) {
    note(std::string("read security ") + path);
    auto found = machine.folderSecurity.find(fake_machine::trimmed(fake_machine::key(path)));
    if (found == machine.folderSecurity.end()) return false;
    *security = found->second;
    return true;
}

bool takeOverFolder(const char* path, const char* securityDescriptor) {
    note(std::string("take over ") + path + " " + securityDescriptor);
    return !machine.takeOverFails;
}

void readSetting(const char* file, const char* section, const char* name, const char* fallback,
                 char* value, size_t size) {
    auto found = machine.settings.find(name);
    bool known = std::string(file) == "tarnwick.ini" && std::string(section) == "Options" &&
                 found != machine.settings.end();
    std::string text = known ? found->second : fallback;
    // The platform cuts what does not fit.
    text = text.substr(0, size - 1);
    std::copy(text.begin(), text.end(), value);
    value[text.size()] = '\0';
}

bool writeSetting(const char* file, const char* section, const char* name, const char* value) {
    note(std::string("setting ") + file + " " + section + " " + name + "=" +
         (value ? value : "(deleted)"));
    if (machine.settingsFail) return false;
    if (value)
        machine.settings[name] = value;
    else
        machine.settings.erase(name);
    return true;
}

}  // namespace system_platform

namespace folder_platform {

bool windowsDirectory(char* buffer, size_t size) { return copyText(buffer, size, "C:\\WINDOWS"); }

bool programFilesFolder(WindowHandle, char* buffer, size_t size) {
    return !machine.programFiles.empty() && copyText(buffer, size, machine.programFiles.c_str());
}

const char* environmentValue(const char* name) {
    auto found = machine.environment.find(name);
    return found == machine.environment.end() ? nullptr : found->second.c_str();
}

bool freeSpace(const char* root, DiskSpace* space) {
    note(std::string("free space ") + root);
    char drive = root[0];
    if (machine.freeSpaceFails.count(drive)) return false;
    auto found = machine.freeClusters.find(drive);
    *space = DiskSpace{8, 512, found == machine.freeClusters.end() ? 1000000u : found->second,
                       2000000u};
    return true;
}

int runFolderDialog(ModuleHandle, WindowHandle owner) {
    char parent[PLATFORM_PATH_SIZE], application[PLATFORM_PATH_SIZE];
    splitDataFolder(setupState.dataFolder, parent, sizeof parent, application, sizeof application);
    note("dialog[" + fake_machine::ownerName(owner) + "] " + parent + " | " + application);
    while (machine.nextStep < machine.folderSteps.size()) {
        const fake_machine::Step& step = machine.folderSteps[machine.nextStep++];
        switch (step.kind) {
        case fake_machine::Step::NOT_SHOWN:
            note("dialog not shown");
            return -1;
        case fake_machine::Step::CANCEL:
            note("Cancel");
            return 0;
        case fake_machine::Step::OK:
            note("OK " + step.parent + " | " + step.application);
            if (acceptFolderChoice(fake_machine::FOLDER_DIALOG, step.parent.c_str(),
                                   step.application.c_str())) {
                return 1;
            }
            break;
        }
    }
    note("Cancel (script ended)");
    return 0;
}

}  // namespace folder_platform

// --- the sequence's shell -----------------------------------------------------

namespace setup_platform {


bool createBackdrop() {
    note("backdrop");
    if (machine.backdropFails) return false;
    setupState.backdropWindow = fake_machine::BACKDROP;
    return true;
}

void destroyBackdrop() { note("destroy backdrop"); }

int runAgreementDialog() {
    note("agreement -> " + std::to_string(machine.agreement));
    return machine.agreement;
}

WindowHandle openProgressDialog() {
    note("progress dialog");
    return fake_machine::PROGRESS_DIALOG;
}

void closeProgressDialog(WindowHandle dialog) {
    note(dialog == fake_machine::PROGRESS_DIALOG ? "close progress dialog" : "close other");
}

void reportProgress(WindowHandle dialog, const char* text, int percent) {
    note(std::string(dialog == fake_machine::PROGRESS_DIALOG ? "progress " : "progress elsewhere ") +
         text + " " + std::to_string(percent));
}

void endProcess(int status) {
    note("exit " + std::to_string(status));
    throw fake_machine::ProcessEnded{status};
}

}  // namespace setup_platform
