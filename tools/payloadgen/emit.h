// The generated files' text. Each function depends only on its arguments, so
// the same product always yields the same bytes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "payloadgen/chunker.h"
#include "payloadgen/description.h"

namespace payloadgen {

// The file the assembly includes by bare name; the build points the
// assembler's include path at the output folder.
constexpr const char* chunkBytesFileName = "payload_chunks.bin";

// Chunk labels begin with the namespace, or with this outside any namespace.
constexpr const char* defaultLabelPrefix = "payload";

// A C/C++ string literal holding exactly `bytes`: printable ASCII as is
// (with \" \\ and \? escaped so no trigraph can form), everything else as a
// three-digit octal escape, never \x. A line feed or `width` characters of
// text end one literal and start the next on a new line prefixed by
// `indent`; the adjacent literals concatenate back to the same bytes.
std::string cStringLiteral(std::string_view bytes, std::string_view indent = "",
                           std::size_t width = 72);

// All chunks in file order, then chunk order: the content of the .bin file.
std::string chunkBytes(const std::vector<ChunkedFile>& files);

std::string chunksAssembly(const std::vector<ChunkedFile>& files, std::string_view nameSpace);
std::string payloadTableSource(const std::vector<ChunkedFile>& files, std::string_view nameSpace);
std::string installerConfigSource(const ProductDescription& description,
                                  std::string_view agreement, std::string_view nameSpace);

// The header the product's uninstaller compiles in: in namespace
// `uninstallNamespace`, the configuration texts that name what setup
// creates (uninstallConfigKeys) as char arrays, and every payload name in
// payload order as `payloadNames`, counted by `payloadNameCount`.
constexpr const char* uninstallNamespace = "uninstall";
constexpr const char* const uninstallConfigKeys[] = {
    "productName", "groupName", "settingsFileName", "mainExecutable", "startupShortcutName",
    "serviceName"};
std::string uninstallHeader(const ProductDescription& description);

}  // namespace payloadgen
