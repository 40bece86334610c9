// What the user is told when extraction fails. Portable: no <windows.h>.
#pragma once

#include <stddef.h>

#include "payload/extract.h"

// The message for a failed extraction; null for EXTRACT_DONE or an unknown
// result (which the sequence treats as done only when it is EXTRACT_DONE).
const char* extractionFailureText(ExtractResult result);

// What became of the installation that the failed run was to replace.
enum EarlierInstallation {
    EARLIER_NOT_TOUCHED,   // no file of it was kept aside
    EARLIER_RESTORED,      // every file kept aside is back
    EARLIER_NOT_RESTORED,  // some are not, yet
};

// The message for a failed extraction, followed by what became of the
// earlier installation and of its service; false when it does not fit.
bool formatExtractionFailureText(char* buffer, size_t size, ExtractResult result,
                                 EarlierInstallation earlier, bool serviceLost);

// A setup program whose payload is damaged, found before anything is
// written; shown with the same caption.
extern const char DAMAGED_SETUP_TEXT[];

// "<product> Installation Failed" into the buffer; false when it would not fit.
bool formatExtractionFailureCaption(char* buffer, size_t size, const char* productName);
