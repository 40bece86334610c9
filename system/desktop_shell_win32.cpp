// Starting a program as the person at the desktop, for system_platform.h:
// the documented way for an elevated program is to ask the desktop's own
// shell, which runs with that person's token, to start it (the shell
// window's view, its dispatch object, ShellExecute). The automation
// library is no import of ours: it is loaded by its full path in the
// system folder, so that a planted copy is never taken.
#include <windows.h>
#include <exdisp.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "common/bounded_text.h"
#include "system/look_up_win32.h"
#include "system/system_platform.h"

namespace system_platform {

namespace {

typedef BSTR(WINAPI* AllocStringProc)(const OLECHAR*);
typedef void(WINAPI* FreeStringProc)(BSTR);

// The automation library's two string functions, from the system folder.
struct Automation {
    HMODULE library = nullptr;
    AllocStringProc allocString = nullptr;
    FreeStringProc freeString = nullptr;
    bool load() {
        char path[MAX_PATH];
        const UINT length = GetSystemDirectoryA(path, MAX_PATH);
        if (length == 0 || !formatText(path + length, MAX_PATH - length, "\\oleaut32.dll")) {
            return false;
        }
        library = LoadLibraryA(path);
        if (!library) return false;
        allocString = reinterpret_cast<AllocStringProc>(
            reinterpret_cast<void*>(GetProcAddress(library, "SysAllocString")));
        freeString = reinterpret_cast<FreeStringProc>(
            reinterpret_cast<void*>(GetProcAddress(library, "SysFreeString")));
        return allocString && freeString;
    }
    ~Automation() {
        if (library) FreeLibrary(library);
    }
    // A text of the ANSI code page as an automation string; null when it
    // cannot be made.
    BSTR string(const char* text) const {
        WCHAR wide[2 * MAX_PATH];
        if (!MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 2 * MAX_PATH)) return nullptr;
        return allocString(wide);
    }
};

// VT_EMPTY: a variant of zero bytes, made without the automation library.
VARIANT emptyVariant() {
    VARIANT variant;
    ZeroMemory(&variant, sizeof variant);
    return variant;
}

template <typename Interface>
void release(Interface*& object) {
    if (object) object->Release();
    object = nullptr;
}

// The desktop shell's automation object (IShellDispatch2); null when it
// cannot be reached.
IShellDispatch2* desktopShell() {
    IShellWindows* windows = nullptr;
    IDispatch* desktop = nullptr;
    IServiceProvider* provider = nullptr;
    IShellBrowser* browser = nullptr;
    IShellView* view = nullptr;
    IDispatch* background = nullptr;
    IShellFolderViewDual* folderView = nullptr;
    IDispatch* application = nullptr;
    IShellDispatch2* shell = nullptr;
    VARIANT location = emptyVariant(), root = emptyVariant();
    location.vt = VT_I4;
    location.lVal = CSIDL_DESKTOP;
    long window = 0;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER,
                                   IID_IShellWindows, reinterpret_cast<void**>(&windows))) &&
        windows->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                              &desktop) == S_OK &&
        desktop &&
        SUCCEEDED(desktop->QueryInterface(IID_IServiceProvider,
                                          reinterpret_cast<void**>(&provider))) &&
        SUCCEEDED(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                         reinterpret_cast<void**>(&browser))) &&
        SUCCEEDED(browser->QueryActiveShellView(&view)) &&
        SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch,
                                      reinterpret_cast<void**>(&background))) &&
        SUCCEEDED(background->QueryInterface(IID_IShellFolderViewDual,
                                             reinterpret_cast<void**>(&folderView))) &&
        SUCCEEDED(folderView->get_Application(&application))) {
        application->QueryInterface(IID_IShellDispatch2, reinterpret_cast<void**>(&shell));
    }
    release(application);
    release(folderView);
    release(background);
    release(view);
    release(browser);
    release(provider);
    release(desktop);
    release(windows);
    return shell;
}

}  // namespace

bool runsElevatedOnVistaOrLater() {
    typedef BOOL(WINAPI * OpenTokenProc)(HANDLE, DWORD, PHANDLE);
    typedef BOOL(WINAPI * TokenInformationProc)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD,
                                                PDWORD);
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version) || version.dwPlatformId != VER_PLATFORM_WIN32_NT ||
        version.dwMajorVersion < 6) {
        return false;
    }
    const auto openToken = lookUpSystemFunction<OpenTokenProc>("advapi32.dll", "OpenProcessToken");
    const auto information =
        lookUpSystemFunction<TokenInformationProc>("advapi32.dll", "GetTokenInformation");
    HANDLE token = nullptr;
    if (!openToken || !information || !openToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return false;
    }
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    const bool elevated =
        information(token, TokenElevation, &elevation, sizeof elevation, &size) &&
        elevation.TokenIsElevated != 0;
    CloseHandle(token);
    return elevated;
}

bool startThroughDesktopShell(const char* program, const char* arguments, const char* folder) {
    Automation automation;
    if (FAILED(CoInitialize(nullptr))) return false;
    bool started = false;
    IShellDispatch2* shell = automation.load() ? desktopShell() : nullptr;
    if (shell) {
        BSTR file = automation.string(program);
        VARIANT parameters = emptyVariant(), directory = emptyVariant();
        VARIANT operation = emptyVariant(), show = emptyVariant();
        parameters.vt = VT_BSTR;
        parameters.bstrVal = automation.string(arguments);
        directory.vt = VT_BSTR;
        directory.bstrVal = automation.string(folder);
        show.vt = VT_I4;
        show.lVal = SW_SHOW;
        started = file && parameters.bstrVal && directory.bstrVal &&
                  SUCCEEDED(shell->ShellExecute(file, parameters, directory, operation, show));
        if (file) automation.freeString(file);
        if (parameters.bstrVal) automation.freeString(parameters.bstrVal);
        if (directory.bstrVal) automation.freeString(directory.bstrVal);
        shell->Release();
    }
    CoUninitialize();
    return started;
}

}  // namespace system_platform
