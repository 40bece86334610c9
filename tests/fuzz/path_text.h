// The path rules over std::string, for targets that compare whole texts.
#pragma once

#include <cstring>
#include <string>

#include "common/path_rules.h"

// The rule runs on the string's own buffer, which ends in a NUL; a path
// with a NUL inside ends there, as the C rules read it.
inline std::string normalized(std::string path) {
    normalizeSeparators(&path[0]);
    path.resize(strlen(path.c_str()));
    return path;
}

inline std::string cut(std::string path) {
    cutTrailingSeparators(&path[0]);
    path.resize(strlen(path.c_str()));
    return path;
}
