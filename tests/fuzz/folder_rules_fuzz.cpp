// The data folder rules on arbitrary text: the split of a folder into the
// dialog's two edits and their join, the defaults from the Program Files
// folder and the home variables (either may be missing), the group-name
// and Windows-directory comparisons, the form of a full path, the drive
// root and the path limit.
//
// Input: six parameter bytes (three buffer sizes, which variables are
// missing, the current drive, the longest payload name), then '\n'-separated
// fields: folder, group name, home drive, home path, Program Files folder,
// a second folder.
#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "path_text.h"
#include "ui/folder_rules.h"

namespace {

std::string withoutTrailing(std::string text, char ch) {
    if (!text.empty() && text.back() == ch) text.pop_back();
    return text;
}

// One "\" then one "/" cut off the end, as the defaults do before the group.
std::string withoutOneTrailingSeparator(const std::string& text) {
    return withoutTrailing(withoutTrailing(text, '\\'), '/');
}

// A buffer of exactly `size` bytes, so that AddressSanitizer sees a write
// one past it.
struct Buffer {
    explicit Buffer(size_t bytes) : size(bytes), data(new char[bytes]) {
        std::memset(data.get(), 'q', bytes);
    }
    std::string text() const { return data.get(); }
    size_t size;
    std::unique_ptr<char[]> data;
};

// The group name is the folder's own last component.
void requireGroupFolder(const std::string& folder, const std::string& group) {
    REQUIRE(endsWithGroupName(folder.c_str(), group.c_str()));
    REQUIRE(folder.size() > group.size());
    REQUIRE(folder[folder.size() - group.size() - 1] == '\\');
}

void checkSplit(const std::string& folder, uint8_t parentChoice, uint8_t applicationChoice) {
    size_t at = folder.rfind('\\');
    if (at == std::string::npos) at = folder.rfind('/');
    const std::string parentPart = at == std::string::npos ? folder : folder.substr(0, at);
    const std::string applicationPart = at == std::string::npos ? "" : folder.substr(at + 1);

    Buffer parent(bufferSizeNear(parentChoice, parentPart.size(), PLATFORM_PATH_SIZE));
    Buffer application(
        bufferSizeNear(applicationChoice, applicationPart.size(), PLATFORM_PATH_SIZE));
    splitDataFolder(folder.c_str(), parent.data.get(), parent.size, application.data.get(),
                    application.size);
    // Each edit holds its whole part or nothing, never a shortened one.
    REQUIRE(parent.text() == (parentPart.size() < parent.size ? parentPart : ""));
    REQUIRE(application.text() ==
            (applicationPart.size() < application.size ? applicationPart : ""));
    REQUIRE(application.text().find('\\') == std::string::npos);
}

// The dialog's edits joined again name the folder that was split, once
// both are normalised and cut as the choice does. Not so for a folder that
// is only a drive ("C:", its current directory) or empty: their edits
// join to the drive's root "C:\" and the current drive's root "\".
void checkSplitThenJoin(const std::string& folder) {
    if (folder.size() >= PLATFORM_PATH_SIZE || folder.empty() ||
        isDriveDesignator(folder.c_str(), folder.size())) {
        return;
    }
    char parent[PLATFORM_PATH_SIZE], application[PLATFORM_PATH_SIZE];
    splitDataFolder(folder.c_str(), parent, sizeof parent, application, sizeof application);
    char joined[PATH_BUFFER_SIZE];
    REQUIRE(joinDataFolder(parent, application, joined, sizeof joined));
    REQUIRE(cut(normalized(joined)) == cut(normalized(folder)));
}

void checkJoin(const std::string& parent, const std::string& application, uint8_t sizeChoice) {
    std::string folder = parent;
    for (char& c : folder)
        if (c == '/') c = '\\';
    const bool separator = folder.empty() || folder.back() != '\\';
    const std::string expected = folder + (separator ? "\\" : "") + application;
    Buffer out(bufferSizeNear(sizeChoice, expected.size(), PATH_BUFFER_SIZE));
    const bool joined = joinDataFolder(parent.c_str(), application.c_str(), out.data.get(), out.size);
    REQUIRE(joined == (parent.size() < PATH_BUFFER_SIZE && expected.size() < out.size));
    REQUIRE(out.text() == (joined ? expected : ""));
}

void checkDefaultFromProgramFiles(const std::string& programFiles, const std::string& group,
                                  uint8_t sizeChoice) {
    const std::string expected = withoutOneTrailingSeparator(programFiles) + "\\" + group;
    Buffer out(bufferSizeNear(sizeChoice, expected.size(), PATH_BUFFER_SIZE));
    const bool made =
        defaultFolderFromProgramFiles(programFiles.c_str(), group.c_str(), out.data.get(), out.size);
    REQUIRE(made == (programFiles.size() < out.size && expected.size() < out.size));
    REQUIRE(out.text() == (made ? expected : ""));
    if (!made) return;
    requireGroupFolder(out.text(), group);
    REQUIRE(normalized(out.text()) == normalized(programFiles + "\\" + group));
}

void checkDefaultFromHome(const std::string* homeDrive, const std::string* homePath,
                          const std::string& group, uint8_t sizeChoice) {
    const std::string path = homePath ? *homePath : "";
    const std::string drive = homeDrive ? *homeDrive : "C:";
    const bool ownDrive = path.size() >= 2 && path[1] == ':';
    const std::string base = ownDrive ? path : withoutOneTrailingSeparator(drive) + path;
    const std::string expected = withoutOneTrailingSeparator(base) + "\\" + group;
    Buffer out(bufferSizeNear(sizeChoice, expected.size(), PATH_BUFFER_SIZE));
    const bool made = defaultFolderFromHome(homeDrive ? homeDrive->c_str() : nullptr,
                                            homePath ? homePath->c_str() : nullptr, group.c_str(),
                                            out.data.get(), out.size);
    const bool fits = (ownDrive || drive.size() < out.size) && base.size() < out.size &&
                      expected.size() < out.size;
    REQUIRE(made == fits);
    REQUIRE(out.text() == (made ? expected : ""));
    if (made) requireGroupFolder(out.text(), group);
}

// ASCII letters in the other case and each separator as the other one.
std::string otherCaseAndSeparators(const std::string& text) {
    std::string result = text;
    for (char& c : result) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        else if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        else if (c == '/') c = '\\';
        else if (c == '\\') c = '/';
    }
    return result;
}

void checkComparisons(const std::string& candidate, const std::string& other,
                      const std::string& group) {
    const char* a = candidate.c_str();
    REQUIRE(isWindowsDirectory(a, other.c_str()) == isWindowsDirectory(other.c_str(), a));
    // The same folder in another case, with other separators and one
    // trailing separator more or less is still the same folder.
    std::string variant = otherCaseAndSeparators(candidate);
    if (variant.empty() || !isPathSeparator(variant.back())) variant += '\\';
    const size_t significant =
        candidate.size() - (!candidate.empty() && isPathSeparator(candidate.back()) ? 1 : 0);
    REQUIRE(isWindowsDirectory(a, variant.c_str()) == (significant > 0));

    // A path's form is the same in either case and with either separator,
    // and only one that starts with a drive letter, ":" and a separator is
    // full.
    const PathForm form = pathForm(a);
    REQUIRE(form == pathForm(otherCaseAndSeparators(candidate).c_str()));
    if (form == FULL_LOCAL_PATH) {
        REQUIRE(candidate.size() >= 3 && candidate[1] == ':' && isPathSeparator(candidate[2]));
    }

    REQUIRE(endsWithGroupName((candidate + group).c_str(), group.c_str()));
    REQUIRE(endsWithGroupName(a, group.c_str()) ==
            endsWithGroupName(otherCaseAndSeparators(candidate).c_str(), group.c_str()));
    if (candidate.size() < group.size()) REQUIRE(!endsWithGroupName(a, group.c_str()));
}

void checkDriveRoot(const std::string& folder, int currentDrive) {
    char root[4] = {'q', 'q', 'q', 'q'};
    driveRootOf(folder.c_str(), currentDrive, root);
    REQUIRE(root[1] == ':');
    REQUIRE(root[3] == '\0');
    if (folder.size() >= 2 && folder[1] == ':') {
        REQUIRE(root[0] == folder[0]);
        REQUIRE(root[2] == (folder.size() >= 3 ? folder[2] : '\0'));
    } else {
        REQUIRE(root[0] == 'A' + currentDrive - 1);
        REQUIRE(root[2] == '/');
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InputReader input(data, size);
    const uint8_t parentChoice = input.byte();
    const uint8_t applicationChoice = input.byte();
    const uint8_t outChoice = input.byte();
    const uint8_t missing = input.byte();
    const int currentDrive = 1 + input.byte() % 26;
    const size_t longestName = input.byte();
    const std::string folder = input.textField();
    const std::string group = input.textField();
    const std::string homeDrive = input.textField();
    const std::string homePath = input.textField();
    const std::string programFiles = input.textField();
    const std::string other = input.textField();

    checkSplit(folder, parentChoice, applicationChoice);
    checkSplitThenJoin(folder);
    checkJoin(folder, group, outChoice);
    checkJoin(other, folder, outChoice);
    checkDefaultFromProgramFiles(programFiles, group, outChoice);
    checkDefaultFromHome(missing & 1 ? nullptr : &homeDrive, missing & 2 ? nullptr : &homePath,
                         group, outChoice);
    checkComparisons(folder, other, group);
    checkDriveRoot(folder, currentDrive);
    REQUIRE(payloadPathsFit(folder.c_str(), longestName) ==
            (folder.size() + 1 + longestName <= PLATFORM_PATH_LIMIT));
    return 0;
}
