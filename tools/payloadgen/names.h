// Payload names: relative paths that the extractor turns into files below
// the install folder, or below the Windows system folder for "SYSTEM/" names.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/path_rules.h"
#include "payloadgen/refusal.h"

namespace payloadgen {

// The longest path the extractor builds, not counting its terminating NUL.
constexpr std::size_t maxResolvedPath = PATH_BUFFER_SIZE - 1;
// Room taken by the system folder (at most the platform's path limit) and
// its separator.
constexpr std::size_t systemFolderRoom = PLATFORM_PATH_LIMIT + 1;

// Whether the name is meant for the system folder: it begins with exactly
// "SYSTEM/" or "SYSTEM\", in capitals.
bool isSystemName(std::string_view name);

// Why the name cannot be extracted on Windows, or "" when it can.
std::string nameProblem(std::string_view name);

// Why `name` cannot be one file or folder name on Windows (it holds a
// separator, a character Windows forbids, a trailing dot or blank, a device
// name), or "" when it can.
std::string fileNameProblem(std::string_view name);

// Every unusable name, every name that equals an earlier one without regard
// to case or separator, and every name used both as a file and as a folder,
// each as a refusal whose subject is the entry: payload[<index>] "<name>".
std::vector<Refusal> nameRefusals(const std::vector<std::string>& names);

// Throws the first of nameRefusals(names), if any.
void checkNames(const std::vector<std::string>& names);

// How refusals and warnings name payload entry `index`: payload[3] "a.txt".
std::string payloadSubject(std::size_t index, std::string_view name);

// Whether two names are the same file on Windows, as far as the generator
// can tell: separators are interchangeable and ASCII letters match in
// either case.
bool sameFile(std::string_view a, std::string_view b);

}  // namespace payloadgen
