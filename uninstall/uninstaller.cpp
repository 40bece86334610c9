#include "uninstall/uninstaller.h"

#include <string.h>

#include "common/bounded_text.h"
#include "common/path_rules.h"
#include "payload/payload_io.h"
#include "payload/upgrade.h"
#include "state/installer_config.h"
#include "state/setup_state.h"
#include "system/message_box.h"
#include "system/running_copies.h"
#include "system/service_removal.h"
#include "system/shortcut.h"
#include "system/system_platform.h"
#include "system/timed_wait.h"
#include "uninstall/uninstall_command.h"
#include "uninstall/uninstall_platform.h"
#include "uninstall/uninstaller_record.h"

namespace {

// Waits, in milliseconds: for the product's programs to let go of their
// files once asked, as setup gives them; for the first process to end; for
// the system to let go of an ended program's file.
const int32_t CLOSE_WAIT_MS = 8000;
const uint32_t FIRST_PROCESS_WAIT_MS = 30000;
const int32_t RELEASE_WAIT_MS = 5000;
const int32_t POLL_MS = 100;

// Folder names tried for the finishing copy before the uninstaller does the
// work itself: a name that exists is never taken, whoever made it.
const int FINISHER_FOLDER_ATTEMPTS = 16;

const char UNINSTALL_KEY_FORMAT[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%s";

bool exists(const char* path) {
    payload_io::PathStatus status;
    return payload_io::pathStatus(path, &status);
}

bool removeNow(const char* path) { return payload_io::removeFile(path) || !exists(path); }

// A file in use goes at the next restart instead; failing that too, it
// stays.
void removeOrLeave(const char* path, Leftovers* leftovers) {
    if (removeNow(path)) return;
    if (payload_io::removeAtRestart(path))
        ++leftovers->atRestart;
    else
        ++leftovers->kept;
}

// Tries to delete the file until it is gone, for at most `ms`: the program
// that held it gets that long to end.
bool removeWithin(const char* path, int32_t ms) {
    for (int32_t waited = 0;; waited += POLL_MS) {
        if (removeNow(path)) return true;
        if (waited >= ms) return false;
        showBusyAnimation(POLL_MS);
    }
}

// The program `name` in the folder, waited for after its windows were
// asked to close (or its service stopped). Whether it went shows later,
// with the payload's files.
void waitForProgram(const char* folder, const char* name) {
    char path[PATH_BUFFER_SIZE];
    if (name[0] && joinPath(path, sizeof path, folder, name)) removeWithin(path, CLOSE_WAIT_MS);
}

void caption(char* out, size_t size, const InstallerConfig& config) {
    formatText(out, size, "Uninstall %s", config.productName);
}

void tell(const InstallerConfig& config, bool silent, const char* text) {
    if (silent) return;
    char title[TEXT_BUFFER_SIZE];
    caption(title, sizeof title, config);
    showWarning(nullptr, title, text);
}

// On the NT family the service goes as setup removes an old one, with the
// same bounded wait; a service that still runs, or cannot be removed, keeps
// its program and everything else where it is. One that stopped and was
// marked for deletion earlier goes by itself.
bool removeServiceOf(const InstallerConfig& config, bool silent) {
    switch (removeService(config.serviceName)) {
    case SERVICE_NOT_INSTALLED:
    case SERVICE_REMOVED:
    case SERVICE_MARKED_BEFORE:
        return true;
    case SERVICE_STILL_RUNNING:
    case SERVICE_NO_MANAGER:
    case SERVICE_NOT_DELETED:
        break;
    }
    char text[TEXT_BUFFER_SIZE];
    if (formatText(text, sizeof text,
                   "%s could not be removed: its service %s could not be stopped and removed. "
                   "Nothing has been removed. Wait a while and try again, or restart Windows and "
                   "try again.",
                   config.productName, config.serviceName)) {
        tell(config, silent, text);
    }
    return false;
}

// The payload's files in the data folder, and each folder that a payload
// name made once it is empty. Files in the system directory stay: they are
// shared by nature (setup writes one there only when it is newer than the
// one in place, which another program may have put there and still need),
// and nothing records who else uses them. `original` is the caller's.
void removeFiles(const char* folder, const char* original, Leftovers* leftovers) {
    const size_t folderLength = strlen(folder);
    for (int32_t i = 0; i < uninstallerPayloadNameCount; ++i) {
        const char* name = uninstallerPayloadNames[i];
        char path[PATH_BUFFER_SIZE];
        if (hasSystemPrefix(name) || !joinPath(path, sizeof path, folder, name)) continue;
        normalizeSeparators(path);
        if (equalIgnoringCase(path, original, strlen(path) + 1)) continue;
        removeOrLeave(path, leftovers);
        for (;;) {
            char* slash = strrchr(path, '\\');
            if (!slash || static_cast<size_t>(slash - path) <= folderLength) break;
            *slash = '\0';
            if (!payload_io::removeDirectory(path)) break;
        }
    }
}

// In the user's own folders and in the common ones: setup puts the links
// into the common folders when it ran as another account than the one at
// the desktop, and which it was is not recorded.
void removeShortcuts(const InstallerConfig& config) {
    const LinkScope scopes[] = {USER_LINKS, COMMON_LINKS};
    for (LinkScope scope : scopes) {
        setLinkScope(scope);
        removeShortcut(config.groupName, config.productName);
        removeShortcut(config.groupName, "Uninstall");
        removeProgramGroup(config.groupName);
        removeShortcut(nullptr, config.startupShortcutName[0] ? config.startupShortcutName
                                                              : config.productName);
    }
}

void removeEntries(const InstallerConfig& config) {
    char key[TEXT_BUFFER_SIZE];
    if (formatText(key, sizeof key, UNINSTALL_KEY_FORMAT, config.productName)) {
        system_platform::deleteMachineKey(key);
    }
    system_platform::writeSetting(config.settingsFileName, "Options", "dataDir", nullptr);
}

int resultOf(const Leftovers& leftovers) {
    if (leftovers.kept > 0) return UNINSTALL_FILES_KEPT;
    return leftovers.atRestart > 0 ? UNINSTALL_AT_RESTART : UNINSTALL_DONE;
}

// The copy's own file, and then its folder, go at the next restart, in
// that order.
void removeSelfAtRestart() {
    char self[PATH_BUFFER_SIZE];
    if (!uninstall_platform::ownPath(self, sizeof self)) return;
    payload_io::removeAtRestart(self);
    char* slash = strrchr(self, '\\');
    if (!slash) return;
    *slash = '\0';
    payload_io::removeAtRestart(self);
}

// A folder of the copy's own and the copy in it, started; false when no
// copy runs, and then nothing of it is left.
bool startFinishingCopy(const char* self, bool silent) {
    char temp[PATH_BUFFER_SIZE], sid[PATH_BUFFER_SIZE], security[TEXT_BUFFER_SIZE];
    if (!uninstall_platform::temporaryFolder(temp, sizeof temp)) return false;
    // Without an account (the 95 family) or the means to name it (NT 4),
    // the folder takes the system's default: the user's own temporary
    // folder's.
    const bool secured = system_platform::processAccount(sid, sizeof sid) &&
                         finisherFolderSecurity(security, sizeof security, sid);
    for (int attempt = 0; attempt < FINISHER_FOLDER_ATTEMPTS; ++attempt) {
        char folder[PATH_BUFFER_SIZE], copy[PATH_BUFFER_SIZE];
        if (!finisherFolderName(folder, sizeof folder, temp, uninstall_platform::randomNumber()) ||
            !joinPath(copy, sizeof copy, folder, "kluninst.exe")) {
            return false;
        }
        switch (system_platform::createFolder(folder, secured ? security : nullptr)) {
        case system_platform::FOLDER_EXISTS:
            continue;
        case system_platform::FOLDER_FAILED:
            return false;
        case system_platform::FOLDER_MADE:
            break;
        }
        if (uninstall_platform::startFinisher(self, copy, folder, silent)) return true;
        payload_io::removeDirectory(folder);
        return false;
    }
    return false;
}

// The first process's file and the folder, once that process has ended;
// then the copy's own file and folder at the next restart.
void finish(const UninstallCommand& command, const char* folder,
            Leftovers* leftovers) {
    uninstall_platform::waitForProcess(command.firstProcess, FIRST_PROCESS_WAIT_MS);
    if (!removeWithin(command.original, RELEASE_WAIT_MS)) {
        removeOrLeave(command.original, leftovers);
    }
    payload_io::removeDirectory(folder);
    removeSelfAtRestart();
}

void sayRemoved(const InstallerConfig& config, bool silent, const char* folder,
                const Leftovers& leftovers) {
    char text[3 * TEXT_BUFFER_SIZE];
    char title[TEXT_BUFFER_SIZE];
    if (silent || !removedText(text, sizeof text, config.productName, folder, leftovers,
                               exists(folder))) {
        return;
    }
    caption(title, sizeof title, config);
    if (leftovers.kept > 0)
        showWarning(nullptr, title, text);
    else
        showInformation(nullptr, title, text);
}

// The folder of this program's file `self`; false when it has none.
bool folderOf(const char* self, char* folder, size_t size) {
    if (!copyText(folder, size, self)) return false;
    char* slash = strrchr(folder, '\\');
    if (!slash) return false;
    *slash = '\0';
    return true;
}

int runFirst(const InstallerConfig& config, uint32_t platformId, const UninstallCommand& command) {
    char self[PATH_BUFFER_SIZE], folder[PATH_BUFFER_SIZE], text[TEXT_BUFFER_SIZE];
    if (!uninstall_platform::ownPath(self, sizeof self) ||
        !folderOf(self, folder, sizeof folder)) {
        if (formatText(text, sizeof text,
                       "%s could not be removed: the uninstaller cannot tell which folder it was "
                       "installed in.",
                       config.productName)) {
            tell(config, command.silent, text);
        }
        return UNINSTALL_FOLDER_UNKNOWN;
    }
    if (!command.silent) {
        char title[TEXT_BUFFER_SIZE];
        caption(title, sizeof title, config);
        if (!formatText(text, sizeof text, "Do you want to remove %s from this computer?",
                        config.productName) ||
            !askQuestion(nullptr, title, text)) {
            return UNINSTALL_DECLINED;
        }
    }
    if (startFinishingCopy(self, command.silent)) {
        const int result = uninstall_platform::finisherResult();
        return result < 0 ? UNINSTALL_NO_RESULT : result;
    }
    // Without a copy to finish, the system removes this program at the
    // next restart; the folder then stays.
    Leftovers leftovers = {0, 0};
    const int removal = removeProduct(config, platformId, folder, self, command.silent, &leftovers);
    if (removal != UNINSTALL_DONE) return removal;
    removeOrLeave(self, &leftovers);
    sayRemoved(config, command.silent, folder, leftovers);
    return resultOf(leftovers);
}

int runFinisher(const InstallerConfig& config, uint32_t platformId,
                const UninstallCommand& command) {
    char folder[PATH_BUFFER_SIZE];
    Leftovers leftovers = {0, 0};
    int result = UNINSTALL_FOLDER_UNKNOWN;
    if (folderOf(command.original, folder, sizeof folder)) {
        result = removeProduct(config, platformId, folder, command.original, command.silent,
                               &leftovers);
    }
    uninstall_platform::handOverResult(command.resultPipe, result);
    if (result == UNINSTALL_SERVICE_RUNS || result == UNINSTALL_FOLDER_UNKNOWN) {
        removeSelfAtRestart();
        return result;
    }
    finish(command, folder, &leftovers);
    sayRemoved(config, command.silent, folder, leftovers);
    return result;
}

}  // namespace

int removeProduct(const InstallerConfig& config, uint32_t platformId, const char* folder,
                  const char* original, bool silent, Leftovers* leftovers) {
    // On the 95 family the service program runs as a window, asked to quit
    // with the product's own. The wait for the programs deletes them, so it
    // comes after the service is known to be gone.
    askRunningCopiesToClose(config);
    if (config.serviceExecutable[0] && platformId == PLATFORM_NT &&
        !removeServiceOf(config, silent)) {
        return UNINSTALL_SERVICE_RUNS;
    }
    waitForProgram(folder, config.mainExecutable);
    waitForProgram(folder, config.serviceExecutable);
    // A setup that was ended half-way through an upgrade left its journal:
    // it is finished first, so that what goes is one whole installation
    // and neither a kept file nor the journal stays. One that cannot be
    // finished keeps them, and says so as files that could not be removed.
    UpgradeOutcome upgrade;
    finishUpgradeIn(folder, &upgrade);
    if (upgrade.journalFound && !upgrade.journalRemoved) ++leftovers->kept;
    removeFiles(folder, original, leftovers);
    removeShortcuts(config);
    removeEntries(config);
    return resultOf(*leftovers);
}

bool finisherFolderName(char* out, size_t size, const char* temp, uint64_t random) {
    return formatText(out, size, "%skun%08lX%08lX", temp, static_cast<unsigned long>(random >> 32),
                      static_cast<unsigned long>(random & 0xFFFFFFFFu));
}

bool finisherFolderSecurity(char* out, size_t size, const char* userSid) {
    return formatText(out, size, "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;%s)", userSid);
}

bool removedText(char* out, size_t size, const char* productName, const char* folder,
                 const Leftovers& leftovers, bool folderStays) {
    bool fits = formatText(out, size, "%s has been removed from your computer.", productName);
    if (leftovers.kept > 0) {
        fits = fits && appendText(out, size, "\n\nSome of its files could not be removed from ") &&
               appendText(out, size, folder) && appendText(out, size, ".");
    } else if (leftovers.atRestart > 0) {
        fits = fits && appendText(out, size,
                                  "\n\nSome of its files are in use. Windows will remove them "
                                  "when it restarts.");
    } else if (folderStays) {
        // Once every file of the product is gone, a folder that stays holds
        // files of the user's; while some are only due to go at the next
        // restart, the folder's staying says nothing about them.
        fits = fits && appendText(out, size, "\n\nYour own files in ") &&
               appendText(out, size, folder) && appendText(out, size, " were kept.");
    }
    return fits;
}

int runUninstaller(const InstallerConfig& config, uint32_t platformId, const char* arguments) {
    UninstallCommand command;
    if (!parseUninstallCommand(arguments, &command)) {
        char text[TEXT_BUFFER_SIZE];
        if (!command.finisher &&
            formatText(text, sizeof text,
                       "The uninstaller does not understand \"%s\". Start it without arguments, "
                       "or with /S to remove %s without a question.",
                       arguments, config.productName)) {
            tell(config, command.silent, text);
        }
        return UNINSTALL_BAD_COMMAND_LINE;
    }
    return command.finisher ? runFinisher(config, platformId, command)
                            : runFirst(config, platformId, command);
}
