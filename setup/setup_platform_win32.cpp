#include <stdlib.h>
#include <windows.h>

#include "setup/setup_platform.h"
#include "state/setup_state.h"
#include "ui/agreement_dialog.h"
#include "ui/backdrop.h"
#include "ui/progress_dialog.h"
#include "ui/resource_ids.h"

namespace setup_platform {

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
