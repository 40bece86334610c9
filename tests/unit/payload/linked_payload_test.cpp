// A product folder other than the shipped one, run through the generator at
// build time and linked in: the tables it emitted extract to the very bytes
// and times of the folder's files, and its configuration record is the
// folder's.
#include <gtest/gtest.h>

#include <string>

#include "payload/extract.h"
#include "state/installer_config.h"
#include "support/scratch_folder.h"
#include "support/test_platform.h"

namespace {

// Under Wine the build machine's root is drive Z:.
std::string productFile(const char* relative) {
#ifdef _WIN32
    return std::string("Z:") + SAMPLE_PRODUCT_DIR + "/" + relative;
#else
    return std::string(SAMPLE_PRODUCT_DIR) + "/" + relative;
#endif
}

TEST(LinkedPayload, ExtractsTheProductFolderByteForByte) {
    ScratchFolder scratch;
    ASSERT_EQ(EXTRACT_DONE, extractPayload(nullptr, nullptr));
    struct Case {
        const char* installed;
        const char* source;
        int64_t time;
    };
    const Case cases[] = {
        {"readme.txt", "files/readme.txt", 1234567890},
        {"empty.dat", "files/empty.dat", 0},
        {"docs/guide/index.htm", "files/docs/guide/index.htm", 2147483647},
        {"docs/notes.txt", "files/docs/notes.txt", 946684800},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.installed);
        ASSERT_TRUE(exists(c.installed));
        EXPECT_EQ(readFile(productFile(c.source)), readFile(c.installed));
        EXPECT_EQ(c.time, modificationTime(c.installed));
    }
#ifdef _WIN32
    // A Windows build adds the engine's uninstaller as the last file.
    ASSERT_EQ(5, payloadTable.fileCount);
    EXPECT_STREQ("kluninst.exe", payloadTable.fileNames[4]);
#else
    EXPECT_EQ(4, payloadTable.fileCount);
#endif
    EXPECT_EQ(3, payloadTable.fileChunkCounts[2]) << "70118 bytes make three pieces";

    EXPECT_EQ(EXTRACT_DONE, removePayloadFiles(nullptr, nullptr));
    EXPECT_FALSE(exists("docs/guide/index.htm"));
    EXPECT_TRUE(exists("docs/guide"));
}

TEST(LinkedPayload, CarriesTheFolderConfiguration) {
    EXPECT_STREQ("Sample Group", installerConfig.groupName);
    EXPECT_STREQ("Sample Product", installerConfig.productName);
    EXPECT_STREQ("sample.ini", installerConfig.settingsFileName);
    EXPECT_EQ(1, installerConfig.offerStartupShortcut);
    EXPECT_STREQ("Start Sample Product with Windows?", installerConfig.startupPrompt);
    EXPECT_STREQ("sample.exe", installerConfig.mainExecutable);
    EXPECT_STREQ("", installerConfig.startupArguments);
    EXPECT_EQ(1, installerConfig.warnOfRunningCopies);
    EXPECT_EQ(0, installerConfig.runHelperInstaller);
    EXPECT_STREQ("samplesvc.exe", installerConfig.serviceExecutable);
    EXPECT_EQ(4095u, installerConfig.requiredMegabytes);
    EXPECT_STREQ("SampleService", installerConfig.serviceName);
    EXPECT_STREQ("Sample at Startup", installerConfig.startupShortcutName);
    Bytes agreement = readFile(productFile("agreement.txt"));
    EXPECT_EQ(std::string(agreement.begin(), agreement.end()), agreementText);
}

}  // namespace
