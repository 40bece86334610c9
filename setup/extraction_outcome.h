// What the user is told when extraction fails. Portable: no <windows.h>.
#pragma once

#include <stddef.h>

#include "payload/extract.h"

// The message for a failed extraction; null for EXTRACT_DONE or an unknown
// result (which the sequence treats as done only when it is EXTRACT_DONE).
const char* extractionFailureText(ExtractResult result);

// A setup program whose payload is damaged, found before anything is
// written; shown with the same caption.
extern const char DAMAGED_SETUP_TEXT[];

// "<product> Installation Failed" into the buffer; false when it would not fit.
bool formatExtractionFailureCaption(char* buffer, size_t size, const char* productName);
