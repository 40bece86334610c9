// The data folder decisions, table-driven. Run under ASan+UBSan too, with
// texts up to and past the 1024-byte buffers and the 259-character edits.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ui/folder_rules.h"

namespace {

std::string normalized(std::string text) {
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    normalizeSeparators(buffer.data());
    return buffer.data();
}

TEST(FolderRules, NormalizeSeparatorsFoldsEveryRun) {
    struct Case {
        const char* in;
        const char* out;
    };
    for (Case c : {Case{"D:/Data//Tarnwick/", "D:\\Data\\Tarnwick\\"},
                   Case{"\\\\server\\share", "\\server\\share"}, Case{"C:\\\\/\\x", "C:\\x"},
                   Case{"plain", "plain"}, Case{"", ""}, Case{"///", "\\"}}) {
        EXPECT_EQ(c.out, normalized(c.in)) << c.in;
    }
    std::string long1023(1023, '/');
    EXPECT_EQ("\\", normalized(long1023));
}

TEST(FolderRules, RemoveTrailingCharCutsOneAtMost) {
    char path[16] = "C:\\dir\\\\";
    EXPECT_EQ('\\', removeTrailingChar(path, '\\'));
    EXPECT_STREQ("C:\\dir\\", path);
    EXPECT_EQ('\\', removeTrailingChar(path, '/'));
    EXPECT_STREQ("C:\\dir\\", path);
    char empty[1] = "";
    EXPECT_EQ('\0', removeTrailingChar(empty, '\\'));
}

TEST(PathRules, TrailingSeparatorsAreCutButARootKeepsItsOwn) {
    struct Case {
        const char* in;
        const char* out;
    };
    for (Case c : {Case{"C:\\Data\\\\", "C:\\Data"}, Case{"dir/\\/", "dir"},
                   Case{"C:\\", "C:\\"}, Case{"C:/", "C:/"}, Case{"C:\\\\", "C:\\"},
                   Case{"\\", "\\"}, Case{"\\\\\\", "\\"}, Case{"C:", "C:"}, Case{"", ""}}) {
        std::vector<char> buffer(c.in, c.in + strlen(c.in) + 1);
        cutTrailingSeparators(buffer.data());
        EXPECT_STREQ(c.out, buffer.data()) << c.in;
    }
    struct Join {
        const char* folder;
        const char* joined;
    };
    for (Join j : {Join{"C:\\", "C:\\x"}, Join{"C:", "C:\\x"}, Join{"", "\\x"},
                   Join{"a/", "a/x"}, Join{"C:\\sys", "C:\\sys\\x"}}) {
        char out[16];
        ASSERT_TRUE(joinPath(out, sizeof out, j.folder, "x")) << j.folder;
        EXPECT_STREQ(j.joined, out);
    }
    char small[4];
    EXPECT_FALSE(joinPath(small, sizeof small, "C:", "x")) << "never a shortened path";
    EXPECT_STREQ("", small);
}

TEST(FolderRules, TrailingDotsAndBlanksOfTheLastNameAreCut) {
    struct Case {
        const char* in;
        const char* out;
    };
    for (Case c : {Case{"C:\\Data\\Tarnwick.", "C:\\Data\\Tarnwick"},
                   Case{"C:\\Data\\Tarnwick ", "C:\\Data\\Tarnwick"},
                   Case{"C:\\Data\\Tarnwick. .\\", "C:\\Data\\Tarnwick"},
                   Case{"C:\\Data \\Tarnwick", "C:\\Data \\Tarnwick"},
                   Case{"C:\\Data\\..", "C:\\Data\\.."}, Case{"C:\\Data\\.", "C:\\Data\\."},
                   Case{"C:\\Data\\...", "C:\\Data"}, Case{"C:\\ .", "C:\\"},
                   Case{"\\..", "\\.."}, Case{"\\. ", "\\"}, Case{"C:..", "C:.."},
                   Case{"C:Tarnwick.", "C:Tarnwick"}, Case{"C:\\", "C:\\"}, Case{"", ""}}) {
        std::vector<char> buffer(c.in, c.in + strlen(c.in) + 1);
        cutTrailingDotsAndBlanks(buffer.data());
        EXPECT_STREQ(c.out, buffer.data()) << "\"" << c.in << "\"";
    }
}

TEST(FolderRules, SplitForTheDialog) {
    struct Case {
        const char* folder;
        const char* parent;
        const char* application;
        size_t parentSize = 1024;
    };
    for (Case c : {Case{"C:\\Program Files\\Tarnwick", "C:\\Program Files", "Tarnwick"},
                   Case{"D:\\Data\\Tarnwick\\", "D:\\Data\\Tarnwick", ""},
                   Case{"D:/Data/Tarnwick", "D:/Data", "Tarnwick"}, Case{"Tarnwick", "Tarnwick", ""},
                   Case{"C:\\Tarnwick", "C:", "Tarnwick"},
                   // A parent that just fits its buffer, and one a byte too long,
                   // which is left empty rather than cut short.
                   Case{"C:\\Data\\Tarnwick", "C:\\Data", "Tarnwick", 8},
                   Case{"C:\\Data\\Tarnwick", "", "Tarnwick", 7}}) {
        // A guard byte past the parent's buffer shows a write beyond it
        // without the sanitizers too.
        std::vector<char> parent(c.parentSize + 1, '#');
        char application[1024];
        splitDataFolder(c.folder, parent.data(), c.parentSize, application, sizeof application);
        EXPECT_STREQ(c.parent, parent.data()) << c.folder << " in " << c.parentSize;
        EXPECT_EQ('#', parent[c.parentSize]) << c.folder << " in " << c.parentSize;
        EXPECT_STREQ(c.application, application) << c.folder;
    }
}

TEST(FolderRules, JoinOfTheTwoEdits) {
    struct Case {
        const char* parent;
        const char* application;
        const char* joined;
    };
    for (Case c : {Case{"C:\\", "Tarnwick", "C:\\Tarnwick"}, Case{"C:", "Tarnwick", "C:\\Tarnwick"},
                   Case{"", "Tarnwick", "\\Tarnwick"},
                   Case{"D:/Data//Tarnwick/", "", "D:\\Data\\\\Tarnwick\\"},
                   Case{"C:\\Program Files", "Tarnwick", "C:\\Program Files\\Tarnwick"}}) {
        char out[1024];
        ASSERT_TRUE(joinDataFolder(c.parent, c.application, out, sizeof out));
        EXPECT_STREQ(c.joined, out) << c.parent << " + " << c.application;
    }
    std::string edit259(259, 'e');
    char out[1024];
    EXPECT_TRUE(joinDataFolder(edit259.c_str(), edit259.c_str(), out, sizeof out));
    EXPECT_EQ(519u, std::string(out).size());
    std::string huge(1023, 'h');
    EXPECT_FALSE(joinDataFolder(huge.c_str(), "x", out, sizeof out)) << "never a shortened path";
}

TEST(FolderRules, DefaultFolderForEveryEnvironment) {
    char out[1024];
    ASSERT_TRUE(defaultFolderFromProgramFiles("C:\\Program Files\\", "Tarnwick", out, sizeof out));
    EXPECT_STREQ("C:\\Program Files\\Tarnwick", out);
    ASSERT_TRUE(defaultFolderFromProgramFiles("C:\\Program Files", "Tarnwick", out, sizeof out));
    EXPECT_STREQ("C:\\Program Files\\Tarnwick", out);
    ASSERT_TRUE(conventionalProgramFilesFolder("Tarnwick", out, sizeof out));
    EXPECT_STREQ("C:\\Program Files\\Tarnwick", out);

    struct Case {
        const char* label;
        const char* drive;
        const char* path;
        const char* folder;
    };
    for (Case c : {Case{"no variables", nullptr, nullptr, "C:\\Tarnwick"},
                   Case{"drive and path", "C:", "\\Documents and Settings\\user",
                        "C:\\Documents and Settings\\user\\Tarnwick"},
                   Case{"path with its own drive", "C:", "D:\\home", "D:\\home\\Tarnwick"},
                   Case{"drive with separator, trailing path separator", "E:\\", "\\users\\me\\",
                        "E:\\users\\me\\Tarnwick"},
                   Case{"path only", nullptr, "\\home", "C:\\home\\Tarnwick"},
                   Case{"drive only", "F:", nullptr, "F:\\Tarnwick"}}) {
        ASSERT_TRUE(defaultFolderFromHome(c.drive, c.path, "Tarnwick", out, sizeof out)) << c.label;
        EXPECT_STREQ(c.folder, out) << c.label;
    }
    std::string longHome(1020, 'h');
    EXPECT_FALSE(defaultFolderFromHome("C:", longHome.c_str(), "Tarnwick", out, sizeof out));
}

TEST(FolderRules, ExistingFolderEndingAndWindowsDirectory) {
    EXPECT_TRUE(endsWithGroupName("D:\\MyTarnwick", "Tarnwick"));
    EXPECT_TRUE(endsWithGroupName("d:\\TARNWICK", "Tarnwick"));
    EXPECT_TRUE(endsWithGroupName("Tarnwick", "Tarnwick")) << "the whole path is the name";
    EXPECT_TRUE(endsWithGroupName("D:\\Quiz", "QUIZ")) << "every letter folds, Z too";
    EXPECT_FALSE(endsWithGroupName("D:\\Data", "Tarnwick"));
    EXPECT_FALSE(endsWithGroupName("wick", "Tarnwick"));

    struct Case {
        const char* candidate;
        bool refused;
    };
    for (Case c : {Case{"C:\\WINDOWS", true}, Case{"c:\\windows", true}, Case{"C:\\Windows\\", true},
                   Case{"C:/windows/", true}, Case{"C:\\WINDOWS\\Tarnwick", false},
                   Case{"C:\\WINDOW", false}, Case{"", false}}) {
        EXPECT_EQ(c.refused, isWindowsDirectory(c.candidate, "C:\\WINDOWS")) << c.candidate;
    }
    EXPECT_TRUE(isWindowsDirectory("c:\\windows", "C:\\windows\\"));
}

TEST(FolderRules, OnlyADriveLetterColonAndSeparatorMakeAFullPath) {
    struct Case {
        const char* path;
        PathForm form;
    };
    const Case cases[] = {
        {"C:\\Program Files\\Tarnwick", FULL_LOCAL_PATH}, {"z:/data", FULL_LOCAL_PATH},
        {"C:\\", FULL_LOCAL_PATH},          {"C:\\COM0\\CONIN\\LPT", FULL_LOCAL_PATH},
        {"C:\\con", NOT_FULL},              {"C:\\a\\Aux.txt\\b", NOT_FULL},
        {"C:\\COM9", NOT_FULL},             {"C:\\lpt1 .x", NOT_FULL},
        {"C:", NOT_FULL},                     {"C:Data", NOT_FULL},
        {"\\Data", NOT_FULL},               {"Data", NOT_FULL},
        {".\\Tarnwick", NOT_FULL},          {"", NOT_FULL},
        {"1:\\Data", NOT_FULL},             {"\\\\?\\C:\\Data", NOT_FULL},
        {"\\\\.\\C:", NOT_FULL},        {"//?/C:/x", NOT_FULL},
        {"\\\\server\\share", NETWORK_PATH}, {"//server/share/x", NETWORK_PATH},
        {"\\\\?server\\x", NETWORK_PATH},
    };
    for (const Case& c : cases) EXPECT_EQ(c.form, pathForm(c.path)) << c.path;
}

TEST(FolderRules, RootOfTheDataFolderDrive) {
    char root[4];
    driveRootOf("D:\\Data\\Tarnwick", 3, root);
    EXPECT_STREQ("D:\\", root);
    driveRootOf("\\Tarnwick", 3, root);
    EXPECT_STREQ("C:/", root);
    driveRootOf("relative", 20, root);
    EXPECT_STREQ("T:/", root);
    driveRootOf("E:", 3, root);
    EXPECT_STREQ("E:", root);
}

TEST(FolderRules, FreeSpaceArithmetic) {
    struct Case {
        const char* label;
        uint32_t sectors, bytes, freeClusters, required;
        bool enough;
        uint32_t freeMegabytes;
    };
    const Case cases[] = {
        {"256 free clusters of 4 KB pass", 8, 512, 256, 1, true, 1},
        {"255 free clusters fail, 0 MB shown", 8, 512, 255, 1, false, 0},
        {"nothing required", 8, 512, 0, 0, true, 0},
        {"equality passes", 1, 1048576, 5, 5, true, 5},
        {"zero bytes per cluster", 0, 512, 0, 1, true, 0},
        {"largest requirement", 64, 512, 131000, 4095, false, 4093},
        {"a 512 KB drive", 8, 512, 128, 1, false, 0},
    };
    for (const Case& c : cases) {
        FreeSpaceVerdict v = checkFreeSpace(c.sectors, c.bytes, c.freeClusters, c.required);
        EXPECT_EQ(c.enough, v.enough) << c.label;
        EXPECT_EQ(c.freeMegabytes, v.freeMegabytes) << c.label;
    }
}

TEST(FolderRules, PayloadPathsMustFitThePlatformLimit) {
    std::string folder(238, 'f');
    EXPECT_TRUE(payloadPathsFit(folder.c_str(), 20));   // 238 + 1 + 20 = 259
    EXPECT_FALSE(payloadPathsFit(folder.c_str(), 21));  // 260
}

}  // namespace
