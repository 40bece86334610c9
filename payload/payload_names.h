// Facts about the payload's names that the data folder choice needs.
#pragma once

#include <stddef.h>

#include "payload/payload_table.h"

// The longest name that lands below the data folder; "SYSTEM" names go to
// the system directory and do not count.
size_t longestDataFolderName(const PayloadTable& table);
