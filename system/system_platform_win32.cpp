#include <windows.h>
#include <process.h>

#include "system/look_up_win32.h"
#include "system/system_platform.h"

namespace system_platform {

namespace {
typedef BOOL(WINAPI* SetDefaultDllDirectoriesProc)(DWORD);
}  // namespace

// DLLs are then searched in the system directory only, so a setup started
// from a downloads folder loads nothing planted beside it. Looked up at run
// time: the Windows 95 family and early NT systems lack it, and there the
// run goes on as before.
void restrictDllSearch() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return;
    SetDefaultDllDirectoriesProc restrict = reinterpret_cast<SetDefaultDllDirectoriesProc>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (restrict) restrict(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// GetVersionExA cannot fail with a correctly sized record; should it fail
// anyway, the record stays zeroed and the run counts as the Windows 95
// family (platform 0), which skips the NT-only stages.
uint32_t platformId() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;  // 148 bytes
    GetVersionExA(&version);
    return version.dwPlatformId;
}


namespace {
HKEY handleOf(RegistryKey* key) { return reinterpret_cast<HKEY>(key); }
}  // namespace

RegistryKey* createMachineKey(const char* path) {
    HKEY key = nullptr;
    DWORD disposition = 0;  // created or opened: either will do
    char noClass[] = "";
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, noClass, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS) {
        return nullptr;
    }
    return reinterpret_cast<RegistryKey*>(key);
}

void setTextValue(RegistryKey* key, const char* name, const char* text) {
    // The stored length counts the terminating NUL.
    RegSetValueExA(handleOf(key), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(lstrlenA(text) + 1));
}

void setNumberValue(RegistryKey* key, const char* name, uint32_t number) {
    DWORD value = number;
    RegSetValueExA(handleOf(key), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof value);
}

void closeKey(RegistryKey* key) { RegCloseKey(handleOf(key)); }

void deleteValue(RegistryKey* key, const char* name) { RegDeleteValueA(handleOf(key), name); }

bool deleteMachineKey(const char* path) {
    const LONG result = RegDeleteKeyA(HKEY_LOCAL_MACHINE, path);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

void readSetting(const char* file, const char* section, const char* key, const char* fallback,
                 char* value, size_t size) {
    GetPrivateProfileStringA(section, key, fallback, value, static_cast<DWORD>(size), file);
}

void writeSetting(const char* file, const char* section, const char* key, const char* value) {
    WritePrivateProfileStringA(section, key, value, file);
}

void startProgram(const char* commandLine) { WinExec(commandLine, SW_SHOW); }

int runAndWait(const char* path, const char* argumentZero, const char* first,
               const char* second) {
    return static_cast<int>(_spawnl(_P_WAIT, path, argumentZero, first, second, nullptr));
}

void debugOutput(const char* text) { OutputDebugStringA(text); }

namespace {

// The account of `process` as text. The token functions are looked up: the
// 95 family's advapi32 only pretends to have them, and the text form came
// with Windows 2000.
bool accountOf(HANDLE process, char* sid, size_t size) {
    typedef BOOL(WINAPI * SidToTextProc)(PSID, LPSTR*);
    typedef BOOL(WINAPI * OpenTokenProc)(HANDLE, DWORD, PHANDLE);
    typedef BOOL(WINAPI * TokenInformationProc)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD,
                                                PDWORD);
    if (GetVersion() & 0x80000000u) return false;
    const auto sidToText = lookUpSystemFunction<SidToTextProc>("advapi32.dll", "ConvertSidToStringSidA");
    const auto openToken = lookUpSystemFunction<OpenTokenProc>("advapi32.dll", "OpenProcessToken");
    const auto tokenInformation =
        lookUpSystemFunction<TokenInformationProc>("advapi32.dll", "GetTokenInformation");
    HANDLE token = nullptr;
    if (!sidToText || !openToken || !tokenInformation || !openToken(process, TOKEN_QUERY, &token)) {
        return false;
    }
    union {
        TOKEN_USER user;
        BYTE bytes[256];
    } buffer;
    DWORD needed = 0;
    char* text = nullptr;
    const bool found = tokenInformation(token, TokenUser, &buffer, sizeof buffer, &needed) &&
                       sidToText(buffer.user.User.Sid, &text) && lstrlenA(text) < static_cast<int>(size);
    if (found) lstrcpyA(sid, text);
    if (text) LocalFree(text);
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

}  // namespace system_platform
