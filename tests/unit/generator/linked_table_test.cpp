// The payload generated at build time from product/ (namespace gentest),
// compiled and linked into this program, read back through the structures
// the setup program uses and compared with the product folder itself.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <cstring>

#include "payload/payload_table.h"
#include "payloadgen/description.h"
#include "state/installer_config.h"
#include "test_support.h"

namespace gentest {
extern const PayloadTable payloadTable;
extern const InstallerConfig installerConfig;
extern const char agreementText[];
}  // namespace gentest

namespace {

payloadgen::ProductDescription testProduct() {
    return payloadgen::readDescription(GENTEST_PRODUCT_DIR, GENTEST_BUILT_DIR);
}

std::string inflatedChunk(const unsigned char* chunk, uint32_t length) {
    std::string buffer(CHUNK_SIZE, '\0');
    uLongf size = CHUNK_SIZE;
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(buffer.data()), &size, chunk, length), Z_OK);
    buffer.resize(size);
    return buffer;
}

TEST(LinkedTable, HoldsEveryFileOfTheProduct) {
    const auto product = testProduct();
    const PayloadTable& table = gentest::payloadTable;
    ASSERT_EQ(table.fileCount, static_cast<int32_t>(product.payload.size()));
    for (int32_t f = 0; f < table.fileCount; ++f) {
        const payloadgen::PayloadEntry& entry = product.payload[f];
        SCOPED_TRACE(entry.name);
        EXPECT_STREQ(table.fileNames[f], entry.name.c_str());

        struct stat status;
        ASSERT_EQ(stat(entry.file.c_str(), &status), 0);
        EXPECT_EQ(table.fileTimes[f], entry.time ? *entry.time : static_cast<int32_t>(status.st_mtime));

        const std::string content = gentest::readFile(entry.file);
        const int32_t chunks = table.fileChunkCounts[f];
        EXPECT_EQ(chunks, static_cast<int32_t>((content.size() + 29999) / 30000));
        if (chunks == 0) {
            EXPECT_EQ(table.fileChunks[f], nullptr);
            EXPECT_EQ(table.fileChunkLengths[f], nullptr);
        }
        std::string joined;
        for (int32_t c = 0; c < chunks; ++c) joined += inflatedChunk(table.fileChunks[f][c], table.fileChunkLengths[f][c]);
        EXPECT_EQ(joined, content);
    }
}

TEST(LinkedTable, CoversTheEdgesOfThePayload) {
    // The product is meant to exercise these; a change to it must keep them.
    const PayloadTable& table = gentest::payloadTable;
    std::vector<int32_t> counts(table.fileChunkCounts, table.fileChunkCounts + table.fileCount);
    std::vector<int32_t> times(table.fileTimes, table.fileTimes + table.fileCount);
    EXPECT_NE(std::find(counts.begin(), counts.end(), 0), counts.end()) << "an empty file";
    EXPECT_NE(std::find(counts.begin(), counts.end(), 3), counts.end()) << "a file of several pieces";
    EXPECT_NE(std::find(times.begin(), times.end(), INT32_MIN), times.end());
    EXPECT_NE(std::find(times.begin(), times.end(), INT32_MAX), times.end());
    bool tricky = false;
    for (int32_t f = 0; f < table.fileCount; ++f)
        tricky = tricky || (std::strchr(table.fileNames[f], '\\') && std::strchr(table.fileNames[f], '\''));
    EXPECT_TRUE(tricky) << "a name with a backslash and a quote";
}

TEST(LinkedTable, ConfigurationAndAgreementMatchTheDescription) {
    const auto product = testProduct();
    const InstallerConfig& config = gentest::installerConfig;
    const auto text = [&](const char* key) { return product.field(key).text; };
    const auto number = [&](const char* key) { return product.field(key).number; };
    EXPECT_EQ(config.groupName, text("groupName"));
    EXPECT_EQ(config.productName, text("productName"));
    EXPECT_EQ(config.settingsFileName, text("settingsFileName"));
    EXPECT_EQ(config.offerStartupShortcut, number("offerStartupShortcut"));
    EXPECT_EQ(config.startupPrompt, text("startupPrompt"));
    EXPECT_EQ(config.mainExecutable, text("mainExecutable"));
    EXPECT_EQ(config.startupArguments, text("startupArguments"));
    EXPECT_EQ(config.warnOfRunningCopies, number("warnOfRunningCopies"));
    EXPECT_EQ(config.runHelperInstaller, number("runHelperInstaller"));
    EXPECT_EQ(config.serviceExecutable, text("serviceExecutable"));
    EXPECT_EQ(config.requiredMegabytes, number("requiredMegabytes"));
    EXPECT_EQ(config.serviceName, text("serviceName"));
    EXPECT_EQ(config.startupShortcutName, text("startupShortcutName"));
    EXPECT_EQ(config.version, text("version"));
    EXPECT_EQ(config.publisher, text("publisher"));

    const std::string agreement = gentest::readFile(product.agreement);
    EXPECT_EQ(std::string(gentest::agreementText), agreement);
    EXPECT_NE(agreement.find("\r\r\n"), std::string::npos);
    EXPECT_NE(agreement.find("?\?="), std::string::npos);
}

}  // namespace
