#include <windows.h>
#include <stdio.h>

#include "system/service_platform.h"

namespace service_platform {

namespace {

// The service manager's functions, looked up at run time: the Windows 95
// family has no service manager, and the removal runs only on the NT
// family, so setup imports none of them and starts on both.
typedef SC_HANDLE(WINAPI* OpenManagerProc)(LPCSTR, LPCSTR, DWORD);
typedef SC_HANDLE(WINAPI* OpenServiceProc)(SC_HANDLE, LPCSTR, DWORD);
typedef BOOL(WINAPI* ControlServiceProc)(SC_HANDLE, DWORD, LPSERVICE_STATUS);
typedef BOOL(WINAPI* QueryStatusProc)(SC_HANDLE, LPSERVICE_STATUS);
typedef BOOL(WINAPI* HandleProc)(SC_HANDLE);

struct ServiceManager {
    OpenManagerProc openManager;
    OpenServiceProc openService;
    ControlServiceProc control;
    QueryStatusProc query;
    HandleProc remove;
    HandleProc close;
};
ServiceManager manager;  // filled by openManager

template <typename Proc>
bool lookUp(HMODULE module, const char* name, Proc* proc) {
    *proc = reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return *proc != nullptr;
}

bool lookUpServiceManager() {
    // Loaded with setup already: the uninstall entry uses its registry part.
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    return advapi && lookUp(advapi, "OpenSCManagerA", &manager.openManager) &&
           lookUp(advapi, "OpenServiceA", &manager.openService) &&
           lookUp(advapi, "ControlService", &manager.control) &&
           lookUp(advapi, "QueryServiceStatus", &manager.query) &&
           lookUp(advapi, "DeleteService", &manager.remove) &&
           lookUp(advapi, "CloseServiceHandle", &manager.close);
}

SC_HANDLE handleOf(ServiceHandle* handle) { return reinterpret_cast<SC_HANDLE>(handle); }
ServiceHandle* opaque(SC_HANDLE handle) { return reinterpret_cast<ServiceHandle*>(handle); }

}  // namespace

ServiceHandle* openManager() {
    if (!lookUpServiceManager()) return nullptr;
    return opaque(manager.openManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
}

ServiceHandle* openService(ServiceHandle* handle, const char* name) {
    return opaque(manager.openService(handleOf(handle), name, SERVICE_ALL_ACCESS));
}

bool stopService(ServiceHandle* service) {
    SERVICE_STATUS status = {};
    return manager.control(handleOf(service), SERVICE_CONTROL_STOP, &status) != 0;
}

bool queryState(ServiceHandle* service, uint32_t* state) {
    SERVICE_STATUS status = {};
    if (!manager.query(handleOf(service), &status)) return false;
    *state = status.dwCurrentState;
    return true;
}

DeleteResult deleteService(ServiceHandle* service) {
    if (manager.remove(handleOf(service))) return SERVICE_DELETED;
    return GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE ? SERVICE_ALREADY_MARKED
                                                             : SERVICE_DELETE_FAILED;
}

void closeHandle(ServiceHandle* handle) { manager.close(handleOf(handle)); }

// The runtime's own fputs: the formatted printf of these headers is the
// C99 emulation, which would pull its locale code and newer imports into
// setup. Flushed at once: a redirected standard output is fully buffered,
// and a line must not wait for the end of the process to appear.
void printText(const char* text) {
    fputs(text, stdout);
    fflush(stdout);
}

}  // namespace service_platform
