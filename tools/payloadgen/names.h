// Payload names: relative paths that the extractor turns into files below
// the install folder, or below the Windows system folder for "SYSTEM/" names.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/path_rules.h"

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

// Refuses (throws Refusal naming the file) the first unusable name, the first
// name that equals an earlier one without regard to case or separator, and a
// name that is used both as a file and as a folder.
void checkNames(const std::vector<std::string>& names);

}  // namespace payloadgen
