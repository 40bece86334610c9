#include "ui/folder_rules.h"

#include <string.h>

#include "common/bounded_text.h"

namespace {

size_t lengthWithoutTrailingSeparator(const char* path) {
    size_t length = strlen(path);
    if (length > 0 && isPathSeparator(path[length - 1])) --length;
    return length;
}

bool appendGroup(char* out, size_t size, const char* groupName) {
    removeTrailingChar(out, '\\');
    removeTrailingChar(out, '/');
    return appendText(out, size, "\\") && appendText(out, size, groupName);
}

}  // namespace

void splitDataFolder(const char* folder, char* parent, size_t parentSize, char* application,
                     size_t applicationSize) {
    const char* split = strrchr(folder, '\\');
    if (!split) split = strrchr(folder, '/');
    if (!split) {
        copyText(parent, parentSize, folder);
        copyText(application, applicationSize, "");
        return;
    }
    size_t parentLength = static_cast<size_t>(split - folder);
    if (parentLength >= parentSize) {
        parent[0] = '\0';
    } else {
        memcpy(parent, folder, parentLength);
        parent[parentLength] = '\0';
    }
    copyText(application, applicationSize, split + 1);
}

namespace {

bool isDeviceName(const char* component, size_t length) {
    // The name before any extension, without the blanks the system ignores.
    size_t base = 0;
    while (base < length && component[base] != '.') ++base;
    while (base > 0 && component[base - 1] == ' ') --base;
    const auto is = [&](const char* name) {
        return base == strlen(name) && equalIgnoringCase(component, name, base);
    };
    if (is("CON") || is("PRN") || is("AUX") || is("NUL")) return true;
    const bool numbered = base == 4 && component[3] >= '1' && component[3] <= '9';
    return numbered && (equalIgnoringCase(component, "COM", 3) || equalIgnoringCase(component, "LPT", 3));
}

}  // namespace

PathForm pathForm(const char* path) {
    const bool twoSeparators = isPathSeparator(path[0]) && isPathSeparator(path[1]);
    if (twoSeparators && (path[2] == '?' || path[2] == '.') &&
        (isPathSeparator(path[3]) || !path[3])) {
        return NOT_FULL;
    }
    if (twoSeparators) return NETWORK_PATH;
    const char drive = path[0];
    const bool letter = (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
    if (!letter || path[1] != ':' || !isPathSeparator(path[2])) return NOT_FULL;
    for (const char* component = path + 3; *component;) {
        size_t length = 0;
        while (component[length] && !isPathSeparator(component[length])) ++length;
        if (isDeviceName(component, length)) return NOT_FULL;
        component += length;
        while (isPathSeparator(*component)) ++component;
    }
    return FULL_LOCAL_PATH;
}

const char PROTECTED_FOLDER_SECURITY[] =
    "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
const char PROTECTED_FOLDER_TAKEN_OVER[] =
    "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

namespace {

const char SYSTEM_ACCOUNT[] = "S-1-5-18";
const char ADMINISTRATORS[] = "S-1-5-32-544";
const char TRUSTED_INSTALLER[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
const char CREATOR_OWNER[] = "S-1-3-0";

// Write data or add a file, append or add a folder, delete a child, delete,
// change the rights, take ownership, generic write, generic all.
const uint32_t CHANGING_RIGHTS = 0x2u | 0x4u | 0x40u | 0x10000u | 0x40000u | 0x80000u |
                                 0x40000000u | 0x10000000u;

bool isOneOf(const char* account, const char* const* accounts, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (strcmp(account, accounts[i]) == 0) return true;
    }
    return false;
}

}  // namespace

FolderTrust judgeFolder(const system_platform::FolderSecurity& security) {
    const char* const owners[] = {ADMINISTRATORS, SYSTEM_ACCOUNT, TRUSTED_INSTALLER};
    const char* const trusted[] = {ADMINISTRATORS, SYSTEM_ACCOUNT, TRUSTED_INSTALLER,
                                   CREATOR_OWNER};
    if (security.isLink) return FOLDER_IS_LINK;
    if (!isOneOf(security.owner, owners, 3)) return FOLDER_FOREIGN_OWNER;
    for (int i = 0; i < security.entryCount; ++i) {
        const system_platform::AccessEntry& entry = security.entries[i];
        if ((entry.rights & CHANGING_RIGHTS) != 0 && !isOneOf(entry.trustee, trusted, 4)) {
            return FOLDER_OPEN_TO_OTHERS;
        }
    }
    return FOLDER_TRUSTED;
}

bool joinDataFolder(const char* parent, const char* application, char* out, size_t size) {
    char folder[PATH_BUFFER_SIZE];
    if (!copyText(folder, sizeof folder, parent)) {
        if (size > 0) out[0] = '\0';
        return false;
    }
    for (char* c = folder; *c; ++c) {
        if (*c == '/') *c = '\\';
    }
    return joinPath(out, size, folder, application);
}

void cutTrailingDotsAndBlanks(char* path) {
    cutTrailingSeparators(path);
    size_t length = strlen(path);
    size_t start = length;
    while (start > 0 && !isPathSeparator(path[start - 1])) --start;
    // "C:.." is the parent of drive C:'s current directory, not a name.
    if (start == 0 && length >= 2 && path[1] == ':') start = 2;
    const char* last = path + start;
    if (strcmp(last, ".") == 0 || strcmp(last, "..") == 0) return;
    while (length > start && (path[length - 1] == '.' || path[length - 1] == ' ')) {
        path[--length] = '\0';
    }
    cutTrailingSeparators(path);
}

bool defaultFolderFromProgramFiles(const char* programFiles, const char* groupName, char* out,
                                   size_t size) {
    return copyText(out, size, programFiles) && appendGroup(out, size, groupName);
}

bool conventionalProgramFilesFolder(const char* groupName, char* out, size_t size) {
    return formatText(out, size, "C:\\Program Files\\%s", groupName);
}

bool defaultFolderFromHome(const char* homeDrive, const char* homePath, const char* groupName,
                           char* out, size_t size) {
    if (!homePath) homePath = "";
    if (!homeDrive) homeDrive = "C:";
    if (strlen(homePath) >= 2 && homePath[1] == ':') {
        if (!copyText(out, size, homePath)) return false;
    } else {
        if (!copyText(out, size, homeDrive)) return false;
        removeTrailingChar(out, '\\');
        removeTrailingChar(out, '/');
        if (!appendText(out, size, homePath)) return false;
    }
    return appendGroup(out, size, groupName);
}

bool endsWithGroupName(const char* path, const char* groupName) {
    size_t pathLength = strlen(path);
    size_t groupLength = strlen(groupName);
    if (pathLength < groupLength) return false;
    return equalIgnoringCase(path + pathLength - groupLength, groupName, groupLength);
}

bool isWindowsDirectory(const char* candidate, const char* windowsDirectory) {
    size_t a = lengthWithoutTrailingSeparator(candidate);
    size_t b = lengthWithoutTrailingSeparator(windowsDirectory);
    return a > 0 && a == b && equalIgnoringCase(candidate, windowsDirectory, a);
}

void driveRootOf(const char* folder, int currentDrive, char root[4]) {
    size_t length = strlen(folder);
    if (length >= 2 && folder[1] == ':') {
        root[0] = folder[0];
        root[1] = ':';
        root[2] = length >= 3 ? folder[2] : '\0';
        root[3] = '\0';
        return;
    }
    root[0] = static_cast<char>(64 + currentDrive);
    root[1] = ':';
    root[2] = '/';
    root[3] = '\0';
}

FreeSpaceVerdict checkFreeSpace(uint32_t sectorsPerCluster, uint32_t bytesPerSector,
                                uint32_t freeClusters, uint32_t requiredMegabytes) {
    uint32_t bytesPerCluster = sectorsPerCluster * bytesPerSector;
    if (bytesPerCluster == 0) return FreeSpaceVerdict{true, 0};
    uint32_t requiredClusters = requiredMegabytes * 1048576u / bytesPerCluster;
    uint32_t freeMegabytes = static_cast<uint32_t>(
        static_cast<uint64_t>(freeClusters) * bytesPerCluster / 1048576u);
    return FreeSpaceVerdict{requiredClusters <= freeClusters, freeMegabytes};
}

bool payloadPathsFit(const char* folder, size_t longestPayloadName) {
    return strlen(folder) + 1 + longestPayloadName <= PLATFORM_PATH_LIMIT;
}
