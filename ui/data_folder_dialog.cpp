#include "ui/data_folder_dialog.h"

#include <shlobj.h>

#include "common/path_rules.h"
#include "state/setup_state.h"
#include "ui/folder_choice.h"
#include "ui/folder_rules.h"
#include "ui/resource_ids.h"

namespace {

void onInitDialog(HWND dialog) {
    char parent[TEXT_BUFFER_SIZE];
    char application[TEXT_BUFFER_SIZE];
    splitDataFolder(setupState.dataFolder, parent, sizeof parent, application, sizeof application);
    SetDlgItemTextA(dialog, IDC_PARENT_FOLDER, parent);
    SetDlgItemTextA(dialog, IDC_APPLICATION_FOLDER, application);
    SetFocus(GetDlgItem(dialog, IDOK));
}

// Each edit gives at most the platform's path limit.
void onOk(HWND dialog) {
    char parent[PLATFORM_PATH_SIZE];
    char application[PLATFORM_PATH_SIZE];
    GetDlgItemTextA(dialog, IDC_PARENT_FOLDER, parent, sizeof parent);
    GetDlgItemTextA(dialog, IDC_APPLICATION_FOLDER, application, sizeof application);
    if (acceptFolderChoice(dialog, parent, application)) EndDialog(dialog, 1);
}

void browseForParent(HWND dialog) {
    BROWSEINFOA browse = {};
    browse.hwndOwner = dialog;
    browse.lpszTitle = "Select a Folder";
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    CoInitialize(nullptr);
    LPITEMIDLIST picked = SHBrowseForFolderA(&browse);
    if (picked) {
        char path[PLATFORM_PATH_SIZE];
        if (SHGetPathFromIDListA(picked, path)) SetDlgItemTextA(dialog, IDC_PARENT_FOLDER, path);
        CoTaskMemFree(picked);
    }
    CoUninitialize();
}

}  // namespace

INT_PTR CALLBACK dataFolderDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        onInitDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            onOk(dialog);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        case IDC_BROWSE:
            browseForParent(dialog);
            return TRUE;
        }
        break;
    }
    return FALSE;
}
