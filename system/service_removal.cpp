#include "system/service_removal.h"

#include <stdint.h>

#include "common/bounded_text.h"
#include "state/installer_config.h"
#include "state/setup_state.h"
#include "system/service_platform.h"
#include "system/timed_wait.h"

using namespace service_platform;

namespace {

// One progress line with the service's name; a line that does not fit is
// not printed.
void printNamed(const char* format, const char* name) {
    char line[TEXT_BUFFER_SIZE];
    if (formatText(line, sizeof line, format, name)) printText(line);
}

// Waits, a second at a time, while the service reports it is stopping, and
// says how that ended. A failed query ends the wait with the state last
// known; so does the poll limit. True when it was last seen stopped.
bool waitForStop(ServiceHandle* service, const char* name) {
    printNamed("Stopping %s.", name);
    showBusyAnimation(1000);
    uint32_t state = 0;
    for (int poll = 0; poll < STOP_POLL_LIMIT; ++poll) {
        if (!queryState(service, &state) || state != SERVICE_STOP_PENDING_STATE) break;
        printText(".");
        showBusyAnimation(1000);
    }
    printNamed(state == SERVICE_STOPPED_STATE ? "\n%s stopped.\n" : "\n%s failed to stop.\n",
               name);
    return state == SERVICE_STOPPED_STATE;
}

// A service that refused the stop runs on only when it says so.
bool stoppedWithoutWait(ServiceHandle* service) {
    uint32_t state = SERVICE_STOPPED_STATE;
    queryState(service, &state);
    return state == SERVICE_STOPPED_STATE;
}

}  // namespace

int removeOldService() { return removeServiceNamed(installerConfig.serviceName); }

int removeServiceNamed(const char* name) {
    switch (removeService(name)) {
    case SERVICE_NOT_INSTALLED:
    case SERVICE_REMOVED:
    case SERVICE_STILL_RUNNING:
        return 0;
    case SERVICE_MARKED_BEFORE:
    case SERVICE_NO_MANAGER:
    case SERVICE_NOT_DELETED:
        break;
    }
    return -1;
}

ServiceRemoval removeService(const char* name) {
    ServiceHandle* manager = openManager();
    if (!manager) {
        printText("OpenSCManager failed\n");
        return SERVICE_NO_MANAGER;
    }
    ServiceHandle* service = openService(manager, name);
    if (!service) {
        printText("OpenService failed\n");
        closeHandle(manager);
        return SERVICE_NOT_INSTALLED;
    }
    // A refused stop (the service is not running) needs no wait. A service
    // that did not stop is deleted all the same: the system removes it once
    // it has stopped.
    const bool stopped = stopService(service) ? waitForStop(service, name) : stoppedWithoutWait(service);
    ServiceRemoval result = stopped ? SERVICE_REMOVED : SERVICE_STILL_RUNNING;
    switch (deleteService(service)) {
    case SERVICE_DELETED:
        printNamed("%s removed.\n", name);
        break;
    case SERVICE_ALREADY_MARKED:
        printText("DeleteService failed\n");
        result = stopped ? SERVICE_MARKED_BEFORE : SERVICE_NOT_DELETED;
        break;
    case SERVICE_DELETE_FAILED:
        printText("DeleteService failed\n");
        result = SERVICE_NOT_DELETED;
        break;
    }
    closeHandle(service);
    closeHandle(manager);
    return result;
}
