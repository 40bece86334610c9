// Everything the generator must refuse, each as one labelled row: the run
// fails with status 1, writes nothing, and the message names product.json,
// the field or entry and the reason; --check refuses it in the same words.
#include <gtest/gtest.h>
#include <sys/time.h>

#include <sstream>

#include "payloadgen/cli.h"
#include "payloadgen/names.h"
#include "test_support.h"

namespace {

using nlohmann::json;

struct RefusalRow {
    std::string label;
    json patch;  // JSON Patch applied to the valid description
    std::vector<std::pair<std::string, std::string>> files;  // below the temp folder; "x/" is a folder
    std::string subject;
    std::string reason;
};

// Rows print as their label in test names and failures.
void PrintTo(const RefusalRow& row, std::ostream* out) { *out << row.label; }

json op(const char* kind, const char* path, json value = nullptr) {
    json change = {{"op", kind}, {"path", path}};
    if (kind != std::string("remove")) change["value"] = std::move(value);
    return json::array({change});
}

// Renames the second payload file, a source file holding "text of a\n".
RefusalRow nameRow(std::string label, const std::string& name, std::string reason,
                   std::string shown = "") {
    return {std::move(label), op("replace", "/payload/1/name", name), {},
            "payload[1] \"" + (shown.empty() ? name : shown) + "\"", std::move(reason)};
}

RefusalRow fieldRow(std::string label, const char* path, json value, std::string field, std::string reason) {
    return {std::move(label), op("replace", path, std::move(value)), {}, std::move(field), std::move(reason)};
}

std::vector<RefusalRow> refusalRows() {
    // Each counted with the 6 characters of the name it is kept aside under.
    const std::string longName = std::string(1017, 'n') + "x";        // one past 1023
    const std::string longSystem = "SYSTEM/" + std::string(758, 's');  // 260 + 758 + 6 > 1023
    const json extraFile = {{"name", "A.TXT"}, {"source", "files/a.txt"}};
    const json folderFile = {{"name", "a.txt\\inner"}, {"source", "files/a.txt"}};
    const json missing = {{"name", "gone.txt"}, {"source", "files/gone.txt"}};
    const json folder = {{"name", "folder.txt"}, {"source", "files/folder"}};
    // The proposed data folder is "C:\Program Files (x86)\Group": 28
    // characters, a separator, at most 224 of the name and the 6 of the
    // name it is kept aside under make 259.
    const std::string beyondFolder = std::string(221, 'p') + ".txt";
    // One image of 16 bytes said to start at byte 22 of a 30-byte file.
    const std::string shortIcon = std::string("\0\0\1\0\1\0", 6) + std::string(8, '\0') +
                                  std::string("\20\0\0\0\26\0\0\0", 8) + std::string(8, 'i');
    return {
        nameRow("absolute_slash", "/abs.txt", "is absolute"),
        nameRow("absolute_backslash", "\\abs.txt", "is absolute"),
        nameRow("system_absolute", "SYSTEM//abs.txt", "is absolute"),
        nameRow("drive_letter", "C:abs.txt", "drive letter"),
        nameRow("system_drive_letter", "SYSTEM\\d:\\x.dll", "drive letter"),
        nameRow("empty_name", "", "is empty"),
        nameRow("system_without_file", "SYSTEM/", "names no file"),
        nameRow("parent_component", "a/../b.txt", "\"..\" component"),
        nameRow("dot_component", "a/./b.txt", "\".\" component"),
        nameRow("empty_component", "a//b.txt", "empty component"),
        nameRow("trailing_separator", "a/b\\", "ends with a separator"),
        nameRow("less_than", "a<b", "character < that Windows forbids"),
        nameRow("greater_than", "a>b", "character > that Windows forbids"),
        nameRow("colon", "ab:c", "character : that Windows forbids"),
        nameRow("quote", "a\"b", "character \" that Windows forbids"),
        nameRow("bar", "a|b", "character | that Windows forbids"),
        nameRow("question_mark", "d/a?b", "character ? that Windows forbids"),
        nameRow("star", "a*b", "character * that Windows forbids"),
        nameRow("control_character", "a\x01" "b", "control character \\001", "a\\001b"),
        nameRow("tab", "a\tb", "control character \\011", "a\\011b"),
        nameRow("trailing_dot", "dir./b.txt", "ending in a dot or blank"),
        nameRow("trailing_blank", "b.txt ", "ending in a dot or blank"),
        nameRow("device_con", "CON", "reserved device name"),
        nameRow("device_with_extension", "d/nul.txt", "reserved device name"),
        nameRow("device_lowercase_port", "com7.tar.gz", "reserved device name"),
        nameRow("device_printer_port", "SYSTEM/Lpt1", "reserved device name"),
        nameRow("device_blank_before_dot", "aux .log", "reserved device name"),
        nameRow("device_port_zero", "com0", "reserved device name"),
        nameRow("device_printer_port_zero", "x/LPT0.txt", "reserved device name"),
        nameRow("device_superscript_port", "COM\xC2\xB9", "reserved device name"),
        nameRow("device_superscript_printer_port", "lpt\xC2\xB3.log", "reserved device name"),
        nameRow("long_name", longName, "more than 1023", longName),
        nameRow("reserved_end", "backup.txt~", "ends in ~, which setup keeps for its own files"),
        nameRow("long_system_name", longSystem, "more than 1023", longSystem),
        nameRow("path_beyond_proposed_folder", beyondFolder, "would take 260 characters"),
        {"duplicate_ignoring_case", op("add", "/payload/-", extraFile), {}, "payload[2] \"A.TXT\"",
         "same file as \"a.txt\""},
        // Setup puts the engine's uninstaller into the data folder whether
        // or not the run adds its file.
        {"uninstaller_name_as_folder", op("replace", "/payload/1/name", "KLUNINST.EXE\\a.txt"), {},
         "payload[2] \"kluninst.exe\", the engine's uninstaller added as the last file",
         "is also the folder of \"KLUNINST.EXE\\a.txt\""},
        {"file_used_as_folder", op("add", "/payload/-", folderFile), {}, "payload[2] \"a.txt\\inner\"",
         "needs \"a.txt\" as a folder"},
        {"missing_file", op("add", "/payload/-", missing), {}, "payload[2] \"gone.txt\"", "no such file"},
        {"folder_instead_of_file", op("add", "/payload/-", folder), {{"product/files/folder/", ""}},
         "payload[2] \"folder.txt\"", "not a regular file"},
        {"time_above_32_bits", op("replace", "/payload/0/time", 2147483648LL), {}, "payload[0].time",
         "outside the signed 32-bit range"},
        {"time_below_32_bits", op("replace", "/payload/0/time", -2147483649LL), {}, "payload[0].time",
         "outside the signed 32-bit range"},
        {"no_files", op("replace", "/payload", json::array()), {}, "payload", "no chunk at all"},
        {"only_empty_files", op("replace", "/payload", json::array({{{"name", "e"}, {"source", "files/e"}}})),
         {{"product/files/e", ""}}, "payload", "no chunk at all"},
        fieldRow("empty_group_name", "/config/groupName", "", "config.groupName", "must not be empty"),
        fieldRow("empty_product_name", "/config/productName", "", "config.productName", "must not be empty"),
        fieldRow("empty_settings_file", "/config/settingsFileName", "", "config.settingsFileName",
                 "must not be empty"),
        fieldRow("empty_main_executable", "/config/mainExecutable", "", "config.mainExecutable",
                 "must not be empty"),
        fieldRow("group_name_with_separator", "/config/groupName", "Maker\\Group", "config.groupName",
                 "contains the separator \\"),
        fieldRow("group_name_65_bytes", "/config/groupName", std::string(65, 'g'), "config.groupName",
                 "is 65 bytes long, more than 64"),
        fieldRow("product_name_65_bytes", "/config/productName", std::string(65, 'p'), "config.productName",
                 "is 65 bytes long, more than 64"),
        fieldRow("settings_file_65_bytes", "/config/settingsFileName", std::string(61, 's') + ".ini",
                 "config.settingsFileName", "is 65 bytes long, more than 64"),
        fieldRow("product_name_forbidden_character", "/config/productName", "Product: Pro",
                 "config.productName", "character : that Windows forbids"),
        fieldRow("product_name_trailing_dot", "/config/productName", "Product Inc.", "config.productName",
                 "ending in a dot or blank"),
        fieldRow("product_name_device", "/config/productName", "Aux", "config.productName",
                 "reserved device name"),
        fieldRow("settings_file_in_a_folder", "/config/settingsFileName", "conf/p.ini",
                 "config.settingsFileName", "contains the separator /"),
        fieldRow("shortcut_name_65_bytes", "/config/startupShortcutName", std::string(65, 's'),
                 "config.startupShortcutName", "more than 64"),
        fieldRow("shortcut_name_forbidden_character", "/config/startupShortcutName", "Start?",
                 "config.startupShortcutName", "character ? that Windows forbids"),
        fieldRow("main_executable_in_system_folder", "/config/mainExecutable", "SYSTEM/a.txt",
                 "config.mainExecutable", "the program must be in the data folder"),
        fieldRow("main_executable_above_data_folder", "/config/mainExecutable", "../a.txt",
                 "config.mainExecutable", "\"..\" component"),
        fieldRow("main_executable_beyond_proposed_folder", "/config/mainExecutable", beyondFolder,
                 "config.mainExecutable", "would take 260 characters"),
        fieldRow("service_executable_absolute", "/config/serviceExecutable", "C:\\svc.exe",
                 "config.serviceExecutable", "drive letter"),
        fieldRow("service_name_with_separator", "/config/serviceName", "Maker/Service", "config.serviceName",
                 "a service name cannot hold"),
        fieldRow("service_name_257_bytes", "/config/serviceName", std::string(257, 'v'), "config.serviceName",
                 "more than 256"),
        fieldRow("startup_prompt_1024_bytes", "/config/startupPrompt", std::string(1024, 'q'),
                 "config.startupPrompt", "more than 1023"),
        // The quotes, C:\Program Files (x86)\Group\a.txt, a blank and a line feed take 38 of 1023.
        fieldRow("startup_arguments_beyond_command_line", "/config/startupArguments", std::string(986, 'a'),
                 "config.startupArguments", "makes the command line that starts the product after its "
                                            "startup shortcut 1024 bytes long, more than the 1023"),
        fieldRow("version_empty_part", "/config/version", "2..1", "config.version",
                 "\"2..1\" has an empty part: a version is one to four numbers from 0 to 65535 separated "
                 "by dots, such as 2.5.1"),
        fieldRow("version_trailing_dot", "/config/version", "2.5.", "config.version", "has an empty part"),
        fieldRow("version_fifth_part", "/config/version", "1.2.3.4.5", "config.version",
                 "\"1.2.3.4.5\" has 5 parts, more than 4"),
        fieldRow("version_above_16_bits", "/config/version", "1.65536", "config.version",
                 "\"1.65536\" has the number 65536, more than 65535"),
        fieldRow("version_of_many_digits", "/config/version", "1.000018446744073709551617", "config.version",
                 "has the number 000018446744073709551617, more than 65535"),
        fieldRow("version_with_letters", "/config/version", "2.5-beta", "config.version",
                 "\"2.5-beta\" holds more than digits and dots"),
        fieldRow("version_with_sign", "/config/version", "+2", "config.version", "holds more than digits and dots"),
        fieldRow("publisher_1024_bytes", "/config/publisher", std::string(1024, 'p'), "config.publisher",
                 "is 1024 bytes long, more than 1023"),
        fieldRow("megabytes_4096", "/config/requiredMegabytes", 4096, "config.requiredMegabytes",
                 "outside 0 to 4095"),
        fieldRow("megabytes_negative", "/config/requiredMegabytes", -1, "config.requiredMegabytes",
                 "outside 0 to 4095"),
        fieldRow("flag_above_32_bits", "/config/runHelperInstaller", 2147483648LL,
                 "config.runHelperInstaller", "outside -2147483648 to 2147483647"),
        fieldRow("flag_below_32_bits", "/config/warnOfRunningCopies", -2147483649LL,
                 "config.warnOfRunningCopies", "outside -2147483648 to 2147483647"),
        fieldRow("flag_far_above_64_bits", "/config/runHelperInstaller", 18446744073709551615ULL,
                 "config.runHelperInstaller", "outside -2147483648 to 2147483647"),
        fieldRow("flag_as_text", "/config/offerStartupShortcut", "1", "config.offerStartupShortcut",
                 "must be an integer, not a string"),
        fieldRow("flag_as_boolean", "/config/warnOfRunningCopies", true, "config.warnOfRunningCopies",
                 "must be an integer, not true or false"),
        fieldRow("flag_with_fraction", "/config/warnOfRunningCopies", 1.5, "config.warnOfRunningCopies",
                 "must be an integer"),
        fieldRow("text_as_number", "/config/startupPrompt", 5, "config.startupPrompt", "must be a string"),
        fieldRow("text_with_nul", "/config/serviceName", std::string("a\0b", 3), "config.serviceName",
                 "NUL"),
        {"missing_required_config_key", op("remove", "/config/mainExecutable"), {}, "config.mainExecutable",
         "is missing"},
        {"unknown_config_key", op("add", "/config/colour", "red"), {}, "config.colour", "not a field"},
        {"unknown_top_level_key", op("add", "/extra", 1), {}, "extra", "not a known field"},
        {"missing_icon_key", op("remove", "/icon"), {}, "icon", "is missing"},
        {"entry_with_both_sources", op("add", "/payload/0/source", "files/a.txt"), {}, "payload[0]",
         "exactly one of"},
        {"entry_unknown_key", op("add", "/payload/0/mtime", 1), {}, "payload[0].mtime", "not a known field"},
        {"missing_agreement_file", op("replace", "/agreement", "nowhere.txt"), {}, "agreement",
         "no such file"},
        {"agreement_with_nul", op("replace", "/agreement", "nul.txt"), {{"product/nul.txt", {"a\0b", 3}}},
         "agreement", "NUL byte"},
        {"agreement_empty", op("replace", "/agreement", "empty.txt"), {{"product/empty.txt", ""}},
         "agreement", "is empty"},
        // Each line feed becomes CR LF: 30001 of them make 60002 bytes.
        {"agreement_beyond_edit_control", op("replace", "/agreement", "long.txt"),
         {{"product/long.txt", std::string(30001, '\n')}}, "agreement",
         "takes 60002 bytes with Windows line ends, more than the 60000"},
        {"agreement_one_past_edit_control", op("replace", "/agreement", "long.txt"),
         {{"product/long.txt", std::string(30000, '\n') + "x"}}, "agreement",
         "takes 60001 bytes with Windows line ends, more than the 60000"},
        {"icon_not_an_icon", op("replace", "/icon", "agreement.txt"), {}, "icon", "not an icon file"},
        {"icon_image_beyond_file", op("replace", "/icon", "short.ico"), {{"product/short.ico", shortIcon}},
         "icon", "image 1 of 1 lies beyond the end of the file"},
    };
}

class RefusedProduct : public ::testing::TestWithParam<RefusalRow> {};

TEST_P(RefusedProduct, FailsNamingWhatAndWhy) {
    const RefusalRow& row = GetParam();
    gentest::TestProduct product;
    product.description = product.description.patch(row.patch);
    for (const auto& [path, content] : row.files) {
        const auto full = product.productDir().parent_path() / path;
        if (path.back() == '/')
            std::filesystem::create_directories(full);
        else
            gentest::writeFile(full, content);
    }
    const gentest::RunResult result = product.run();
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    const std::string file = (product.productDir() / "product.json").string();
    EXPECT_NE(result.err.find("payloadgen: " + file + ": " + row.subject + ": "), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find(row.reason), std::string::npos) << result.err;
    EXPECT_FALSE(std::filesystem::exists(product.outputDir())) << "a refused run writes nothing";

    const gentest::RunResult check = product.check({"--built", product.builtDir().string()});
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(check.out, "");
    EXPECT_EQ(check.err, result.err) << "--check must refuse exactly what the build refuses";
}

INSTANTIATE_TEST_SUITE_P(Generator, RefusedProduct, ::testing::ValuesIn(refusalRows()),
                         [](const auto& info) { return info.param.label; });

// The rows above cannot express these: a file time the file system holds
// and a description that is not the JSON library's own output.
TEST(RefusedProductFile, ModificationTimeBeyond32Bits) {
    gentest::TestProduct product;
    const struct timeval times[2] = {{0, 0}, {2147483648LL, 0}};
    ASSERT_EQ(utimes((product.productDir() / "files/a.txt").c_str(), times), 0);
    const gentest::RunResult result = product.run();
    product.description["payload"][1].erase("time");
    const gentest::RunResult fromFile = product.run();
    EXPECT_EQ(result.status, 0) << "a time in the description overrides the file's";
    EXPECT_EQ(fromFile.status, 1);
    EXPECT_NE(fromFile.err.find("product.json: payload[1] \"a.txt\": file time 2147483648"),
              std::string::npos)
        << fromFile.err;
    EXPECT_EQ(product.run({"--source-time", "1500000000"}).status, 0) << "a source time caps the file's";
    EXPECT_EQ(product.run({"--source-time", "2147483647"}).status, 0) << "the latest source time";
}

TEST(RefusedProductFile, MalformedOrRepeatedJson) {
    const std::pair<std::string, std::string> rows[] = {
        {"{\"config\": ", "product.json: [json.exception.parse_error"},
        {"{\"icon\": \"a\", \"icon\": \"b\"}", "icon: is given more than once"},
        {"{\"payload\": [{\"name\": \"a\", \"name\": \"b\"}]}", "payload[].name: is given more than once"},
    };
    for (const auto& [text, reason] : rows) {
        SCOPED_TRACE(text);
        gentest::TestProduct product;
        product.rawDescription = text;
        const gentest::RunResult result = product.run();
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find(reason), std::string::npos) << result.err;
    }
}

TEST(NameCheck, AcceptsNamesWindowsCanHold) {
    const std::string accepted[] = {
        "a.txt", "dir\\sub/file.txt", "SYSTEM/x.dll", "SYSTEM\\d\\x.dll", "system/not-system.txt",
        "SYSTEMX/a", "CONSOLE.txt", "COM10", "LPT", "nul-device.txt", "a.b.c", ".hidden", "R\xC3\xA9sum\xC3\xA9",
        "it's #1 (c) [x] {y} ~z", std::string(1017, 'n'), "SYSTEM/" + std::string(757, 's'),
    };
    for (const std::string& name : accepted)
        EXPECT_EQ(payloadgen::nameProblem(name), "") << name.substr(0, 40);
}

struct UsageRow {
    const char* label;
    std::vector<std::string> args;
    const char* message;
};

TEST(CommandLine, RefusesMalformedArgumentsWithUsage) {
    const std::vector<std::string> base = {"--product", "p", "--built", "b", "--output", "o"};
    auto with = [&](std::vector<std::string> extra) {
        extra.insert(extra.begin(), base.begin(), base.end());
        return extra;
    };
    const UsageRow rows[] = {
        {"no arguments", {}, "--product is required"},
        {"no output", {"--product", "p", "--built", "b"}, "--output is required"},
        {"missing value", {"--product"}, "--product needs a value"},
        {"unknown option", with({"--verbose"}), "unknown argument \"--verbose\""},
        {"repeated option", with({"--built=c"}), "--built is given twice"},
        {"zero threads", with({"--threads", "0"}), "--threads wants a number"},
        {"signed threads", with({"--threads", "-1"}), "--threads wants a number"},
        {"namespace not an identifier", with({"--namespace", "a::b"}), "--namespace wants a C++ identifier"},
        {"namespace with leading digit", with({"--namespace=1a"}), "--namespace wants a C++ identifier"},
        {"uninstaller sources with a payload option",
         {"--product", "p", "--uninstaller-sources", "h", "--built", "b"},
         "--built is not used with --uninstaller-sources"},
        {"uninstaller sources with the uninstaller", {"--product", "p", "--uninstaller-sources", "h", "--uninstaller", "u"},
         "--uninstaller is not used with --uninstaller-sources"},
        {"uninstaller sources without product", {"--uninstaller-sources=h"}, "--product is required"},
        {"uninstaller without a file", with({"--uninstaller="}), "--uninstaller needs a file name"},
        {"check with the uninstaller", {"--check", "p", "--uninstaller", "u"},
         "--uninstaller is not used with --check"},
        {"check with an output", {"--check", "p", "--output", "o"}, "--output is not used with --check"},
        {"check with a product", {"--check", "p", "--product", "p"}, "--product is not used with --check"},
        {"check without a folder", {"--check="}, "--check needs a product folder"},
        {"source time negative", with({"--source-time=-1"}), "--source-time wants seconds from 0"},
        {"source time beyond 32 bits", with({"--source-time", "2147483648"}), "--source-time wants seconds"},
        {"check with a source time", {"--check", "p", "--source-time", "1"},
         "--source-time is not used with --check"},
    };
    for (const UsageRow& row : rows) {
        SCOPED_TRACE(row.label);
        std::ostringstream out, err;
        EXPECT_EQ(payloadgen::runPayloadgen(row.args, out, err), 2);
        EXPECT_NE(err.str().find(std::string("payloadgen: ") + row.message), std::string::npos) << err.str();
        EXPECT_NE(err.str().find("usage: payloadgen --product DIR"), std::string::npos);
    }
    std::ostringstream out, err;
    EXPECT_EQ(payloadgen::runPayloadgen({"--help"}, out, err), 0);
    EXPECT_NE(out.str().find("usage: payloadgen"), std::string::npos);
}

}  // namespace
