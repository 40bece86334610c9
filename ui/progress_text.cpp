#include "ui/progress_text.h"

#include "common/bounded_text.h"

bool formatPercentLine(char* buffer, size_t size, int percent) {
    return formatText(buffer, size, "Percent Complete: %d%%", percent);
}
