// payload_bench: how long the payload takes to make, to compile for Windows
// and to extract, on a synthetic product of 64 MiB (or --megabytes), here and
// in a Windows process under Wine; and how big setup.exe's engine is.
//
// It prints figures only. A slow machine is not a failure; the exit status is
// non-zero only when something is broken: a tool fails, the generator's
// output depends on its thread count, or extracted bytes differ.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "payload/extract.h"
#include "support/test_payload.h"
#include "payload/payload_table.h"
#include "payloadgen/chunker.h"
#include "payloadgen/rules.h"

#ifndef PAYLOADGEN_PATH
#error "PAYLOADGEN_PATH must name the generator to measure"
#endif
#ifndef MINGW_CXX
#error "MINGW_CXX must name the Windows cross compiler"
#endif
#ifndef SOURCE_DIR
#error "SOURCE_DIR must name the project's source folder"
#endif

namespace fs = std::filesystem;

namespace {

// The product's size and the runs of each figure (--megabytes, --runs).
uint64_t productBytes = 64ull << 20;
constexpr uint64_t productStart = 0x7a27c1c5e0d1ull;
// Every payload file gets this time, so the generator's output does not
// depend on when the product folder was written.
constexpr int32_t fileTime = 1262304000;  // 2010-01-01 00:00:00 UTC
int repetitions = 3;
constexpr double compileSecondsGoal = 2.0;
constexpr double compileMegabytesGoal = 200.0;

struct Broken : std::runtime_error {
    using std::runtime_error::runtime_error;
};

double megabytes(uint64_t bytes) { return static_cast<double>(bytes) / 1e6; }

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

double cpuSeconds(const struct rusage& usage) {
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// User and system time of this process, all its threads included.
double cpuSeconds() {
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return cpuSeconds(usage);
}

struct Timing {
    double seconds;
    double cpuSeconds;
};

Timing timed(const std::function<void()>& work) {
    const double cpuStart = cpuSeconds();
    const Clock::time_point start = Clock::now();
    work();
    return {secondsSince(start), cpuSeconds() - cpuStart};
}

// ---------------------------------------------------------------------------
// The synthetic product. Deterministic for a given starting value, so runs on
// different machines compress the same bytes.

class Random {
public:
    explicit Random(uint64_t state) : state_(state) {}
    uint64_t next() {  // splitmix64
        uint64_t z = (state_ += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    uint64_t below(uint64_t bound) { return next() % bound; }
    double unit() { return static_cast<double>(next() >> 11) / 9007199254740992.0; }

private:
    uint64_t state_;
};


void append(Bytes& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
}

// Prose-like text: words of a made-up vocabulary, frequent ones far more
// often (as in real text), in lines of varying length.
Bytes textLike(size_t size, Random& random) {
    static const char* const syllables[] = {"tar", "wick", "en", "lo",  "mar", "is", "ot",  "ra",
                                            "ven", "del",  "qu", "ash", "im",  "or", "bel", "un"};
    static const std::vector<std::string> words = [] {
        Random vocabulary(productStart ^ 0x70c4b);
        std::vector<std::string> list;
        for (int i = 0; i < 600; ++i) {
            std::string word;
            const int parts = 1 + static_cast<int>(vocabulary.below(3));
            for (int p = 0; p < parts; ++p) word += syllables[vocabulary.below(16)];
            list.push_back(word);
        }
        return list;
    }();
    Bytes out;
    out.reserve(size + 64);
    size_t lineStart = 0;
    size_t lineLength = 50 + random.below(40);
    while (out.size() < size) {
        const double u = random.unit();
        append(out, words[static_cast<size_t>(u * u * u * static_cast<double>(words.size()))]);
        const uint64_t mark = random.below(40);
        if (mark == 0) append(out, ".");
        if (mark == 1) append(out, ",");
        if (out.size() - lineStart >= lineLength) {
            append(out, "\r\n");
            lineStart = out.size();
            lineLength = 50 + random.below(40);
        } else {
            append(out, " ");
        }
    }
    out.resize(size);
    return out;
}

// Repeated records, as in logs and tables: a fixed layout, counters and a
// few small varying fields.
Bytes records(size_t size, Random& random) {
    static const char* const kinds[] = {"open", "read", "write", "close", "seek", "stat"};
    Bytes out;
    out.reserve(size + 128);
    char line[128];
    for (uint64_t id = 0; out.size() < size; ++id) {
        snprintf(line, sizeof line, "%08llu;%-5s;node-%03u;offset=%010llu;length=%5u;state=%c\n",
                 static_cast<unsigned long long>(id), kinds[random.below(6)],
                 static_cast<unsigned>(random.below(64)),
                 static_cast<unsigned long long>(id * 4096 + random.below(4096)),
                 static_cast<unsigned>(random.below(65536)), "AAAAAABCX"[random.below(9)]);
        append(out, line);
    }
    out.resize(size);
    return out;
}

// Already compressed or encrypted data: nothing for zlib to gain.
Bytes incompressible(size_t size, Random& random) {
    Bytes out(size);
    for (size_t i = 0; i < size; i += 8) {
        const uint64_t value = random.next();
        memcpy(out.data() + i, &value, std::min<size_t>(8, size - i));
    }
    return out;
}

// Program-like: blocks of the other kinds, zero-filled padding and small
// integers, the mixture executables and libraries show.
Bytes mixed(size_t size, Random& random) {
    Bytes out;
    out.reserve(size);
    while (out.size() < size) {
        const size_t block = std::min<size_t>(size - out.size(), 4096 + random.below(60000));
        Bytes part;
        switch (random.below(5)) {
            case 0: part = textLike(block, random); break;
            case 1: part = incompressible(block, random); break;
            case 2: part.assign(block, 0); break;
            default:
                part.resize(block);
                for (unsigned char& b : part)
                    b = static_cast<unsigned char>(random.below(16) * random.below(3));
                break;
        }
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

std::vector<SourceFile> makeProduct() {
    Random random(productStart);
    std::vector<SourceFile> files;
    // Small files, including the sizes around one piece where chunking has
    // its edge cases.
    const std::pair<const char*, size_t> small[] = {
        {"readme.txt", 1},
        {"config/defaults.ini", 137},
        {"config/locale/en.txt", 4096},
        {"tiny/just_under.dat", 29999},
        {"tiny/exactly_one.dat", 30000},
        {"tiny/just_over.dat", 30001},
    };
    uint64_t smallTotal = 0;
    for (const auto& [name, size] : small) {
        files.push_back({name, textLike(size, random), fileTime});
        smallTotal += size;
    }

    constexpr int largeCount = 34;
    std::vector<uint64_t> weights;
    uint64_t weightSum = 0;
    for (int i = 0; i < largeCount; ++i) {
        weights.push_back(1 + random.below(12));
        weightSum += weights.back();
    }
    const uint64_t largeTotal = productBytes - smallTotal;
    uint64_t given = 0;
    for (int i = 0; i < largeCount; ++i) {
        const size_t size = i + 1 == largeCount
                                ? largeTotal - given
                                : static_cast<size_t>(largeTotal * weights[i] / weightSum);
        given += size;
        char name[64];
        switch (i % 5) {
            case 0:
            case 1:
                snprintf(name, sizeof name, "docs/chapter_%02d.txt", i);
                files.push_back({name, textLike(size, random), fileTime});
                break;
            case 2:
                snprintf(name, sizeof name, "data/archive/records_%02d.csv", i);
                files.push_back({name, records(size, random), fileTime});
                break;
            case 3:
                snprintf(name, sizeof name, "media/blob_%02d.bin", i);
                files.push_back({name, incompressible(size, random), fileTime});
                break;
            default:
                snprintf(name, sizeof name, "module_%02d.dll", i);
                files.push_back({name, mixed(size, random), fileTime});
                break;
        }
    }
    return files;
}

void writeWhole(const fs::path& path, const void* data, size_t size) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) throw Broken("cannot write " + path.string());
}

Bytes readWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Broken("cannot read " + path.string());
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The product folder as the generator reads it. The configuration is the
// real product's, so the generator checks the same record it does in the
// build.
void writeProductFolder(const fs::path& folder, const std::vector<SourceFile>& files) {
    std::string json =
        "{\n"
        "  \"config\": {\n"
        "    \"groupName\": \"Tarnwick\",\n"
        "    \"productName\": \"Tarnwick\",\n"
        "    \"settingsFileName\": \"tarnwick.ini\",\n"
        "    \"offerStartupShortcut\": 0,\n"
        "    \"startupPrompt\": \"\",\n"
        "    \"mainExecutable\": \"tarnwick.exe\",\n"
        "    \"startupArguments\": \"-icon\",\n"
        "    \"warnOfRunningCopies\": 0,\n"
        "    \"runHelperInstaller\": 0,\n"
        "    \"serviceExecutable\": \"\",\n"
        "    \"requiredMegabytes\": 1,\n"
        "    \"serviceName\": \"\",\n"
        "    \"startupShortcutName\": \"\"\n"
        "  },\n"
        "  \"agreement\": \"agreement.txt\",\n"
        "  \"icon\": \"bench.ico\",\n"
        "  \"payload\": [\n";
    for (size_t i = 0; i < files.size(); ++i) {
        json += "    { \"name\": \"" + files[i].name + "\", \"source\": \"files/" + files[i].name +
                "\", \"time\": " + std::to_string(files[i].time) + " }" +
                (i + 1 < files.size() ? ",\n" : "\n");
        writeWhole(folder / "files" / files[i].name, files[i].content.data(),
                   files[i].content.size());
    }
    json += "  ]\n}\n";
    writeWhole(folder / "product.json", json.data(), json.size());

    const std::string agreement = "The benchmark's agreement.\r\nNothing to agree to.\r\n";
    writeWhole(folder / "agreement.txt", agreement.data(), agreement.size());
    // The real product's icon: the generator checks its images.
    fs::copy_file(fs::path(SOURCE_DIR) / "product/tarnwick/tarnwick.ico", folder / "bench.ico",
                  fs::copy_options::overwrite_existing);
}

// ---------------------------------------------------------------------------
// Child processes.

struct ChildRun {
    double seconds;
    double cpuSeconds;     // user and system time of the child's process tree
    double peakMegabytes;  // the largest resident set in that tree
};

// The option that turns this program into the measuring parent of one
// command (see measureCommand).
constexpr const char* measureOption = "--measure";

// Runs the command with its output going to `log`, and waits for it. wait4
// reports the child and the descendants it waited for, so a compiler driver
// shows the largest of cc1plus and as. The peak would also include this
// process's own size at the fork, as Linux keeps the resident high-water
// mark across exec: a fresh, small copy of this program therefore starts the
// command and reports its figures back through a pipe.
ChildRun runChild(const std::vector<std::string>& args, const fs::path& log) {
    std::vector<std::string> measured = {"/proc/self/exe", measureOption, log.string()};
    measured.insert(measured.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (const std::string& arg : measured) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    int report[2];
    if (pipe(report) != 0) throw Broken(std::string("pipe: ") + strerror(errno));
    fflush(stdout);
    fflush(stderr);
    const pid_t child = fork();
    if (child < 0) throw Broken(std::string("fork: ") + strerror(errno));
    if (child == 0) {
        dup2(report[1], 1);
        close(report[0]);
        close(report[1]);
        execv(argv[0], argv.data());
        dprintf(2, "cannot run %s: %s\n", argv[0], strerror(errno));
        _exit(127);
    }
    close(report[1]);
    std::string answer;
    char buffer[256];
    for (ssize_t n; (n = read(report[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        answer.append(buffer, static_cast<size_t>(n));
    }
    close(report[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) throw Broken(std::string("waitpid: ") + strerror(errno));
    }

    int commandStatus = -1;
    ChildRun run = {};
    if (sscanf(answer.c_str(), "%d %lf %lf %lf", &commandStatus, &run.seconds, &run.cpuSeconds,
               &run.peakMegabytes) != 4 ||
        !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw Broken("could not measure " + args[0]);
    }
    if (commandStatus != 0) {
        std::string command;
        for (const std::string& arg : args) command += (command.empty() ? "" : " ") + arg;
        const Bytes output = readWhole(log);
        fprintf(stderr, "%s\n%.*s", command.c_str(), static_cast<int>(output.size()),
                reinterpret_cast<const char*>(output.data()));
        const std::string how = commandStatus > 0 ? "exit status " + std::to_string(commandStatus)
                                                  : "signal " + std::to_string(-commandStatus);
        throw Broken(args[0] + " failed with " + how);
    }
    return run;
}

// The measuring parent: runs `command` with stdout and stderr in `log` and
// prints "status wall-seconds cpu-seconds peak-megabytes", where status is
// the exit status or the negated signal number.
int measureCommand(const char* log, char** command) {
    const Clock::time_point start = Clock::now();
    const pid_t child = fork();
    if (child < 0) return 1;
    if (child == 0) {
        const int fd = open(log, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            dup2(fd, 1);
            dup2(fd, 2);
            close(fd);
        }
        execvp(command[0], command);
        dprintf(2, "cannot run %s: %s\n", command[0], strerror(errno));
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    while (wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) return 1;
    }
    const double wall = secondsSince(start);
    const int result = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    printf("%d %.6f %.6f %.3f\n", result, wall, cpuSeconds(usage),
           static_cast<double>(usage.ru_maxrss) * 1024.0 / 1e6);
    return fflush(stdout) == 0 ? 0 : 1;
}

// The fastest of several runs, with the largest peak seen in any: a busy
// machine slows a run down but does not make it smaller.
struct BestRun {
    ChildRun run = {1e300, 0, 0};
    void add(const ChildRun& next) {
        const double peak = std::max(run.peakMegabytes, next.peakMegabytes);
        if (next.seconds < run.seconds) run = next;
        run.peakMegabytes = peak;
    }
};

std::string lastLine(const fs::path& log) {
    const Bytes output = readWhole(log);
    std::string text(output.begin(), output.end());
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const size_t newline = text.rfind('\n');
    return newline == std::string::npos ? text : text.substr(newline + 1);
}

// Compares two output folders file by file; returns the number of files and
// their total size, throws when anything differs.
std::pair<size_t, uint64_t> compareFolders(const fs::path& a, const fs::path& b) {
    auto names = [](const fs::path& folder) {
        std::vector<std::string> list;
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.is_regular_file()) list.push_back(entry.path().filename().string());
        std::sort(list.begin(), list.end());
        return list;
    };
    const std::vector<std::string> namesA = names(a);
    if (namesA != names(b))
        throw Broken("the generator wrote different files to " + a.string() + " and " + b.string());
    uint64_t bytes = 0;
    for (const std::string& name : namesA) {
        const Bytes contentA = readWhole(a / name);
        if (contentA != readWhole(b / name))
            throw Broken("the generator's " + name + " differs between " + a.string() + " and " +
                         b.string());
        bytes += contentA.size();
    }
    return {namesA.size(), bytes};
}

// ---------------------------------------------------------------------------
// Extraction and its floors.

struct Best {
    double seconds = 1e300;
    double cpuSeconds = 0;  // of the fastest run
    void add(const Timing& run) {
        if (run.seconds < seconds)
            std::tie(seconds, cpuSeconds) = std::tie(run.seconds, run.cpuSeconds);
    }
};

uint64_t inflateChunk(const Bytes& chunk, unsigned char* buffer) {
    uLongf produced = CHUNK_SIZE;
    if (uncompress(buffer, &produced, chunk.data(), static_cast<uLong>(chunk.size())) != Z_OK)
        throw Broken("a chunk does not inflate");
    return produced;
}

uint64_t inflateOnly(const std::vector<ChunkedFile>& files) {
    static unsigned char buffer[CHUNK_SIZE];
    uint64_t total = 0;
    for (const ChunkedFile& file : files)
        for (const Bytes& chunk : file.chunks) total += inflateChunk(chunk, buffer);
    return total;
}

void inflateAndWrite(const std::vector<ChunkedFile>& files, const fs::path& folder) {
    static unsigned char buffer[CHUNK_SIZE];
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string path = (folder / ("file_" + std::to_string(i))).string();
        FILE* out = fopen(path.c_str(), "wb");
        if (!out) throw Broken("cannot create " + path);
        for (const Bytes& chunk : files[i].chunks) {
            const size_t size = static_cast<size_t>(inflateChunk(chunk, buffer));
            if (fwrite(buffer, 1, size, out) != size) throw Broken("cannot write " + path);
        }
        if (fclose(out) != 0) throw Broken("cannot close " + path);
    }
}

// The extracted files must be the sources, with the stored time.
size_t verifyExtraction(const fs::path& folder, const std::vector<SourceFile>& sources) {
    for (const SourceFile& source : sources) {
        const fs::path path = folder / source.name;
        if (readWhole(path) != source.content)
            throw Broken("extracted " + source.name + " differs from its source");
        struct stat info;
        if (stat(path.c_str(), &info) != 0 || info.st_mtime != source.time)
            throw Broken("extracted " + source.name + " does not carry its stored time");
    }
    return sources.size();
}

void freshFolder(const fs::path& folder) {
    fs::remove_all(folder);
    fs::create_directories(folder);
}

// ---------------------------------------------------------------------------

std::string cpuModel() {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, 10, "model name") != 0) continue;
        const size_t colon = line.find(':');
        if (colon != std::string::npos)
            return line.substr(line.find_first_not_of(" \t", colon + 1));
    }
    return "unknown CPU";
}

// Other work on the machine shows in the figures; the load says how much.
std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    double one = 0, five = 0, fifteen = 0;
    if (!(in >> one >> five >> fifteen)) return "unknown";
    char text[64];
    snprintf(text, sizeof text, "%.2f %.2f %.2f", one, five, fifteen);
    return text;
}

struct TemporaryFolder {
    fs::path path;
    bool keep = false;
    TemporaryFolder() {
        std::string pattern = (fs::temp_directory_path() / "payload_bench.XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw Broken(std::string("mkdtemp: ") + strerror(errno));
        path = pattern;
    }
    ~TemporaryFolder() {
        if (keep) return;
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

// One line of the table; a negative figure leaves its column empty.
void row(const char* label, double wall, double cpu, double megabytesPerSecond, double peak,
         const std::string& note = "") {
    auto column = [](double value, const char* format, int width) {
        char text[32];
        if (value < 0)
            snprintf(text, sizeof text, "%*s", width, "");
        else
            snprintf(text, sizeof text, format, value);
        return std::string(text);
    };
    printf("%-36s %s %s %s %s%s%s\n", label, column(wall, "%7.3f s", 9).c_str(),
           column(cpu, "%7.3f s", 9).c_str(), column(megabytesPerSecond, "%8.1f", 8).c_str(),
           column(peak, "%7.1f MB", 10).c_str(), note.empty() ? "" : "  ", note.c_str());
}

// The Windows build tree whose engine runs under Wine here: the shipped
// 32-bit one where this kernel runs 32-bit programs, else the x86-64 one.
fs::path windowsTree = "";

// The same payload extracted by the engine in a Windows process under Wine:
// extraction_figures linked with the generator's output as setup.exe is
// linked with its product's, in a fresh prefix.
void windowsFigures(const fs::path& root, const fs::path& generated) {
    const fs::path link = windowsTree / "tests/bench/link-with-payload";
    const fs::path templatePrefix = windowsTree / "wine-template";
    printf("\nUnder Wine, the engine of %s on the generator's payload:\n", windowsTree.c_str());
    if (!fs::exists(link) || !fs::exists(templatePrefix / "system.reg")) {
        printf("  skipped: that tree has no extraction_figures or Wine template "
               "(tests/bench/run builds both)\n");
        return;
    }
    // setup.exe as the build would make it for this product, measured only.
    const fs::path setup = root / "setup.exe";
    const ChildRun setupLink = runChild({link.string(), "setup", generated.string(), setup.string()},
                                        root / "link-setup.log");
    row("assemble, compile, link setup.exe", setupLink.seconds, setupLink.cpuSeconds, -1,
        setupLink.peakMegabytes, std::to_string(fs::file_size(setup)) + " bytes");
    const fs::path exe = root / "extraction_figures.exe";
    const ChildRun linked = runChild(
        {link.string(), "extraction_figures", generated.string(), exe.string()}, root / "link.log");
    row("the same, extraction_figures.exe", linked.seconds, linked.cpuSeconds, -1,
        linked.peakMegabytes, std::to_string(fs::file_size(exe)) + " bytes");
    fs::remove(setup);

    const fs::path prefix = root / "prefix";
    runChild({"cp", "-a", templatePrefix.string(), prefix.string()}, root / "copy.log");
    setenv("WINEPREFIX", prefix.c_str(), 1);
    const ChildRun wine = runChild({SOURCE_DIR "/scripts/wine-run", exe.string(), "C:\\bench",
                                    std::to_string(repetitions)},
                                   root / "wine.log");
    runChild({"/usr/lib/wine/wineserver", "-k"}, root / "wineserver.log");
    unsetenv("WINEPREFIX");
    // Its own table rows; Wine does not report a process's CPU time.
    const Bytes output = readWhole(root / "wine.log");
    printf("%.*s", static_cast<int>(output.size()), reinterpret_cast<const char*>(output.data()));
    printf("  the whole Wine run (start, %d runs of each, exit) took %.1f s\n", repetitions,
           wine.seconds);
    fs::remove_all(prefix);
}

// The generator's answer to a product one byte over the largest it takes
// (a sparse file: no disk, and a check reads no content).
void largestProduct(const fs::path& root) {
    const fs::path folder = root / "too-large";
    writeProductFolder(folder, {{"big.bin", {}, fileTime}});
    fs::resize_file(folder / "files/big.bin", payloadgen::maxPayloadBytes + 1);
    const std::string command =
        std::string(PAYLOADGEN_PATH) + " --check '" + folder.string() + "' 2>&1";
    FILE* output = popen(command.c_str(), "r");
    if (!output) throw Broken("cannot run " + command);
    std::string answer;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, output)) answer += buffer;
    const int status = pclose(output);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 1 ||
        answer.find("more than the") == std::string::npos)
        throw Broken("payloadgen --check takes a product over its limit: " + answer);
    printf("\nThe largest product: %llu bytes of payload. One byte more:\n  %s",
           static_cast<unsigned long long>(payloadgen::maxPayloadBytes), answer.c_str());
    fs::remove_all(folder);
}

// The shipped engine's size and what it is made of, from its link map.
void engineSize() {
    const fs::path tree = fs::path(SOURCE_DIR) / "build/win32";
    printf("\nThe engine of %s:\n", (tree / "setup.exe").c_str());
    if (!fs::exists(tree / "setup.map")) {
        printf("  skipped: build the win32 preset first (tests/bench/run does)\n");
        return;
    }
    fflush(stdout);
    const std::string command = SOURCE_DIR "/tests/bench/engine-size '" +
                                (tree / "setup.exe").string() + "' '" +
                                (tree / "setup.map").string() + "'";
    if (system(command.c_str()) != 0) throw Broken("tests/bench/engine-size failed");
}

int runBenchmark(TemporaryFolder& scratch) {
    const fs::path root = scratch.path;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::vector<SourceFile> sources;
    const double makeSeconds = timed([&] { sources = makeProduct(); }).seconds;
    uint64_t sourceBytes = 0;
    for (const SourceFile& file : sources) sourceBytes += file.content.size();
    if (sourceBytes != productBytes) throw Broken("the synthetic product has the wrong size");
    writeProductFolder(root / "product", sources);
    fs::create_directories(root / "built");
    printf("payload_bench: %zu files, %llu bytes (%.1f MB) of synthetic product, made in %.2f s\n",
           sources.size(), static_cast<unsigned long long>(sourceBytes), megabytes(sourceBytes),
           makeSeconds);
    printf("machine: %s, %u logical CPUs; zlib %s\n", cpuModel().c_str(), cores, zlibVersion());
    printf("scratch: %s\n", root.c_str());
    printf("load average before: %s\n", loadAverage().c_str());
    printf("every figure is the best of %d runs; peak RSS the largest of any\n\n", repetitions);
    printf("%-36s %9s %9s %8s %10s\n", "", "wall", "CPU", "MB/s", "peak RSS");
    printf("%s\n", std::string(76, '-').c_str());
    fflush(stdout);

    // The generator, on one thread and on all.
    const std::string generator = PAYLOADGEN_PATH;
    auto generate = [&](const fs::path& output, const char* threads) {
        std::vector<std::string> args = {generator, "--product", (root / "product").string()};
        args.insert(args.end(),
                    {"--built", (root / "built").string(), "--output", output.string()});
        if (threads) {
            args.push_back("--threads");
            args.push_back(threads);
        }
        return runChild(args, output.string() + ".log");
    };
    // The two kinds of run alternate, so a neighbour's load spreads over both.
    const fs::path out = root / "out-all";
    BestRun singleBest, allBest;
    size_t outputFiles = 0;
    uint64_t outputBytes = 0;
    for (int run = 0; run < repetitions; ++run) {
        const fs::path single = root / ("out-1." + std::to_string(run));
        singleBest.add(generate(single, "1"));
        const fs::path all = run == 0 ? out : root / ("out-all." + std::to_string(run));
        allBest.add(generate(all, nullptr));
        std::tie(outputFiles, outputBytes) = compareFolders(out, single);
        if (all != out) compareFolders(out, all);
        fs::remove_all(single);
        if (all != out) fs::remove_all(all);
    }
    const ChildRun& single = singleBest.run;
    const ChildRun& all = allBest.run;
    const std::string summary = lastLine(root / "out-all.log");

    const double mb = megabytes(sourceBytes);
    row("payloadgen --threads 1", single.seconds, single.cpuSeconds, mb / single.seconds,
        single.peakMegabytes);
    const std::string allLabel = "payloadgen, all threads (" + std::to_string(cores) + ")";
    char speedUp[32];
    snprintf(speedUp, sizeof speedUp, "%.2fx the speed", single.seconds / all.seconds);
    row(allLabel.c_str(), all.seconds, all.cpuSeconds, mb / all.seconds, all.peakMegabytes,
        speedUp);
    printf("  outputs identical in all %d runs of each: %zu files, %llu bytes\n", repetitions,
           outputFiles, static_cast<unsigned long long>(outputBytes));
    printf("  %s\n", summary.c_str());
    fflush(stdout);

    // Compiling the generated sources for Windows, as the product build does.
    const fs::path objects = root / "obj";
    fs::create_directories(objects);
    BestRun tableBest, chunksBest;
    for (int run = 0; run < repetitions; ++run) {
        tableBest.add(runChild(
            {MINGW_CXX, "-std=c++17", "-O2", "-c", "-I" SOURCE_DIR,
             (out / "payload_table.cpp").string(), "-o", (objects / "payload_table.o").string()},
            objects / "payload_table.log"));
        chunksBest.add(runChild(
            {MINGW_CXX, "-O2", "-c", "-Wa,-I" + out.string(), (out / "payload_chunks.S").string(),
             "-o", (objects / "payload_chunks.o").string()},
            objects / "payload_chunks.log"));
    }
    const ChildRun& table = tableBest.run;
    const ChildRun& chunks = chunksBest.run;
    const double compileSeconds = table.seconds + chunks.seconds;
    const double compilePeak = std::max(table.peakMegabytes, chunks.peakMegabytes);
    const bool goalMet = compileSeconds < compileSecondsGoal && compilePeak < compileMegabytesGoal;

    row("mingw -O2 -c payload_table.cpp", table.seconds, table.cpuSeconds, -1, table.peakMegabytes);
    row("mingw -O2 -c payload_chunks.S", chunks.seconds, chunks.cpuSeconds, -1,
        chunks.peakMegabytes);
    char goal[96];
    snprintf(goal, sizeof goal, "goal < %.0f s, < %.0f MB: %s", compileSecondsGoal,
             compileMegabytesGoal, goalMet ? "met" : "MISSED");
    row("mingw, both one after the other", compileSeconds, table.cpuSeconds + chunks.cpuSeconds, -1,
        compilePeak, goal);
    printf("  compiler: %s\n", MINGW_CXX);
    fflush(stdout);

    // Extraction of the same chunks, made in this process.
    std::vector<ChunkedFile> chunked;
    Best chunkBest;
    for (int run = 0; run < repetitions; ++run)
        chunkBest.add(timed([&] { chunked = chunkFiles(sources, 0); }));
    Bytes concatenated;
    size_t chunkCount = 0;
    for (const ChunkedFile& file : chunked) {
        chunkCount += file.chunks.size();
        for (const Bytes& chunk : file.chunks)
            concatenated.insert(concatenated.end(), chunk.begin(), chunk.end());
    }
    const Bytes binary = readWhole(out / "payload_chunks.bin");
    if (concatenated != binary)
        throw Broken("chunkFiles in this process does not make the generator's payload_chunks.bin");
    concatenated = Bytes();

    TestPayload view;
    for (const ChunkedFile& file : chunked) view.addRawChunks(file.name, file.chunks, file.time);
    const PayloadTable& payloadTable = view.table();

    Best inflateBest, writeBest, extractBest, checkBest;
    const fs::path floorFolder = root / "floor";
    const fs::path extractFolder = root / "extract";
    for (int run = 0; run < repetitions; ++run) {
        uint64_t inflated = 0;
        inflateBest.add(timed([&] { inflated = inflateOnly(chunked); }));
        if (inflated != sourceBytes)
            throw Broken("the chunks do not inflate to the product's size");

        freshFolder(floorFolder);
        writeBest.add(timed([&] { inflateAndWrite(chunked, floorFolder); }));

        PayloadCheck check = PAYLOAD_UNCHECKED;
        checkBest.add(timed([&] { check = checkPayloadFrom(payloadTable); }));
        if (check != PAYLOAD_INTACT) throw Broken("checkPayloadFrom finds the payload damaged");

        freshFolder(extractFolder);
        // Payload names resolve against the current directory.
        const fs::path previous = fs::current_path();
        fs::current_path(extractFolder);
        ExtractResult result = EXTRACT_DONE;
        extractBest.add(
            timed([&] { result = extractPayloadFrom(payloadTable, nullptr, nullptr); }));
        fs::current_path(previous);
        if (result != EXTRACT_DONE)
            throw Broken("extractPayloadFrom returned " + std::to_string(result));
    }
    const size_t verified = verifyExtraction(extractFolder, sources);

    row("chunkFiles in process, all threads", chunkBest.seconds, chunkBest.cpuSeconds,
        mb / chunkBest.seconds, -1, std::to_string(chunkCount) + " chunks = payload_chunks.bin");
    row("inflate only", inflateBest.seconds, inflateBest.cpuSeconds, mb / inflateBest.seconds, -1,
        "floor");
    row("inflate + fwrite + fclose", writeBest.seconds, writeBest.cpuSeconds,
        mb / writeBest.seconds, -1, "floor");
    char share[64];
    snprintf(share, sizeof share, "%.0f%% of the write floor's speed",
             100.0 * writeBest.seconds / extractBest.seconds);
    row("extractPayloadFrom", extractBest.seconds, extractBest.cpuSeconds, mb / extractBest.seconds,
        -1, share);
    char budget[64];
    snprintf(budget, sizeof budget, "before the first window; goal < 0.3 s: %s",
             checkBest.seconds < 0.3 ? "met" : "MISSED");
    row("checkPayloadFrom", checkBest.seconds, checkBest.cpuSeconds, mb / checkBest.seconds, -1,
        budget);
    printf("  verified: %zu of %zu extracted files match their sources, bytes and times\n",
           verified, sources.size());
    printf("  writes end in the page cache (nothing is synced), floors and extraction alike\n");
    fflush(stdout);

    windowsFigures(root, out);
    largestProduct(root);
    engineSize();
    printf("\nload average after: %s\n", loadAverage().c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && strcmp(argv[1], measureOption) == 0) return measureCommand(argv[2], argv + 3);
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const bool valued = i + 1 < argc;
        if (strcmp(argv[i], "--keep") == 0) {
            keep = true;
        } else if (valued && strcmp(argv[i], "--megabytes") == 0 && atoi(argv[i + 1]) > 0) {
            productBytes = static_cast<uint64_t>(atoi(argv[++i])) << 20;
        } else if (valued && strcmp(argv[i], "--runs") == 0 && atoi(argv[i + 1]) > 0) {
            repetitions = atoi(argv[++i]);
        } else if (valued && strcmp(argv[i], "--windows-tree") == 0) {
            windowsTree = argv[++i];
        } else {
            fprintf(stderr,
                    "usage: payload_bench [--keep] [--megabytes N] [--runs N] [--windows-tree DIR]\n"
                    "  --keep          leave the temporary folder in place\n"
                    "  --megabytes N   the synthetic product's size (default 64)\n"
                    "  --runs N        runs of each figure, the best kept (default 3)\n"
                    "  --windows-tree  the Windows build whose engine runs under Wine\n"
                    "                  (default build/win32, or build/win64 where this\n"
                    "                  kernel cannot run 32-bit programs)\n");
            return 2;
        }
    }
    if (windowsTree.empty()) {
        const bool runs32 = system(SOURCE_DIR "/scripts/can-run-32bit >/dev/null 2>&1") == 0;
        windowsTree = fs::path(SOURCE_DIR) / (runs32 ? "build/win32" : "build/win64");
    }
    try {
        TemporaryFolder scratch;
        scratch.keep = keep;
        try {
            return runBenchmark(scratch);
        } catch (...) {
            // What went wrong is easier to see in the files it left.
            scratch.keep = true;
            fprintf(stderr, "payload_bench: the temporary folder %s is kept\n",
                    scratch.path.c_str());
            throw;
        }
    } catch (const std::exception& error) {
        fprintf(stderr, "payload_bench: %s\n", error.what());
        return 1;
    }
}
