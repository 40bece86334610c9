// The path rules on arbitrary text: normalising separators, cutting trailing
// separators, joining into a buffer of any size, cutting one character.
//
// Input: a buffer-size byte, the character to cut, then the folder and the
// name as two '\n'-separated fields.
#include <memory>
#include <string>
#include <vector>

#include "common/path_rules.h"
#include "fuzz_support.h"
#include "path_text.h"

namespace {

bool isRoot(const std::string& path) {
    return (path.size() == 1 && isPathSeparator(path[0])) ||
           (path.size() == 3 && path[1] == ':' && isPathSeparator(path[2]));
}

std::string withoutSeparators(const std::string& path) {
    std::string result;
    for (char c : path)
        if (!isPathSeparator(c)) result += c;
    return result;
}

size_t separatorRuns(const std::string& path) {
    size_t runs = 0;
    for (size_t i = 0; i < path.size(); ++i)
        if (isPathSeparator(path[i]) && (i == 0 || !isPathSeparator(path[i - 1]))) ++runs;
    return runs;
}

// Every run of separators becomes one "\" and nothing else changes; a
// second pass changes nothing.
void checkNormalize(const std::string& path) {
    const std::string result = normalized(path);
    REQUIRE(result.find('/') == std::string::npos);
    REQUIRE(result.find("\\\\") == std::string::npos);
    REQUIRE(withoutSeparators(result) == withoutSeparators(path));
    REQUIRE(separatorRuns(result) == separatorRuns(path));
    REQUIRE(normalized(result) == result);
}

// Only trailing separators go, all of them but a root's own.
void checkCut(const std::string& path) {
    const std::string result = cut(path);
    REQUIRE(path.compare(0, result.size(), result) == 0);
    for (size_t i = result.size(); i < path.size(); ++i) REQUIRE(isPathSeparator(path[i]));
    REQUIRE(result.empty() || !isPathSeparator(result.back()) || isRoot(result));
    REQUIRE(cut(result) == result);
    if (!path.empty() && isPathSeparator(path[0])) REQUIRE(!result.empty());
    if (path.size() >= 3 && path[1] == ':' && isPathSeparator(path[2])) REQUIRE(result.size() >= 3);
    // Normalised and cut is a fixed point of both.
    const std::string canonical = cut(normalized(path));
    REQUIRE(normalized(canonical) == canonical);
    REQUIRE(cut(canonical) == canonical);
}

// The join fits exactly when folder, separator and name and the NUL do;
// it keeps both parts whole, and an output that does not fit is empty.
// The buffer is allocated at exactly `size` bytes so that AddressSanitizer
// sees a write one past it.
void checkJoin(const std::string& folder, const std::string& name, uint8_t sizeChoice) {
    const bool separator = folder.empty() || !isPathSeparator(folder.back());
    const std::string expected = folder + (separator ? "\\" : "") + name;
    const size_t size = bufferSizeNear(sizeChoice, expected.size(), PATH_BUFFER_SIZE);
    std::unique_ptr<char[]> out(new char[size]);
    std::memset(out.get(), 'q', size);
    const bool joined = joinPath(out.get(), size, folder.c_str(), name.c_str());
    REQUIRE(joined == (expected.size() < size));
    if (joined) {
        REQUIRE(std::string(out.get()) == expected);
    } else {
        REQUIRE(out[0] == '\0');
    }
}

// At most the one last character goes, and only when it is `ch`.
void checkRemoveTrailingChar(const std::string& path, char ch) {
    std::vector<char> buffer(path.begin(), path.end());
    buffer.push_back('\0');
    const char last = removeTrailingChar(buffer.data(), ch);
    const std::string result = buffer.data();
    if (path.empty()) {
        REQUIRE(last == '\0');
        REQUIRE(result.empty());
        return;
    }
    REQUIRE(last == path.back());
    REQUIRE(result == (last == ch ? path.substr(0, path.size() - 1) : path));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InputReader input(data, size);
    const uint8_t sizeChoice = input.byte();
    const char ch = static_cast<char>(input.byte());
    const std::string folder = input.textField();
    const std::string name = input.textField();
    for (const std::string& path : {folder, name, folder + name}) {
        checkNormalize(path);
        checkCut(path);
        checkRemoveTrailingChar(path, ch);
    }
    checkJoin(folder, name, sizeChoice);
    checkJoin(normalized(folder), name, sizeChoice);
    return 0;
}
