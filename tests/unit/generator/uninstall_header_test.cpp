// The uninstaller's header: generated at build time from product/ and
// compiled in here, it must hold the description's texts byte for byte and
// every payload name in order; generated in process, it must need nothing
// but product.json and be refused with the same care as a payload.
#include <gtest/gtest.h>

#include <string>

#include "payloadgen/description.h"
#include "test_support.h"
#include "uninstall.h"

namespace {

namespace fs = std::filesystem;

TEST(UninstallHeader, HoldsTheDescriptionsTextsAndEveryPayloadName) {
    const auto product = payloadgen::readDescription(GENTEST_PRODUCT_DIR, GENTEST_BUILT_DIR);
    const std::pair<const char*, const char*> texts[] = {
        {"productName", uninstall::productName},
        {"groupName", uninstall::groupName},
        {"settingsFileName", uninstall::settingsFileName},
        {"mainExecutable", uninstall::mainExecutable},
        {"startupShortcutName", uninstall::startupShortcutName},
        {"serviceName", uninstall::serviceName},
    };
    for (const auto& [key, value] : texts) EXPECT_EQ(value, product.field(key).text) << key;

    ASSERT_EQ(uninstall::payloadNameCount, static_cast<int>(product.payload.size()));
    ASSERT_EQ(std::size(uninstall::payloadNames), product.payload.size());
    for (int i = 0; i < uninstall::payloadNameCount; ++i)
        EXPECT_EQ(uninstall::payloadNames[i], product.payload[i].name) << i;
}

TEST(UninstallHeader, NeedsOnlyTheDescription) {
    gentest::TestProduct product;
    // The programs are not built yet when the uninstaller's header is made.
    fs::remove(product.builtDir() / "b.bin");
    fs::remove(product.productDir() / "p.ico");
    const fs::path header = product.outputDir().parent_path() / "gen" / "uninstall.h";
    const auto result = product.runUninstallHeader(header);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    const std::string text = gentest::readFile(header);
    EXPECT_NE(text.find("payloadgen generated this file"), std::string::npos);
    EXPECT_NE(text.find("\"b.bin\",\n    \"a.txt\",\n};"), std::string::npos) << text;
    EXPECT_FALSE(fs::exists(product.outputDir())) << "only the header is written";
}

TEST(UninstallHeader, RefusedProductWritesNoHeader) {
    struct Row {
        const char* label;
        const char* path;
        nlohmann::json value;
        const char* message;
    };
    const Row rows[] = {
        {"name Windows cannot hold", "/payload/1/name", "a<b", "payload[1] \"a<b\": "},
        {"names of one file", "/payload/1/name", "B.BIN", "same file as"},
        {"empty product name", "/config/productName", "", "config.productName: must not be empty"},
        {"no payload", "/payload", nlohmann::json::array(), "payload: lists no file"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        gentest::TestProduct product;
        product.description = product.description.patch(
            nlohmann::json::array({{{"op", "replace"}, {"path", row.path}, {"value", row.value}}}));
        const fs::path header = product.outputDir() / "uninstall.h";
        const auto result = product.runUninstallHeader(header);
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find(row.message), std::string::npos) << result.err;
        EXPECT_FALSE(fs::exists(header));
    }
}

}  // namespace
