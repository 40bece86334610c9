// The generator's checks of payload names on arbitrary lists of names: a
// name it accepts is one the extractor can place below its folder on
// Windows, and a list it accepts never names one file twice nor a file as
// a folder, whatever the order of the list.
//
// Input: the names, one per line (at most 8).
#include <algorithm>
#include <string>
#include <vector>

#include "common/path_rules.h"
#include "fuzz_support.h"
#include "payloadgen/names.h"
#include "payloadgen/refusal.h"

namespace {

using payloadgen::Refusal;

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::vector<std::string> components(const std::string& path) {
    std::vector<std::string> parts(1);
    for (char c : path) {
        if (isPathSeparator(c)) parts.emplace_back();
        else parts.back() += c;
    }
    return parts;
}

bool isDevice(const std::string& component) {
    std::string base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base) c = upper(c);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
    if (base.size() < 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0))
        return false;
    const std::string port = base.substr(3);
    return (port.size() == 1 && port[0] >= '0' && port[0] <= '9') || port == "\xC2\xB9" ||
           port == "\xC2\xB2" || port == "\xC2\xB3";
}

// An accepted name is relative, stays below the folder, has only
// components Windows keeps as written, and its path on the target, kept
// aside, fits the extractor's buffer: joined to the longest system folder
// for a system name, as it is for any other.
void checkAcceptedName(const std::string& name) {
    REQUIRE(!name.empty());
    const bool system = payloadgen::isSystemName(name);
    REQUIRE(system == (name.size() >= SYSTEM_PREFIX_LENGTH && hasSystemPrefix(name.c_str())));
    const std::string rest = system ? name.substr(SYSTEM_PREFIX_LENGTH) : name;
    REQUIRE(!rest.empty());
    REQUIRE(!isPathSeparator(rest.front()));
    REQUIRE(!(rest.size() >= 2 && rest[1] == ':'));
    for (const std::string& part : components(rest)) {
        REQUIRE(!part.empty() && part != "." && part != "..");
        REQUIRE(part.back() != '.' && part.back() != ' ');
        REQUIRE(!isDevice(part));
        for (char c : part) {
            REQUIRE(static_cast<unsigned char>(c) >= 32);
            REQUIRE(std::string("<>:\"|?*").find(c) == std::string::npos);
        }
    }
    // Neither setup's own names nor the name a file is kept aside under
    // during an upgrade can be taken by a payload name or overflow.
    REQUIRE(name.back() != RESERVED_NAME_END);
    char path[PATH_BUFFER_SIZE];
    const std::string kept = rest + KEPT_SUFFIX;
    if (system) {
        const std::string longestSystemFolder(PLATFORM_PATH_LIMIT, 's');
        REQUIRE(joinPath(path, sizeof path, longestSystemFolder.c_str(), kept.c_str()));
    } else {
        REQUIRE(name.size() + KEPT_SUFFIX_LENGTH < sizeof path);
    }
}

// The key under which Windows finds the file: ASCII case and the kind of
// separator do not matter.
std::string fileKey(const std::string& name) {
    std::string key = name;
    for (char& c : key) c = isPathSeparator(c) ? '\\' : upper(c);
    return key;
}

// Whether `folder` is a folder on the way to `name`, the system prefix's
// own separator aside.
bool isFolderOf(const std::string& folder, const std::string& name, size_t first) {
    return folder.size() + 1 > first && name.size() > folder.size() &&
           name.compare(0, folder.size(), folder) == 0 && name[folder.size()] == '\\';
}

void checkAcceptedList(const std::vector<std::string>& names) {
    std::vector<std::string> keys;
    for (const std::string& name : names) keys.push_back(fileKey(name));
    for (size_t i = 0; i < names.size(); ++i) {
        checkAcceptedName(names[i]);
        const size_t first = payloadgen::isSystemName(names[i]) ? SYSTEM_PREFIX_LENGTH : 0;
        for (size_t j = 0; j < names.size(); ++j) {
            if (i == j) continue;
            REQUIRE(keys[i] != keys[j]);
            REQUIRE(!isFolderOf(keys[j], keys[i], first));
        }
    }
}

bool accepted(const std::vector<std::string>& names) {
    try {
        payloadgen::checkNames(names);
        return true;
    } catch (const Refusal& refusal) {
        for (char c : std::string(refusal.what())) REQUIRE(static_cast<unsigned char>(c) >= 32);
        return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InputReader input(data, size);
    std::vector<std::string> names;
    while (!input.empty() && names.size() < 8) names.push_back(input.field());

    // One name alone: refused with its own problem, or accepted.
    for (const std::string& name : names) {
        const std::string problem = payloadgen::nameProblem(name);
        try {
            payloadgen::checkNames({name});
            REQUIRE(problem.empty());
        } catch (const Refusal& refusal) {
            REQUIRE(!problem.empty());
            REQUIRE(refusal.subject().find("\"" + payloadgen::displayed(name) + "\"") !=
                    std::string::npos);
            REQUIRE(refusal.reason() == problem);
        }
        if (problem.empty()) checkAcceptedName(name);
    }

    const bool whole = accepted(names);
    if (whole) checkAcceptedList(names);
    // The order of the list does not decide, and a part of an accepted
    // list is accepted.
    std::vector<std::string> reversed(names.rbegin(), names.rend());
    REQUIRE(accepted(reversed) == whole);
    if (whole && !names.empty()) {
        std::vector<std::string> part(names.begin() + 1, names.end());
        REQUIRE(accepted(part));
    }
    return 0;
}
