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
    // Beside it a.txt holds 10 bytes: the limit itself is taken, a byte
    // more is not.
    fs::resize_file(product.builtDir() / "b.bin", payloadgen::maxPayloadBytes - 10);
    EXPECT_EQ(product.check({"--built", product.builtDir().string()}).status, 0);
    fs::resize_file(product.builtDir() / "b.bin", payloadgen::maxPayloadBytes - 9);
    const auto onePast = product.check({"--built", product.builtDir().string()});
    EXPECT_NE(onePast.err.find("payload: holds 1073741825 bytes"), std::string::npos) << onePast.err;
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
    {"space_below_payload", replace("/config/requiredMegabytes", 0),
     "config.requiredMegabytes: 0 is less than the payload's 1 MB"},
    {"utf8_text", replace("/config/productName", "Caf\xC3\xA9"),
     "config.productName: holds bytes beyond ASCII"},
    {"utf8_publisher", replace("/config/publisher", "Caf\xC3\xA9"), "config.publisher: holds bytes beyond ASCII"},
    // Only a separator or a control character keeps a name from the service
    // manager; bytes beyond ASCII are neither.
    {"utf8_service_name", replace("/config/serviceName", "Dienst f\xC3\xBCr Caf\xC3\xA9"),
     "config.serviceName: holds bytes beyond ASCII"},
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

// The other side of each limit that RefusedProduct tests and of each
// warning's condition: a value exactly at its limit, or a flag with what it
// needs, builds and checks without a word.
struct CleanRow {
    const char* label;
    json patch;  // JSON Patch applied to a product that draws no warning
    std::vector<std::pair<std::string, std::string>> files;  // below the product folder
};

void PrintTo(const CleanRow& row, std::ostream* out) { *out << row.label; }

json replacing(std::initializer_list<std::pair<const char*, json>> changes) {
    json patch = json::array();
    for (const auto& [path, value] : changes)
        patch.push_back({{"op", "replace"}, {"path", path}, {"value", value}});
    return patch;
}

std::vector<CleanRow> cleanRows() {
    // "C:\Program Files (x86)\Group", a separator, 224 characters and the 6
    // of the name a file is kept aside under make 259.
    const std::string atFolder = std::string(220, 'p') + ".txt";
    json helper = replacing({{"/config/runHelperInstaller", 1}});
    helper.push_back({{"op", "add"}, {"path", "/payload/-"},
                      {"value", {{"name", "quellsv.exe"}, {"source", "files/a.txt"}}}});
    return {
        {"group_name_64_bytes", replacing({{"/config/groupName", std::string(64, 'g')}}), {}},
        {"product_name_64_bytes", replacing({{"/config/productName", std::string(64, 'p')}}), {}},
        {"settings_file_64_bytes", replacing({{"/config/settingsFileName", std::string(60, 's') + ".ini"}}),
         {}},
        {"shortcut_name_64_bytes", replacing({{"/config/startupShortcutName", std::string(64, 's')}}), {}},
        {"service_name_256_bytes", replacing({{"/config/serviceName", std::string(256, 'v')}}), {}},
        {"startup_prompt_1023_bytes",
         replacing({{"/config/offerStartupShortcut", 1}, {"/config/startupPrompt", std::string(1023, 'q')}}),
         {}},
        // The quotes, C:\Program Files (x86)\Group\a.txt, a blank and a line feed take 38.
        {"command_line_1023_bytes", replacing({{"/config/startupArguments", std::string(985, 'a')}}), {}},
        {"program_path_259_characters",
         replacing({{"/payload/1/name", atFolder}, {"/config/mainExecutable", atFolder}}), {}},
        {"agreement_60000_bytes", replacing({{"/agreement", "long.txt"}}),
         {{"product/long.txt", std::string(30000, '\n')}}},
        {"megabytes_4095", replacing({{"/config/requiredMegabytes", 4095}}), {}},
        {"flags_at_both_32_bit_ends",
         replacing({{"/config/warnOfRunningCopies", 2147483647},
                    {"/config/offerStartupShortcut", -2147483647LL - 1},
                    {"/config/startupPrompt", "Start?"}}),
         {}},
        {"times_at_both_32_bit_ends",
         replacing({{"/payload/0/time", 2147483647}, {"/payload/1/time", -2147483647LL - 1}}), {}},
        {"helper_installer_in_payload", helper, {}},
        // The engine adds its uninstaller: a product need not name one.
        {"no_uninstaller_named", json::array({{{"op", "remove"}, {"path", "/payload/2"}}}), {}},
        {"version_of_four_largest_numbers", replacing({{"/config/version", "65535.65535.0065535.65535"}}), {}},
        {"version_empty", replacing({{"/config/version", ""}}), {}},
        {"publisher_1023_bytes_with_quotes",
         replacing({{"/config/publisher", "\"Maker\" \\ " + std::string(1012, 'p')}}), {}},
        // An icon's sizes and offsets are unsigned: bytes of 128 and above
        // read as themselves.
        {"icon_image_of_128_bytes", replacing({{"/icon", "large.ico"}}),
         {{"product/large.ico", std::string("\0\0\1\0\1\0", 6) + std::string(8, '\0') +
                                    std::string("\x80\0\0\0\x16\0\0\0", 8) + std::string(128, 'i')}}},
        // With a service the startup link is made unasked: no prompt is needed.
        {"startup_offer_with_service",
         replacing({{"/config/offerStartupShortcut", 1}, {"/config/serviceExecutable", "A.TXT"},
                    {"/config/serviceName", "Svc"}}),
         {}},
    };
}

class CleanProduct : public ::testing::TestWithParam<CleanRow> {};

TEST_P(CleanProduct, BuildsAndChecksWithoutAWord) {
    gentest::TestProduct product;
    product.description["payload"].push_back(uninstaller);
    product.description = product.description.patch(GetParam().patch);
    for (const auto& [path, content] : GetParam().files)
        gentest::writeFile(product.productDir().parent_path() / path, content);
    const auto checked = product.check({"--built", product.builtDir().string()});
    EXPECT_EQ(checked.status, 0) << checked.err;
    EXPECT_EQ(checked.err, "");
    const auto built = product.run();
    EXPECT_EQ(built.status, 0) << built.err;
    EXPECT_EQ(built.err, "");
}

INSTANTIATE_TEST_SUITE_P(Generator, CleanProduct, ::testing::ValuesIn(cleanRows()),
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
                            "startupShortcutName", "version", "publisher"})
        product.description["config"].erase(key);
    product.addSource("big.txt", "files/big.txt", gentest::sampleBytes(1572864, 6, true));
    const auto result = product.run();
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string config = gentest::readFile(product.outputDir() / "installer_config.cpp");
    for (const char* line : {"    0,  // offerStartupShortcut\n", "    \"\",  // startupPrompt\n",
                             "    \"\",  // serviceExecutable\n", "    2,  // requiredMegabytes\n",
                             "    \"\",  // startupShortcutName\n", "    \"\",  // version\n",
                             "    \"\",  // publisher\n"})
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
