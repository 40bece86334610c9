#include <windows.h>
#include <process.h>

#include "system/system_platform.h"

namespace system_platform {

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

void startProgram(const char* commandLine) { WinExec(commandLine, SW_SHOW); }

int runAndWait(const char* path, const char* argumentZero, const char* first,
               const char* second) {
    return static_cast<int>(_spawnl(_P_WAIT, path, argumentZero, first, second, nullptr));
}

void debugOutput(const char* text) { OutputDebugStringA(text); }

}  // namespace system_platform
