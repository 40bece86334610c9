#include "setup/setup_sequence.h"

#include <string.h>

#include "common/bounded_text.h"
#include "common/command_line.h"
#include "payload/extract.h"
#include "payload/upgrade.h"
#include "setup/completion.h"
#include "setup/extraction_outcome.h"
#include "setup/setup_command.h"
#include "setup/setup_platform.h"
#include "state/installer_config.h"
#include "state/run_log.h"
#include "state/setup_state.h"
#include "system/conversation.h"
#include "system/running_copies.h"
#include "system/system_platform.h"
#include "system/service_removal.h"
#include "system/timed_wait.h"
#include "ui/folder_choice.h"
#include "ui/folder_platform.h"
#include "ui/folder_rules.h"

namespace {

const char NOT_INSTALLED_CAPTION[] = "Application Not Installed";
const char NOT_INSTALLED_TEXT[] =
    "The application will not be installed at this time. If you decide to install the "
    "application later, just launch this program again to complete the installation process.";

void showNotInstalled() {
    endRun(RUN_NOT_INSTALLED, setupState.backdropWindow, NOT_INSTALLED_CAPTION, NOT_INSTALLED_TEXT);
}

const char* serviceRemovalText(ServiceRemoval removal) {
    switch (removal) {
    case SERVICE_NOT_INSTALLED:
        return "not installed";
    case SERVICE_REMOVED:
        return "stopped and deleted";
    case SERVICE_STILL_RUNNING:
        return "deleted, but still running";
    case SERVICE_MARKED_BEFORE:
        return "marked for deletion by an earlier removal";
    case SERVICE_NO_MANAGER:
        return "the service manager cannot be opened";
    case SERVICE_NOT_DELETED:
        return "it could not be deleted";
    }
    return "";
}

RunEnding runEndingOf(ExtractResult result) {
    switch (result) {
    case EXTRACT_CANNOT_CREATE:
        return RUN_FILE_NOT_CREATED;
    case EXTRACT_WRITE_FAILED:
        return RUN_WRITE_FAILED;
    case EXTRACT_NO_MEMORY:
        return RUN_NO_MEMORY;
    case EXTRACT_DONE:
        break;
    }
    return RUN_INSTALLED;
}

// The gate: nothing is written to the machine before the user accepts. Only
// the accepting result passes; a dialog that could not be shown (-1) is no
// consent and ends the run as a decline does. Unattended, whoever deploys
// the product has accepted it for the machine's users.
void agreementStage() {
    if (unattendedRun()) {
        logStep("The agreement counts as accepted by whoever deploys the product.");
        return;
    }
    if (setup_platform::runAgreementDialog() == 1) {
        logStep("The agreement was accepted.");
        return;
    }
    showNotInstalled();
    // Kept: a decline ends the process here, with the backdrop still up,
    // instead of returning through WinMain.
    setup_platform::endProcess(runExitStatus());
}

// Free space on the data folder's drive. A drive that cannot be queried
// passes, as does one that reports no cluster size.
enum SpaceCheck { SPACE_ENOUGH, SPACE_CHOOSE_AGAIN, SPACE_RUN_ENDED };
SpaceCheck checkSpace(const InstallerConfig& config) {
    char root[4];
    driveRootOf(setupState.dataFolder, folder_platform::currentDrive(), root);
    folder_platform::DiskSpace space;
    if (!folder_platform::freeSpace(root, &space)) {
        logStep("The free space of %s cannot be read: the check passes.", root);
        return SPACE_ENOUGH;
    }
    FreeSpaceVerdict verdict = checkFreeSpace(space.sectorsPerCluster, space.bytesPerSector,
                                              space.freeClusters,
                                              config.requiredMegabytes);
    logStep("Free space on %s: %lu megabytes; %lu required.", root,
            static_cast<unsigned long>(verdict.freeMegabytes),
            static_cast<unsigned long>(config.requiredMegabytes));
    if (verdict.enough) return SPACE_ENOUGH;
    char text[TEXT_BUFFER_SIZE];
    formatText(text, sizeof text,
               "Not enough free disk space is available on the drive you have specified. %d "
               "megabytes of free space are required for the proper operation of the program. On "
               "drive %s only %d megabytes of free space are available.\r\n\r\nYou will be given "
               "another opportunity to choose a location for the software. You may wish to cancel "
               "the installation process, or use your Windows desktop to delete files, making "
               "more room for the program.",
               static_cast<int>(config.requiredMegabytes), root,
               static_cast<int>(verdict.freeMegabytes));
    return refuse(RUN_SHORT_OF_SPACE, setupState.backdropWindow, "Not Enough Disk Space", text)
               ? SPACE_CHOOSE_AGAIN
               : SPACE_RUN_ENDED;
}

// The folder choice, back again while the chosen drive is short of space
// and somebody is there to choose another.
bool dataFolderStage(const InstallerConfig& config) {
    for (;;) {
        if (!chooseDataFolderFor(config, setupState.instance, setupState.backdropWindow)) {
            if (!unattendedRun()) showNotInstalled();
            return false;
        }
        // Kept: the choice has already entered the folder; the extraction
        // relies on the current directory, so it is entered once more.
        folder_platform::changeDirectory(setupState.dataFolder);
        switch (checkSpace(config)) {
        case SPACE_ENOUGH:
            return true;
        case SPACE_RUN_ENDED:
            return false;
        case SPACE_CHOOSE_AGAIN:
            break;
        }
    }
}

// Copies of the product that run now would hold the files it replaces:
// either the user is told to close them, or they are asked to close here.
void runningCopiesStage(const InstallerConfig& config) {
    if (!config.warnOfRunningCopies) {
        closeRunningCopies(setupState.instance, setupState.backdropWindow);
        return;
    }
    char text[TEXT_BUFFER_SIZE];
    if (formatText(text, sizeof text,
                   "Do you already have an older version of %s?\r\n\r\nIf you do, MAKE SURE IT "
                   "IS NOT RUNNING RIGHT NOW. If it is running, shut it down BEFORE clicking the OK "
                   "button.\r\n\r\nIf you have not installed %s before, just click the OK button.",
                   config.productName, config.productName)) {
        // Unattended, the run goes on as it does once the warning is read.
        tell(setupState.backdropWindow, "Close Running Copies First!", text);
    }
}

// The old NT service goes before its program is replaced; on the Windows
// 95 family, or for a product without one, nothing happens here.
bool oldServiceStage(const InstallerConfig& config) {
    if (!config.serviceExecutable[0] || setupState.platformId != PLATFORM_NT) return true;
    tell(setupState.backdropWindow, "Uninstalling Old Service (If Present)",
         "There will be a brief pause while any previously installed copies of our NT "
         "service are shut down. This pause will begin when you click OK.");
    const ServiceRemoval removal = removeService(config.serviceName);
    setupState.oldServiceRemoved = removal == SERVICE_REMOVED || removal == SERVICE_STILL_RUNNING;
    logStep("The old service %s: %s.", config.serviceName, serviceRemovalText(removal));
    if (!setupState.oldServiceRemoved && removal != SERVICE_NOT_INSTALLED) {
        endRun(RUN_OLD_SERVICE_STAYS, setupState.backdropWindow, "NT Service Not Uninstalled",
                    "The NT service could not be uninstalled. This may occur if the program is in "
                    "the middle of a time-consuming operation and is not able to respond to "
                    "shutdown requests at this time. Wait a considerable time and try the install "
                    "again. If the problem persists, call technical support.");
        return false;
    }
    showBusyAnimation(6000);
    return true;
}

// A payload found damaged before the backdrop: the user is told, with the
// failure's caption and no owner yet, and nothing has been written.
void damagedSetupStage(const InstallerConfig& config) {
    if (!formatExtractionFailureCaption(setupState.scratchText, sizeof setupState.scratchText,
                                        config.productName)) {
        copyText(setupState.scratchText, sizeof setupState.scratchText, "Installation Failed");
    }
    endRun(RUN_SETUP_DAMAGED, nullptr, setupState.scratchText, DAMAGED_SETUP_TEXT);
}

// The folder an earlier run recorded, when it is a full local path; only
// such a folder is proposed, and only there can an earlier run have left
// its journal.
void readEarlierFolder(const InstallerConfig& config) {
    char* folder = setupState.earlierFolder;
    system_platform::readSetting(config.settingsFileName, "Options", "dataDir", "", folder,
                                 sizeof setupState.earlierFolder);
    if (pathForm(folder) != FULL_LOCAL_PATH) folder[0] = '\0';
    normalizeSeparators(folder);
    cutTrailingSeparators(folder);
}

// What a run that did not end with its new files changed around them is
// set back: the folder it recorded, and the earlier service, which it
// deleted, registered again from the earlier installation's folder, where
// `filesFolder` (the run's own) is taken when no other was recorded. Only
// a whole restore is registered again: a service program half put back
// must not be the one that runs. False when the service is lost.
bool undoAroundFiles(const InstallerConfig& config, const UpgradeOutcome& outcome,
                     bool serviceRemoved, const char* earlierFolder, const char* filesFolder) {
    if (earlierFolder[0]) {
        system_platform::writeSetting(config.settingsFileName, "Options", "dataDir",
                                      earlierFolder);
    }
    if (!serviceRemoved) return true;
    return outcome.stepsLeft == 0 &&
           registerService(config, earlierFolder[0] ? earlierFolder : filesFolder);
}

// A run that was ended before it could finish (killed, or the power lost)
// left its journal in the folder it recorded; what it says is carried out
// before this run goes on, so that the run starts from one installation.
void earlierRunStage(const InstallerConfig& config) {
    readEarlierFolder(config);
    if (!setupState.earlierFolder[0]) return;
    UpgradeOutcome outcome;
    finishUpgradeIn(setupState.earlierFolder, &outcome);
    if (!outcome.journalFound || outcome.committed) return;
    undoAroundFiles(config, outcome, outcome.serviceRemoved, outcome.earlierFolder,
                    setupState.earlierFolder);
    readEarlierFolder(config);
}

// A failed extraction has already put back what it replaced; the message
// says so, after the failure itself. The progress dialog stays on the
// screen with its last texts.
void extractionFailureStage(const InstallerConfig& config, ExtractResult result,
                            const UpgradeOutcome& outcome, const UpgradeNotes& notes) {
    if (!formatExtractionFailureCaption(setupState.scratchText, sizeof setupState.scratchText,
                                        config.productName)) {
        copyText(setupState.scratchText, sizeof setupState.scratchText, "Installation Failed");
    }
    const bool serviceKept = undoAroundFiles(config, outcome, notes.serviceRemoved,
                                             notes.earlierFolder, setupState.dataFolder);
    EarlierInstallation earlier = EARLIER_NOT_TOUCHED;
    if (earlierInstallationRestored(outcome))
        earlier = EARLIER_RESTORED;
    else if (outcome.stepsLeft > 0)
        earlier = EARLIER_NOT_RESTORED;
    char text[TEXT_BUFFER_SIZE];
    if (!formatExtractionFailureText(text, sizeof text, result, earlier, !serviceKept)) {
        copyText(text, sizeof text, extractionFailureText(result));
    }
    endRun(runEndingOf(result), setupState.backdropWindow, setupState.scratchText, text);
}

// The extraction over whatever the folder holds, undone when it fails.
bool extractionStage(const InstallerConfig& config) {
    const bool otherFolder = setupState.earlierFolder[0] &&
                             !equalIgnoringCase(setupState.earlierFolder, setupState.dataFolder,
                                                strlen(setupState.dataFolder) + 1);
    const UpgradeNotes notes = {setupState.oldServiceRemoved,
                                otherFolder ? setupState.earlierFolder : ""};
    // Unattended, no window shows: the log has each file instead.
    WindowHandle progressDialog = unattendedRun() ? nullptr : setup_platform::openProgressDialog();
    UpgradeOutcome outcome;
    ExtractResult result = upgradePayload(setupState.dataFolder, notes, progressDialog,
                                          progressDialog ? setup_platform::reportProgress : nullptr,
                                          &outcome);
    if (result != EXTRACT_DONE) {
        extractionFailureStage(config, result, outcome, notes);
        return false;
    }
    if (progressDialog) setup_platform::closeProgressDialog(progressDialog);
    logStep("Every file is in place.");
    return true;
}

// What the command line asks for; with /S, a line that is not understood
// ends the run before anything but the log is written.
bool commandStage(const InstallerConfig& config, const char* arguments) {
    SetupCommand command;
    parseSetupCommand(arguments, &command);
    startConversation(command.unattended, command.logPath);
    copyText(setupState.namedFolder, sizeof setupState.namedFolder, command.folder);
    logStep("Setup of %s%s%s, %s run, on the %s family.", config.productName,
            config.version[0] ? " " : "", config.version,
            command.unattended ? "an unattended" : "an interactive",
            setupState.platformId == PLATFORM_NT ? "NT" : "Windows 95");
    if (command.understood || !command.unattended) return true;
    endRun(RUN_BAD_COMMAND_LINE, nullptr, "Command Line Not Understood", command.refused);
    return false;
}

}  // namespace

int runSetup(ModuleHandle instance) {
    return runSetupWith(instance, installerConfig,
                        argumentsAfterProgramName(system_platform::commandLine()));
}

int runSetupWith(ModuleHandle instance, const InstallerConfig& config, const char* arguments) {
    setupState.instance = instance;
    // Before anything could load a library: the backdrop and the first
    // dialog already do.
    system_platform::restrictDllSearch();
    setupState.platformId = system_platform::platformId();
    if (!commandStage(config, arguments)) return runExitStatus();
    // Every chunk is checked before the first window: a setup damaged in
    // its download must not leave half a product behind.
    if (checkPayload() == PAYLOAD_DAMAGED) {
        damagedSetupStage(config);
        return runExitStatus();
    }

    if (!unattendedRun() && !setup_platform::createBackdrop()) return runExitStatus();
    agreementStage();
    earlierRunStage(config);
    if (!dataFolderStage(config)) return runExitStatus();
    runningCopiesStage(config);
    if (oldServiceStage(config) && extractionStage(config)) completeInstallationOf(config);
    return runExitStatus();
}
