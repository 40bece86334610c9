#include "ui/data_folder.h"

#include <direct.h>
#include <shlobj.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "common/bounded_text.h"
#include "payload/payload_names.h"
#include "setup/installer_config.h"
#include "setup/setup_state.h"
#include "ui/folder_rules.h"
#include "ui/message_box.h"
#include "ui/resource_ids.h"

namespace {

// The edits hold at most this many characters, the platform's path limit.
const int EDIT_TEXT_SIZE = 260;
const int CSIDL_PROGRAM_FILES_ID = 38;

typedef HRESULT(WINAPI* GetFolderPathProc)(HWND, int, HANDLE, DWORD, LPSTR);

// shfolder.dll is loaded from the system directory by its full path: a
// setup started from a downloads folder must never pick up a DLL of that
// name planted beside it or in the current directory.
bool programFilesFolder(HWND owner, char* path) {
    char library[TEXT_BUFFER_SIZE];
    UINT length = GetSystemDirectoryA(library, sizeof library);
    if (length == 0 || length >= sizeof library) return false;
    if (!appendText(library, sizeof library, "\\shfolder.dll")) return false;
    HMODULE module = LoadLibraryA(library);
    if (!module) return false;
    // Through void* because FARPROC's type says nothing of the arguments.
    GetFolderPathProc getFolderPath = reinterpret_cast<GetFolderPathProc>(
        reinterpret_cast<void*>(GetProcAddress(module, "SHGetFolderPathA")));
    bool found = getFolderPath &&
                 getFolderPath(owner, CSIDL_PROGRAM_FILES_ID, nullptr, 0, path) >= 0;
    FreeLibrary(module);
    return found;
}

// The default folder, computed before the settings file is read. The
// fallback leaves the process in C:\Program Files\<group> when that exists.
void computeDefaultFolder(HWND owner, char* folder, size_t size) {
    char programFiles[MAX_PATH] = "";
    if (programFilesFolder(owner, programFiles) &&
        defaultFolderFromProgramFiles(programFiles, installerConfig.groupName, folder, size)) {
        return;
    }
    if (conventionalProgramFilesFolder(installerConfig.groupName, folder, size) &&
        enterDirectory(folder, 0) == 0) {
        return;
    }
    if (!defaultFolderFromHome(getenv("HOMEDRIVE"), getenv("HOMEPATH"), installerConfig.groupName,
                               folder, size)) {
        copyText(folder, size, "");
    }
}

void proposeFolder(HWND owner) {
    char fallback[TEXT_BUFFER_SIZE];
    computeDefaultFolder(owner, fallback, sizeof fallback);
    GetPrivateProfileStringA("Options", "dataDir", fallback, setupState.dataFolder,
                             sizeof setupState.dataFolder, installerConfig.settingsFileName);
    normalizeSeparators(setupState.dataFolder);
}

bool isTheWindowsDirectory(const char* folder) {
    char windows[TEXT_BUFFER_SIZE];
    UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    return length > 0 && length < sizeof windows && isWindowsDirectory(folder, windows);
}

void warnWindowsDirectory(HWND owner) {
    showWarning(owner, "Can't Install to Windows Directory",
                "That directory is the Windows directory. It is not safe to install applications "
                "in the Windows directory because it contains other important system files. "
                "Please choose another location.");
}

// --- the dialog -----------------------------------------------------------

void onInitDialog(HWND dialog) {
    char parent[TEXT_BUFFER_SIZE];
    char application[TEXT_BUFFER_SIZE];
    splitDataFolder(setupState.dataFolder, parent, sizeof parent, application, sizeof application);
    SetDlgItemTextA(dialog, IDC_PARENT_FOLDER, parent);
    SetDlgItemTextA(dialog, IDC_APPLICATION_FOLDER, application);
    SetFocus(GetDlgItem(dialog, IDOK));
}

// What OK does with an existing directory: a folder named after the group
// is ours to use; any other asks first.
bool acceptExistingDirectory(HWND dialog) {
    if (endsWithGroupName(setupState.dataFolder, installerConfig.groupName)) return true;
    return MessageBoxA(dialog,
                       "That folder already exists. The application can use it, but we do not "
                       "recommend using a folder that is already being used for other purposes. "
                       "Are you sure you want to use this directory?",
                       "Write Data to Existing Folder?", MB_YESNO) == IDYES;
}

// A trailing separator, which OK joins to a recorded folder proposed whole
// as the parent with an empty application folder, names the same folder,
// yet msvcrt's _stat finds nothing by that name: it is cut off, except from
// a root ("\", "C:\").
void cutTrailingSeparator(char* folder) {
    size_t length = strlen(folder);
    if (length <= 1 || (length == 3 && folder[1] == ':')) return;
    if (removeTrailingChar(folder, '\\') != '\\') removeTrailingChar(folder, '/');
}

bool validateChoice(HWND dialog) {
    char parent[EDIT_TEXT_SIZE];
    char application[EDIT_TEXT_SIZE];
    GetDlgItemTextA(dialog, IDC_PARENT_FOLDER, parent, sizeof parent);
    GetDlgItemTextA(dialog, IDC_APPLICATION_FOLDER, application, sizeof application);
    // A folder whose payload paths would pass the platform's limit is
    // refused here, rather than failing half-way through extraction.
    if (!joinDataFolder(parent, application, setupState.dataFolder, sizeof setupState.dataFolder) ||
        !payloadPathsFit(setupState.dataFolder, longestDataFolderName(payloadTable))) {
        showWarning(dialog, "Folder Name Too Long",
                    "That folder name is too long to hold the application's files. Please choose "
                    "a folder with a shorter path.");
        return false;
    }
    cutTrailingSeparator(setupState.dataFolder);
    struct _stat64 status;
    if (_stat64(setupState.dataFolder, &status) != 0) {
        if (_mkdir(setupState.dataFolder) == 0) return true;
        showWarning(dialog, "Can't Create Directory",
                    "That folder does not exist, and the application was not able to create it. "
                    "Most likely the parent folder does not exist or you have entered a path the "
                    "program does not have write access to.");
        return false;
    }
    if (status.st_mode & _S_IFDIR) return acceptExistingDirectory(dialog);
    char text[TEXT_BUFFER_SIZE];
    formatText(text, sizeof text,
               "That path specifies a file, and not a new or existing folder name. Please enter "
               "a folder name, such as %s for example.",
               installerConfig.groupName);
    showWarning(dialog, "Please Enter a Folder Name", text);
    return false;
}

void browseForParent(HWND dialog) {
    BROWSEINFOA browse = {};
    browse.hwndOwner = dialog;
    browse.lpszTitle = "Select a Folder";
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    CoInitialize(nullptr);
    LPITEMIDLIST picked = SHBrowseForFolderA(&browse);
    if (picked) {
        char path[MAX_PATH];
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
            if (validateChoice(dialog)) EndDialog(dialog, 1);
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

int enterDirectory(const char* path, int create) {
    if (_chdir(path) == 0) return 0;
    if (!create) return -1;
    _mkdir(path);
    return _chdir(path) == 0 ? 0 : -1;
}

int chooseDataFolder(HINSTANCE instance, HWND owner) {
    proposeFolder(owner);
    bool firstPass = true;
    for (;;) {
        bool windowsDirectory = isTheWindowsDirectory(setupState.dataFolder);
        if (windowsDirectory) warnWindowsDirectory(owner);
        if (!firstPass && !windowsDirectory) {
            if (enterDirectory(setupState.dataFolder, 1) == 0) {
                WritePrivateProfileStringA("Options", "dataDir", setupState.dataFolder,
                                           installerConfig.settingsFileName);
                return 1;
            }
            showWarning(owner, "Couldn't Access Directory",
                        "That directory does not exist and could not be created. Please enter a "
                        "valid location for a directory on your system.");
        }
        firstPass = false;
        if (DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_CHOOSE_FOLDER), owner,
                            dataFolderDialogProc, 0) == 0) {
            showWarning(owner, "Shutting Down",
                        "This program cannot operate without a data folder to store its files "
                        "in. The program will exit now. Please determine an appropriate folder "
                        "name and start the program again later.");
            return 0;
        }
        normalizeSeparators(setupState.dataFolder);
    }
}
