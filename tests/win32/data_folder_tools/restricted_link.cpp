// Saves a shell link from a process whose DLL search is restricted to the
// system directory, the way setup restricts its own at the start:
//
//   restricted_link.exe LINK-FILE TARGET
//
// Exits with 0 once the link is saved, else with the number of the step
// that failed, so that a test can tell which part of the shell refused.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

namespace {

enum Step {
    SAVED = 0,
    USAGE = 1,
    NO_RESTRICTION = 2,   // SetDefaultDllDirectories missing or refused
    COM_REFUSED = 3,      // CoInitialize
    NO_LINK_OBJECT = 4,   // CoCreateInstance(CLSID_ShellLink, IID_IShellLinkA)
    PATH_REFUSED = 5,     // IShellLinkA::SetPath
    NO_PERSIST_FILE = 6,  // QueryInterface(IID_IPersistFile)
    SAVE_FAILED = 7,      // IPersistFile::Save
};

typedef BOOL(WINAPI* SetDefaultDllDirectoriesProc)(DWORD);

// Looked up at run time, as setup does, so that this program runs on
// systems without it and reports that instead of failing to start.
bool restrictDllSearch() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return false;
    SetDefaultDllDirectoriesProc restrict = reinterpret_cast<SetDefaultDllDirectoriesProc>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    return restrict && restrict(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

int saveLink(const char* linkFile, const char* target) {
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link)))) {
        return NO_LINK_OBJECT;
    }
    int result = SAVED;
    IPersistFile* file = nullptr;
    wchar_t widePath[MAX_PATH];
    if (FAILED(link->SetPath(target))) {
        result = PATH_REFUSED;
    } else if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        result = NO_PERSIST_FILE;
    } else if (MultiByteToWideChar(CP_ACP, 0, linkFile, -1, widePath, MAX_PATH) == 0 ||
               FAILED(file->Save(widePath, TRUE))) {
        result = SAVE_FAILED;
    }
    if (file) file->Release();
    link->Release();
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return USAGE;
    if (!restrictDllSearch()) return NO_RESTRICTION;
    if (FAILED(CoInitialize(nullptr))) return COM_REFUSED;
    int result = saveLink(argv[1], argv[2]);
    CoUninitialize();
    return result;
}
