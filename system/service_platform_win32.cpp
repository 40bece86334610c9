#include <windows.h>
#include <stdio.h>

#include "system/service_platform.h"

namespace service_platform {

namespace {
SC_HANDLE handleOf(ServiceHandle* handle) { return reinterpret_cast<SC_HANDLE>(handle); }
ServiceHandle* opaque(SC_HANDLE handle) { return reinterpret_cast<ServiceHandle*>(handle); }
}  // namespace

ServiceHandle* openManager() {
    return opaque(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
}

ServiceHandle* openService(ServiceHandle* manager, const char* name) {
    return opaque(OpenServiceA(handleOf(manager), name, SERVICE_ALL_ACCESS));
}

bool stopService(ServiceHandle* service) {
    SERVICE_STATUS status = {};
    return ControlService(handleOf(service), SERVICE_CONTROL_STOP, &status) != 0;
}

bool queryState(ServiceHandle* service, uint32_t* state) {
    SERVICE_STATUS status = {};
    if (!QueryServiceStatus(handleOf(service), &status)) return false;
    *state = status.dwCurrentState;
    return true;
}

bool deleteService(ServiceHandle* service) { return DeleteService(handleOf(service)) != 0; }

void closeHandle(ServiceHandle* handle) { CloseServiceHandle(handleOf(handle)); }

// Flushed at once: a redirected standard output is fully buffered, and a
// line must not wait for the end of the process to appear.
void printText(const char* text) {
    printf("%s", text);
    fflush(stdout);
}

}  // namespace service_platform
