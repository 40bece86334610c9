// The decisions of the data folder choice and the free-space check: how a
// folder is proposed, split for the dialog, joined again, tested and
// measured. Portable: no <windows.h>; every text into a bounded buffer.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "common/path_rules.h"
#include "system/system_platform.h"

// The dialog's two edits: the folder split at its last "\" (else its last
// "/"); without a separator the whole folder is the parent.
void splitDataFolder(const char* folder, char* parent, size_t parentSize, char* application,
                     size_t applicationSize);

// The parent with "/" turned into "\", one "\" unless it already ends in
// one (an empty parent gets one too), then the application folder.
bool joinDataFolder(const char* parent, const char* application, char* out, size_t size);

// The folder as the system names it. The system drops the dots and blanks
// that end a path's last component when it makes or opens the folder, yet a
// component inside a longer path keeps its blanks: every path built on the
// folder must start from the name without them. "." and ".." name other
// folders and stay; a last component of dots and blanks alone names its
// parent. Trailing separators go too, a root's kept. In place.
void cutTrailingDotsAndBlanks(char* path);

// The default below the Program Files folder: trailing separators cut, "\",
// the group name.
bool defaultFolderFromProgramFiles(const char* programFiles, const char* groupName, char* out,
                                   size_t size);

// "C:\Program Files\<group>", tried before the home folder.
bool conventionalProgramFilesFolder(const char* groupName, char* out, size_t size);

// The default from the home folder: a home path that carries its own drive
// ("D:\home") stands alone, else the home drive ("C:" when missing) comes
// first; trailing separators cut, "\", the group name. Null means missing.
bool defaultFolderFromHome(const char* homeDrive, const char* homePath, const char* groupName,
                           char* out, size_t size);

// Why a folder is not a full local path, or FULL_LOCAL_PATH when it is: a
// drive letter, ":" and a separator, then the rest, no component of which
// names a device (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an
// extension). "\\server\share" is a NETWORK_PATH; "\\?\" and "\\.\"
// forms, relative, drive-relative ("C:Data") and rooted ("\Data") paths are
// NOT_FULL, which a path with a device name is too. Only a full path names
// the same folder whatever the current drive and folder are when it is
// read again (the settings file, the links, the uninstall entry).
enum PathForm { FULL_LOCAL_PATH, NETWORK_PATH, NOT_FULL };
PathForm pathForm(const char* path);

// A folder that a service or helper program runs from with more rights
// than its users may be used only when nobody but the system and the
// administrators can change it: not a junction or link, owned by the
// administrators, SYSTEM or TrustedInstaller, and no entry of its list
// allowing anyone else to write, append, delete, or change its rights or
// owner (generic write and all included). Entries that only deny are no
// concern; CREATOR OWNER stands for whoever makes a file, and that is an
// administrator here.
enum FolderTrust { FOLDER_TRUSTED, FOLDER_IS_LINK, FOLDER_FOREIGN_OWNER, FOLDER_OPEN_TO_OTHERS };
FolderTrust judgeFolder(const system_platform::FolderSecurity& security);

// The access list such a folder gets: protected from its parent's, full
// control for SYSTEM and the administrators, read and execute for the
// users, inherited by everything made in it. The second form also makes
// the administrators its owner, for a folder of an earlier installation.
extern const char PROTECTED_FOLDER_SECURITY[];
extern const char PROTECTED_FOLDER_TAKEN_OVER[];

// An existing folder may be used without asking when its path ends with the
// group name, compared without regard to case.
bool endsWithGroupName(const char* path, const char* groupName);

// Whether the candidate is the Windows directory. Case and one trailing
// separator on either side do not matter: C:\WINDOWS, c:\windows and
// C:\Windows\ are all the same folder.
bool isWindowsDirectory(const char* candidate, const char* windowsDirectory);

// The root whose free space is asked: the folder's first three characters
// when it starts with a drive letter and ":", else the current drive
// (1 = A) as letter, ":" and "/".
void driveRootOf(const char* folder, int currentDrive, char root[4]);

struct FreeSpaceVerdict {
    bool enough;
    uint32_t freeMegabytes;  // for the message, truncated
};

// Unsigned 32-bit cluster arithmetic. A platform reporting 0 bytes per
// cluster cannot be measured and counts as enough, as a failed query does.
FreeSpaceVerdict checkFreeSpace(uint32_t sectorsPerCluster, uint32_t bytesPerSector,
                                uint32_t freeClusters, uint32_t requiredMegabytes);

// Every payload path, the folder, "\" and a payload name, stays within the
// platform's path limit.
bool payloadPathsFit(const char* folder, size_t longestPayloadName);
