#include "ui/agreement_dialog.h"

#include "state/installer_config.h"
#include "ui/resource_ids.h"

namespace {

// The text is shown as the product supplies it; the edit is read-only, so
// it can be scrolled, selected and copied but not changed.
INT_PTR onInitDialog(HWND dialog) {
    SetDlgItemTextA(dialog, IDC_AGREEMENT_TEXT, agreementText);
    ShowWindow(dialog, SW_SHOW);
    return TRUE;  // the dialog manager focuses the first tab stop, "I Accept"
}

}  // namespace

INT_PTR CALLBACK agreementDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return onInitDialog(dialog);
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            EndDialog(dialog, 1);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return FALSE;  // kept: the decline reports itself unhandled; the dialog ends all the same
        }
        break;
    }
    return FALSE;
}
