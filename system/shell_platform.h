// What a shortcut needs from the shell: special folders, the few file
// operations around the link file, and the shell's link object taken step
// by step. shell_platform_win32.cpp does it with the shell and COM; the
// native tests link a stand-in that keeps the link objects in memory,
// counts their references and fails any step on request.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace shell_platform {

// The platform's result codes (HRESULT): negative is failure.
typedef int32_t ResultCode;

// The special folders a shortcut goes into (the shell's CSIDL numbers): the
// user's own, and the common ones that every account sees.
enum SpecialFolder {
    PROGRAMS_FOLDER = 2,
    STARTUP_FOLDER = 7,
    COMMON_PROGRAMS_FOLDER = 0x17,
    COMMON_STARTUP_FOLDER = 0x18,
};

// The folder's file-system path, through the shell's item list (released
// before returning). False when the shell has no such folder or cannot
// name it as a path that fits `size`.
bool specialFolderPath(SpecialFolder folder, char* path, size_t size);

bool pathExists(const char* path);          // a file or a directory
bool makeDirectory(const char* path);
void notifyDirectoryMade(const char* path);  // SHCNE_MKDIR for the shell's views
bool removeDirectory(const char* path);      // an empty one; false when it stays
void notifyDirectoryRemoved(const char* path);  // SHCNE_RMDIR
void removeFile(const char* path);           // its result does not matter

// The link object and its file interface, opaque to the logic.
struct ShellLink;
struct LinkFile;

void initializeCom();
void uninitializeCom();
ResultCode createShellLink(ShellLink** link);
void setTarget(ShellLink* link, const char* target);
void setDescription(ShellLink* link, const char* description);
void setWorkingDirectory(ShellLink* link, const char* folder);
void setArguments(ShellLink* link, const char* arguments);
void setIcon(ShellLink* link, const char* file, int index);
void setShowCommand(ShellLink* link, int showCommand);
ResultCode queryLinkFile(ShellLink* link, LinkFile** file);
// Saves under `path` (narrow, converted to UTF-16 in a buffer of the
// platform's path size: a path that does not convert fails, nothing saved).
ResultCode saveLinkFile(LinkFile* file, const char* path);
void releaseLinkFile(LinkFile* file);
void releaseShellLink(ShellLink* link);

}  // namespace shell_platform
