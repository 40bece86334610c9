// The system room's seams on the in-memory machine: the shell's special
// folders and link object, the registry, and other programs.
#include <algorithm>
#include <set>
#include <string>

#include "common/bounded_text.h"
#include "support/fake_machine.h"
#include "support/fake_machine_state.h"
#include "system/service_platform.h"
#include "system/shell_platform.h"
#include "system/system_platform.h"
#include "system/timed_wait.h"
#include "system/window_platform.h"
#include "ui/folder_platform.h"

namespace fake_machine {

const char* const PROGRAMS = "C:\\WINDOWS\\Start Menu\\Programs";
const char* const STARTUP = "C:\\WINDOWS\\Start Menu\\Programs\\StartUp";
const char* const COMMON_PROGRAMS = "C:\\WINDOWS\\All Users\\Start Menu\\Programs";
const char* const COMMON_STARTUP = "C:\\WINDOWS\\All Users\\Start Menu\\Programs\\StartUp";

void setFolderSecurity(const std::string& path, bool isLink, const std::string& owner,
                       const std::vector<std::pair<std::string, uint32_t>>& entries) {
    addDirectory(path);
    system_platform::FolderSecurity& security = machine.folderSecurity[trimmed(key(path))];
    security.isLink = isLink;
    copyText(security.owner, sizeof security.owner, owner.c_str());
    security.entryCount = static_cast<int>(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        copyText(security.entries[i].trustee, sizeof security.entries[i].trustee,
                 entries[i].first.c_str());
        security.entries[i].rights = entries[i].second;
    }
}

void failTakeOver() { machine.takeOverFails = true; }

void runElevated(bool desktopShellStarts) {
    machine.elevatedOnVista = true;
    machine.desktopShellStarts = desktopShellStarts;
}

void setAccounts(const std::string& process, const std::string& desktop) {
    machine.processAccount = process;
    machine.desktopAccount = desktop;
}

void setSpecialFolder(int folder, const std::string& path) {
    machine.specialFolders[folder] = path;
    if (!path.empty()) addDirectory(path);
}
void failLinkStep(const std::string& step) { machine.linkStepFails.insert(step); }
const Link* link(const std::string& path) {
    auto found = machine.links.find(key(path));
    return found == machine.links.end() ? nullptr : &found->second;
}
bool shellBalanced() { return machine.comInitialised == 0 && machine.liveObjects == 0; }
void failRegistry() { machine.registryFails = true; }
void setRegistryValue(const std::string& keyPath, const std::string& name,
                      const std::string& value) {
    machine.registry[key(keyPath)][name] = value;
}
std::string registryValue(const std::string& keyPath, const std::string& name) {
    auto found = machine.registry.find(key(keyPath));
    if (found == machine.registry.end()) return "";
    auto value = found->second.find(name);
    return value == found->second.end() ? "" : value->second;
}
size_t registryValueCount(const std::string& keyPath) {
    auto found = machine.registry.find(key(keyPath));
    return found == machine.registry.end() ? 0 : found->second.size();
}
void addWindow(const std::string& title) { machine.windows.push_back(title); }
void setOldService(const OldService& service) { machine.service = service; }
const std::string& printed() { return machine.printed; }
void setExitCode(const std::string& program, int code) { machine.exitCodes[key(program)] = code; }

// Control characters as the log shows them: "\n" for a line feed.
std::string visible(const std::string& text) {
    std::string shown;
    for (char c : text) shown += c == '\n' ? std::string("\\n") : c == '\r' ? "\\r" : std::string(1, c);
    return shown;
}

}  // namespace fake_machine

using fake_machine::machine;
using fake_machine::note;

// --- the shell ---------------------------------------------------------------

namespace shell_platform {

// A link object while it is alive; the file interface is the same object.
struct ShellLink {
    fake_machine::Link fields;
    int references = 1;
};
struct LinkFile {
    ShellLink* link;
};

namespace {
bool failing(const std::string& step) { return machine.linkStepFails.count(step) > 0; }
const ResultCode FAILURE = static_cast<ResultCode>(0x80004005);  // E_FAIL
}  // namespace

bool specialFolderPath(SpecialFolder folder, char* path, size_t size) {
    const std::string& found = machine.specialFolders[folder];
    return !found.empty() && copyText(path, size, found.c_str());
}

bool pathExists(const char* path) {
    note(std::string("stat ") + path);
    std::string k = fake_machine::key(path);
    return machine.directories.count(k) || machine.files.count(k);
}

bool makeDirectory(const char* path) { return folder_platform::makeDirectory(path); }

void notifyDirectoryMade(const char* path) { note(std::string("notify mkdir ") + path); }
// Only an empty folder goes.
bool removeDirectory(const char* path) {
    note(std::string("rmdir ") + path);
    const std::string k = fake_machine::trimmed(fake_machine::key(path));
    const std::string inside = k + "\\";
    const auto holds = [&](const std::set<std::string>& paths) {
        auto next = paths.lower_bound(inside);
        return next != paths.end() && next->compare(0, inside.size(), inside) == 0;
    };
    if (!machine.directories.count(k) || holds(machine.directories) || holds(machine.files))
        return false;
    machine.directories.erase(k);
    return true;
}
void notifyDirectoryRemoved(const char* path) { note(std::string("notify rmdir ") + path); }

void removeFile(const char* path) {
    note(std::string("remove ") + path);
    machine.files.erase(fake_machine::key(path));
    machine.links.erase(fake_machine::key(path));
}

void initializeCom() { ++machine.comInitialised; }
void uninitializeCom() { --machine.comInitialised; }

ResultCode createShellLink(ShellLink** link) {
    if (failing("create")) return FAILURE;
    *link = new ShellLink;
    ++machine.liveObjects;
    return 0;
}

void setTarget(ShellLink* link, const char* target) { link->fields.target = target; }
void setDescription(ShellLink* link, const char* text) { link->fields.description = text; }
void setWorkingDirectory(ShellLink* link, const char* folder) {
    link->fields.workingDirectory = folder;
}
void setArguments(ShellLink* link, const char* arguments) {
    link->fields.arguments = arguments;
    link->fields.hasArguments = true;
}
void setIcon(ShellLink* link, const char* file, int index) {
    link->fields.icon = file;
    link->fields.iconIndex = index;
}
void setShowCommand(ShellLink* link, int showCommand) { link->fields.showCommand = showCommand; }

ResultCode queryLinkFile(ShellLink* link, LinkFile** file) {
    if (failing("query")) return FAILURE;
    *file = new LinkFile{link};
    ++link->references;
    ++machine.liveObjects;
    return 0;
}

// The save fails where the folder is missing or a file stands in its way.
ResultCode saveLinkFile(LinkFile* file, const char* path) {
    note(std::string("save ") + path);
    fake_machine::Link& saved = machine.links[fake_machine::key(path)];
    const int save = saved.saves + 1;
    if (failing("save " + std::to_string(save)) ||
        !machine.directories.count(fake_machine::parentOf(fake_machine::key(path)))) {
        if (saved.saves == 0) machine.links.erase(fake_machine::key(path));
        return FAILURE;
    }
    saved = file->link->fields;
    saved.saves = save;
    machine.files.insert(fake_machine::key(path));
    return 0;
}

void releaseLinkFile(LinkFile* file) {
    --file->link->references;
    delete file;
    --machine.liveObjects;
}

void releaseShellLink(ShellLink* link) {
    if (--link->references == 0) delete link;
    --machine.liveObjects;
}

}  // namespace shell_platform

// --- the registry and other programs -------------------------------------------

namespace system_platform {

struct RegistryKey {
    std::string path;
};

RegistryKey* createMachineKey(const char* path) {
    note(std::string("create key ") + path);
    if (machine.registryFails) return nullptr;
    machine.registry[fake_machine::key(path)];
    return new RegistryKey{path};
}

void setTextValue(RegistryKey* key, const char* name, const char* text) {
    note(std::string("value ") + name + "=" + text);
    machine.registry[fake_machine::key(key->path)][name] = text;
}

void setNumberValue(RegistryKey* key, const char* name, uint32_t number) {
    const std::string value = "dword:" + std::to_string(number);
    note(std::string("value ") + name + "=" + value);
    machine.registry[fake_machine::key(key->path)][name] = value;
}

void closeKey(RegistryKey* key) {
    note("close key");
    delete key;
}

void deleteValue(RegistryKey* key, const char* name) {
    note(std::string("delete value ") + name);
    machine.registry[fake_machine::key(key->path)].erase(name);
}

bool deleteMachineKey(const char* path) {
    note(std::string("delete key ") + path);
    if (machine.registryFails) return false;
    machine.registry.erase(fake_machine::key(path));
    return true;
}

void startProgram(const char* commandLine) {
    note("start " + fake_machine::visible(commandLine));
}

int runAndWait(const char* path, const char* argumentZero, const char* first,
               const char* second) {
    std::string line = std::string("run ") + path + " | " + argumentZero;
    if (first) line += std::string(" ") + first;
    if (first && second) line += std::string(" ") + second;
    note(line);
    auto found = machine.exitCodes.find(fake_machine::key(path));
    return found == machine.exitCodes.end() ? 0 : found->second;
}

void debugOutput(const char* text) { note("debug " + fake_machine::visible(text)); }

const char* commandLine() { return machine.commandLine.c_str(); }

// Log lines are kept apart from the run's calls: each test reads them whole.
bool appendLine(const char* path, const char* line) {
    if (machine.logFileFails) return false;
    machine.files.insert(fake_machine::key(path));
    machine.fileLines[fake_machine::key(path)].push_back(line);
    return true;
}

void localTime(char* out, size_t size) { copyText(out, size, "2026-01-02 03:04:05"); }

void pause(int32_t ms) { note("pause " + std::to_string(ms)); }

}  // namespace system_platform

// --- other programs' windows, the service manager, the timed wait ----------------

namespace window_platform {

namespace {
size_t indexOf(WindowHandle window) { return reinterpret_cast<uintptr_t>(window) - 1; }
}  // namespace

void visitTopLevelWindows(WindowVisitor visit, intptr_t parameter) {
    for (size_t i = 0; i < machine.windows.size(); ++i) {
        if (!visit(reinterpret_cast<WindowHandle>(i + 1), parameter)) return;
    }
}

// The platform cuts a title to the buffer, as GetWindowTextA does.
void windowTitle(WindowHandle window, char* title, size_t size) {
    const std::string text = machine.windows[indexOf(window)].substr(0, size - 1);
    copyText(title, size, text.c_str());
}

void postClose(WindowHandle window) {
    note("post WM_CLOSE to " + machine.windows[indexOf(window)].substr(0, 40));
}
void postQuit(WindowHandle window) {
    note("post WM_QUIT to " + machine.windows[indexOf(window)].substr(0, 40));
}

}  // namespace window_platform

namespace service_platform {

// The manager is handle 1, the service handle 2.
ServiceHandle* openManager() {
    note("open manager");
    return machine.service.managerFails ? nullptr : reinterpret_cast<ServiceHandle*>(1);
}

ServiceHandle* openService(ServiceHandle*, const char* name) {
    note(std::string("open service ") + name);
    return machine.service.installed ? reinterpret_cast<ServiceHandle*>(2) : nullptr;
}

bool stopService(ServiceHandle*) {
    note(std::string("stop -> ") + (machine.service.acceptsStop ? "accepted" : "refused"));
    return machine.service.acceptsStop;
}

bool queryState(ServiceHandle*, uint32_t* state) {
    const std::vector<int>& states = machine.service.states;
    const int reported = states[std::min(machine.serviceQueries++, states.size() - 1)];
    if (reported < 0) return false;
    *state = static_cast<uint32_t>(reported);
    return true;
}

DeleteResult deleteService(ServiceHandle*) {
    if (machine.service.markedForDeletion) {
        note("delete -> marked already");
        return SERVICE_ALREADY_MARKED;
    }
    note(std::string("delete -> ") + (machine.service.deletable ? "done" : "failed"));
    return machine.service.deletable ? SERVICE_DELETED : SERVICE_DELETE_FAILED;
}

void closeHandle(ServiceHandle* handle) {
    note(reinterpret_cast<uintptr_t>(handle) == 1 ? "close manager" : "close service");
}

void printText(const char* text) { machine.printed += text; }

}  // namespace service_platform

void showBusyAnimation(int32_t durationMs) { note("busy " + std::to_string(durationMs)); }
