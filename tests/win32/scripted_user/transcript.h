// What the scripted user saw and did, one line per event in the order seen:
// "window: <caption>", "text: <text>", "answer: <button>", "exit: <code>".
// Tests assert on it; it is saved beside the screenshots for a person.
#pragma once

#include <string>
#include <vector>

namespace scripted_user {

class Transcript {
public:
    // Adds "<kind>: <text>". Line breaks inside the text are kept as "\n"
    // escapes so that one event stays one line.
    void add(const char* kind, const std::string& text);

    const std::vector<std::string>& lines() const { return lines_; }
    bool contains(const std::string& line) const;
    std::string joined() const;  // the lines, each ending in "\n"

    // Writes the lines to a file; false when it cannot be written.
    bool save(const std::string& path) const;

private:
    std::vector<std::string> lines_;
};

}  // namespace scripted_user
