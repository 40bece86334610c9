#include <gtest/gtest.h>

#include <string>

#include "common/bounded_text.h"

namespace {

TEST(BoundedText, FitsExactlyOrLeavesTheBufferEmpty) {
    char buffer[8];
    EXPECT_TRUE(formatText(buffer, sizeof buffer, "%s\\%s", "abc", "def"));
    EXPECT_STREQ("abc\\def", buffer);
    EXPECT_FALSE(formatText(buffer, sizeof buffer, "%s\\%s", "abc", "defg"));
    EXPECT_STREQ("", buffer);

    EXPECT_TRUE(copyText(buffer, sizeof buffer, "1234567"));
    EXPECT_FALSE(copyText(buffer, sizeof buffer, "12345678"));
    EXPECT_STREQ("", buffer);

    EXPECT_TRUE(copyText(buffer, sizeof buffer, "1234"));
    EXPECT_TRUE(appendText(buffer, sizeof buffer, "567"));
    EXPECT_STREQ("1234567", buffer);
    EXPECT_FALSE(appendText(buffer, sizeof buffer, "8"));
    EXPECT_STREQ("", buffer);
}

TEST(BoundedText, PathsOfTheFullBufferSize) {
    char path[1024];
    std::string longest(1023, 'p');
    EXPECT_TRUE(copyText(path, sizeof path, longest.c_str()));
    EXPECT_EQ(longest, path);
    EXPECT_FALSE(formatText(path, sizeof path, "%s\\%s", longest.c_str(), "x"));
    EXPECT_STREQ("", path);
}

}  // namespace
