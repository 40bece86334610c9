// Faults that only the host's test implementation can make on demand: no
// memory, a write that falls short, a close that fails, a missing or oddly
// shaped system directory, and the calls extraction makes on the way.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "payload/extract.h"
#include "support/payload_io_control.h"
#include "support/scratch_folder.h"
#include "support/test_payload.h"
#include "support/test_platform.h"

namespace {

const int32_t T2001 = 1000000000;
int reportCount = 0;
void countReport(WindowHandle, const char*, int) { ++reportCount; }

class ExtractionFaults : public ::testing::Test {
protected:
    void SetUp() override {
        payload_io_control::reset();
        reportCount = 0;
        payload.add("first.bin", patternBytes(65000, 1), T2001);  // 3 chunks, 3 writes
        payload.add("second.bin", patternBytes(100, 2), T2001);
    }
    void TearDown() override { payload_io_control::reset(); }
    ScratchFolder scratch;
    TestPayload payload;
};

TEST_F(ExtractionFaults, NoMemoryReportsAndWritesNothing) {
    payload_io_control::failAllocation();
    EXPECT_EQ(EXTRACT_NO_MEMORY, extractPayloadFrom(payload.table(), nullptr, countReport));
    EXPECT_EQ(0, reportCount);
    EXPECT_FALSE(exists("first.bin"));
}

TEST_F(ExtractionFaults, OneWorkingBufferServesEveryChunk) {
    ASSERT_EQ(EXTRACT_DONE, extractPayloadFrom(payload.table(), nullptr, nullptr));
    EXPECT_EQ(1, payload_io_control::allocations());
    EXPECT_EQ(4, payload_io_control::writeCalls()) << "one write per chunk";
}

TEST_F(ExtractionFaults, AShortWriteStopsTheRun) {
    payload_io_control::shortWriteOnCall(2);
    EXPECT_EQ(EXTRACT_WRITE_FAILED, extractPayloadFrom(payload.table(), nullptr, nullptr));
    EXPECT_EQ(30000u + 29999u, readFile("first.bin").size());
    EXPECT_FALSE(exists("second.bin"));
}

TEST_F(ExtractionFaults, AFailingCloseIsAWriteFailureNotSuccess) {
    payload_io_control::failCloseOnCall(2);
    EXPECT_EQ(EXTRACT_WRITE_FAILED, extractPayloadFrom(payload.table(), nullptr, nullptr));
    EXPECT_EQ(T2001, modificationTime("first.bin"));
    EXPECT_NE(T2001, modificationTime("second.bin")) << "no stored time on a failed file";
}

TEST_F(ExtractionFaults, SystemDirectoryWithAndWithoutTrailingSeparator) {
    for (const char* trailing : {"", "/", "\\"}) {
        SCOPED_TRACE(trailing);
        std::filesystem::create_directories("sys");
        payload_io_control::setSystemDirectory(scratch.path() + "/sys" + trailing);
        TestPayload system;
        system.add("SYSTEM\\sub\\shared.dll", patternBytes(10, 1), T2001);
        ASSERT_EQ(EXTRACT_DONE, extractPayloadFrom(system.table(), nullptr, nullptr));
        EXPECT_EQ(patternBytes(10, 1), readFile("sys/sub/shared.dll"));
        std::filesystem::remove_all("sys");
    }
}

TEST_F(ExtractionFaults, SystemPathsThatCannotBeFormedAreNotCreated) {
    TestPayload system;
    system.add("SYSTEM/x.dll", patternBytes(10, 1), T2001);
    payload_io_control::failSystemDirectory();
    EXPECT_EQ(EXTRACT_CANNOT_CREATE, extractPayloadFrom(system.table(), nullptr, nullptr));

    payload_io_control::reset();
    payload_io_control::setSystemDirectory(std::string(1020, 'd'));
    EXPECT_EQ(EXTRACT_CANNOT_CREATE, extractPayloadFrom(system.table(), nullptr, nullptr))
        << "a path past 1023 characters is never shortened";
}

TEST_F(ExtractionFaults, ADriveDesignatorIsNeitherQueriedNorCreated) {
    std::filesystem::create_directories("Q:");  // would satisfy a query on the host
    EXPECT_EQ(1, makeParentDirectories("Q:\\folder\\file.txt"));
    EXPECT_TRUE(std::filesystem::is_directory("Q:/folder"));
    std::filesystem::remove_all("Q:");
    EXPECT_EQ(0, makeParentDirectories("Q:\\folder\\file.txt"))
        << "with no Q: on the host, creating Q:\\folder must fail";
}

}  // namespace
