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

// The uninstaller's sources, which need nothing but the description: the
// uninstaller is built before the payload that holds it.
//
// uninstaller_record.cpp: the configuration record as installer_config.cpp
// has it, at global scope and without the agreement, and the payload names
// in the order setup writes them, the engine's uninstaller included
// (installedNames in rules.h), as uninstallerPayloadNames counted by
// uninstallerPayloadNameCount (declared in uninstall/uninstaller_record.h).
std::string uninstallerRecordSource(const ProductDescription& description);

// version_info.h: PRODUCT_VERSION_BINARY (four numbers for FILEVERSION and
// PRODUCTVERSION), PRODUCT_VERSION_TEXT, and the texts PRODUCT_NAME_TEXT,
// PRODUCT_PUBLISHER_TEXT, SETUP_DESCRIPTION_TEXT and
// UNINSTALLER_DESCRIPTION_TEXT for the VALUEs of a VERSIONINFO resource.
std::string versionInfoHeader(const ProductDescription& description);

// A wide string literal for the resource compiler holding what Windows
// shows for `bytes` in code page 1252, the code page setup's texts are
// written for. Every character that is not printable ASCII, and the quote,
// backslash and question mark, is a \x escape of exactly four digits (the
// most windres reads): a narrow literal would go through windres' own code
// page table, which ends the text at the five bytes code page 1252 leaves
// out, and the escapes keep the preprocessor's trigraphs and windres' quote
// rules out of the way.
std::string resourceStringLiteral(std::string_view bytes);

}  // namespace payloadgen
