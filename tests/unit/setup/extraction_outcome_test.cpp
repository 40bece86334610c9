#include <gtest/gtest.h>

#include <string>

#include "setup/extraction_outcome.h"

namespace {

TEST(ExtractionOutcome, EachFailureHasItsOwnTextAndSuccessNone) {
    EXPECT_STREQ(
        "The application was not able to create one of its component files. The disk is full, or "
        "a copy of the application is already running, or you do not have write access to the "
        "directory in which you are attempting to install the application. Check your available "
        "disk space, make sure the application is not running now, and run the setup program "
        "again.",
        extractionFailureText(EXTRACT_CANNOT_CREATE));
    EXPECT_STREQ(
        "The application was unable to finish writing a file to disk. Your hard drive is probably "
        "full. Check your available disk space, make additional space available, and run the "
        "setup program again.",
        extractionFailureText(EXTRACT_WRITE_FAILED));
    EXPECT_STREQ(
        "Insufficient memory was available for the setup procedure. Close other applications and "
        "run the setup program again.",
        extractionFailureText(EXTRACT_NO_MEMORY));
    EXPECT_EQ(nullptr, extractionFailureText(EXTRACT_DONE));
}

TEST(ExtractionOutcome, CaptionNamesTheProductOrReportsThatItDoesNotFit) {
    char caption[64];
    ASSERT_TRUE(formatExtractionFailureCaption(caption, sizeof caption, "Tarnwick"));
    EXPECT_STREQ("Tarnwick Installation Failed", caption);
    std::string longName(60, 'n');
    EXPECT_FALSE(formatExtractionFailureCaption(caption, sizeof caption, longName.c_str()));
    EXPECT_STREQ("", caption);
}

}  // namespace
