// Runs inside the program under test as its thread's CBT hook and notes
// each top-level window that the program destroys by itself, one caption
// a line, in the file named by TW_WINDOW_SPY_RECORD in the program's
// environment (inherited from the test that started it).
//
// A window that is still open when the program ends is freed by the system
// without any hook being called, so the record tells a window the program
// closed apart from one it left on the screen until its end, which no poll
// from outside can do when the two happen a moment apart.
//
// With TW_REGISTRY_SPY_RECORD set as well, it notes each text value the
// program writes, as the program counts it: "<name>=<text> (<count> bytes)".
// The registry read back cannot tell a count that leaves out the
// terminating NUL: Wine's RegSetValueExA counts it itself then, as it says
// NT does.
#include <windows.h>

namespace {

const char RECORD_VARIABLE[] = "TW_WINDOW_SPY_RECORD";
const char REGISTRY_RECORD_VARIABLE[] = "TW_REGISTRY_SPY_RECORD";

void appendLine(const char* path, const char* text) {
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(lstrlenA(text)), &written, nullptr);
    WriteFile(file, "\n", 1, &written, nullptr);
    CloseHandle(file);
}

bool recordPath(const char* variable, char (&path)[MAX_PATH]) {
    DWORD length = GetEnvironmentVariableA(variable, path, sizeof path);
    return length > 0 && length < sizeof path;
}

using SetValue = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD);
SetValue systemSetValue = nullptr;

LONG WINAPI recordingSetValue(HKEY key, LPCSTR name, DWORD reserved, DWORD type,
                              const BYTE* data, DWORD count) {
    char path[MAX_PATH];
    if (type == REG_SZ && data && recordPath(REGISTRY_RECORD_VARIABLE, path)) {
        char line[1024];  // as much as wsprintfA writes
        wsprintfA(line, "%.200s=%.780s (%lu bytes)", name ? name : "",
                  reinterpret_cast<const char*>(data), count);
        appendLine(path, line);
    }
    return systemSetValue(key, name, reserved, type, data, count);
}

// Points the program's own import of RegSetValueExA at the recorder. The
// spy stays loaded from then on: unhooked, the system could unload it while
// the program still calls through it.
void recordTextValues() {
    HMODULE self = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                            reinterpret_cast<LPCSTR>(&recordingSetValue), &self)) {
        return;
    }
    BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const IMAGE_NT_HEADERS* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return;
    for (const IMAGE_IMPORT_DESCRIPTOR* library =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         library->Name; ++library) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + library->Name), "advapi32.dll") != 0 ||
            !library->OriginalFirstThunk) {
            continue;
        }
        const IMAGE_THUNK_DATA* names =
            reinterpret_cast<const IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
        IMAGE_THUNK_DATA* addresses = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++addresses) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal) ||
                lstrcmpA(reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)
                             ->Name,
                         "RegSetValueExA") != 0) {
                continue;
            }
            DWORD protection = 0;
            if (!VirtualProtect(&addresses->u1.Function, sizeof addresses->u1.Function,
                                PAGE_READWRITE, &protection)) {
                return;
            }
            systemSetValue = reinterpret_cast<SetValue>(addresses->u1.Function);
            addresses->u1.Function = reinterpret_cast<ULONG_PTR>(&recordingSetValue);
            VirtualProtect(&addresses->u1.Function, sizeof addresses->u1.Function, protection,
                           &protection);
        }
    }
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK windowSpyHook(int code, WPARAM wParam,
                                                                LPARAM lParam) {
    // The hook runs only inside the program, never in the test that set it.
    static bool recording = false;
    char path[MAX_PATH];
    if (!recording && recordPath(REGISTRY_RECORD_VARIABLE, path)) {
        recording = true;
        recordTextValues();
    }
    if (code == HCBT_DESTROYWND) {
        HWND window = reinterpret_cast<HWND>(wParam);
        if (recordPath(RECORD_VARIABLE, path) && !(GetWindowLongA(window, GWL_STYLE) & WS_CHILD)) {
            char caption[512] = "";
            GetWindowTextA(window, caption, sizeof caption);
            appendLine(path, caption);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
