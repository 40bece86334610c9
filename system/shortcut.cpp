#include "system/shortcut.h"

#include <string.h>

#include "common/bounded_text.h"
#include "common/path_rules.h"
#include "state/setup_state.h"
#include "system/shell_platform.h"

using shell_platform::ResultCode;

int32_t makeShellLink(const char* target, const char* linkPath, const char* description,
                      const char* workingDirectory, bool minimized, const char* arguments) {
    // Initialised once and uninitialised once per call, whatever happens,
    // so calls are independent of each other.
    shell_platform::initializeCom();
    shell_platform::ShellLink* link = nullptr;
    shell_platform::LinkFile* file = nullptr;
    ResultCode result = shell_platform::createShellLink(&link);
    if (result < 0) goto done;
    shell_platform::setTarget(link, target);
    shell_platform::setDescription(link, description);
    shell_platform::setWorkingDirectory(link, workingDirectory);
    if (arguments) shell_platform::setArguments(link, arguments);
    result = shell_platform::queryLinkFile(link, &file);
    if (result < 0) goto done;
    result = shell_platform::saveLinkFile(file, linkPath);
    if (result < 0) goto done;
    // Icon and show command go into a second save of the same file.
    shell_platform::setIcon(link, target, 0);
    shell_platform::setShowCommand(link, minimized ? SHOW_MINIMIZED : SHOW_NORMAL);
    result = shell_platform::saveLinkFile(file, linkPath);
done:
    if (file) shell_platform::releaseLinkFile(file);
    if (link) shell_platform::releaseShellLink(link);
    shell_platform::uninitializeCom();
    return result;
}

namespace {

// Where every shortcut of the process goes (setLinkScope).
LinkScope linkScope = USER_LINKS;

// The program group's folder (the Startup folder for a null group) and the
// link's path in it, as every shortcut of the product is found: made and
// removed at the same place. False when the shell has no such folder or a
// path does not fit, never a shortened path.
bool shortcutPaths(const char* group, const char* linkName, char* groupFolder, char* linkPath) {
    const bool common = linkScope == COMMON_LINKS;
    const shell_platform::SpecialFolder special =
        group ? (common ? shell_platform::COMMON_PROGRAMS_FOLDER : shell_platform::PROGRAMS_FOLDER)
              : (common ? shell_platform::COMMON_STARTUP_FOLDER : shell_platform::STARTUP_FOLDER);
    char folder[PLATFORM_PATH_SIZE];
    if (!shell_platform::specialFolderPath(special, folder, sizeof folder)) return false;
    groupFolder[0] = '\0';
    return group ? formatText(groupFolder, PATH_BUFFER_SIZE, "%s\\%s", folder, group) &&
                       formatText(linkPath, PLATFORM_PATH_SIZE, "%s\\%s.lnk", groupFolder,
                                  linkName)
                 : formatText(linkPath, PLATFORM_PATH_SIZE, "%s\\%s.lnk", folder, linkName);
}

}  // namespace

void setLinkScope(LinkScope scope) { linkScope = scope; }

const char LOCAL_SYSTEM_ACCOUNT[] = "S-1-5-18";

LinkScope linkScopeFor(uint32_t platformId, const char* processAccount,
                       const char* desktopAccount) {
    if (platformId != PLATFORM_NT) return USER_LINKS;
    // The local system account, as deployment tools run setup: its own
    // Start menu is seen by nobody, and there may be nobody at the desktop.
    if (strcmp(processAccount, LOCAL_SYSTEM_ACCOUNT) == 0) return COMMON_LINKS;
    const bool known = processAccount[0] && desktopAccount[0];
    return known && strcmp(processAccount, desktopAccount) != 0 ? COMMON_LINKS : USER_LINKS;
}

void removeShortcut(const char* group, const char* linkName) {
    char groupFolder[PATH_BUFFER_SIZE];
    char linkPath[PLATFORM_PATH_SIZE];
    if (shortcutPaths(group, linkName, groupFolder, linkPath)) shell_platform::removeFile(linkPath);
}

void removeProgramGroup(const char* group) {
    char groupFolder[PATH_BUFFER_SIZE];
    char linkPath[PLATFORM_PATH_SIZE];
    if (shortcutPaths(group, "", groupFolder, linkPath) &&
        shell_platform::removeDirectory(groupFolder)) {
        shell_platform::notifyDirectoryRemoved(groupFolder);
    }
}

int createShortcut(const char* group, const char* linkName, const char* target,
                   const char* workingDirectory, const char* arguments) {
    // Every path is composed before anything is written: one that does not
    // fit is a failure, never a shortened link path.
    char groupFolder[PATH_BUFFER_SIZE];
    char linkPath[PLATFORM_PATH_SIZE];
    char leftover[PATH_BUFFER_SIZE];
    if (!shortcutPaths(group, linkName, groupFolder, linkPath) ||
        !formatText(leftover, sizeof leftover, "%s.lnk", linkPath)) {
        return -1;
    }

    // An existing group folder, or a file of its name, is left as it is
    // (then the save fails); only a folder made here is announced.
    if (group && !shell_platform::pathExists(groupFolder)) {
        if (!shell_platform::makeDirectory(groupFolder)) return -1;
        shell_platform::notifyDirectoryMade(groupFolder);
    }
    // A file of the link's name with ".lnk" once more goes first; a link of
    // the same name stays and is overwritten by the save.
    shell_platform::removeFile(leftover);
    return makeShellLink(target, linkPath, linkName, workingDirectory, group == nullptr,
                         arguments) < 0
               ? -1
               : 0;
}
