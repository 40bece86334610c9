// The "Choose a Folder" dialog (resource 24000): the Win32 shell around the
// portable choice in folder_choice.h.
#pragma once

#include <windows.h>

// Proposes setupState.dataFolder split into the two edits; OK hands the
// edits to acceptFolderChoice and ends with 1 once it accepts; Cancel (also
// Escape and the close box) ends with 0; Browse fills the parent edit.
INT_PTR CALLBACK dataFolderDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
