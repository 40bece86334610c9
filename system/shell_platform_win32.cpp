#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <stdio.h>
#include <sys/stat.h>
#include <direct.h>

#include "common/path_rules.h"
#include "system/shell_platform.h"

namespace shell_platform {

// The opaque handles are the interface pointers themselves.
namespace {
// The three identifiers, here rather than from the uuid library, whose
// one object holds thousands of them and would add some 40 KB to setup.
const GUID SHELL_LINK_CLASS = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID SHELL_LINK_INTERFACE = {0x000214EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID PERSIST_FILE_INTERFACE = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

IShellLinkA* linkObject(ShellLink* link) { return reinterpret_cast<IShellLinkA*>(link); }
IPersistFile* fileObject(LinkFile* file) { return reinterpret_cast<IPersistFile*>(file); }
}  // namespace

bool specialFolderPath(SpecialFolder folder, char* path, size_t size) {
    LPITEMIDLIST items = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, folder, &items)) || !items) return false;
    // The shell writes up to MAX_PATH characters whatever the buffer.
    char found[MAX_PATH] = "";
    const BOOL named = SHGetPathFromIDListA(items, found);
    CoTaskMemFree(items);
    if (!named || !found[0]) return false;
    const size_t length = strlen(found);
    if (length >= size) return false;
    memcpy(path, found, length + 1);
    return true;
}

bool pathExists(const char* path) {
    // The runtime's 32-bit-time form, which msvcrt has on every system.
#if defined(_WIN64)
    struct _stat64 status;
    return _stat64(path, &status) == 0;
#else
    struct _stat32 status;
    return _stat32(path, &status) == 0;
#endif
}

bool makeDirectory(const char* path) { return _mkdir(path) == 0; }

void notifyDirectoryMade(const char* path) {
    SHChangeNotify(SHCNE_MKDIR, SHCNF_PATHA, path, nullptr);
}

bool removeDirectory(const char* path) { return RemoveDirectoryA(path) != FALSE; }

void notifyDirectoryRemoved(const char* path) {
    SHChangeNotify(SHCNE_RMDIR, SHCNF_PATHA, path, nullptr);
}

void removeFile(const char* path) { remove(path); }

void initializeCom() { CoInitialize(nullptr); }
void uninitializeCom() { CoUninitialize(); }

ResultCode createShellLink(ShellLink** link) {
    IShellLinkA* object = nullptr;
    HRESULT result = CoCreateInstance(SHELL_LINK_CLASS, nullptr, CLSCTX_INPROC_SERVER,
                                      SHELL_LINK_INTERFACE, reinterpret_cast<void**>(&object));
    *link = SUCCEEDED(result) ? reinterpret_cast<ShellLink*>(object) : nullptr;
    return result;
}

void setTarget(ShellLink* link, const char* target) { linkObject(link)->SetPath(target); }
void setDescription(ShellLink* link, const char* description) {
    linkObject(link)->SetDescription(description);
}
void setWorkingDirectory(ShellLink* link, const char* folder) {
    linkObject(link)->SetWorkingDirectory(folder);
}
void setArguments(ShellLink* link, const char* arguments) { linkObject(link)->SetArguments(arguments); }
void setIcon(ShellLink* link, const char* file, int index) { linkObject(link)->SetIconLocation(file, index); }
void setShowCommand(ShellLink* link, int showCommand) { linkObject(link)->SetShowCmd(showCommand); }

ResultCode queryLinkFile(ShellLink* link, LinkFile** file) {
    IPersistFile* object = nullptr;
    HRESULT result = linkObject(link)->QueryInterface(PERSIST_FILE_INTERFACE, reinterpret_cast<void**>(&object));
    *file = SUCCEEDED(result) ? reinterpret_cast<LinkFile*>(object) : nullptr;
    return result;
}

ResultCode saveLinkFile(LinkFile* file, const char* path) {
    WCHAR wide[PLATFORM_PATH_SIZE];
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide, PLATFORM_PATH_SIZE) == 0) {
        return E_INVALIDARG;
    }
    return fileObject(file)->Save(wide, TRUE);
}

void releaseLinkFile(LinkFile* file) { fileObject(file)->Release(); }
void releaseShellLink(ShellLink* link) { linkObject(link)->Release(); }

}  // namespace shell_platform
