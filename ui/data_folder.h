// The choice of the data folder: proposed, chosen in the "Choose a Folder"
// dialog, validated, created, entered and recorded in the settings file.
#pragma once

#include <windows.h>

// Runs the whole choice with `owner` owning the dialog and its messages.
// Returns 1 with the folder in setupState.dataFolder, existing, current and
// recorded; 0 when the user cancelled (after the "Shutting Down" message).
int chooseDataFolder(HINSTANCE instance, HWND owner);

// Makes `path` the current directory, creating its last component first
// when `create` is nonzero and changing into it fails. 0 on success, -1 not.
int enterDirectory(const char* path, int create);

INT_PTR CALLBACK dataFolderDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
