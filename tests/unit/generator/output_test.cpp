// The generated files: identical for the same product whatever the thread
// count, and with a source time wherever and whenever its files were made;
// rewritten only when they change, and free of anything tied to the build
// machine or open to misreading by the compiler or assembler.
#include <gtest/gtest.h>

#include <sys/time.h>
#include <zlib.h>

#include <iterator>
#include <optional>
#include <regex>
#include <sstream>

#include "payload/payload_table.h"

#include "payloadgen/emit.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

const char* const outputNames[] = {"payload_chunks.bin", "payload_chunks.S", "payload_table.cpp",
                                   "installer_config.cpp", "product.ico"};

// A product of several pieces per file, some of them noise, with a time
// taken from the file system.
void fillProduct(gentest::TestProduct& product) {
    product.addSource("docs/big.txt", "files/big.txt", gentest::sampleBytes(95000, 3, true));
    product.addSource("SYSTEM/noise.dll", "files/noise.dll", gentest::sampleBytes(70001, 4, false));
    product.addSource("empty.dat", "files/empty.dat", "");
    product.description["payload"].back().erase("time");
}

TEST(GeneratedOutput, IsTheSameForAnyThreadCountAndRun) {
    gentest::TestProduct product;
    fillProduct(product);
    const fs::path out = product.outputDir();
    ASSERT_EQ(product.run({"--threads", "1"}).status, 0);
    for (const char* threads : {"7", ""}) {
        SCOPED_TRACE(*threads ? threads : "all cores");
        const fs::path first = out.string() + "-first";
        fs::remove_all(first);
        fs::rename(out, first);
        const auto result = product.run(*threads ? std::vector<std::string>{"--threads", threads}
                                                 : std::vector<std::string>{});
        ASSERT_EQ(result.status, 0) << result.err;
        for (const char* name : outputNames)
            EXPECT_EQ(gentest::readFile(out / name), gentest::readFile(first / name)) << name;
    }
}

TEST(GeneratedOutput, RewritesOnlyWhatChanged) {
    gentest::TestProduct product;
    fillProduct(product);
    ASSERT_EQ(product.run().status, 0);
    std::map<std::string, fs::file_time_type> before;
    for (const char* name : outputNames) {
        // Back-date every output so a rewrite cannot hide within the clock's
        // resolution.
        fs::last_write_time(product.outputDir() / name, fs::file_time_type::clock::now() - std::chrono::hours(1));
        before[name] = fs::last_write_time(product.outputDir() / name);
    }
    ASSERT_EQ(product.run().status, 0);
    for (const char* name : outputNames)
        EXPECT_EQ(fs::last_write_time(product.outputDir() / name), before[name]) << name << " was rewritten";

    product.description["config"]["productName"] = "Renamed";
    ASSERT_EQ(product.run().status, 0);
    EXPECT_NE(fs::last_write_time(product.outputDir() / "installer_config.cpp"), before["installer_config.cpp"]);
    EXPECT_EQ(fs::last_write_time(product.outputDir() / "payload_chunks.bin"), before["payload_chunks.bin"]);
}

TEST(GeneratedOutput, SourcesStayPortableAndReadOnly) {
    gentest::TestProduct product;
    fillProduct(product);
    product.description["config"]["startupPrompt"] = "Quote \" back \\ ?\?= \xC3\xA9 \x01 2";
    const auto result = product.run({"--namespace", "sample"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(std::regex_match(result.out, std::regex("payloadgen: 5 files, 9 chunks, 165111 bytes in, "
                                                        "[0-9]+ bytes out, ratio 0\\.[0-9]{3}\n")))
        << result.out;

    const std::string assembly = gentest::readFile(product.outputDir() / "payload_chunks.S");
    const std::string bytes = gentest::readFile(product.outputDir() / "payload_chunks.bin");
    EXPECT_EQ(assembly.find(product.outputDir().parent_path().string()), std::string::npos);
    const std::regex allowedSection(R"(\t\.section (\.rodata|\.rdata,"dr"|\.note\.GNU-stack,"",@progbits))");
    const std::regex incbin(R"(\t\.incbin "payload_chunks\.bin", ([0-9]+), ([0-9]+))");
    std::istringstream lines(assembly);
    std::size_t next = 0, labels = 0;
    std::string inflated;
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (line.find(".section") != std::string::npos || line.find(".data") != std::string::npos ||
            line.find(".text") != std::string::npos || line.find(".bss") != std::string::npos) {
            EXPECT_TRUE(std::regex_match(line, allowedSection)) << line;
        }
        if (line.find(".incbin") != std::string::npos) {
            ASSERT_TRUE(std::regex_match(line, match, incbin)) << line;
            EXPECT_EQ(std::stoull(match[1]), next) << "chunks must follow each other in the .bin file";
            const std::size_t length = std::stoull(match[2]);
            ASSERT_LE(next + length, bytes.size()) << line;
            // Each label's bytes are one whole stream: its piece, in order.
            std::string piece(CHUNK_SIZE, '\0');
            uLongf size = CHUNK_SIZE;
            ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(piece.data()), &size,
                                 reinterpret_cast<const Bytef*>(bytes.data() + next), length),
                      Z_OK)
                << line;
            inflated.append(piece.data(), size);
            next += length;
        }
        if (std::regex_match(line, std::regex("sample_chunk_[0-9]+_[0-9]+:"))) ++labels;
    }
    EXPECT_EQ(next, bytes.size());
    EXPECT_EQ(labels, 9u);
    std::string contents;
    for (const auto& entry : product.description["payload"]) {
        contents += entry.contains("source")
                        ? gentest::readFile(product.productDir() / entry["source"].get<std::string>())
                        : gentest::readFile(product.builtDir() / entry["built"].get<std::string>());
    }
    EXPECT_TRUE(inflated == contents) << "the chunks do not hold the files in payload order";

    for (const char* name : {"payload_chunks.S", "payload_table.cpp", "installer_config.cpp"}) {
        const std::string text = gentest::readFile(product.outputDir() / name);
        EXPECT_NE(text.find("payloadgen generated this file"), std::string::npos) << name;
        EXPECT_NE(text.find("Do not edit"), std::string::npos) << name;
        EXPECT_EQ(text.find("\\x"), std::string::npos) << name;
        EXPECT_EQ(text.find("??"), std::string::npos) << name;
        for (char c : text)
            EXPECT_TRUE(c == '\n' || c == '\t' || (c >= 0x20 && c < 0x7F)) << name << " has byte " << int(c);
    }
}

// The same product in two folders, its files made at other times: with a
// source time, the same bytes.
TEST(GeneratedOutput, SourceTimeHidesWhereAndWhenTheFilesWereMade) {
    const int64_t sourceTime = 1500000000, earlier = sourceTime - 86400;
    struct Row {
        const char* label;
        bool built;
        std::optional<int32_t> described;  // the entry's "time"
        int64_t firstTime, secondTime;     // the file's time in each folder
        int64_t stored;
    };
    const Row rows[] = {
        {"source file older than the sources", false, {}, earlier, earlier, earlier},
        {"source file checked out later", false, {}, sourceTime + 10, 1900000000, sourceTime},
        {"built program, whenever linked", true, {}, earlier, 1900000020, sourceTime},
        {"time given later", false, 2000000000, sourceTime + 30, 1900000030, 2000000000},
    };
    gentest::TestProduct first, second;
    for (gentest::TestProduct* product : {&first, &second}) {
        product->description["payload"] = nlohmann::json::array();
        for (std::size_t i = 0; i < std::size(rows); ++i) {
            const std::string name = "file" + std::to_string(i) + ".bin";
            const fs::path file = (rows[i].built ? product->builtDir() : product->productDir()) / name;
            gentest::writeFile(file, gentest::sampleBytes(40000, static_cast<uint32_t>(i), i % 2 == 0));
            const int64_t time = product == &first ? rows[i].firstTime : rows[i].secondTime;
            const struct timeval times[2] = {{time, 0}, {time, 0}};
            ASSERT_EQ(utimes(file.c_str(), times), 0);
            nlohmann::json entry = {{"name", name}, {rows[i].built ? "built" : "source", name}};
            if (rows[i].described) entry["time"] = *rows[i].described;
            product->description["payload"].push_back(entry);
        }
        const auto result = product->run({"--source-time", std::to_string(sourceTime)});
        ASSERT_EQ(result.status, 0) << result.err;
    }
    for (const char* name : outputNames)
        EXPECT_EQ(gentest::readFile(first.outputDir() / name), gentest::readFile(second.outputDir() / name))
            << name;
    std::string expected;
    for (const Row& row : rows) expected += (expected.empty() ? "" : ", ") + std::to_string(row.stored);
    EXPECT_NE(gentest::readFile(first.outputDir() / "payload_table.cpp")
                  .find("fileTimes[] = {\n    " + expected + "\n};"),
              std::string::npos)
        << expected;
}

// The engine's uninstaller joins the payload as its last file, a built
// program taking the source time, unless the product names its own.
TEST(GeneratedOutput, EndsWithTheEnginesUninstaller) {
    struct Row {
        const char* label;
        const char* own;          // the product's own uninstaller entry, or ""
        const char* uninstaller;  // --uninstaller's file name, or ""
        const char* summary;      // the start of the summary line, or the refusal
        const char* names;        // the end of fileNames
        const char* times;        // the end of fileTimes
    };
    // b.bin holds 100 bytes, a.txt 10, the product's own uninstaller 3 and
    // the engine's 5000.
    const Row rows[] = {
        {"added", "", "kluninst.exe", "payloadgen: 3 files, 3 chunks, 5110 bytes in",
         "    \"a.txt\",\n    \"kluninst.exe\",\n};", "2, 1500000000\n};"},
        {"the product's own", "Kluninst.exe", "missing.exe", "payloadgen: 3 files, 3 chunks, 113 bytes in",
         "    \"a.txt\",\n    \"Kluninst.exe\",\n};", "2, 2\n};"},
        {"none without the option", "", "", "payloadgen: 2 files, 2 chunks, 110 bytes in",
         "    \"b.bin\",\n    \"a.txt\",\n};", "1, 2\n};"},
        {"missing", "", "missing.exe",
         "payload[2] \"kluninst.exe\", the engine's uninstaller added as the last file: cannot read", "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        gentest::TestProduct product;
        if (*row.own) product.addSource(row.own, "files/own.exe", "own");
        const fs::path engine = product.productDir().parent_path() / "engine";
        gentest::writeFile(engine / "kluninst.exe", gentest::sampleBytes(5000, 9, false));
        std::vector<std::string> extra = {"--source-time", "1500000000"};
        if (*row.uninstaller) extra.insert(extra.end(), {"--uninstaller", (engine / row.uninstaller).string()});
        const auto result = product.run(extra);
        if (!*row.names) {
            EXPECT_EQ(result.status, 1);
            EXPECT_NE(result.err.find(row.summary), std::string::npos) << result.err;
            continue;
        }
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out.rfind(row.summary, 0), 0u) << result.out;
        const std::string table = gentest::readFile(product.outputDir() / "payload_table.cpp");
        EXPECT_NE(table.find(row.names), std::string::npos) << table;
        EXPECT_NE(table.find(row.times), std::string::npos) << table;
    }
}

// A payload that holds nothing of the product's own is refused as before,
// though the uninstaller would give it bytes.
TEST(GeneratedOutput, TheUninstallerAloneIsNoPayload) {
    gentest::TestProduct product;
    product.description["payload"] = {{{"name", "e"}, {"source", "files/e"}}};
    gentest::writeFile(product.productDir() / "files/e", "");
    gentest::writeFile(product.productDir() / "kluninst.exe", "uninstaller");
    const auto result = product.run({"--uninstaller", (product.productDir() / "kluninst.exe").string()});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("payload: has no chunk at all"), std::string::npos) << result.err;
}

TEST(StringLiteral, EscapesWhatTheCompilerCouldMisread) {
    const std::pair<std::string, std::string> rows[] = {
        {"", "\"\""},
        {"say \"hi\" \\ now", R"("say \"hi\" \\ now")"},
        {"?\?=?\?/", R"("\?\?=\?\?/")"},
        {"\xE9" "7" "\x80" "a", R"("\3517\200a")"},
        {std::string("\0" "1", 2), R"("\0001")"},
        {"one\r\r\ntwo\n", "\"one\\015\\015\\012\"\n  \"two\\012\""},
    };
    for (const auto& [bytes, literal] : rows) EXPECT_EQ(payloadgen::cStringLiteral(bytes, "  "), literal);
}

}  // namespace
