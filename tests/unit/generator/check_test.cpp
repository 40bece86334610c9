// payloadgen --check: the build's refusals without its output, the warnings
// only a check gives, and the engine's texts that the limits are made from.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "payloadgen/generator.h"
#include "payloadgen/rules.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const json uninstaller = {{"name", "kluninst.exe"}, {"source", "files/a.txt"}};

TEST(CheckMode, ReportsReadyAndWritesNothing) {
    gentest::TestProduct product;
    product.description["payload"].push_back(uninstaller);
    const auto result = product.check({"--built", product.builtDir().string()});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, "payloadgen: " + (product.productDir() / "product.json").string() +
                              ": ready: 3 files, 120 bytes\n");
    EXPECT_FALSE(fs::exists(product.outputDir()));
}

TEST(CheckMode, ListsEveryProblemAtOnce) {
    gentest::TestProduct product;
    product.description["config"]["groupName"] = "a/b";
    product.description["config"]["serviceName"] = "x\\y";
    product.description["payload"][1]["source"] = "files/gone.txt";
    const auto result = product.check({"--built", product.builtDir().string()});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("config.groupName: contains the separator /"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("config.serviceName: contains \\"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("payload[1] \"a.txt\": cannot read"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("payloadgen: 3 problems\n"), std::string::npos) << result.err;
}

// Paths in the proposed data folder are measured only with a groupName that
// is itself acceptable: one too long is one problem, not one per file.
TEST(CheckMode, ALongGroupNameIsOneProblem) {
    gentest::TestProduct product;
    product.description["config"]["groupName"] = std::string(300, 'g');
    const auto result = product.check({"--built", product.builtDir().string()});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("config.groupName: is 300 bytes long, more than 64\n"), std::string::npos)
        << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
}

// Built programs without a built folder: only the product's own build can
// make them, so a folder without one is refused.
TEST(CheckMode, BuiltEntriesNeedTheProductsOwnBuild) {
    gentest::TestProduct product;
    const auto refused = product.check();
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("payload[0] \"b.bin\": is built by the product's own build, but"),
              std::string::npos)
        << refused.err;
    EXPECT_NE(refused.err.find("list a prebuilt program with \"source\""), std::string::npos);

    gentest::writeFile(product.productDir() / "CMakeLists.txt", "# builds b.bin\n");
    const auto accepted = product.check();
    EXPECT_EQ(accepted.status, 0) << accepted.err;
    EXPECT_NE(accepted.out.find("ready: 2 files, 10 bytes (1 built program not looked at without --built)"),
              std::string::npos)
        << accepted.out;
}

TEST(CheckMode, RefusesAPayloadTooLargeForOneSetupProgram) {
    gentest::TestProduct product;
    // A sparse file: its size costs no disk, and a check reads no content.
    fs::resize_file(product.builtDir() / "b.bin", payloadgen::maxPayloadBytes);
    const auto result = product.check({"--built", product.builtDir().string()});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("payload: holds 1073741834 bytes, more than the 1073741824"), std::string::npos)
        << result.err;
}

struct WarningRow {
    const char* label;
    json patch;  // JSON Patch applied to a product that draws no warning
    const char* warning;
};

void PrintTo(const WarningRow& row, std::ostream* out) { *out << row.label; }

json replace(const char* path, json value) {
    return json::array({{{"op", "replace"}, {"path", path}, {"value", std::move(value)}}});
}

const WarningRow warningRows[] = {
    {"program_not_in_payload", replace("/config/mainExecutable", "main.exe"),
     "config.mainExecutable: \"main.exe\" is not in the payload"},
    {"service_program_not_in_payload",
     json::array({{{"op", "replace"}, {"path", "/config/serviceExecutable"}, {"value", "svc.exe"}},
                  {{"op", "replace"}, {"path", "/config/serviceName"}, {"value", "Svc"}}}),
     "config.serviceExecutable: \"svc.exe\" is not in the payload"},
    {"service_without_name", replace("/config/serviceExecutable", "A.TXT"),
     "config.serviceName: is empty while serviceExecutable is set"},
    {"helper_installer_missing", replace("/config/runHelperInstaller", 1),
     "config.runHelperInstaller: is set, but the payload holds no quellsv.exe"},
    {"startup_question_without_text", replace("/config/offerStartupShortcut", 1),
     "config.startupPrompt: is empty"},
    {"no_uninstaller", json::array({{{"op", "remove"}, {"path", "/payload/2"}}}),
     "payload: holds no kluninst.exe"},
    {"space_below_payload", replace("/config/requiredMegabytes", 0),
     "config.requiredMegabytes: 0 is less than the payload's 1 MB"},
    {"utf8_text", replace("/config/productName", "Caf\xC3\xA9"),
     "config.productName: holds bytes beyond ASCII"},
    {"utf8_payload_name",
     json::array({{{"op", "add"}, {"path", "/payload/-"},
                   {"value", {{"name", "caf\xC3\xA9.txt"}, {"source", "files/a.txt"}}}}}),
     "payload[3] \"caf\xC3\xA9.txt\": holds bytes beyond ASCII"},
};

class CheckWarning : public ::testing::TestWithParam<WarningRow> {};

TEST_P(CheckWarning, IsReportedButBuilds) {
    gentest::TestProduct product;
    product.description["payload"].push_back(uninstaller);
    product.description = product.description.patch(GetParam().patch);
    const auto result = product.check({"--built", product.builtDir().string()});
    EXPECT_EQ(result.status, 0) << result.err;
    const std::string file = (product.productDir() / "product.json").string();
    EXPECT_EQ(result.err.rfind("payloadgen: warning: " + file + ": " + GetParam().warning, 0), 0u)
        << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << "one warning: " << result.err;
    EXPECT_NE(result.out.find(", 1 warning\n"), std::string::npos) << result.out;
    EXPECT_EQ(product.run().status, 0) << "a warning never stops the build";
}

INSTANTIATE_TEST_SUITE_P(Generator, CheckWarning, ::testing::ValuesIn(warningRows),
                         [](const auto& info) { return std::string(info.param.label); });

// Each limit on an engine text is only as good as its copy of the text: every
// format must still be in the engine's sources, where a C literal may be
// split over lines.
TEST(EngineTexts, AreTheEnginesOwn) {
    std::string sources;
    for (const char* room : {"setup", "system", "ui"})
        for (const auto& entry : fs::directory_iterator(fs::path(GENTEST_SOURCE_ROOT) / room))
            if (entry.path().extension() == ".cpp") sources += gentest::readFile(entry.path());
    sources = std::regex_replace(sources, std::regex("\"\\s*\n\\s*\""), "");
    for (const payloadgen::EngineText& text : payloadgen::engineTexts) {
        std::string literal;
        for (const char* c = text.format; *c; ++c) {
            switch (*c) {
            case '"': literal += "\\\""; break;
            case '\\': literal += "\\\\"; break;
            case '\r': literal += "\\r"; break;
            case '\n': literal += "\\n"; break;
            default: literal += *c;
            }
        }
        EXPECT_NE(sources.find("\"" + literal + "\""), std::string::npos) << text.purpose;
    }
}

// Only the four names must be given; what is left out is off or empty, and
// the space required is the payload's own.
TEST(OptionalFields, TakeTheirDefaults) {
    gentest::TestProduct product;
    for (const char* key : {"offerStartupShortcut", "startupPrompt", "startupArguments", "warnOfRunningCopies",
                            "runHelperInstaller", "serviceExecutable", "requiredMegabytes", "serviceName",
                            "startupShortcutName"})
        product.description["config"].erase(key);
    product.addSource("big.txt", "files/big.txt", gentest::sampleBytes(1572864, 6, true));
    const auto result = product.run();
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string config = gentest::readFile(product.outputDir() / "installer_config.cpp");
    for (const char* line : {"    0,  // offerStartupShortcut\n", "    \"\",  // startupPrompt\n",
                             "    \"\",  // serviceExecutable\n", "    2,  // requiredMegabytes\n",
                             "    \"\",  // startupShortcutName\n"})
        EXPECT_NE(config.find(line), std::string::npos) << line << config;
}

TEST(Agreement, GetsWindowsLineEnds) {
    const std::pair<std::string, std::string> rows[] = {
        {"one\ntwo\n", "one\r\ntwo\r\n"},
        {"\n\n", "\r\n\r\n"},
        {"kept\r\nas\r\r\nwritten\r", "kept\r\nas\r\r\nwritten\r"},
        {"mixed\r\nand\n", "mixed\r\nand\r\n"},
    };
    for (const auto& [text, expected] : rows) EXPECT_EQ(payloadgen::withWindowsLineEnds(text), expected);
}

}  // namespace
