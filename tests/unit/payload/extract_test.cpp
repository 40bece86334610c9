// Extraction and removal on a real folder. These tests run on the host and,
// built for Windows, under Wine against the real C runtime.
#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include "payload/extract.h"
#include "support/scratch_folder.h"
#include "support/test_payload.h"
#include "support/test_platform.h"

namespace {

struct Report {
    WindowHandle window;
    std::string text;
    int percent;
    bool operator==(const Report& o) const {
        return window == o.window && text == o.text && percent == o.percent;
    }
};

std::vector<Report> reports;

void recordReport(WindowHandle window, const char* text, int percent) {
    reports.push_back(Report{window, text, percent});
}

WindowHandle fakeWindow() { return reinterpret_cast<WindowHandle>(0x1234); }

class Extraction : public ::testing::Test {
protected:
    void SetUp() override { reports.clear(); }
    ScratchFolder scratch;
};

const int32_t T2001 = 1000000000;

TEST_F(Extraction, RoundTripsEveryShapeOfFile) {
    struct Case {
        const char* label;
        std::string name;
        Bytes content;
        int expectedChunks;
    };
    std::vector<Case> cases = {
        {"empty file", "empty.txt", Bytes(), 0},
        {"exactly one piece", "one.bin", patternBytes(30000, 1), 1},
        {"one byte past a piece", "two.bin", patternBytes(30001, 2), 2},
        {"incompressible, chunk longer than piece", "noise.bin", randomBytes(40000, 3), 2},
        {"nested with slashes", "docs/deep/er/file.htm", patternBytes(500, 4), 1},
        {"nested with backslashes", "art\\small\\x.gif", randomBytes(66, 5), 1},
    };
    TestPayload payload;
    for (size_t i = 0; i < cases.size(); ++i) {
        payload.add(cases[i].name, cases[i].content, T2001 + static_cast<int32_t>(i) * 3600);
    }
    const PayloadTable& table = payload.table();
    ASSERT_EQ(EXTRACT_DONE, extractPayloadFrom(table, fakeWindow(), recordReport));

    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].label);
        std::string path = cases[i].name;
        for (char& c : path) {
            if (c == '\\') c = '/';
        }
        EXPECT_EQ(cases[i].expectedChunks, table.fileChunkCounts[i]);
        EXPECT_EQ(cases[i].content, readFile(path));
        EXPECT_EQ(T2001 + static_cast<int64_t>(i) * 3600, modificationTime(path));
    }
    EXPECT_GT(table.fileChunkLengths[3][0], 30000u) << "noise must not shrink";
}

TEST_F(Extraction, ReportsEachChunkOfTheShippedLayout) {
    TestPayload payload;
    payload.add("tarnwick.exe", randomBytes(165000, 7), T2001);
    for (const char* name : {"help.htm", "tw.gif", "tw-target.gif", "tw-head-prologue.twr",
                             "tw-body-prologue.twr", "tw-body-epilogue.twr",
                             "tw-menu-insert.twr", "kluninst.exe"}) {
        payload.add(name, patternBytes(900, 8), T2001);
    }
    ASSERT_EQ(EXTRACT_DONE, extractPayloadFrom(payload.table(), fakeWindow(), recordReport));

    std::vector<std::pair<std::string, int>> expected = {
        {"tarnwick.exe", 0},          {"tarnwick.exe", 7},          {"tarnwick.exe", 14},
        {"tarnwick.exe", 21},         {"tarnwick.exe", 28},         {"tarnwick.exe", 35},
        {"tarnwick.exe", 42},         {"help.htm", 42},             {"help.htm", 50},
        {"tw.gif", 50},               {"tw.gif", 57},               {"tw-target.gif", 57},
        {"tw-target.gif", 64},        {"tw-head-prologue.twr", 64}, {"tw-head-prologue.twr", 71},
        {"tw-body-prologue.twr", 71}, {"tw-body-prologue.twr", 78}, {"tw-body-epilogue.twr", 78},
        {"tw-body-epilogue.twr", 85}, {"tw-menu-insert.twr", 85},   {"tw-menu-insert.twr", 92},
        {"kluninst.exe", 92},         {"kluninst.exe", 100},        {"", 100},
        {"Done", 100}};
    ASSERT_EQ(expected.size(), reports.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ((Report{fakeWindow(), expected[i].first, expected[i].second}), reports[i])
            << "report " << i;
    }
}

TEST_F(Extraction, WithoutCallbackGivesTheSameFiles) {
    TestPayload payload;
    payload.add("a/b.txt", patternBytes(70000, 9), T2001);
    ASSERT_EQ(EXTRACT_DONE, extractPayloadFrom(payload.table(), nullptr, nullptr));
    EXPECT_EQ(patternBytes(70000, 9), readFile("a/b.txt"));
    EXPECT_EQ(T2001, modificationTime("a/b.txt"));
}

TEST_F(Extraction, OverwritesAnExistingDataFileWhateverItsTime) {
    writeFile("data.twr", Bytes(100000, 'x'));
    setModificationTime("data.twr", T2001 + 500000);
    TestPayload payload;
    payload.add("data.twr", patternBytes(10, 1), T2001);
    ASSERT_EQ(EXTRACT_DONE, extractPayloadFrom(payload.table(), nullptr, nullptr));
    EXPECT_EQ(patternBytes(10, 1), readFile("data.twr"));
    EXPECT_EQ(T2001, modificationTime("data.twr"));
}

class SystemFiles : public Extraction {
protected:
    void SetUp() override {
        Extraction::SetUp();
        systemDirectory = prepareSystemDirectory(scratch.path());
        std::random_device entropy;
        leaf = "twtest-" + std::to_string(entropy()) + ".dat";
        installed = systemDirectory + "/" + leaf;
    }
    void TearDown() override { std::remove(installed.c_str()); }
    std::string systemDirectory, leaf, installed;
};

TEST_F(SystemFiles, LandInTheSystemDirectoryByTheNewerCopyRule) {
    struct Case {
        const char* label;
        const char* prefix;
        int64_t existingTime;  // -1: no existing copy
        bool overwritten;
    };
    const Case cases[] = {
        {"no copy, slash", "SYSTEM/", -1, true},
        {"no copy, backslash", "SYSTEM\\", -1, true},
        {"older copy", "SYSTEM/", T2001 - 1, true},
        {"equal copy", "SYSTEM/", T2001, true},
        {"copy one second newer", "SYSTEM\\", T2001 + 1, false},
    };
    const Bytes old = Bytes(50, 'o');
    const Bytes fresh = patternBytes(35000, 3);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::remove(installed.c_str());
        if (c.existingTime >= 0) {
            writeFile(installed, old);
            setModificationTime(installed, c.existingTime);
        }
        TestPayload payload;
        payload.add(std::string(c.prefix) + leaf, fresh, T2001);
        payload.add("after.txt", patternBytes(10, 4), T2001);
        reports.clear();
        ASSERT_EQ(EXTRACT_DONE, extractPayloadFrom(payload.table(), nullptr, recordReport));
        EXPECT_EQ(c.overwritten ? fresh : old, readFile(installed));
        EXPECT_EQ(c.overwritten ? T2001 : c.existingTime, modificationTime(installed));
        EXPECT_FALSE(exists("SYSTEM")) << "nothing lands below the data folder";
        // A skipped file is announced, then the next file jumps past its chunks.
        if (!c.overwritten) {
            ASSERT_GE(reports.size(), 2u);
            EXPECT_EQ(std::string(c.prefix) + leaf, reports[0].text);
            EXPECT_EQ((Report{nullptr, "after.txt", 66}), reports[1]);
        }
    }
}

TEST_F(Extraction, AccessRefusalCountsAsDoneOnlyForDllPaths) {
    struct Case {
        const char* label;
        const char* name;
        ExtractResult expected;
    };
    const Case cases[] = {
        {"lower-case dll", "helper.dll", EXTRACT_DONE},
        {"upper-case DLL", "HELPER.DLL", EXTRACT_DONE},
        {"dll in a folder name", "dllcache/data.bin", EXTRACT_DONE},
        {"mixed-case Dll", "Helper.Dll", EXTRACT_CANNOT_CREATE},
        {"no dll at all", "tarnwick.exe", EXTRACT_CANNOT_CREATE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::string path = c.name;
        if (path.find('/') != std::string::npos) std::filesystem::create_directories("dllcache");
        writeFile(path, Bytes(3, 'k'));
        TestPayload payload;
        payload.add(c.name, patternBytes(40000, 1), T2001)
            .add("next.txt", patternBytes(40000, 2), T2001);
        std::remove("next.txt");
        reports.clear();
        {
            HeldFile held(path);
            EXPECT_EQ(c.expected, extractPayloadFrom(payload.table(), fakeWindow(), recordReport));
        }
        EXPECT_EQ(Bytes(3, 'k'), readFile(path)) << "the held file is untouched";
        EXPECT_EQ(c.expected == EXTRACT_DONE, exists("next.txt"));
        if (c.expected == EXTRACT_DONE) {
            // The held file's two chunks count as done: the next file is
            // announced at half of the four.
            ASSERT_GE(reports.size(), 2u);
            EXPECT_EQ((Report{fakeWindow(), "next.txt", 50}), reports[1]);
        }
    }
}

TEST_F(Extraction, CreatesEachDirectoryLevelAndKeepsThem) {
    TestPayload payload;
    payload.add("one/two/three.txt", patternBytes(10, 1), T2001);
    ASSERT_EQ(EXTRACT_DONE, extractPayloadFrom(payload.table(), nullptr, nullptr));
    EXPECT_TRUE(std::filesystem::is_directory("one/two"));
    ASSERT_EQ(EXTRACT_DONE, removePayloadFilesFrom(payload.table(), nullptr, nullptr));
    EXPECT_FALSE(exists("one/two/three.txt"));
    EXPECT_TRUE(std::filesystem::is_directory("one/two")) << "created directories stay";
}

TEST_F(Extraction, APlainFileOnThePathIsTakenAsPresentAndTheOpenFails) {
    writeFile("blocker", Bytes(1, 'b'));
    EXPECT_EQ(1, makeParentDirectories("blocker\\inner.txt"));
    TestPayload payload;
    payload.add("blocker/inner.txt", patternBytes(10, 1), T2001);
    EXPECT_EQ(EXTRACT_CANNOT_CREATE, extractPayloadFrom(payload.table(), nullptr, nullptr));
}

TEST_F(Extraction, ADirectoryWhereTheFileGoesCannotBeCreated) {
    std::filesystem::create_directories("tarnwick.exe");
    TestPayload payload;
    payload.add("first.txt", patternBytes(10, 1), T2001);
    payload.add("tarnwick.exe", patternBytes(10, 2), T2001);
    payload.add("last.txt", patternBytes(10, 3), T2001);
    EXPECT_EQ(EXTRACT_CANNOT_CREATE, extractPayloadFrom(payload.table(), nullptr, recordReport));
    EXPECT_TRUE(exists("first.txt"));
    EXPECT_FALSE(exists("last.txt"));
    EXPECT_EQ("tarnwick.exe", reports.back().text);
}

TEST_F(Extraction, PathWithoutSeparatorsCreatesNothing) {
    EXPECT_EQ(1, makeParentDirectories("plain.txt"));
    EXPECT_FALSE(exists("plain.txt"));
}

TEST_F(Extraction, AFileWithoutChunksIsCreatedEmptyWithItsTime) {
    TestPayload payload;
    payload.add("empty.twr", Bytes(), T2001).add("full.twr", patternBytes(10, 1), T2001);
    ASSERT_EQ(EXTRACT_DONE, extractPayloadFrom(payload.table(), nullptr, nullptr));
    EXPECT_TRUE(exists("empty.twr"));
    EXPECT_TRUE(readFile("empty.twr").empty());
    EXPECT_EQ(T2001, modificationTime("empty.twr"));
}

TEST_F(Extraction, ADamagedChunkWritesNoneOfItsOutput) {
    struct Case {
        const char* label;
        void (*damage)(Bytes&);
    };
    const Case cases[] = {
        {"flipped byte", [](Bytes& c) { c[c.size() / 2] ^= 0x55; }},
        {"truncated stream", [](Bytes& c) { c.resize(c.size() - 6); }},
        {"bad checksum", [](Bytes& c) { c.back() ^= 1; }},
        {"not zlib at all", [](Bytes& c) { c.assign(40, 0xAB); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TestPayload payload;
        payload.add("big.bin", patternBytes(70000, 1), T2001);
        EXPECT_EQ(PAYLOAD_INTACT, checkPayloadFrom(payload.table()));
        c.damage(payload.chunk(0, 1));
        EXPECT_EQ(PAYLOAD_DAMAGED, checkPayloadFrom(payload.table()));
        EXPECT_EQ(EXTRACT_WRITE_FAILED, extractPayloadFrom(payload.table(), nullptr, nullptr));
        Bytes written = readFile("big.bin");
        Bytes original = patternBytes(70000, 1);
        Bytes firstPiece(original.begin(), original.begin() + 30000);
        EXPECT_EQ(firstPiece, written) << "only the intact first chunk is on disk";
    }
}

TEST_F(Extraction, AChunkInflatingPastTheBufferIsRefused) {
    Bytes tooBig = patternBytes(CHUNK_SIZE + 1, 2);
    TestPayload payload;
    payload.addRawChunks("over.bin", {compressStream(tooBig.data(), tooBig.size())}, T2001);
    EXPECT_EQ(PAYLOAD_DAMAGED, checkPayloadFrom(payload.table()));
    EXPECT_EQ(EXTRACT_WRITE_FAILED, extractPayloadFrom(payload.table(), nullptr, nullptr));
    EXPECT_TRUE(readFile("over.bin").empty());
}

TEST(PayloadCheck, OnlyAFilesLastChunkMayBeShortOrLongerThanAPieceNone) {
    const Bytes piece = patternBytes(CHUNK_SOURCE_SIZE, 3), little = patternBytes(100, 4);
    const Bytes tooLong = patternBytes(CHUNK_SOURCE_SIZE + 1, 5);
    const Bytes wholePiece = compressStream(piece.data(), piece.size());
    const Bytes shortPiece = compressStream(little.data(), little.size());
    const Bytes longPiece = compressStream(tooLong.data(), tooLong.size());
    const Bytes nothing = compressStream(nullptr, 0);
    struct Row {
        const char* label;
        std::vector<Bytes> chunks;
        PayloadCheck check;
    };
    const Row rows[] = {
        {"full pieces, a short last one", {wholePiece, wholePiece, shortPiece}, PAYLOAD_INTACT},
        {"a short piece before the last", {shortPiece, wholePiece}, PAYLOAD_DAMAGED},
        {"a last piece longer than the generator cuts", {longPiece}, PAYLOAD_DAMAGED},
        {"a last piece of nothing", {wholePiece, nothing}, PAYLOAD_DAMAGED},
    };
    for (const Row& row : rows) {
        TestPayload payload;
        payload.add("intact.txt", little, 0).addRawChunks("odd.bin", row.chunks, 0);
        EXPECT_EQ(row.check, checkPayloadFrom(payload.table())) << row.label;
    }
}

TEST_F(Extraction, ATableWithoutChunksReportsCompletion) {
    TestPayload payload;
    payload.add("a.txt", Bytes(), T2001).add("b.txt", Bytes(), T2001);
    ASSERT_EQ(EXTRACT_DONE, extractPayloadFrom(payload.table(), nullptr, recordReport));
    for (const Report& r : reports) EXPECT_EQ(100, r.percent) << r.text;
    EXPECT_EQ(EXTRACT_DONE, extractPayloadFrom(TestPayload().table(), nullptr, nullptr));
}

class Removal : public Extraction {
protected:
    void SetUp() override {
        Extraction::SetUp();
        for (int i = 0; i < 9; ++i) {
            std::string name = "file" + std::to_string(i) + ".txt";
            names.push_back(name);
            payload.add(name, patternBytes(10, i), T2001);
        }
    }
    TestPayload payload;
    std::vector<std::string> names;
};

TEST_F(Removal, ReportsByFileIndexAndDeletesWhatIsThere) {
    for (size_t i = 0; i < names.size(); i += 2) writeFile(names[i], Bytes(1, 'x'));
    ASSERT_EQ(EXTRACT_DONE, removePayloadFilesFrom(payload.table(), fakeWindow(), recordReport));
    const int percents[] = {0, 11, 22, 33, 44, 55, 66, 77, 88};
    ASSERT_EQ(10u, reports.size());
    for (int i = 0; i < 9; ++i) EXPECT_EQ((Report{fakeWindow(), names[i], percents[i]}), reports[i]);
    EXPECT_EQ((Report{fakeWindow(), "", 100}), reports[9]);
    for (const std::string& name : names) EXPECT_FALSE(exists(name)) << name;
}

TEST_F(Removal, StopsAtTheFirstFileThatCannotBeDeleted) {
    for (const std::string& name : names) writeFile(name, Bytes(1, 'x'));
    makeUndeletable(names[3]);
    EXPECT_EQ(0, removePayloadFilesFrom(payload.table(), nullptr, recordReport));
    makeDeletable(names[3]);
    EXPECT_FALSE(exists(names[2]));
    EXPECT_TRUE(exists(names[3]));
    EXPECT_TRUE(exists(names[4]));
    EXPECT_EQ(names[3], reports.back().text) << "no final report";
}

TEST_F(Removal, NeverLooksIntoTheSystemDirectory) {
    TestPayload system;
    system.add("SYSTEM/shared.dll", patternBytes(10, 1), T2001);
    std::filesystem::create_directories("SYSTEM");
    writeFile("SYSTEM/shared.dll", Bytes(1, 's'));
    EXPECT_EQ(EXTRACT_DONE, removePayloadFilesFrom(system.table(), nullptr, nullptr));
    EXPECT_FALSE(exists("SYSTEM/shared.dll")) << "the name is taken as stored, below the folder";
}

}  // namespace
