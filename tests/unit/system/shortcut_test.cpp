// Shortcuts on the in-memory machine: which folder, whether the group folder
// is made and announced, which leftover goes, what the link holds, and that
// every failing step fails the whole, writes no shortened path and leaves
// COM and the link objects as it found them.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/fake_machine.h"
#include "system/shortcut.h"

namespace {

using Lines = std::vector<std::string>;

const std::string GROUP = std::string(fake_machine::PROGRAMS) + "\\Tarnwick";
const std::string LINK = GROUP + "\\Uninstall.lnk";
const char TARGET[] = "C:\\Program Files\\Tarnwick\\kluninst.exe";
const char FOLDER[] = "C:\\Program Files\\Tarnwick";
// With the Programs folder and the link name, one beyond the platform's limit.
const std::string LONG_GROUP(230, 'g');

struct ShortcutCase {
    const char* label;
    std::function<void()> machine;
    const char* group;
    const char* arguments;
    int result;
    Lines log;
    std::string linkPath;  // where a link file must be, "" for none
    int saves;
    int showCommand;
};

TEST(Shortcut, FolderLeftoverSavesAndFailuresFollowTheRules) {
    const std::string startupLink = std::string(fake_machine::STARTUP) + "\\Uninstall.lnk";
    const Lines made = {"stat " + GROUP, "mkdir " + GROUP, "notify mkdir " + GROUP,
                        "remove " + LINK + ".lnk", "save " + LINK, "save " + LINK};
    const ShortcutCase cases[] = {
        {"a new group folder is made and announced", nullptr, "Tarnwick", nullptr, 0, made, LINK,
         2, 1},
        {"an existing group folder is neither made nor announced",
         [] { fake_machine::addDirectory(GROUP); }, "Tarnwick", nullptr, 0,
         {"stat " + GROUP, "remove " + LINK + ".lnk", "save " + LINK, "save " + LINK}, LINK, 2,
         1},
        {"without a group: the Startup folder, minimised, no folder made", nullptr, nullptr,
         "-icon", 0,
         {"remove " + startupLink + ".lnk", "save " + startupLink, "save " + startupLink},
         startupLink, 2, 2},
        {"a file where the group folder goes: nothing made, the save fails",
         [] { fake_machine::addFile(GROUP); }, "Tarnwick", nullptr, -1,
         {"stat " + GROUP, "remove " + LINK + ".lnk", "save " + LINK}, "", 0, 0},
        {"a group folder that cannot be made", [] { fake_machine::failMakeDirectory(GROUP); },
         "Tarnwick", nullptr, -1, {"stat " + GROUP, "mkdir " + GROUP}, "", 0, 0},
        {"no Programs folder", [] { fake_machine::setSpecialFolder(2, ""); }, "Tarnwick", nullptr,
         -1, {}, "", 0, 0},
        {"a link path beyond the platform's limit: nothing at all is written", nullptr,
         LONG_GROUP.c_str(),
         nullptr, -1, {}, "", 0, 0},
        {"the link object cannot be made", [] { fake_machine::failLinkStep("create"); },
         "Tarnwick", nullptr, -1, Lines(made.begin(), made.begin() + 4), "", 0, 0},
        {"the link object has no file interface", [] { fake_machine::failLinkStep("query"); },
         "Tarnwick", nullptr, -1, Lines(made.begin(), made.begin() + 4), "", 0, 0},
        {"the first save fails: no file", [] { fake_machine::failLinkStep("save 1"); },
         "Tarnwick", nullptr, -1, Lines(made.begin(), made.begin() + 5), "", 0, 0},
        {"the second save fails: the first one's file stays, without show command",
         [] { fake_machine::failLinkStep("save 2"); }, "Tarnwick", nullptr, -1, made, LINK, 1, 0},
    };
    for (const ShortcutCase& c : cases) {
        SCOPED_TRACE(c.label);
        fake_machine::reset();
        if (c.machine) c.machine();
        EXPECT_EQ(c.result, createShortcut(c.group, "Uninstall", TARGET, FOLDER, c.arguments));
        EXPECT_EQ(c.log, fake_machine::log());
        EXPECT_TRUE(fake_machine::shellBalanced());
        const fake_machine::Link* link = fake_machine::link(c.linkPath);
        ASSERT_EQ(!c.linkPath.empty(), link != nullptr);
        if (!link) continue;
        EXPECT_EQ(c.saves, link->saves);
        EXPECT_EQ(c.showCommand, link->showCommand);
        EXPECT_EQ(TARGET, link->target);
        EXPECT_EQ("Uninstall", link->description);
        EXPECT_EQ(FOLDER, link->workingDirectory);
        EXPECT_EQ(c.arguments != nullptr, link->hasArguments);
        if (c.arguments) {
            EXPECT_EQ(c.arguments, link->arguments);
        }
        if (c.saves == 2) {
            EXPECT_EQ(TARGET, link->icon);
            EXPECT_EQ(0, link->iconIndex);
        }
    }
}

TEST(Shortcut, EmptyArgumentsArePassedOnAndNoneAreNotSet) {
    fake_machine::reset();
    ASSERT_EQ(0, createShortcut(nullptr, "Tarnwick", TARGET, FOLDER, ""));
    const fake_machine::Link* link =
        fake_machine::link(std::string(fake_machine::STARTUP) + "\\Tarnwick.lnk");
    ASSERT_NE(nullptr, link);
    EXPECT_TRUE(link->hasArguments);
    EXPECT_EQ("", link->arguments);
}

}  // namespace
