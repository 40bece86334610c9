#include "payloadgen/generator.h"

#include <sys/stat.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <system_error>

#include "payload/payload_table.h"
#include "payloadgen/chunker.h"
#include "payloadgen/description.h"
#include "payloadgen/emit.h"
#include "payloadgen/files.h"
#include "payloadgen/icon.h"
#include "payloadgen/names.h"
#include "payloadgen/progress.h"
#include "payloadgen/rules.h"

namespace payloadgen {

namespace {

// The time stored for an entry. A checkout or a link gives a file the time
// it happened, which differs from build to build; with a source time, that
// time is capped and a built program takes the source time whole. The
// extractor stores times in a signed 32-bit time_t.
int32_t storedTime(const PayloadEntry& entry, std::optional<int32_t> sourceTime,
                   const std::string& subject) {
    if (entry.time) return *entry.time;
    if (entry.built && sourceTime) return *sourceTime;
    struct stat status;
    if (stat(entry.file.c_str(), &status) != 0)
        throw Refusal(subject, "cannot read the time of " + entry.file.string() + ": " + std::strerror(errno));
    auto seconds = static_cast<int64_t>(status.st_mtime);
    if (sourceTime) seconds = std::min<int64_t>(seconds, *sourceTime);
    if (seconds < std::numeric_limits<int32_t>::min() || seconds > std::numeric_limits<int32_t>::max())
        throw Refusal(subject, "file time " + std::to_string(seconds) + " of " + entry.file.string() +
                                   " is outside the signed 32-bit range");
    return static_cast<int32_t>(seconds);
}

// Runs `step`, keeping what it refuses instead of stopping at it.
template <typename Step>
void collect(std::vector<Refusal>& found, Step step) {
    try {
        step();
    } catch (const Refusal& refusal) {
        found.push_back(refusal);
    }
}

// A product folder read and checked as far as generate() needs it before it
// compresses: every problem is found in one pass and thrown together.
struct Inspection {
    std::string descriptionFile;
    ProductDescription description;
    std::vector<SourceFile> sources;  // content only when read
    uint64_t bytes = 0;
    std::size_t uncheckedBuilt = 0;
    std::string agreement;            // with Windows line ends
    std::string icon;
};

// The name rules over the payload that setup installs: the engine's
// uninstaller takes its place in the data folder whether or not this run
// adds its file, so a name that needs "kluninst.exe" as a folder is refused
// by every mode alike.
std::vector<Refusal> installedNameRefusals(const ProductDescription& description) {
    const std::vector<std::string> names = installedNames(description);
    const std::size_t added = namesUninstaller(description) ? names.size() : names.size() - 1;
    std::vector<Refusal> found;
    for (const Refusal& refusal : nameRefusals(names))
        found.push_back(refusal.subject() == payloadSubject(added, uninstallerFileName)
                            ? Refusal(addedUninstallerSubject(added), refusal.reason())
                            : refusal);
    return found;
}

Inspection inspect(const std::filesystem::path& productDir, const std::filesystem::path& builtDir,
                   bool readContents, std::optional<int32_t> sourceTime = std::nullopt,
                   const std::filesystem::path& uninstaller = {}) {
    Inspection result;
    result.descriptionFile = (productDir / "product.json").string();
    // Without a built folder, built entries resolve into the product folder;
    // they are then only named, never read.
    result.description = readDescription(productDir, builtDir.empty() ? productDir : builtDir);
    std::vector<Refusal> found = installedNameRefusals(result.description);
    const std::size_t named = result.description.payload.size();
    if (!uninstaller.empty()) addUninstaller(result.description, uninstaller);
    const ProductDescription& description = result.description;
    const auto subjectOf = [&](std::size_t i) {
        return i < named ? payloadSubject(i, description.payload[i].name) : addedUninstallerSubject(i);
    };
    for (Refusal& refusal : descriptionRefusals(description)) found.push_back(std::move(refusal));

    const bool canBuild = std::filesystem::exists(productDir / "CMakeLists.txt");
    const std::size_t before = found.size();
    // An empty payload stays one when the uninstaller is added: the product
    // would install nothing of its own.
    uint64_t namedBytes = 0;
    for (std::size_t i = 0; i < description.payload.size(); ++i) {
        const PayloadEntry& entry = description.payload[i];
        const std::string subject = subjectOf(i);
        if (entry.built && builtDir.empty()) {
            if (canBuild)
                ++result.uncheckedBuilt;
            else
                found.emplace_back(subject, "is built by the product's own build, but " +
                                                productDir.string() +
                                                " has no CMakeLists.txt to build it: list a "
                                                "prebuilt program with \"source\" instead, or "
                                                "name the built folder with --built");
            continue;
        }
        collect(found, [&] {
            const uint64_t size = readableFileSize(entry.file, subject);
            const int32_t time = storedTime(entry, sourceTime, subject);
            result.sources.push_back({entry.name, {}, time});
            result.bytes += size;
            if (i < named) namedBytes += size;
        });
    }
    if (found.size() == before && namedBytes == 0 && result.uncheckedBuilt == 0)
        found.emplace_back("payload", "has no chunk at all: it lists no file with any bytes");
    // Left out, the space required is the payload's own, in whole megabytes.
    if (ConfigValue& megabytes = result.description.field("requiredMegabytes"); !megabytes.given)
        megabytes.number = static_cast<int64_t>(std::min<uint64_t>((result.bytes + 1048575) / 1048576, 4095));
    if (result.bytes > maxPayloadBytes)
        found.emplace_back("payload", "holds " + std::to_string(result.bytes) + " bytes, more than the " +
                                          std::to_string(maxPayloadBytes) +
                                          " that one 32-bit setup program can carry: Windows maps "
                                          "setup.exe whole, chunks included, into the 2 GiB of a "
                                          "32-bit process, beside the system's DLLs");
    // Contents are read only once the sizes are known to be acceptable.
    if (readContents && found.empty()) {
        for (std::size_t i = 0, read = 0; i < description.payload.size(); ++i) {
            const PayloadEntry& entry = description.payload[i];
            if (entry.built && builtDir.empty()) continue;
            collect(found, [&] {
                const std::string content = readWholeFile(entry.file, subjectOf(i));
                result.sources[read].content.assign(content.begin(), content.end());
            });
            ++read;
        }
    }

    collect(found, [&] {
        const std::string text = readWholeFile(description.agreement, "agreement");
        const std::string path = description.agreement.string();
        if (text.find('\0') != std::string::npos)
            throw Refusal("agreement", path + " contains a NUL byte, which would end agreementText early");
        if (text.empty()) throw Refusal("agreement", path + " is empty: the user would accept nothing");
        result.agreement = withWindowsLineEnds(text);
        if (result.agreement.size() > maxAgreementBytes)
            throw Refusal("agreement", path + " takes " + std::to_string(result.agreement.size()) +
                                           " bytes with Windows line ends, more than the " +
                                           std::to_string(maxAgreementBytes) +
                                           " that the agreement dialog holds on every system");
    });
    collect(found, [&] {
        result.icon = readWholeFile(description.icon, "icon");
        checkIcon(result.icon, description.icon);
    });

    for (Refusal& refusal : found) refusal = refusal.in(result.descriptionFile);
    throwIfAny(found);
    return result;
}

std::size_t chunkCount(const std::vector<SourceFile>& sources) {
    std::size_t chunks = 0;
    for (const SourceFile& source : sources)
        chunks += (source.content.size() + CHUNK_SOURCE_SIZE - 1) / CHUNK_SOURCE_SIZE;
    return chunks;
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

std::string withWindowsLineEnds(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) result += '\r';
        result += text[i];
    }
    return result;
}

Summary generate(const Options& options) {
    if (!options.nameSpace.empty() && !isValidNamespace(options.nameSpace))
        throw Refusal("--namespace", "\"" + displayed(options.nameSpace) + "\" is not an identifier");

    // Everything is read and checked before the output folder is touched, so
    // a refused product leaves the previous outputs as they were.
    Inspection product =
        inspect(options.productDir, options.builtDir, true, options.sourceTime, options.uninstaller);
    Summary summary;
    summary.bytesIn = product.bytes;

    std::vector<ChunkedFile> files;
    if (options.progress) {
        Progress progress(*options.progress, chunkCount(product.sources));
        files = chunkFiles(product.sources, options.threads,
                           [&](std::size_t bytes) { progress.chunkDone(bytes); });
        progress.finish();
    } else {
        files = chunkFiles(product.sources, options.threads);
    }
    product.sources.clear();

    std::error_code status;
    std::filesystem::create_directories(options.outputDir, status);
    if (status) throw Refusal(options.outputDir.string(), "cannot create the folder: " + status.message());
    const std::string bytes = chunkBytes(files);
    writeIfChanged(options.outputDir / chunkBytesFileName, bytes);
    writeIfChanged(options.outputDir / "payload_chunks.S", chunksAssembly(files, options.nameSpace));
    writeIfChanged(options.outputDir / "payload_table.cpp", payloadTableSource(files, options.nameSpace));
    writeIfChanged(options.outputDir / "installer_config.cpp",
                   installerConfigSource(product.description, product.agreement, options.nameSpace));
    writeIfChanged(options.outputDir / "product.ico", product.icon);

    summary.files = files.size();
    for (const ChunkedFile& file : files) summary.chunks += file.chunks.size();
    summary.bytesOut = bytes.size();
    return summary;
}

CheckResult checkProduct(const std::filesystem::path& productDir,
                         const std::filesystem::path& builtDir) {
    const Inspection product = inspect(productDir, builtDir, false);
    CheckResult result;
    result.descriptionFile = product.descriptionFile;
    result.files = product.description.payload.size();
    result.bytes = product.bytes;
    result.uncheckedBuilt = product.uncheckedBuilt;
    result.warnings = descriptionWarnings(product.description, product.bytes);
    for (Refusal& warning : result.warnings) warning = warning.in(product.descriptionFile);
    return result;
}

std::string checkLine(const CheckResult& result) {
    const auto counted = [](std::size_t count, const char* one, const char* many) {
        return std::to_string(count) + " " + (count == 1 ? one : many);
    };
    std::string line = "payloadgen: " + result.descriptionFile + ": ready: " +
                       counted(result.files, "file", "files") + ", " +
                       counted(result.bytes, "byte", "bytes");
    if (result.uncheckedBuilt > 0)
        line += " (" + counted(result.uncheckedBuilt, "built program", "built programs") +
                " not looked at without --built)";
    if (!result.warnings.empty()) line += ", " + counted(result.warnings.size(), "warning", "warnings");
    return line;
}

void writeUninstallerSources(const std::filesystem::path& productDir,
                             const std::filesystem::path& outputDir) {
    // Built entries name files that do not exist yet; only their names are
    // read here, so the product folder stands in for the built one.
    const std::string descriptionFile = (productDir / "product.json").string();
    const ProductDescription description = readDescription(productDir, productDir);
    std::vector<Refusal> found = installedNameRefusals(description);
    if (description.payload.empty()) found.emplace_back("payload", "lists no file");
    for (Refusal& refusal : descriptionRefusals(description)) found.push_back(std::move(refusal));
    std::string icon;
    collect(found, [&] {
        icon = readWholeFile(description.icon, "icon");
        checkIcon(icon, description.icon);
    });
    for (Refusal& refusal : found) refusal = refusal.in(descriptionFile);
    throwIfAny(found);

    std::error_code status;
    std::filesystem::create_directories(outputDir, status);
    if (status) throw Refusal(outputDir.string(), "cannot create the folder: " + status.message());
    writeIfChanged(outputDir / "uninstaller_record.cpp", uninstallerRecordSource(description));
    writeIfChanged(outputDir / "version_info.h", versionInfoHeader(description));
    writeIfChanged(outputDir / "uninstaller.ico", reducedIcon(icon));
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
