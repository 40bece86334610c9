// Whole-file input and output, reporting failures as refusals.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace payloadgen {

// The bytes of a regular file; throws Refusal(subject, ...) naming the path
// and the system's reason when it is missing, not a file or unreadable.
std::string readWholeFile(const std::filesystem::path& path, const std::string& subject);

// The size of a regular file that opens for reading, refused as
// readWholeFile refuses, without reading its content.
uint64_t readableFileSize(const std::filesystem::path& path, const std::string& subject);

// Replaces the file only when its content differs, so an unchanged product
// leaves every output's time alone and the build has nothing to redo. The
// new content goes to a temporary file renamed over the old one, so an
// interrupted run never leaves a half-written output that looks current.
// Returns whether the file was written; throws Refusal when it cannot be.
bool writeIfChanged(const std::filesystem::path& path, std::string_view content);

}  // namespace payloadgen
