#include "state/run_log.h"

#include <stdarg.h>

#include "common/bounded_text.h"
#include "common/path_rules.h"

namespace {

RunLogSink logSink = nullptr;

}  // namespace

void setRunLogSink(RunLogSink sink) { logSink = sink; }

void logStep(const char* format, ...) {
    if (!logSink) return;
    char line[2 * PATH_BUFFER_SIZE];
    va_list args;
    va_start(args, format);
    if (!formatTextWith(line, sizeof line, format, args)) copyText(line, sizeof line, format);
    va_end(args);
    logSink(line);
}
