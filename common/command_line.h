// The Windows command line as both programs read it: arguments separated
// by blanks, double quotes joining blanks into one and taken off.
// Portable: no <windows.h>.
#pragma once

#include <stddef.h>

inline bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The next argument of `*line`, its quotes taken off, and `*line` moved past
// it; false at the end or when it does not fit `out`.
bool nextArgument(const char** line, char* out, size_t size);

// The arguments of a whole command line: what follows the program's name,
// which is quoted or ends at the first blank.
const char* argumentsAfterProgramName(const char* commandLine);

// Whether `text` begins with `prefix`, ASCII letters compared without case.
bool startsWithIgnoringCase(const char* text, const char* prefix);
