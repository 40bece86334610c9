// Facts about the payload's names that the data folder choice needs.
#pragma once

#include <stddef.h>

#include "payload/payload_table.h"

// The longest name that setup makes below the data folder: a payload name
// kept aside under KEPT_SUFFIX during an upgrade, or the upgrade's journal.
// "SYSTEM" names go to the system directory and do not count.
size_t longestDataFolderName(const PayloadTable& table);
