// Extraction of payload tables whose chunks are arbitrary bytes, intact
// zlib streams of known content, or such streams damaged, cut short or
// followed by stray bytes, into a scratch folder on the host, with write
// faults and held files to order. Whatever the table:
//  - a file holds nothing but the output of its leading chunks that
//    inflate completely within CHUNK_SIZE and pass zlib's checks, in order,
//    or a prefix of it: never a byte of a chunk that failed;
//  - the run ends at the first file it cannot complete, and only a run in
//    which every file is complete, with its time, reports success;
//  - a newer copy of a system file, or a DLL held by a running program, is
//    left as it was;
//  - nothing is written but the payload's own files and folders, and
//    removal takes every file below the folder away again.
//
// Input: a byte of faults, the file count, then per file a name (an index
// into the list below, or a name of the input's that the generator
// accepts), a time and its chunks, each a kind byte and its operands.
#include <stdlib.h>
#include <sys/stat.h>
#include <utime.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "payload/extract.h"
#include "payloadgen/names.h"
#include "payloadgen/refusal.h"
#include "support/payload_io_control.h"
#include "support/scratch_folder.h"
#include "support/test_payload.h"

namespace fs = std::filesystem;

namespace {

const char* const NAMES[] = {"tarnwick.exe",       "help.htm",      "docs/deep/file.htm",
                             "art\\small\\x.gif",  "SYSTEM/twsys.dll", "SYSTEM\\sub\\TWX.DLL",
                             "data.twr",           "empty.dat"};
const size_t NAME_COUNT = sizeof NAMES / sizeof NAMES[0];
const size_t MAX_FILES = 4;
const size_t MAX_CHUNKS = 4;

// What a chunk gives when it is a complete zlib stream that passes its
// checks and fits the extraction buffer; nothing otherwise. Found with
// zlib's streaming inflate, not the extractor's one-call uncompress.
std::optional<Bytes> checkedOutput(const Bytes& chunk) {
    z_stream stream = {};
    if (inflateInit(&stream) != Z_OK) return std::nullopt;
    Bytes out(CHUNK_SIZE);
    stream.next_in = const_cast<unsigned char*>(chunk.data());
    stream.avail_in = static_cast<uInt>(chunk.size());
    stream.next_out = out.data();
    stream.avail_out = CHUNK_SIZE;
    const int status = inflate(&stream, Z_FINISH);
    out.resize(CHUNK_SIZE - stream.avail_out);
    inflateEnd(&stream);
    if (status != Z_STREAM_END) return std::nullopt;
    return out;
}

struct Known {
    Bytes stream;
    std::optional<Bytes> output;  // checkedOutput(stream), found once
};

// Streams of known content: empty, one byte, text, a full piece of text and
// of noise, exactly the buffer, one byte past it.
const std::vector<Known>& knownStreams() {
    static const std::vector<Known> streams = [] {
        std::vector<Known> result;
        for (const Bytes& content : {Bytes(), Bytes{'x'}, patternBytes(100, 1),
                                     patternBytes(CHUNK_SOURCE_SIZE, 2),
                                     randomBytes(CHUNK_SOURCE_SIZE, 3), patternBytes(CHUNK_SIZE, 4),
                                     patternBytes(CHUNK_SIZE + 1, 5), randomBytes(700, 6)}) {
            Bytes stream = compressStream(content.data(), content.size());
            std::optional<Bytes> output = checkedOutput(stream);
            REQUIRE(output ? *output == content : content.size() > CHUNK_SIZE);
            result.push_back({std::move(stream), std::move(output)});
        }
        return result;
    }();
    return streams;
}

struct Chunk {
    Bytes bytes;
    std::optional<Bytes> output;
};

Chunk readChunk(InputReader& input) {
    const std::vector<Known>& known = knownStreams();
    const uint8_t kind = input.byte();
    if (kind % 5 == 0) {  // arbitrary bytes
        Bytes bytes = input.bytes(input.word() % 4096);
        std::optional<Bytes> output = checkedOutput(bytes);
        return {std::move(bytes), std::move(output)};
    }
    const Known& base = known[input.byte() % known.size()];
    if (kind % 5 == 1) return {base.stream, base.output};  // intact
    Bytes chunk = base.stream;
    switch (kind % 5) {
    case 2:  // one byte changed
        chunk[input.word() % chunk.size()] ^= static_cast<unsigned char>(input.byte() | 1);
        break;
    case 3:  // cut short
        chunk.resize(input.word() % chunk.size());
        break;
    case 4: {  // stray bytes after the stream
        const Bytes tail = input.bytes(input.byte());
        chunk.insert(chunk.end(), tail.begin(), tail.end());
        break;
    }
    }
    std::optional<Bytes> output = checkedOutput(chunk);
    return {std::move(chunk), std::move(output)};
}

struct File {
    std::string name;
    int32_t time;
    std::vector<Bytes> chunks;
    std::vector<std::optional<Bytes>> outputs;
    Bytes checked;         // the output of the leading chunks that pass
    bool complete = true;  // every chunk passes
    std::string hostPath;  // where it lands on the host
};

// The scratch folder of this process: the install folder (the current
// directory while an input runs) and the system directory beside it,
// emptied before each input.
struct Scratch {
    std::string root, install, system;
    fs::path previous;  // the current directory between inputs

    Scratch() {
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : P_tmpdir;
        std::string pattern = std::string(base) + "/tw-fuzz-XXXXXX";
        REQUIRE(mkdtemp(&pattern[0]) != nullptr);
        root = pattern;
        install = root + "/install";
        system = root + "/system32";
        fs::create_directories(install);
        fs::create_directories(system);
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    void empty() const {
        for (const std::string& folder : {install, system})
            for (const fs::directory_entry& entry : fs::directory_iterator(folder))
                fs::remove_all(entry.path());
    }
};

Scratch* scratch;

std::string slashes(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

// The path the extractor opens for a name, Windows separators and all.
std::string enginePath(const std::string& name) {
    if (!payloadgen::isSystemName(name)) return name;
    return scratch->system + "\\" + name.substr(SYSTEM_PREFIX_LENGTH);
}

int64_t modificationTime(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_mtime) : -1;
}

void setModificationTime(const std::string& path, int64_t time) {
    const struct utimbuf times = {static_cast<time_t>(time), static_cast<time_t>(time)};
    REQUIRE(utime(path.c_str(), &times) == 0);
}

bool isPrefix(const Bytes& prefix, const Bytes& whole) {
    return prefix.size() <= whole.size() && std::equal(prefix.begin(), prefix.end(), whole.begin());
}

// Every file and folder below `folder` is one of `files` or on the way to one.
void requireOnly(const std::string& folder, const std::set<std::string>& files) {
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        const std::string relative = entry.path().string().substr(folder.size() + 1);
        if (entry.is_directory()) {
            bool onTheWay = false;
            for (const std::string& file : files)
                onTheWay = onTheWay || file.compare(0, relative.size() + 1, relative + "/") == 0;
            REQUIRE(onTheWay);
        } else {
            REQUIRE(files.count(relative) == 1);
        }
    }
}

// The file's bytes; nothing when it cannot be opened.
std::optional<Bytes> contentOf(const std::string& path) {
    FILE* stream = fopen(path.c_str(), "rb");
    if (!stream) return std::nullopt;
    Bytes content;
    unsigned char block[65536];
    for (size_t got; (got = fread(block, 1, sizeof block, stream)) > 0;)
        content.insert(content.end(), block, block + got);
    fclose(stream);
    return content;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    scratch = new Scratch();
    atexit([] { delete scratch; });
    knownStreams();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InputReader input(data, size);
    const uint8_t faults = input.byte();
    const uint8_t held = input.byte();
    const size_t fileCount = 1 + input.byte() % MAX_FILES;
    std::vector<File> files(fileCount);
    std::vector<std::string> names;
    for (File& file : files) {
        const uint8_t choice = input.byte();
        if (choice & 0x80) {
            const Bytes text = input.bytes(choice & 0x7F);
            file.name.assign(text.begin(), text.end());
        } else {
            file.name = NAMES[choice % NAME_COUNT];
        }
        file.time = static_cast<int32_t>(input.dword());
        const size_t chunkCount = input.byte() % (MAX_CHUNKS + 1);
        for (size_t c = 0; c < chunkCount; ++c) {
            Chunk chunk = readChunk(input);
            file.chunks.push_back(std::move(chunk.bytes));
            file.outputs.push_back(std::move(chunk.output));
        }
        names.push_back(file.name);
    }
    // Only names the generator would accept reach a table.
    try {
        payloadgen::checkNames(names);
    } catch (const payloadgen::Refusal&) {
        return -1;
    }

    scratch->empty();
    scratch->previous = fs::current_path();
    fs::current_path(scratch->install);
    struct Back {
        ~Back() { fs::current_path(scratch->previous); }
    } back;
    payload_io_control::reset();
    payload_io_control::setSystemDirectory(scratch->system);
    TestPayload payload;
    std::set<std::string> installFiles, systemFiles;
    for (File& file : files) {
        for (const std::optional<Bytes>& output : file.outputs) {
            if (!output) {
                file.complete = false;
                break;
            }
            file.checked.insert(file.checked.end(), output->begin(), output->end());
        }
        const bool system = payloadgen::isSystemName(file.name);
        const std::string below = slashes(system ? file.name.substr(SYSTEM_PREFIX_LENGTH) : file.name);
        file.hostPath = (system ? scratch->system : scratch->install) + "/" + below;
        (system ? systemFiles : installFiles).insert(below);
        payload.addRawChunks(file.name, file.chunks, file.time);
    }

    // A copy of a system file already there, newer or older than the
    // payload's; a file held open by another program.
    int preexisting = -1;
    const Bytes marker = {'o', 'l', 'd'};
    int64_t preexistingTime = 0;
    if (faults & 1) {
        for (size_t i = 0; i < files.size() && preexisting < 0; ++i) {
            if (!payloadgen::isSystemName(files[i].name)) continue;
            preexisting = static_cast<int>(i);
            preexistingTime = int64_t{files[i].time} + ((faults & 2) ? 1 : -1);
            fs::create_directories(fs::path(files[i].hostPath).parent_path());
            writeFile(files[i].hostPath, marker);
            setModificationTime(files[i].hostPath, preexistingTime);
        }
    }
    const int heldFile = (faults & 4) ? held % static_cast<int>(files.size()) : -1;
    if (heldFile >= 0) payload_io_control::denyWriteAccess(enginePath(files[heldFile].name));
    if (const int call = faults >> 3 & 7) payload_io_control::shortWriteOnCall(call);
    if (const int call = faults >> 6 & 3) payload_io_control::failCloseOnCall(call);

    const ExtractResult result = extractPayloadFrom(payload.table(), nullptr, nullptr);
    REQUIRE(result == EXTRACT_DONE || result == EXTRACT_CANNOT_CREATE ||
            result == EXTRACT_WRITE_FAILED);

    bool stopped = false;  // a file before this one is not complete
    for (size_t i = 0; i < files.size(); ++i) {
        const File& file = files[i];
        const std::optional<Bytes> found = contentOf(file.hostPath);
        const bool exists = found.has_value();
        const Bytes content = exists ? *found : Bytes();
        const bool isPreexisting = static_cast<int>(i) == preexisting;
        const bool isHeld = static_cast<int>(i) == heldFile;
        const bool oldCopy = isPreexisting && content == marker &&
                             modificationTime(file.hostPath) == preexistingTime;
        const bool keptNewer = isPreexisting && preexistingTime > file.time;
        const std::string path = enginePath(file.name);
        const bool heldDll = isHeld && (path.find("DLL") != std::string::npos ||
                                        path.find("dll") != std::string::npos);
        if (keptNewer || isHeld) {
            // As it was: the old copy with its time, or nothing.
            REQUIRE(isPreexisting ? oldCopy : !exists);
        } else if (exists) {
            REQUIRE(oldCopy || isPrefix(content, file.checked));
        }
        // Nothing is written after the first file that is not complete.
        if (stopped) REQUIRE(!exists || oldCopy);
        const bool done = keptNewer || heldDll ||
                          (!isHeld && exists && file.complete && content == file.checked &&
                           modificationTime(file.hostPath) == file.time);
        if (result == EXTRACT_DONE) REQUIRE(done);
        if (!done) stopped = true;
    }
    if (result != EXTRACT_DONE) REQUIRE(stopped);

    requireOnly(scratch->install, installFiles);
    requireOnly(scratch->system, systemFiles);

    // Removal after a failed run: every file below the folder goes.
    REQUIRE(removePayloadFilesFrom(payload.table(), nullptr, nullptr) == EXTRACT_DONE);
    for (const File& file : files)
        if (!payloadgen::isSystemName(file.name)) REQUIRE(!fs::exists(file.hostPath));
    return 0;
}
