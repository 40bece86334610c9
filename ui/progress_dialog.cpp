#include "ui/progress_dialog.h"

#include "ui/progress_text.h"
#include "ui/resource_ids.h"

namespace {
// The percentage line as last formatted; one line at a time.
char percentLine[64];
}  // namespace

INT_PTR CALLBACK progressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        ShowWindow(dialog, SW_SHOW);
        return TRUE;
    case WM_COMMAND:
        // The close box arrives as the cancel command. It hides the dialog;
        // the extraction is not interrupted.
        // Kept: EndDialog on this modeless dialog only hides it; nobody reads its result.
        if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 0);
        return FALSE;
    }
    return FALSE;
}

void updateProgressDialog(HWND dialog, const char* text, int percent) {
    formatPercentLine(percentLine, sizeof percentLine, percent);
    SetDlgItemTextA(dialog, IDC_PROGRESS_PERCENT, percentLine);
    SetDlgItemTextA(dialog, IDC_PROGRESS_ITEM, text);
}
