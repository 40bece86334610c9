// The choice of the data folder: proposed, chosen in the "Choose a Folder"
// dialog, validated, created, entered and recorded in the settings file.
// Portable: the machine and the dialog come through folder_platform.h, the
// messages through system/message_box.h.
#pragma once

#include "common/handles.h"

// Runs the whole choice with `owner` owning the dialog and its messages.
// Returns 1 with the folder in setupState.dataFolder, existing, current and
// recorded; 0 when the user cancelled or the dialog could not be shown
// (after the "Shutting Down" message).
int chooseDataFolder(ModuleHandle instance, WindowHandle owner);

// The same for the product `config` (runSetupWith's), which the folder
// dialog's checks then follow too.
struct InstallerConfig;
int chooseDataFolderFor(const InstallerConfig& config, ModuleHandle instance, WindowHandle owner);

// Makes `path` the current directory, creating its last component first
// when `create` is nonzero and changing into it fails. 0 on success, -1 not.
int enterDirectory(const char* path, int create);

// What OK does with the dialog's two edits: joins them into
// setupState.dataFolder and decides. True when the folder is accepted (the
// dialog ends with 1); false when the dialog stays, after a message owned
// by `dialog` has said why.
bool acceptFolderChoice(WindowHandle dialog, const char* parent, const char* application);
