#include "scripted_user/transcript.h"

#include <stdio.h>

#include <algorithm>

namespace scripted_user {

void Transcript::add(const char* kind, const std::string& text) {
    std::string line = std::string(kind) + ": ";
    for (char c : text) {
        if (c == '\r') line += "\\r";
        else if (c == '\n') line += "\\n";
        else line += c;
    }
    lines_.push_back(line);
}

bool Transcript::contains(const std::string& line) const {
    return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
}

std::string Transcript::joined() const {
    std::string all;
    for (const std::string& line : lines_) all += line + "\n";
    return all;
}

bool Transcript::save(const std::string& path) const {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    std::string all = joined();
    bool written = fwrite(all.data(), 1, all.size(), file) == all.size();
    return fclose(file) == 0 && written;
}

}  // namespace scripted_user
