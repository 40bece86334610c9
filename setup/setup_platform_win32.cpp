#include <stdlib.h>
#include <windows.h>

#include "setup/setup_platform.h"
#include "state/setup_state.h"
#include "ui/agreement_dialog.h"
#include "ui/backdrop.h"
#include "ui/progress_dialog.h"
#include "ui/resource_ids.h"

namespace setup_platform {

namespace {
typedef BOOL(WINAPI* SetDefaultDllDirectoriesProc)(DWORD);
}  // namespace

// DLLs are then searched in the system directory only, so a setup started
// from a downloads folder loads nothing planted beside it. Looked up at run
// time: the Windows 95 family and early NT systems lack it, and there the
// run goes on as before.
void restrictDllSearch() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return;
    SetDefaultDllDirectoriesProc restrict = reinterpret_cast<SetDefaultDllDirectoriesProc>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (restrict) restrict(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// GetVersionExA cannot fail with a correctly sized record; should it fail
// anyway, the record stays zeroed and the run counts as the Windows 95
// family (platform 0), which skips the NT-only stages.
uint32_t platformId() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;  // 148 bytes
    GetVersionExA(&version);
    return version.dwPlatformId;
}

bool createBackdrop() { return ::createBackdrop(); }
void destroyBackdrop() { ::destroyBackdrop(); }

int runAgreementDialog() {
    return static_cast<int>(DialogBoxParamA(setupState.instance, MAKEINTRESOURCEA(IDD_AGREEMENT),
                                            setupState.backdropWindow, agreementDialogProc, 0));
}

WindowHandle openProgressDialog() {
    return CreateDialogParamA(setupState.instance, MAKEINTRESOURCEA(IDD_PROGRESS),
                              setupState.backdropWindow, progressDialogProc, 0);
}

void closeProgressDialog(WindowHandle dialog) { DestroyWindow(dialog); }

void reportProgress(WindowHandle dialog, const char* text, int percent) {
    updateProgressDialog(dialog, text, percent);
}

void endProcess(int status) { exit(status); }

}  // namespace setup_platform
