// The service manager, as the removal of an old service needs it, and the
// standard output its progress lines go to. service_platform_win32.cpp
// does it with the Service Control Manager and the runtime's printf; the
// native tests link a stand-in whose service follows a script of states.
#pragma once

#include <stdint.h>

namespace service_platform {

struct ServiceHandle;  // the manager or one service, opaque to the logic

// The states a service reports (SERVICE_STATUS's dwCurrentState).
enum { SERVICE_STOPPED_STATE = 1, SERVICE_STOP_PENDING_STATE = 3 };

// The local machine's manager with full access; null when it cannot be
// opened (for example without administrator rights).
ServiceHandle* openManager();
// The named service with full access; null when it is not installed or
// cannot be opened.
ServiceHandle* openService(ServiceHandle* manager, const char* name);
// The stop control; false when the service refuses it (not running, say).
bool stopService(ServiceHandle* service);
// The current state; false, with `state` unchanged, when the query fails.
bool queryState(ServiceHandle* service, uint32_t* state);
// Marks the service for deletion: done, already marked by an earlier
// deletion (the system removes it once its last handle closes), or failed.
enum DeleteResult { SERVICE_DELETED, SERVICE_ALREADY_MARKED, SERVICE_DELETE_FAILED };
DeleteResult deleteService(ServiceHandle* service);
void closeHandle(ServiceHandle* handle);

// Text to standard output as it stands, no line end added; invisible in a
// GUI run unless its output is redirected.
void printText(const char* text);

}  // namespace service_platform
