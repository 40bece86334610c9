#include "payloadgen/generator.h"

#include <sys/stat.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <limits>
#include <system_error>

#include "payloadgen/chunker.h"
#include "payloadgen/description.h"
#include "payloadgen/emit.h"
#include "payloadgen/files.h"
#include "payloadgen/names.h"
#include "payloadgen/refusal.h"

namespace payloadgen {

namespace {

std::string payloadSubject(const std::string& name) { return "payload \"" + displayed(name) + "\""; }

// The extractor stores times in a signed 32-bit time_t.
int32_t modificationTime(const std::filesystem::path& path, const std::string& subject) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0)
        throw Refusal(subject, "cannot read the time of " + path.string() + ": " + std::strerror(errno));
    const auto seconds = static_cast<int64_t>(status.st_mtime);
    if (seconds < std::numeric_limits<int32_t>::min() || seconds > std::numeric_limits<int32_t>::max())
        throw Refusal(subject, "file time " + std::to_string(seconds) + " of " + path.string() +
                                   " is outside the signed 32-bit range");
    return static_cast<int32_t>(seconds);
}

// The resource compiler reads the copy; catching a wrong file here gives a
// message naming the product instead of a resource error much later.
void checkIcon(const std::string& icon, const std::filesystem::path& path) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(icon[i]); };
    const bool header = icon.size() >= 6 && byte(0) == 0 && byte(1) == 0 && byte(2) == 1 && byte(3) == 0;
    const std::size_t images = header ? byte(4) | (byte(5) << 8) : 0;
    if (images == 0 || icon.size() < 6 + 16 * images)
        throw Refusal("icon", path.string() + " is not an icon file");
}

}  // namespace

bool isValidNamespace(std::string_view name) {
    if (name.empty()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
        if (!letter && !(i > 0 && c >= '0' && c <= '9')) return false;
    }
    return true;
}

Summary generate(const Options& options) {
    if (!options.nameSpace.empty() && !isValidNamespace(options.nameSpace))
        throw Refusal("--namespace", "\"" + displayed(options.nameSpace) + "\" is not an identifier");

    // Everything is read and checked before the output folder is touched, so
    // a refused product leaves the previous outputs as they were.
    const ProductDescription description = readDescription(options.productDir, options.builtDir);
    std::vector<std::string> names;
    for (const PayloadEntry& entry : description.payload) names.push_back(entry.name);
    checkNames(names);

    Summary summary;
    std::vector<SourceFile> sources;
    for (const PayloadEntry& entry : description.payload) {
        const std::string subject = payloadSubject(entry.name);
        const std::string content = readWholeFile(entry.file, subject);
        const int32_t time = entry.time ? *entry.time : modificationTime(entry.file, subject);
        sources.push_back({entry.name, {content.begin(), content.end()}, time});
        summary.bytesIn += content.size();
    }
    if (summary.bytesIn == 0)
        throw Refusal("payload", "has no chunk at all: it lists no file with any bytes");

    const std::string agreement = readWholeFile(description.agreement, "agreement");
    if (agreement.find('\0') != std::string::npos)
        throw Refusal("agreement", description.agreement.string() +
                                       " contains a NUL byte, which would end agreementText early");
    const std::string icon = readWholeFile(description.icon, "icon");
    checkIcon(icon, description.icon);

    const std::vector<ChunkedFile> files = chunkFiles(sources, options.threads);
    sources.clear();

    std::error_code status;
    std::filesystem::create_directories(options.outputDir, status);
    if (status) throw Refusal(options.outputDir.string(), "cannot create the folder: " + status.message());
    const std::string bytes = chunkBytes(files);
    writeIfChanged(options.outputDir / chunkBytesFileName, bytes);
    writeIfChanged(options.outputDir / "payload_chunks.S", chunksAssembly(files, options.nameSpace));
    writeIfChanged(options.outputDir / "payload_table.cpp", payloadTableSource(files, options.nameSpace));
    writeIfChanged(options.outputDir / "installer_config.cpp",
                   installerConfigSource(description, agreement, options.nameSpace));
    writeIfChanged(options.outputDir / "product.ico", icon);

    summary.files = files.size();
    for (const ChunkedFile& file : files) summary.chunks += file.chunks.size();
    summary.bytesOut = bytes.size();
    return summary;
}

void writeUninstallHeader(const std::filesystem::path& productDir,
                          const std::filesystem::path& header) {
    // Built entries name files that do not exist yet; only their names are
    // read here, so the product folder stands in for the built one.
    const ProductDescription description = readDescription(productDir, productDir);
    std::vector<std::string> names;
    for (const PayloadEntry& entry : description.payload) names.push_back(entry.name);
    if (names.empty()) throw Refusal("payload", "lists no file");
    checkNames(names);

    std::error_code status;
    if (header.has_parent_path()) std::filesystem::create_directories(header.parent_path(), status);
    if (status)
        throw Refusal(header.parent_path().string(), "cannot create the folder: " + status.message());
    writeIfChanged(header, uninstallHeader(description));
}

std::string summaryLine(const Summary& summary) {
    char ratio[32];
    std::snprintf(ratio, sizeof ratio, "%.3f",
                  summary.bytesIn == 0 ? 0.0
                                       : static_cast<double>(summary.bytesOut) /
                                             static_cast<double>(summary.bytesIn));
    return "payloadgen: " + std::to_string(summary.files) + " files, " +
           std::to_string(summary.chunks) + " chunks, " + std::to_string(summary.bytesIn) +
           " bytes in, " + std::to_string(summary.bytesOut) + " bytes out, ratio " + ratio;
}

}  // namespace payloadgen
