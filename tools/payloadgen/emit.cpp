#include "payloadgen/emit.h"

#include <cstdint>
#include <limits>
#include <stdexcept>

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
    text += "extern const InstallerConfig installerConfig = {\n";
    for (std::size_t i = 0; i < configFields.size(); ++i) {
        const ConfigValue& value = description.config[i];
        const bool isText = configFields[i].kind == FieldKind::Text ||
                            configFields[i].kind == FieldKind::RequiredText;
        text += indent + (isText ? cStringLiteral(value.text, indent) : int32Literal(value.number)) +
                ",  // " + configFields[i].key + "\n";
    }
    text += "};\n\n";
    text += "extern const char agreementText[] =\n" + indent + cStringLiteral(agreement, indent) + ";\n";
    return text + namespaceClosing(nameSpace);
}

std::string uninstallHeader(const ProductDescription& description) {
    if (description.payload.empty()) throw std::invalid_argument("an uninstall header needs a payload");
    const std::string indent = "    ";
    std::string text = lineComment(banner) + "\n";
    text += lineComment("What the product's uninstaller removes: the configuration texts naming\n"
                        "what setup made, and every payload name in payload order.");
    text += "#pragma once\n\nnamespace " + std::string(uninstallNamespace) + " {\n\n";
    for (const char* key : uninstallConfigKeys)
        text += "constexpr char " + std::string(key) + "[] =\n" + indent +
                cStringLiteral(description.field(key).text, indent) + ";\n";
    text += "\nconstexpr const char* const payloadNames[] = {\n";
    for (const PayloadEntry& entry : description.payload)
        text += indent + cStringLiteral(entry.name, indent) + ",\n";
    text += "};\nconstexpr int payloadNameCount = " + std::to_string(description.payload.size()) + ";\n";
    return text + "\n}  // namespace " + uninstallNamespace + "\n";
}

}  // namespace payloadgen
