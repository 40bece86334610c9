// Shell shortcuts (".lnk" files) in a program group of the Start menu or in
// its Startup group. Portable: the shell comes through shell_platform.h.
#pragma once

#include <stdint.h>

// Where the shortcuts go: the user's own Programs and Startup folders, or
// the common ones that every account sees. Process-wide, USER_LINKS until
// set; creation and removal both follow it.
enum LinkScope { USER_LINKS, COMMON_LINKS };
void setLinkScope(LinkScope scope);

// The user's own folders are the rule. Only where this process runs as
// another account than the one signed in at the desktop (an administrator
// who typed a password for a standard user) do the links go to the common
// folders, so that the person who asked sees them; so do they when this
// process runs as the local system account, as deployment tools start it.
// Where that cannot be told (the 95 family, no account known for either
// side) nothing changes.
LinkScope linkScopeFor(uint32_t platformId, const char* processAccount,
                       const char* desktopAccount);

// The show commands a shortcut opens its program with.
enum { SHOW_NORMAL = 1, SHOW_MINIMIZED = 2 };

// A shortcut named `linkName` (also its description) to `target` in the
// program group `group`, made when nothing stands there yet; a null group
// puts it into the Startup group, shown minimised. `arguments` may be null
// (none). 0 on success, -1 on any failure; a path that does not fit the
// platform's limit fails before anything is written.
int createShortcut(const char* group, const char* linkName, const char* target,
                   const char* workingDirectory, const char* arguments);

// Removes what createShortcut made for the same arguments: the link file,
// and with `removeGroup` the program group's folder once nothing else is in
// it (the shell is told, as it is of the folder made). Nothing else is
// touched; a path that does not fit removes nothing.
void removeShortcut(const char* group, const char* linkName);
void removeProgramGroup(const char* group);

// Writes one link file at `linkPath` (ending in ".lnk") through the shell's
// link object, in two saves: target, description, working directory and
// arguments first; then icon 0 of the target and the show command. Returns
// the result code of the last step taken (negative on failure); a file of
// the first save stays when the second fails.
int32_t makeShellLink(const char* target, const char* linkPath, const char* description,
                      const char* workingDirectory, bool minimized, const char* arguments);
