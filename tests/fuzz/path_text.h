// The path rules over std::string, for targets that compare whole texts.
#pragma once

#include <string>
#include <vector>

#include "common/path_rules.h"

inline std::string normalized(const std::string& path) {
    std::vector<char> buffer(path.begin(), path.end());
    buffer.push_back('\0');
    normalizeSeparators(buffer.data());
    return buffer.data();
}

inline std::string cut(const std::string& path) {
    std::vector<char> buffer(path.begin(), path.end());
    buffer.push_back('\0');
    cutTrailingSeparators(buffer.data());
    return buffer.data();
}
