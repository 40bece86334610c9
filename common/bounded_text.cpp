#include "common/bounded_text.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

// On Windows the runtime's own _vsnprintf: the C99 vsnprintf of the mingw
// runtime is a wrapper that imports GetModuleHandleW, which the Windows 95
// family has only as a stub. Both truncation reports are handled below.
#if defined(_WIN32)
#define formatIntoBuffer _vsnprintf
#else
#define formatIntoBuffer vsnprintf
#endif

bool formatText(char* buffer, size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const bool fits = formatTextWith(buffer, size, format, args);
    va_end(args);
    return fits;
}

bool formatTextWith(char* buffer, size_t size, const char* format, va_list args) {
    if (size == 0) return false;
    // Some runtimes return -1 on truncation instead of the needed length and
    // leave the buffer unterminated; both cases count as "did not fit".
    int length = formatIntoBuffer(buffer, size, format, args);
    if (length < 0 || static_cast<size_t>(length) >= size) {
        buffer[0] = '\0';
        return false;
    }
    return true;
}

bool copyText(char* buffer, size_t size, const char* text) {
    if (size == 0) return false;
    size_t length = strlen(text);
    if (length >= size) {
        buffer[0] = '\0';
        return false;
    }
    memcpy(buffer, text, length + 1);
    return true;
}

bool appendText(char* buffer, size_t size, const char* text) {
    size_t used = strnlen(buffer, size);
    if (used >= size) {
        if (size > 0) buffer[0] = '\0';
        return false;
    }
    size_t length = strlen(text);
    if (used + length >= size) {
        buffer[0] = '\0';
        return false;
    }
    memcpy(buffer + used, text, length + 1);
    return true;
}
