#include "payloadgen/emit.h"

#include <cstdint>
#include <cstdio>
#include <limits>
#include <stdexcept>

#include "payloadgen/rules.h"

namespace payloadgen {

namespace {

constexpr const char* banner =
    "payloadgen generated this file from a product folder. Do not edit it:\n"
    "change the product folder instead; the build regenerates this file.";

std::string lineComment(std::string_view text) {
    std::string result = "// ";
    for (char c : text) {
        result += c;
        if (c == '\n') result += "// ";
    }
    return result + "\n";
}

std::string escaped(unsigned char byte) {
    if (byte == '"' || byte == '\\' || byte == '?') return std::string{'\\', static_cast<char>(byte)};
    if (byte >= 0x20 && byte < 0x7F) return std::string(1, static_cast<char>(byte));
    return std::string{'\\', static_cast<char>('0' + (byte >> 6)),
                       static_cast<char>('0' + ((byte >> 3) & 7)),
                       static_cast<char>('0' + (byte & 7))};
}

// int32_t's smallest value has no literal of its own: 2147483648 is a long.
std::string int32Literal(int64_t value) {
    if (value == std::numeric_limits<int32_t>::min()) return "(-2147483647 - 1)";
    return std::to_string(value);
}

// Items separated by ", " and wrapped below `indent` so no line grows long.
std::string wrappedList(const std::vector<std::string>& items, const std::string& indent) {
    constexpr std::size_t width = 76;
    std::string result = indent;
    std::size_t column = indent.size();
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) {
            if (column + 2 + items[i].size() > width) {
                result += ",\n" + indent;
                column = indent.size();
            } else {
                result += ", ";
                column += 2;
            }
        }
        result += items[i];
        column += items[i].size();
    }
    return result + "\n";
}

// The characters Windows' code page 1252 gives bytes 0x80 to 0x9F; the
// other bytes are their own characters. Windows passes the five bytes that
// the code page leaves out through as the control characters of their
// value, as this table does.
constexpr uint16_t codePage1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The record that both setup and the uninstaller link, in namespace scope.
std::string configRecord(const ProductDescription& description, const std::string& indent) {
    std::string text = "extern const InstallerConfig installerConfig = {\n";
    for (std::size_t i = 0; i < configFields.size(); ++i) {
        const ConfigValue& value = description.config[i];
        const bool isText = configFields[i].kind == FieldKind::Text ||
                            configFields[i].kind == FieldKind::RequiredText;
        text += indent + (isText ? cStringLiteral(value.text, indent) : int32Literal(value.number)) +
                ",  // " + configFields[i].key + "\n";
    }
    return text + "};\n";
}

std::string labelPrefix(std::string_view nameSpace) {
    return nameSpace.empty() ? defaultLabelPrefix : std::string(nameSpace);
}

std::string chunkLabel(const std::string& prefix, std::size_t file, std::size_t chunk) {
    return prefix + "_chunk_" + std::to_string(file) + "_" + std::to_string(chunk);
}

std::string namespaceOpening(std::string_view nameSpace) {
    return nameSpace.empty() ? "" : "namespace " + std::string(nameSpace) + " {\n\n";
}

std::string namespaceClosing(std::string_view nameSpace) {
    return nameSpace.empty() ? "" : "\n}  // namespace " + std::string(nameSpace) + "\n";
}

}  // namespace

std::string cStringLiteral(std::string_view bytes, std::string_view indent, std::size_t width) {
    // Text is wrapped after a blank once a literal nears `width`, and hard at
    // `width` when no blank came; a line break is never split from the bytes
    // before it (CR CR LF stays on one line).
    const std::size_t softWidth = width > 20 ? width - 20 : width;
    const std::string restart = "\"\n" + std::string(indent) + "\"";
    std::string result = "\"";
    std::size_t column = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char byte = bytes[i];
        const std::string piece = escaped(static_cast<unsigned char>(byte));
        const bool lineBreak = byte == '\r' || byte == '\n';
        if (column > 0 && !lineBreak && column + piece.size() > width) {
            result += restart;
            column = 0;
        }
        result += piece;
        column += piece.size();
        const bool last = i + 1 == bytes.size();
        if (!last && (byte == '\n' || (byte == ' ' && column >= softWidth))) {
            result += restart;
            column = 0;
        }
    }
    return result + "\"";
}

std::string chunkBytes(const std::vector<ChunkedFile>& files) {
    std::string bytes;
    for (const ChunkedFile& file : files)
        for (const auto& chunk : file.chunks) bytes.append(chunk.begin(), chunk.end());
    return bytes;
}

std::string chunksAssembly(const std::vector<ChunkedFile>& files, std::string_view nameSpace) {
    const std::string prefix = labelPrefix(nameSpace);
    std::string text = "/* ";
    for (char c : std::string_view(banner)) text += c == '\n' ? std::string("\n   ") : std::string(1, c);
    text += " */\n\n";
    // The chunks are constant data: a read-only section on both object
    // formats, so the loader shares and protects them like any literal.
    text +=
        "#if defined(__ELF__)\n"
        "\t.section .rodata\n"
        "#else\n"
        "\t.section .rdata,\"dr\"\n"
        "#endif\n";
    uint64_t offset = 0;
    for (std::size_t f = 0; f < files.size(); ++f) {
        text += "\n/* file " + std::to_string(f) + " */\n";
        for (std::size_t c = 0; c < files[f].chunks.size(); ++c) {
            const std::string label = chunkLabel(prefix, f, c);
            const std::size_t length = files[f].chunks[c].size();
            text += "\t.globl " + label + "\n" + label + ":\n";
            text += "\t.incbin \"" + std::string(chunkBytesFileName) + "\", " +
                    std::to_string(offset) + ", " + std::to_string(length) + "\n";
            offset += length;
        }
    }
    // Without this note the ELF linker would assume an executable stack.
    text +=
        "\n#if defined(__ELF__)\n"
        "\t.section .note.GNU-stack,\"\",@progbits\n"
        "#endif\n";
    return text;
}

std::string payloadTableSource(const std::vector<ChunkedFile>& files, std::string_view nameSpace) {
    if (files.empty()) throw std::invalid_argument("a payload table needs at least one file");
    if (files.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
        throw std::invalid_argument("too many files for a payload table");
    const std::string prefix = labelPrefix(nameSpace);
    const std::string indent = "    ";

    std::string text = lineComment(banner) + "\n#include \"payload/payload_table.h\"\n\n";
    text += namespaceOpening(nameSpace);
    // The assembler defines the chunks under exactly these names; the asm
    // labels stop targets that prefix C symbols with "_" from doing so.
    for (std::size_t f = 0; f < files.size(); ++f)
        for (std::size_t c = 0; c < files[f].chunks.size(); ++c) {
            const std::string label = chunkLabel(prefix, f, c);
            text += "extern const unsigned char " + label + "[] __asm__(\"" + label + "\");\n";
        }

    // Every definition is extern: a namespace-scope const would otherwise
    // have internal linkage, and unreferenced tables could be dropped.
    // A file without chunks has no arrays (C++ has no empty ones); its
    // entries in fileChunks and fileChunkLengths are null instead.
    std::vector<std::string> chunkArrays, lengthArrays, names, counts, times;
    for (std::size_t f = 0; f < files.size(); ++f) {
        const ChunkedFile& file = files[f];
        names.push_back(cStringLiteral(file.name, indent));
        counts.push_back(std::to_string(file.chunks.size()));
        times.push_back(int32Literal(file.time));
        if (file.chunks.empty()) {
            chunkArrays.push_back("nullptr");
            lengthArrays.push_back("nullptr");
            continue;
        }
        const std::string number = std::to_string(f);
        chunkArrays.push_back("fileChunks" + number);
        lengthArrays.push_back("fileChunkLengths" + number);
        std::vector<std::string> labels, lengths;
        for (std::size_t c = 0; c < file.chunks.size(); ++c) {
            labels.push_back(chunkLabel(prefix, f, c));
            lengths.push_back(std::to_string(file.chunks[c].size()));
        }
        text += "\nextern const unsigned char* const " + chunkArrays.back() + "[] = {\n" +
                wrappedList(labels, indent) + "};\n";
        text += "extern const uint32_t " + lengthArrays.back() + "[] = {\n" +
                wrappedList(lengths, indent) + "};\n";
    }

    text += "\nextern const int32_t fileCount = " + std::to_string(files.size()) + ";\n";
    text += "extern const unsigned char* const* const fileChunks[] = {\n" +
            wrappedList(chunkArrays, indent) + "};\n";
    text += "extern const uint32_t* const fileChunkLengths[] = {\n" +
            wrappedList(lengthArrays, indent) + "};\n";
    text += "extern const char* const fileNames[] = {\n";
    for (const std::string& name : names) text += indent + name + ",\n";
    text += "};\n";
    text += "extern const int32_t fileChunkCounts[] = {\n" + wrappedList(counts, indent) + "};\n";
    text += "extern const int32_t fileTimes[] = {\n" + wrappedList(times, indent) + "};\n";
    // Rounded up: a file of one byte still takes room on the disk.
    uint64_t bytes = 0;
    for (const ChunkedFile& file : files) bytes += file.size;
    text += "extern const uint32_t payloadInstalledKilobytes = " +
            std::to_string((bytes + 1023) / 1024) + ";\n";
    text +=
        "extern const PayloadTable payloadTable = {\n"
        "    fileCount, fileChunks, fileChunkLengths, fileNames, fileChunkCounts, fileTimes\n"
        "};\n";
    return text + namespaceClosing(nameSpace);
}

std::string installerConfigSource(const ProductDescription& description,
                                  std::string_view agreement, std::string_view nameSpace) {
    const std::string indent = "    ";
    std::string text = lineComment(banner) + "\n#include \"state/installer_config.h\"\n\n";
    text += namespaceOpening(nameSpace);
    text += configRecord(description, indent) + "\n";
    text += "extern const char agreementText[] =\n" + indent + cStringLiteral(agreement, indent) + ";\n";
    return text + namespaceClosing(nameSpace);
}

std::string uninstallerRecordSource(const ProductDescription& description) {
    const std::string indent = "    ";
    const std::vector<std::string> names = installedNames(description);
    std::string text = lineComment(banner) +
                       "\n#include \"state/installer_config.h\"\n"
                       "#include \"uninstall/uninstaller_record.h\"\n\n";
    text += configRecord(description, indent) + "\n";
    text += "extern const char* const uninstallerPayloadNames[] = {\n";
    for (const std::string& name : names) text += indent + cStringLiteral(name, indent) + ",\n";
    return text + "};\nextern const int32_t uninstallerPayloadNameCount = " + std::to_string(names.size()) +
           ";\n";
}

std::string resourceStringLiteral(std::string_view bytes) {
    std::string result = "L\"";
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\' && byte != '?') {
            result += c;
            continue;
        }
        const uint16_t unit = byte >= 0x80 && byte < 0xA0 ? codePage1252High[byte - 0x80] : byte;
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\x%04X", static_cast<unsigned>(unit));
        result += escape;
    }
    return result + "\"";
}

std::string versionInfoHeader(const ProductDescription& description) {
    const std::array<uint16_t, 4> numbers = versionNumbers(description.field("version").text);
    std::string binary, dotted;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        binary += (i ? "," : "") + std::to_string(numbers[i]);
        dotted += (i ? "." : "") + std::to_string(numbers[i]);
    }
    const std::string& product = description.field("productName").text;
    std::string text = lineComment(banner) + "\n";
    text += lineComment("The version resource's values for setup.exe and the uninstaller; a resource\n"
                        "script includes this after <windows.h>.");
    text += "#ifndef PAYLOADGEN_VERSION_INFO_H\n#define PAYLOADGEN_VERSION_INFO_H\n\n";
    text += "#define PRODUCT_VERSION_BINARY " + binary + "\n";
    text += "#define PRODUCT_VERSION_TEXT \"" + dotted + "\"\n";
    text += "#define PRODUCT_NAME_TEXT " + resourceStringLiteral(product) + "\n";
    text += "#define PRODUCT_PUBLISHER_TEXT " + resourceStringLiteral(description.field("publisher").text) + "\n";
    text += "#define SETUP_DESCRIPTION_TEXT " + resourceStringLiteral(product + " Setup") + "\n";
    text += "#define UNINSTALLER_DESCRIPTION_TEXT " + resourceStringLiteral(product + " Uninstaller") + "\n";
    return text + "\n#endif\n";
}

}  // namespace payloadgen
