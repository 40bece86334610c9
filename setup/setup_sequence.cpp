#include "setup/setup_sequence.h"

#include "common/bounded_text.h"
#include "payload/extract.h"
#include "setup/completion.h"
#include "setup/extraction_outcome.h"
#include "setup/setup_platform.h"
#include "state/installer_config.h"
#include "state/setup_state.h"
#include "system/message_box.h"
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
bool enoughFreeSpace() {
    char root[4];
    driveRootOf(setupState.dataFolder, folder_platform::currentDrive(), root);
    folder_platform::DiskSpace space;
    if (!folder_platform::freeSpace(root, &space)) return true;
    FreeSpaceVerdict verdict = checkFreeSpace(space.sectorsPerCluster, space.bytesPerSector,
                                              space.freeClusters,
                                              installerConfig.requiredMegabytes);
    if (verdict.enough) return true;
    char text[TEXT_BUFFER_SIZE];
    formatText(text, sizeof text,
               "Not enough free disk space is available on the drive you have specified. %d "
               "megabytes of free space are required for the proper operation of the program. On "
               "drive %s only %d megabytes of free space are available.\r\n\r\nYou will be given "
               "another opportunity to choose a location for the software. You may wish to cancel "
               "the installation process, or use your Windows desktop to delete files, making "
               "more room for the program.",
               static_cast<int>(installerConfig.requiredMegabytes), root,
               static_cast<int>(verdict.freeMegabytes));
    showWarning(setupState.backdropWindow, "Not Enough Disk Space", text);
    return false;
}

// The folder choice, back again while the chosen drive is short of space.
bool dataFolderStage() {
    for (;;) {
        if (!chooseDataFolder(setupState.instance, setupState.backdropWindow)) {
            showNotInstalled();
            return false;
        }
        // Kept: the choice has already entered the folder; the extraction
        // relies on the current directory, so it is entered once more.
        folder_platform::changeDirectory(setupState.dataFolder);
        if (enoughFreeSpace()) return true;
    }
}

// A failed extraction: tell the user, then take back the payload files
// that the run left in the data folder. Directories stay, and the progress
// dialog stays on the screen with its last texts.
void extractionFailureStage(ExtractResult result) {
    if (!formatExtractionFailureCaption(setupState.scratchText, sizeof setupState.scratchText,
                                        installerConfig.productName)) {
        copyText(setupState.scratchText, sizeof setupState.scratchText, "Installation Failed");
    }
    showWarning(setupState.backdropWindow, setupState.scratchText, extractionFailureText(result));
    removePayloadFiles(nullptr, nullptr);
}

}  // namespace

int runSetup(ModuleHandle instance) {
    setupState.instance = instance;
    // Before anything could load a library: the backdrop and the first
    // dialog already do.
    setup_platform::restrictDllSearch();
    setupState.platformId = setup_platform::platformId();

    if (!setup_platform::createBackdrop()) return 0;
    agreementStage();
    if (!dataFolderStage()) return 0;

    WindowHandle progressDialog = setup_platform::openProgressDialog();
    ExtractResult result = extractPayload(progressDialog, setup_platform::reportProgress);
    if (result != EXTRACT_DONE) {
        extractionFailureStage(result);
        return 0;
    }
    setup_platform::closeProgressDialog(progressDialog);
    completeInstallation();
    return 0;
}
