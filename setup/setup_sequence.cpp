#include "setup/setup_sequence.h"

#include <string.h>

#include "common/bounded_text.h"
#include "payload/extract.h"
#include "payload/upgrade.h"
#include "setup/completion.h"
#include "setup/extraction_outcome.h"
#include "setup/setup_platform.h"
#include "state/installer_config.h"
#include "state/setup_state.h"
#include "system/message_box.h"
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
    showWarning(setupState.backdropWindow, NOT_INSTALLED_CAPTION, NOT_INSTALLED_TEXT);
}

// The gate: nothing is written to the machine before the user accepts. Only
// the accepting result passes; a dialog that could not be shown (-1) is no
// consent and ends the run as a decline does.
void agreementStage() {
    if (setup_platform::runAgreementDialog() == 1) return;
    showNotInstalled();
    // Kept: a decline ends the process here, with the backdrop still up,
    // instead of returning through WinMain.
    setup_platform::endProcess(0);
}

// Free space on the data folder's drive. A drive that cannot be queried
// passes, as does one that reports no cluster size.
bool enoughFreeSpace(const InstallerConfig& config) {
    char root[4];
    driveRootOf(setupState.dataFolder, folder_platform::currentDrive(), root);
    folder_platform::DiskSpace space;
    if (!folder_platform::freeSpace(root, &space)) return true;
    FreeSpaceVerdict verdict = checkFreeSpace(space.sectorsPerCluster, space.bytesPerSector,
                                              space.freeClusters,
                                              config.requiredMegabytes);
    if (verdict.enough) return true;
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
    showWarning(setupState.backdropWindow, "Not Enough Disk Space", text);
    return false;
}

// The folder choice, back again while the chosen drive is short of space.
bool dataFolderStage(const InstallerConfig& config) {
    for (;;) {
        if (!chooseDataFolderFor(config, setupState.instance, setupState.backdropWindow)) {
            showNotInstalled();
            return false;
        }
        // Kept: the choice has already entered the folder; the extraction
        // relies on the current directory, so it is entered once more.
        folder_platform::changeDirectory(setupState.dataFolder);
        if (enoughFreeSpace(config)) return true;
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
        showWarning(setupState.backdropWindow, "Close Running Copies First!", text);
    }
}

// The old NT service goes before its program is replaced; on the Windows
// 95 family, or for a product without one, nothing happens here.
bool oldServiceStage(const InstallerConfig& config) {
    if (!config.serviceExecutable[0] || setupState.platformId != PLATFORM_NT) return true;
    showWarning(setupState.backdropWindow, "Uninstalling Old Service (If Present)",
                "There will be a brief pause while any previously installed copies of our NT "
                "service are shut down. This pause will begin when you click OK.");
    const ServiceRemoval removal = removeService(config.serviceName);
    setupState.oldServiceRemoved = removal == SERVICE_REMOVED || removal == SERVICE_STILL_RUNNING;
    if (!setupState.oldServiceRemoved && removal != SERVICE_NOT_INSTALLED) {
        showWarning(setupState.backdropWindow, "NT Service Not Uninstalled",
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
    showWarning(nullptr, setupState.scratchText, DAMAGED_SETUP_TEXT);
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
    char folder[TEXT_BUFFER_SIZE];
    copyText(folder, sizeof folder, setupState.earlierFolder);
    UpgradeOutcome outcome;
    finishUpgradeIn(folder, &outcome);
    if (!outcome.journalFound || outcome.committed) return;
    undoAroundFiles(config, outcome, outcome.serviceRemoved, outcome.earlierFolder, folder);
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
    showWarning(setupState.backdropWindow, setupState.scratchText, text);
}

// The extraction over whatever the folder holds, undone when it fails.
bool extractionStage(const InstallerConfig& config) {
    const bool otherFolder = setupState.earlierFolder[0] &&
                             !equalIgnoringCase(setupState.earlierFolder, setupState.dataFolder,
                                                strlen(setupState.dataFolder) + 1);
    const UpgradeNotes notes = {setupState.oldServiceRemoved,
                                otherFolder ? setupState.earlierFolder : ""};
    WindowHandle progressDialog = setup_platform::openProgressDialog();
    UpgradeOutcome outcome;
    ExtractResult result = upgradePayload(setupState.dataFolder, notes, progressDialog,
                                          setup_platform::reportProgress, &outcome);
    if (result != EXTRACT_DONE) {
        extractionFailureStage(config, result, outcome, notes);
        return false;
    }
    setup_platform::closeProgressDialog(progressDialog);
    return true;
}

}  // namespace

int runSetup(ModuleHandle instance) { return runSetupWith(instance, installerConfig); }

int runSetupWith(ModuleHandle instance, const InstallerConfig& config) {
    setupState.instance = instance;
    // Before anything could load a library: the backdrop and the first
    // dialog already do.
    system_platform::restrictDllSearch();
    setupState.platformId = system_platform::platformId();
    // Every chunk is checked before the first window: a setup damaged in
    // its download must not leave half a product behind.
    if (checkPayload() == PAYLOAD_DAMAGED) {
        damagedSetupStage(config);
        return 0;
    }

    if (!setup_platform::createBackdrop()) return 0;
    agreementStage();
    earlierRunStage(config);
    if (!dataFolderStage(config)) return 0;
    runningCopiesStage(config);
    if (!oldServiceStage(config)) return 0;
    if (!extractionStage(config)) return 0;
    completeInstallationOf(config);
    return 0;
}
