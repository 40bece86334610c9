#include <windows.h>
#include <process.h>

#include "common/bounded_text.h"
#include "system/look_up_win32.h"
#include "system/system_platform.h"

namespace system_platform {

// DLLs are then searched in the system directory only, so a setup started
// from a downloads folder loads nothing planted beside it. Looked up at run
// time: the Windows 95 family and early NT systems lack it, and there the
// run goes on as before.
void restrictDllSearch() {
    typedef BOOL(WINAPI * RestrictProc)(DWORD);
    const auto restrict =
        lookUpSystemFunction<RestrictProc>("kernel32.dll", "SetDefaultDllDirectories");
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

bool writeSetting(const char* file, const char* section, const char* key, const char* value) {
    return WritePrivateProfileStringA(section, key, value, file) != FALSE;
}

const char* commandLine() { return GetCommandLineA(); }

bool appendLine(const char* path, const char* line) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const DWORD length = static_cast<DWORD>(lstrlenA(line));
    const bool ok = SetFilePointer(file, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER &&
                    WriteFile(file, line, length, &written, nullptr) && written == length &&
                    WriteFile(file, "\r\n", 2, &written, nullptr) && written == 2;
    return CloseHandle(file) && ok;
}

void localTime(char* out, size_t size) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    formatText(out, size, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay,
               now.wHour, now.wMinute, now.wSecond);
}

void pause(int32_t ms) {
    if (ms > 0) Sleep(static_cast<DWORD>(ms));
}

void startProgram(const char* commandLine) { WinExec(commandLine, SW_SHOW); }

int runAndWait(const char* path, const char* argumentZero, const char* first,
               const char* second) {
    return static_cast<int>(_spawnl(_P_WAIT, path, argumentZero, first, second, nullptr));
}

void debugOutput(const char* text) { OutputDebugStringA(text); }

}  // namespace system_platform
