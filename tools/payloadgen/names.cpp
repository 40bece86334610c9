#include "payloadgen/names.h"

#include <map>

#include "common/path_rules.h"
#include "payloadgen/refusal.h"

namespace payloadgen {

namespace {

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char asciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string asciiUpper(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = asciiUpper(c);
    return result;
}

// Windows maps these names to devices in every folder and with any
// extension ("nul.txt", "Com1.tar.gz"), ignoring blanks before the first dot.
// Besides the digits 1-9 it also reserves 0 and the superscripts 1-3 (as
// UTF-8, the only encoding the names arrive in) for COM and LPT.
bool isReservedDeviceName(std::string_view component) {
    std::string_view base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    const std::string upper = asciiUpper(base);
    if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL") return true;
    if (upper.size() < 4 || (upper.compare(0, 3, "COM") != 0 && upper.compare(0, 3, "LPT") != 0))
        return false;
    const std::string_view port = std::string_view(upper).substr(3);
    return (port.size() == 1 && port[0] >= '0' && port[0] <= '9') ||
           port == "\xC2\xB9" || port == "\xC2\xB2" || port == "\xC2\xB3";
}

std::string componentProblem(std::string_view component) {
    const std::string quoted = "\"" + displayed(component) + "\"";
    if (component.empty()) return "has an empty component";
    if (component == "." || component == "..") return "has a " + quoted + " component";
    for (char c : component) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32) return "contains the control character " + displayed(std::string_view(&c, 1));
        if (std::string_view("<>:\"|?*").find(c) != std::string_view::npos)
            return std::string("contains the character ") + c + " that Windows forbids in file names";
    }
    if (component.back() == '.' || component.back() == ' ')
        return "has the component " + quoted + " ending in a dot or blank, which Windows drops";
    if (isReservedDeviceName(component))
        return "has the component " + quoted + ", a reserved device name";
    return "";
}

// Equal keys are the same file on Windows, as far as the generator can tell:
// separators are interchangeable and ASCII letters match in either case.
std::string nameKey(std::string_view name) {
    std::string key = asciiUpper(name);
    for (char& c : key)
        if (c == '/') c = '\\';
    return key;
}

}  // namespace

bool isSystemName(std::string_view name) {
    return name.size() >= SYSTEM_PREFIX_LENGTH && hasSystemPrefix(name.data());
}

std::string nameProblem(std::string_view name) {
    if (name.empty()) return "is empty";
    const bool system = isSystemName(name);
    const std::string_view rest = system ? name.substr(SYSTEM_PREFIX_LENGTH) : name;
    if (rest.empty()) return "names no file below the system folder";
    if (isPathSeparator(rest.front())) return "is absolute: it begins with a separator";
    if (rest.size() >= 2 && isAsciiLetter(rest[0]) && rest[1] == ':')
        return "begins with a drive letter";
    if (isPathSeparator(rest.back())) return "ends with a separator";

    std::size_t start = 0;
    while (true) {
        std::size_t end = start;
        while (end < rest.size() && !isPathSeparator(rest[end])) ++end;
        std::string problem = componentProblem(rest.substr(start, end - start));
        if (!problem.empty()) return problem;
        if (end == rest.size()) break;
        start = end + 1;
    }

    if (name.back() == RESERVED_NAME_END)
        return std::string("ends in ") + RESERVED_NAME_END +
               ", which setup keeps for its own files while it replaces an installation";

    // The extractor joins a system name's rest to a folder of up to
    // PLATFORM_PATH_LIMIT characters and a separator; a plain name is used as
    // is. Either may be kept aside under a longer name during an upgrade.
    const std::size_t resolved =
        (system ? systemFolderRoom + rest.size() : name.size()) + KEPT_SUFFIX_LENGTH;
    if (resolved > maxResolvedPath)
        return "is too long: its path on the target could take " + std::to_string(resolved) +
               " characters, more than " + std::to_string(maxResolvedPath);
    return "";
}

std::string fileNameProblem(std::string_view name) {
    for (char c : name)
        if (isPathSeparator(c)) return "contains the separator " + std::string(1, c) + ": it must be one name";
    return componentProblem(name);
}

std::string payloadSubject(std::size_t index, std::string_view name) {
    return "payload[" + std::to_string(index) + "] \"" + displayed(name) + "\"";
}

bool sameFile(std::string_view a, std::string_view b) { return nameKey(a) == nameKey(b); }

std::vector<Refusal> nameRefusals(const std::vector<std::string>& names) {
    std::vector<Refusal> found;
    std::map<std::string, std::string> files;    // key -> name as written
    std::map<std::string, std::string> folders;  // key -> first name below it
    for (std::size_t index = 0; index < names.size(); ++index) {
        const std::string& name = names[index];
        const std::string subject = payloadSubject(index, name);
        if (std::string problem = nameProblem(name); !problem.empty()) {
            found.emplace_back(subject, problem);
            continue;
        }

        const std::string key = nameKey(name);
        if (auto same = files.find(key); same != files.end()) {
            found.emplace_back(subject, "names the same file as \"" + displayed(same->second) +
                                            "\" (names are compared ignoring case and separators)");
            continue;
        }
        if (auto below = folders.find(key); below != folders.end()) {
            found.emplace_back(subject, "is also the folder of \"" + displayed(below->second) + "\"");
            continue;
        }

        // A system name's own separator does not make "SYSTEM" a folder.
        const std::size_t first = isSystemName(name) ? std::size_t{SYSTEM_PREFIX_LENGTH} : 0;
        bool usable = true;
        for (std::size_t i = key.find('\\', first); i != std::string::npos && usable;
             i = key.find('\\', i + 1)) {
            if (auto file = files.find(key.substr(0, i)); file != files.end()) {
                found.emplace_back(subject, "needs \"" + displayed(file->second) +
                                                "\" as a folder, but it is a file");
                usable = false;
            }
        }
        if (!usable) continue;
        for (std::size_t i = key.find('\\', first); i != std::string::npos; i = key.find('\\', i + 1))
            folders.emplace(key.substr(0, i), name);
        files.emplace(key, name);
    }
    return found;
}

void checkNames(const std::vector<std::string>& names) {
    const std::vector<Refusal> found = nameRefusals(names);
    if (!found.empty()) throw found.front();
}

}  // namespace payloadgen
