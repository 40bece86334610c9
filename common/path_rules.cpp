#include "common/path_rules.h"

#include <string.h>

#include "common/bounded_text.h"

namespace {

int foldForPath(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A' + 'a';
    if (c == '/') return '\\';
    return static_cast<unsigned char>(c);
}

}  // namespace

bool equalIgnoringCase(const char* a, const char* b, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (foldForPath(a[i]) != foldForPath(b[i])) return false;
    }
    return true;
}

char removeTrailingChar(char* path, char ch) {
    size_t length = strlen(path);
    if (length == 0) return '\0';
    char last = path[length - 1];
    if (last == ch) path[length - 1] = '\0';
    return last;
}

void normalizeSeparators(char* path) {
    char* out = path;
    for (const char* in = path; *in; ++in) {
        if (isPathSeparator(*in)) {
            if (out > path && out[-1] == '\\') continue;
            *out++ = '\\';
        } else {
            *out++ = *in;
        }
    }
    *out = '\0';
}

void cutTrailingSeparators(char* path) {
    size_t length = strlen(path);
    while (length > 0 && isPathSeparator(path[length - 1])) {
        bool root = length == 1 || (length == 3 && path[1] == ':');
        if (root) break;
        path[--length] = '\0';
    }
}

bool joinPath(char* out, size_t size, const char* folder, const char* name) {
    if (!copyText(out, size, folder)) return false;
    size_t length = strlen(out);
    if (length == 0 || !isPathSeparator(out[length - 1])) {
        if (!appendText(out, size, "\\")) return false;
    }
    return appendText(out, size, name);
}
