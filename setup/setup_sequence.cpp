#include "setup/setup_sequence.h"

#include "common/bounded_text.h"
#include "payload/extract.h"
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
    if (removeServiceNamed(config.serviceName) != 0) {
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

// A failed extraction: tell the user, then take back the payload files
// that the run left in the data folder. Directories stay, and the progress
// dialog stays on the screen with its last texts.
void extractionFailureStage(const InstallerConfig& config, ExtractResult result) {
    if (!formatExtractionFailureCaption(setupState.scratchText, sizeof setupState.scratchText,
                                        config.productName)) {
        copyText(setupState.scratchText, sizeof setupState.scratchText, "Installation Failed");
    }
    showWarning(setupState.backdropWindow, setupState.scratchText, extractionFailureText(result));
    removePayloadFiles(nullptr, nullptr);
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
    if (!dataFolderStage(config)) return 0;
    runningCopiesStage(config);
    if (!oldServiceStage(config)) return 0;

    WindowHandle progressDialog = setup_platform::openProgressDialog();
    ExtractResult result = extractPayload(progressDialog, setup_platform::reportProgress);
    if (result != EXTRACT_DONE) {
        extractionFailureStage(config, result);
        return 0;
    }
    setup_platform::closeProgressDialog(progressDialog);
    completeInstallationOf(config);
    return 0;
}
