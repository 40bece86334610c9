#include "ui/folder_choice.h"

#include <string.h>

#include "common/bounded_text.h"
#include "common/path_rules.h"
#include "payload/payload_names.h"
#include "state/installer_config.h"
#include "state/setup_state.h"
#include "state/run_log.h"
#include "system/conversation.h"
#include "system/system_platform.h"
#include "ui/folder_platform.h"
#include "ui/folder_rules.h"

namespace {

const char SETTINGS_SECTION[] = "Options";
const char SETTINGS_KEY[] = "dataDir";

// The product whose folder is being chosen: the one linked in, unless the
// run was started for another (chooseDataFolderFor).
const InstallerConfig* choice = &installerConfig;

// The folder this product's earlier installation recorded, normalised; ""
// when there is none. Only this folder is taken over for a product whose
// programs run with more rights than its users.
char recordedFolder[TEXT_BUFFER_SIZE];

// A folder refused, with why: the dialog stays, or, unattended, the run
// ends.
void refuseFolder(WindowHandle dialog, const char* caption, const char* text) {
    refuse(RUN_FOLDER_REFUSED, dialog, caption, text);
}

// The same, with a text that names the product or its group once.
void warnNaming(WindowHandle dialog, const char* caption, const char* format, const char* name) {
    char text[TEXT_BUFFER_SIZE];
    formatText(text, sizeof text, format, name);
    refuseFolder(dialog, caption, text);
}

// A service program, or a helper installer run with setup's rights, makes
// the data folder a place from which code runs as SYSTEM or as an
// administrator; on the NT family, nobody else may then change it.
bool runsWithMoreRights() {
    return setupState.platformId == PLATFORM_NT &&
           (choice->serviceExecutable[0] || choice->runHelperInstaller);
}

// A new folder; for such a product with its protected access list, set as
// it is made.
bool makeDataFolder(const char* folder) {
    if (!runsWithMoreRights()) return folder_platform::makeDirectory(folder);
    return system_platform::createFolder(folder, PROTECTED_FOLDER_SECURITY) ==
           system_platform::FOLDER_MADE;
}

// An existing folder for such a product: its own earlier folder is taken
// over (the administrators its owners, the protected list its own); any
// other must be one that nobody else can change.
bool mayHoldPrivilegedPrograms(WindowHandle dialog, const char* folder) {
    bool trusted = false;
    if (recordedFolder[0] && equalIgnoringCase(folder, recordedFolder, strlen(folder) + 1)) {
        trusted = system_platform::takeOverFolder(folder, PROTECTED_FOLDER_TAKEN_OVER);
    } else {
        static system_platform::FolderSecurity security;
        trusted = system_platform::readFolderSecurity(folder, &security) &&
                  judgeFolder(security) == FOLDER_TRUSTED;
    }
    if (trusted) return true;
    warnNaming(dialog, "Folder Open to Other Users",
               "%s installs a program that runs with administrator rights from its folder, and "
               "other users of this computer could change the folder you chose, or it leads to "
               "another place. Please enter a new folder: setup creates it so that only "
               "administrators can change it.",
               choice->productName);
    return false;
}

// The default, computed before the settings file is read. The second
// candidate is entered to test it, so the process is left in it when it
// exists.
void computeDefaultFolder(WindowHandle owner, char* folder, size_t size) {
    const char* group = choice->groupName;
    char programFiles[PLATFORM_PATH_SIZE];
    if (folder_platform::programFilesFolder(owner, programFiles, sizeof programFiles) &&
        defaultFolderFromProgramFiles(programFiles, group, folder, size)) {
        return;
    }
    if (conventionalProgramFilesFolder(group, folder, size) && enterDirectory(folder, 0) == 0) {
        return;
    }
    if (!defaultFolderFromHome(folder_platform::environmentValue("HOMEDRIVE"),
                               folder_platform::environmentValue("HOMEPATH"), group, folder,
                               size)) {
        copyText(folder, size, "");
    }
}

bool isTheWindowsDirectory(const char* folder) {
    char windows[PATH_BUFFER_SIZE];
    return folder_platform::windowsDirectory(windows, sizeof windows) &&
           isWindowsDirectory(folder, windows);
}

// An existing directory: a folder named after the group is ours to use;
// any other asks first.
bool acceptExistingDirectory(WindowHandle dialog) {
    if (endsWithGroupName(setupState.dataFolder, choice->groupName)) return true;
    return ask(QUESTION_EXISTING_FOLDER, dialog, "Write Data to Existing Folder?",
                    "That folder already exists. The application can use it, but we do not "
                    "recommend using a folder that is already being used for other purposes. "
                    "Are you sure you want to use this directory?");
}

// The folder proposed: the one recorded in the settings file when it is a
// full local path (any other would name a folder that depends on where the
// reader stands), else the default, with its separators normalised, into
// setupState.dataFolder. A default that is not a full path is proposed all
// the same, and refused on OK.
void proposeDataFolder(WindowHandle owner) {
    char fallback[TEXT_BUFFER_SIZE];
    computeDefaultFolder(owner, fallback, sizeof fallback);
    system_platform::readSetting(choice->settingsFileName, SETTINGS_SECTION, SETTINGS_KEY,
                                 "", setupState.dataFolder, sizeof setupState.dataFolder);
    recordedFolder[0] = '\0';
    if (pathForm(setupState.dataFolder) != FULL_LOCAL_PATH) {
        copyText(setupState.dataFolder, sizeof setupState.dataFolder, fallback);
    } else {
        copyText(recordedFolder, sizeof recordedFolder, setupState.dataFolder);
        normalizeSeparators(recordedFolder);
        cutTrailingSeparators(recordedFolder);
    }
    normalizeSeparators(setupState.dataFolder);
}

}  // namespace

bool acceptFolderChoice(WindowHandle dialog, const char* parent, const char* application) {
    // A folder whose payload paths would pass the platform's limit is
    // refused here, rather than failing half-way through extraction.
    bool fits = joinDataFolder(parent, application, setupState.dataFolder,
                               sizeof setupState.dataFolder);
    // "C:\Data\\" names C:\Data, yet the runtime's status query finds no
    // folder by a name with a trailing separator; a root keeps its own.
    cutTrailingSeparators(setupState.dataFolder);
    // "Tarnwick " makes and opens Tarnwick, but "Tarnwick \tarnwick.exe"
    // leads nowhere: the links and the uninstall entry are built on the
    // name the folder really has.
    cutTrailingDotsAndBlanks(setupState.dataFolder);
    if (!fits || !payloadPathsFit(setupState.dataFolder, longestDataFolderName(payloadTable))) {
        refuseFolder(dialog, "Folder Name Too Long",
                    "That folder name is too long to hold the application's files. Please choose "
                    "a folder with a shorter path.");
        return false;
    }
    switch (pathForm(setupState.dataFolder)) {
    case FULL_LOCAL_PATH:
        break;
    case NETWORK_PATH:
        // A network path cannot be kept: once the dialog has taken a folder
        // its separators are normalised, and the two that open
        // "\\server\share" become one, which names a folder of the current
        // drive instead. Refused before anything is made on the share.
        refuseFolder(dialog, "Can't Install to a Network Path",
                    "That location is a network path. The application can only store its data "
                    "files in a folder on one of the drives of this computer. Please choose "
                    "another location, or give the network folder a drive letter first.");
        return false;
    case NOT_FULL:
        // A relative folder would be made below whatever folder is current,
        // and read back later from another; a device name is no folder.
        warnNaming(dialog, "Please Enter a Full Path",
                   "That location is not a full path to a folder on this computer. Please enter "
                   "a folder that begins with a drive letter, such as C:\\%s.",
                   choice->groupName);
        return false;
    }
    switch (folder_platform::pathKind(setupState.dataFolder)) {
    case folder_platform::PATH_MISSING:
        if (makeDataFolder(setupState.dataFolder)) return true;
        refuseFolder(dialog, "Can't Create Directory",
                    "That folder does not exist, and the application was not able to create it. "
                    "Most likely the parent folder does not exist or you have entered a path the "
                    "program does not have write access to.");
        return false;
    case folder_platform::PATH_DIRECTORY:
        if (runsWithMoreRights() && !mayHoldPrivilegedPrograms(dialog, setupState.dataFolder)) {
            return false;
        }
        return acceptExistingDirectory(dialog);
    case folder_platform::PATH_FILE:
        break;
    }
    warnNaming(dialog, "Please Enter a Folder Name",
               "That path specifies a file, and not a new or existing folder name. Please enter "
               "a folder name, such as %s for example.",
               choice->groupName);
    return false;
}

int enterDirectory(const char* path, int create) {
    if (folder_platform::changeDirectory(path)) return 0;
    if (!create) return -1;
    folder_platform::makeDirectory(path);  // its failure shows in the second change
    return folder_platform::changeDirectory(path) ? 0 : -1;
}

int chooseDataFolder(ModuleHandle instance, WindowHandle owner) {
    return chooseDataFolderFor(installerConfig, instance, owner);
}

namespace {

const char WINDOWS_DIRECTORY_CAPTION[] = "Can't Install to Windows Directory";
const char WINDOWS_DIRECTORY_TEXT[] =
    "That directory is the Windows directory. It is not safe to install applications in the "
    "Windows directory because it contains other important system files. Please choose another "
    "location.";

// The folder taken: entered (made first when missing) and recorded as the
// settings file's "dataDir". False, with its message, when it cannot be
// entered.
bool enterAndRecord(WindowHandle owner) {
    if (enterDirectory(setupState.dataFolder, 1) != 0) {
        refuseFolder(owner, "Couldn't Access Directory",
                     "That directory does not exist and could not be created. Please enter a "
                     "valid location for a directory on your system.");
        return false;
    }
    if (!system_platform::writeSetting(choice->settingsFileName, SETTINGS_SECTION, SETTINGS_KEY,
                                       setupState.dataFolder)) {
        reportProblem(nullptr, nullptr, "the data folder could not be recorded as dataDir");
    }
    logStep("Data folder %s entered and recorded.", setupState.dataFolder);
    return true;
}

// Nobody is at the screen: the folder the command line named, or else the
// one proposed, passes every check the dialog makes, once; a refusal ends
// the run.
int takeFolderWithoutDialog(WindowHandle owner) {
    const char* why = recordedFolder[0] ? "recorded by the earlier installation" : "the default";
    if (setupState.namedFolder[0]) {
        copyText(setupState.dataFolder, sizeof setupState.dataFolder, setupState.namedFolder);
        normalizeSeparators(setupState.dataFolder);
        why = "named on the command line";
    }
    logStep("Data folder %s: %s.", setupState.dataFolder, why);
    if (isTheWindowsDirectory(setupState.dataFolder)) {
        refuseFolder(owner, WINDOWS_DIRECTORY_CAPTION, WINDOWS_DIRECTORY_TEXT);
        return 0;
    }
    char parent[TEXT_BUFFER_SIZE], application[TEXT_BUFFER_SIZE];
    splitDataFolder(setupState.dataFolder, parent, sizeof parent, application, sizeof application);
    return acceptFolderChoice(owner, parent, application) && enterAndRecord(owner) ? 1 : 0;
}

}  // namespace

int chooseDataFolderFor(const InstallerConfig& config, ModuleHandle instance, WindowHandle owner) {
    choice = &config;
    proposeDataFolder(owner);
    if (unattendedRun()) return takeFolderWithoutDialog(owner);
    bool firstPass = true;
    for (;;) {
        bool windowsDirectory = isTheWindowsDirectory(setupState.dataFolder);
        if (windowsDirectory) {
            refuseFolder(owner, WINDOWS_DIRECTORY_CAPTION, WINDOWS_DIRECTORY_TEXT);
        }
        if (!firstPass && !windowsDirectory && enterAndRecord(owner)) return 1;
        firstPass = false;
        // Only OK chooses: a dialog that could not be shown (-1) is no
        // choice of the user's, and ends the run as Cancel does.
        if (folder_platform::runFolderDialog(instance, owner) != 1) {
            tell(owner, "Shutting Down",
                 "This program cannot operate without a data folder to store its files in. The "
                 "program will exit now. Please determine an appropriate folder name and start "
                 "the program again later.");
            return 0;
        }
        normalizeSeparators(setupState.dataFolder);
    }
}
