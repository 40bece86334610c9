// The product's NT service left by an earlier installation is stopped and
// deleted before its files are replaced. Portable: the service manager
// comes through service_platform.h.
#pragma once

// Polls of a service that stays stop-pending, one second each, before the
// removal gives up waiting and deletes it anyway: a hung service must not
// hang the setup.
enum { STOP_POLL_LIMIT = 120 };

// How a removal went, for a caller that must know more than setup does.
enum ServiceRemoval {
    SERVICE_NOT_INSTALLED,   // none of that name could be opened
    SERVICE_REMOVED,         // deleted, and stopped or not running
    SERVICE_STILL_RUNNING,   // deleted, but it did not stop within the wait
    SERVICE_MARKED_BEFORE,   // stopped, and marked for deletion by an earlier removal
    SERVICE_NO_MANAGER,      // the manager cannot be opened
    SERVICE_NOT_DELETED,     // the deletion failed
};

// Stops the service `name` and waits, a second at a time, up to
// STOP_POLL_LIMIT polls while it is stopping; then marks it for deletion,
// stopped or not, and says how that went. A service that took the stop
// runs on unless it was last seen stopped; one that refused it (most often
// because it does not run) is stopped unless a query says otherwise.
ServiceRemoval removeService(const char* name);

// Stops and deletes the service named `serviceName` of the product record.
// 0: removed, or none of that name could be opened (taken as not
// installed); -1: the manager cannot be opened or the service not deleted.
int removeOldService();

// The same for the service `name`.
int removeServiceNamed(const char* name);
