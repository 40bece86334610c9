// The one way texts are put into fixed buffers. Every function reports
// whether the whole text fit; a text that does not fit leaves the buffer
// empty, so a shortened path can never be used by mistake.
#pragma once

#include <stdarg.h>
#include <stddef.h>

bool formatText(char* buffer, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
bool formatTextWith(char* buffer, size_t size, const char* format, va_list args);
bool copyText(char* buffer, size_t size, const char* text);
bool appendText(char* buffer, size_t size, const char* text);
