#include "common/command_line.h"

bool nextArgument(const char** line, char* out, size_t size) {
    const char* p = *line;
    while (isBlank(*p)) ++p;
    if (!*p) return false;
    size_t length = 0;
    bool quoted = false;
    for (; *p && (quoted || !isBlank(*p)); ++p) {
        if (*p == '"') {
            quoted = !quoted;
            continue;
        }
        if (length + 1 >= size) return false;
        out[length++] = *p;
    }
    out[length] = '\0';
    *line = p;
    return true;
}

const char* argumentsAfterProgramName(const char* commandLine) {
    const char* p = commandLine;
    if (*p == '"') {
        for (++p; *p && *p != '"'; ++p) {
        }
        if (*p) ++p;
    } else {
        while (*p && !isBlank(*p)) ++p;
    }
    return p;
}

bool startsWithIgnoringCase(const char* text, const char* prefix) {
    for (; *prefix; ++text, ++prefix) {
        const char a = (*text >= 'a' && *text <= 'z') ? static_cast<char>(*text - 32) : *text;
        const char b = (*prefix >= 'a' && *prefix <= 'z') ? static_cast<char>(*prefix - 32) : *prefix;
        if (a != b) return false;
    }
    return true;
}
