#include "setup/setup_sequence.h"

#include <direct.h>
#include <stdlib.h>

#include "common/bounded_text.h"
#include "payload/extract.h"
#include "setup/extraction_outcome.h"
#include "setup/installer_config.h"
#include "setup/setup_state.h"
#include "ui/agreement_dialog.h"
#include "ui/backdrop.h"
#include "ui/data_folder.h"
#include "ui/folder_rules.h"
#include "ui/message_box.h"
#include "ui/progress_dialog.h"
#include "ui/resource_ids.h"

namespace {

const char NOT_INSTALLED_CAPTION[] = "Application Not Installed";
const char NOT_INSTALLED_TEXT[] =
    "The application will not be installed at this time. If you decide to install the "
    "application later, just launch this program again to complete the installation process.";

typedef BOOL(WINAPI* SetDefaultDllDirectoriesProc)(DWORD);

// Where the system offers it, DLLs are searched in the system directory
// only, so a setup started from a downloads folder loads nothing planted
// beside it. Looked up at run time: the Windows 95 family and early NT
// systems lack it, and there the run goes on as before.
void restrictDllSearch() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return;
    SetDefaultDllDirectoriesProc restrict = reinterpret_cast<SetDefaultDllDirectoriesProc>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (restrict) restrict(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// Read once at the start. GetVersionExA cannot fail with a correctly sized
// record; should it fail anyway, the record stays zeroed and the run counts
// as the Windows 95 family (platform 0), which skips the NT-only stages.
DWORD queryPlatformId() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;  // 148 bytes
    GetVersionExA(&version);
    return version.dwPlatformId;
}

void showNotInstalled() {
    showWarning(setupState.backdropWindow, NOT_INSTALLED_CAPTION, NOT_INSTALLED_TEXT);
}

// The gate: nothing is written to the machine before the user accepts. A
// decline ends the process at once.
void agreementStage() {
    INT_PTR accepted = DialogBoxParamA(setupState.instance, MAKEINTRESOURCEA(IDD_AGREEMENT),
                                       setupState.backdropWindow, agreementDialogProc, 0);
    if (accepted != 0) return;
    showNotInstalled();
    exit(0);
}

// Free space on the data folder's drive. A drive that cannot be queried
// passes, as does one that reports no cluster size.
bool enoughFreeSpace() {
    char root[4];
    driveRootOf(setupState.dataFolder, _getdrive(), root);
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters,
                           &totalClusters)) {
        return true;
    }
    FreeSpaceVerdict verdict = checkFreeSpace(sectorsPerCluster, bytesPerSector, freeClusters,
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
        _chdir(setupState.dataFolder);
        if (enoughFreeSpace()) return true;
    }
}

// A failed extraction: tell the user, then take back the payload files
// that the run left in the data folder. Directories stay, and the progress
// dialog stays on the screen with its last texts.
void extractionFailureStage(ExtractResult result) {
    if (!formatExtractionFailureCaption(setupState.scratchText, sizeof setupState.scratchText,
                                        installerConfig.productName)) {
        lstrcpynA(setupState.scratchText, "Installation Failed", sizeof setupState.scratchText);
    }
    showWarning(setupState.backdropWindow, setupState.scratchText, extractionFailureText(result));
    removePayloadFiles(nullptr, nullptr);
}

}  // namespace

int runSetup(HINSTANCE instance) {
    setupState.instance = instance;
    restrictDllSearch();
    setupState.platformId = queryPlatformId();

    if (!createBackdrop()) return 0;
    agreementStage();
    if (!dataFolderStage()) return 0;

    HWND progressDialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_PROGRESS),
                                             setupState.backdropWindow, progressDialogProc, 0);
    ExtractResult result = extractPayload(progressDialog, updateProgressDialog);
    if (result != EXTRACT_DONE) {
        extractionFailureStage(result);
        return 0;
    }
    DestroyWindow(progressDialog);
    return 0;
}
