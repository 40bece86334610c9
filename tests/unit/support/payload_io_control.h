// Fault injection and stand-ins for the host implementation of payload_io.
// The host plays Windows: "\" is a separator, and the system directory is a
// folder the test names.
#pragma once

#include <string>
#include <vector>

namespace payload_io_control {

void reset();  // no faults, no system directory

void setSystemDirectory(const std::string& directory);
void failSystemDirectory();
void failAllocation();
void shortWriteOnCall(int writeNumber);  // 1-based count of write calls
void failCloseOnCall(int closeNumber);   // 1-based count of closes of written files
void denyWriteAccess(const std::string& path);  // as if another program held it
void failRemove(const std::string& path);
void failRemoveAtRestart();
// The paths given to removeAtRestart, as given.
const std::vector<std::string>& dueAtRestart();

int writeCalls();
int allocations();

}  // namespace payload_io_control
