// The product's NT service left by an earlier installation is stopped and
// deleted before its files are replaced. Portable: the service manager
// comes through service_platform.h.
#pragma once

// Polls of a service that stays stop-pending, one second each, before the
// removal gives up waiting and deletes it anyway: a hung service must not
// hang the setup.
enum { STOP_POLL_LIMIT = 120 };

// Stops and deletes the service named `serviceName` of the product record.
// 0: removed, or none of that name could be opened (taken as not
// installed); -1: the manager cannot be opened or the service not deleted.
int removeOldService();

// The same for the service `name`.
int removeServiceNamed(const char* name);
