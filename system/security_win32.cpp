// Accounts and folder security on the NT family, for system_platform.h:
// who this process and the desktop run as, and the access lists of the
// folders that programs with more rights than the user run from. Every
// function of the security API is looked up at run time: the 95 family's
// advapi32 only pretends to have them, and their text forms came with
// Windows 2000. What is decided from them is decided in portable code.
#include <windows.h>

#include "system/look_up_win32.h"
#include "system/system_platform.h"

namespace system_platform {

namespace {

bool windows95Family() { return (GetVersion() & 0x80000000u) != 0; }

template <typename Function>
Function advapi(const char* name) {
    return windows95Family() ? nullptr : lookUpSystemFunction<Function>("advapi32.dll", name);
}

typedef BOOL(WINAPI* ConvertProc)(LPCSTR, DWORD, PSECURITY_DESCRIPTOR*, PULONG);
const char CONVERT_NAME[] = "ConvertStringSecurityDescriptorToSecurityDescriptorA";

// A descriptor in the descriptor language made binary; null when it cannot
// be. Freed with LocalFree.
PSECURITY_DESCRIPTOR binaryDescriptor(const char* text) {
    const auto convert = advapi<ConvertProc>(CONVERT_NAME);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    // Revision 1 of the language, the only one there is.
    if (!convert || !convert(text, 1, &descriptor, nullptr)) return nullptr;
    return descriptor;
}

bool sidText(PSID sid, char* out, size_t size) {
    typedef BOOL(WINAPI * SidToTextProc)(PSID, LPSTR*);
    const auto sidToText = advapi<SidToTextProc>("ConvertSidToStringSidA");
    char* text = nullptr;
    const bool found = sid && sidToText && sidToText(sid, &text) &&
                       lstrlenA(text) < static_cast<int>(size);
    if (found) lstrcpyA(out, text);
    if (text) LocalFree(text);
    return found;
}

bool accountOf(HANDLE process, char* sid, size_t size) {
    typedef BOOL(WINAPI * OpenTokenProc)(HANDLE, DWORD, PHANDLE);
    typedef BOOL(WINAPI * TokenInformationProc)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD,
                                                PDWORD);
    const auto openToken = advapi<OpenTokenProc>("OpenProcessToken");
    const auto tokenInformation = advapi<TokenInformationProc>("GetTokenInformation");
    HANDLE token = nullptr;
    if (!openToken || !tokenInformation || !openToken(process, TOKEN_QUERY, &token)) return false;
    union {
        TOKEN_USER user;
        BYTE bytes[256];
    } buffer;
    DWORD needed = 0;
    const bool found = tokenInformation(token, TokenUser, &buffer, sizeof buffer, &needed) &&
                       sidText(buffer.user.User.Sid, sid, size);
    CloseHandle(token);
    return found;
}

}  // namespace

bool processAccount(char* sid, size_t size) { return accountOf(GetCurrentProcess(), sid, size); }

bool desktopAccount(char* sid, size_t size) {
    typedef HWND(WINAPI * ShellWindowProc)();
    const auto shellWindow = lookUpSystemFunction<ShellWindowProc>("user32.dll", "GetShellWindow");
    HWND shell = shellWindow ? shellWindow() : nullptr;
    DWORD id = 0;
    if (!shell || !GetWindowThreadProcessId(shell, &id) || id == 0) return false;
    // The limited right (Vista on) is enough and works across integrity
    // levels; older systems know only the full one.
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (!process) process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id);
    if (!process) return false;
    const bool found = accountOf(process, sid, size);
    CloseHandle(process);
    return found;
}

FolderMade createFolder(const char* path, const char* securityDescriptor) {
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, FALSE};
    // NT 4 and the 95 family have no descriptor language: there the folder
    // takes its parent's list.
    if (securityDescriptor && advapi<ConvertProc>(CONVERT_NAME)) {
        attributes.lpSecurityDescriptor = binaryDescriptor(securityDescriptor);
        if (!attributes.lpSecurityDescriptor) return FOLDER_FAILED;
    }
    const bool made = CreateDirectoryA(path, &attributes) != FALSE;
    const DWORD error = GetLastError();
    if (attributes.lpSecurityDescriptor) LocalFree(attributes.lpSecurityDescriptor);
    if (made) return FOLDER_MADE;
    return error == ERROR_ALREADY_EXISTS ? FOLDER_EXISTS : FOLDER_FAILED;
}

bool readFolderSecurity(const char* path, FolderSecurity* security) {
    typedef DWORD(WINAPI * ReadProc)(LPCSTR, DWORD, SECURITY_INFORMATION, PSID*, PSID*, PACL*,
                                     PACL*, PSECURITY_DESCRIPTOR*);
    typedef BOOL(WINAPI * AceProc)(PACL, DWORD, LPVOID*);
    const auto read = advapi<ReadProc>("GetNamedSecurityInfoA");
    const auto aceAt = advapi<AceProc>("GetAce");
    const DWORD attributes = GetFileAttributesA(path);
    if (!read || !aceAt || attributes == INVALID_FILE_ATTRIBUTES) return false;
    security->isLink = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    PSID owner = nullptr;
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD fileObject = 1;  // SE_FILE_OBJECT
    if (read(path, fileObject, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
             nullptr, &list, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    bool ok = sidText(owner, security->owner, sizeof security->owner);
    security->entryCount = 0;
    if (ok && !list) {
        lstrcpyA(security->entries[0].trustee, "S-1-1-0");
        security->entries[0].rights = GENERIC_ALL;
        security->entryCount = 1;
    }
    for (DWORD i = 0; ok && list && i < list->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        ok = aceAt(list, i, reinterpret_cast<LPVOID*>(&header)) != FALSE;
        if (!ok || header->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
        ok = security->entryCount < MAX_ACCESS_ENTRIES;
        if (!ok) break;
        ACCESS_ALLOWED_ACE* entry = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        AccessEntry& kept = security->entries[security->entryCount++];
        kept.rights = entry->Mask;
        ok = sidText(&entry->SidStart, kept.trustee, sizeof kept.trustee);
    }
    LocalFree(descriptor);
    return ok;
}

bool takeOverFolder(const char* path, const char* securityDescriptor) {
    typedef DWORD(WINAPI * WriteProc)(LPSTR, DWORD, SECURITY_INFORMATION, PSID, PSID, PACL, PACL);
    typedef BOOL(WINAPI * OwnerProc)(PSECURITY_DESCRIPTOR, PSID*, LPBOOL);
    typedef BOOL(WINAPI * ListProc)(PSECURITY_DESCRIPTOR, LPBOOL, PACL*, LPBOOL);
    const auto write = advapi<WriteProc>("SetNamedSecurityInfoA");
    const auto ownerOf = advapi<OwnerProc>("GetSecurityDescriptorOwner");
    const auto listOf = advapi<ListProc>("GetSecurityDescriptorDacl");
    PSECURITY_DESCRIPTOR descriptor = write && ownerOf && listOf ? binaryDescriptor(securityDescriptor)
                                                                 : nullptr;
    PSID owner = nullptr;
    PACL list = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    // The function takes the name as writable, though it does not write it.
    char name[MAX_PATH];
    const bool ok = descriptor && lstrlenA(path) < MAX_PATH && ownerOf(descriptor, &owner, &defaulted) &&
                    listOf(descriptor, &present, &list, &defaulted) && lstrcpyA(name, path) &&
                    write(name, 1,
                          OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                              PROTECTED_DACL_SECURITY_INFORMATION,
                          owner, nullptr, list, nullptr) == ERROR_SUCCESS;
    if (descriptor) LocalFree(descriptor);
    return ok;
}

}  // namespace system_platform
