// extraction_figures: the engine's extraction in a Windows process (under
// Wine here), on a payload linked into this program as into setup.exe,
// beside two floors on the same chunks: inflating only, and inflating plus
// writing each file with the C runtime. payload_bench links it with the
// generator's output for its synthetic product and runs it.
//
// usage: extraction_figures.exe FOLDER [RUNS]
// FOLDER (made if missing) receives the floor's and the engine's files.
// Prints one table row per figure, as payload_bench does; exits non-zero
// only when something is broken (a chunk fails, the files differ).
#include <direct.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include <zlib.h>

#include "payload/extract.h"
#include "payload/payload_table.h"

namespace {

double wallSeconds() {
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double cpuSeconds() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    auto seconds = [](const FILETIME& time) {
        return static_cast<double>((static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                                   time.dwLowDateTime) /
               1e7;
    };
    return seconds(kernel) + seconds(user);
}

// The fastest of the runs, with its CPU time.
struct Best {
    double seconds = 1e300;
    double cpu = 0;
    template <typename Work>
    void add(Work work) {
        const double cpuStart = cpuSeconds();
        const double start = wallSeconds();
        work();
        const double taken = wallSeconds() - start;
        if (taken < seconds) {
            seconds = taken;
            cpu = cpuSeconds() - cpuStart;
        }
    }
};

[[noreturn]] void broken(const char* what, const char* detail = "") {
    fprintf(stderr, "extraction_figures: %s%s\n", what, detail);
    exit(1);
}

unsigned char buffer[CHUNK_SIZE];

uLongf inflateChunk(int file, int chunk) {
    uLongf produced = CHUNK_SIZE;
    if (uncompress(buffer, &produced, payloadTable.fileChunks[file][chunk],
                   payloadTable.fileChunkLengths[file][chunk]) != Z_OK) {
        broken("a chunk does not inflate in ", payloadTable.fileNames[file]);
    }
    return produced;
}

uint64_t inflateOnly() {
    uint64_t total = 0;
    for (int f = 0; f < payloadTable.fileCount; ++f)
        for (int c = 0; c < payloadTable.fileChunkCounts[f]; ++c) total += inflateChunk(f, c);
    return total;
}

void floorName(char* path, size_t size, int file) { snprintf(path, size, "floor\\file_%d", file); }

void inflateAndWrite() {
    char path[64];
    for (int f = 0; f < payloadTable.fileCount; ++f) {
        floorName(path, sizeof path, f);
        FILE* out = fopen(path, "wb");
        if (!out) broken("cannot create ", path);
        for (int c = 0; c < payloadTable.fileChunkCounts[f]; ++c) {
            const size_t size = inflateChunk(f, c);
            if (fwrite(buffer, 1, size, out) != size) broken("cannot write ", path);
        }
        if (fclose(out) != 0) broken("cannot close ", path);
    }
}

// What the progress dialog is told, counted: one report per file and per
// chunk, the percentage never going back.
struct Reports {
    long count = 0;
    int lastPercent = -1;
    bool wentBack = false;
} reports;

void countReport(WindowHandle, const char*, int percent) {
    ++reports.count;
    if (percent < reports.lastPercent) reports.wentBack = true;
    reports.lastPercent = percent;
}

// The engine's files are the floor's, byte for byte.
void compareWithFloor() {
    static unsigned char a[1 << 16], b[1 << 16];
    char floorPath[64], path[MAX_PATH + 16];
    for (int f = 0; f < payloadTable.fileCount; ++f) {
        floorName(floorPath, sizeof floorPath, f);
        snprintf(path, sizeof path, "engine\\%s", payloadTable.fileNames[f]);
        FILE* x = fopen(floorPath, "rb");
        FILE* y = fopen(path, "rb");
        if (!x || !y) broken("cannot read back ", path);
        for (;;) {
            const size_t n = fread(a, 1, sizeof a, x);
            if (fread(b, 1, sizeof b, y) != n || memcmp(a, b, n) != 0)
                broken("the engine's file differs from the floor's: ", path);
            if (n == 0) break;
        }
        fclose(x);
        fclose(y);
    }
}

void removeTree(const char* folder) {
    char command[MAX_PATH + 32];
    snprintf(command, sizeof command, "rmdir /s /q \"%s\" 2>nul", folder);
    system(command);
}

void row(const char* label, const Best& best, double megabytes, const char* note) {
    printf("%-36s %7.3f s %7.3f s %8.1f %10s  %s\n", label, best.seconds, best.cpu,
           megabytes / best.seconds, "", note);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) broken("usage: extraction_figures.exe FOLDER [RUNS]");
    const int runs = argc > 2 ? atoi(argv[2]) : 3;
    _mkdir(argv[1]);
    if (_chdir(argv[1]) != 0) broken("cannot enter ", argv[1]);

    uint64_t bytes = 0;
    long chunks = 0;
    for (int f = 0; f < payloadTable.fileCount; ++f) chunks += payloadTable.fileChunkCounts[f];
    Best check, inflateBest, writeBest, extractBest;
    for (int run = 0; run < runs; ++run) {
        PayloadCheck verdict = PAYLOAD_UNCHECKED;
        check.add([&] { verdict = checkPayload(); });
        if (verdict != PAYLOAD_INTACT) broken("checkPayload finds the payload damaged");

        inflateBest.add([&] { bytes = inflateOnly(); });

        removeTree("floor");
        _mkdir("floor");
        writeBest.add(inflateAndWrite);

        removeTree("engine");
        _mkdir("engine");
        if (_chdir("engine") != 0) broken("cannot enter the engine's folder");
        reports = Reports();
        ExtractResult result = EXTRACT_DONE;
        extractBest.add([&] { result = extractPayload(nullptr, countReport); });
        if (_chdir("..") != 0) broken("cannot leave the engine's folder");
        if (result != EXTRACT_DONE) broken("extractPayload failed");
    }
    compareWithFloor();

    const double megabytes = static_cast<double>(bytes) / 1e6;
    printf("%d files, %ld chunks, %.1f MB unpacked; %s bits; best of %d runs\n",
           payloadTable.fileCount, chunks, megabytes, sizeof(void*) == 4 ? "32" : "64", runs);
    row("inflate only", inflateBest, megabytes, "floor");
    row("inflate + fwrite + fclose", writeBest, megabytes, "floor");
    char note[96];
    snprintf(note, sizeof note, "%.2f of the write floor's speed; %ld progress reports",
             writeBest.seconds / extractBest.seconds, reports.count);
    row("extractPayload", extractBest, megabytes, note);
    row("checkPayload", check, megabytes, "before the first window");
    printf("  the engine's files are the floor's, byte for byte; reports ended at %d%%%s\n",
           reports.lastPercent, reports.wentBack ? ", but WENT BACK" : ", never going back");
    return reports.wentBack || reports.lastPercent != 100 ? 1 : 0;
}
