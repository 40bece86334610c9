// setup.exe's command line, argument by argument.
#include <gtest/gtest.h>

#include <string>

#include "setup/setup_command.h"

namespace {

TEST(SetupCommand, SwitchesAreReadWithoutCaseAndTheFolderTakesTheRestOfTheLine) {
    struct Row {
        const char* arguments;
        bool unattended, understood;
        std::string logPath, folder, refused;
    };
    const Row rows[] = {
        {"", false, true, "", "", ""},
        {"  /S  ", true, true, "", "", ""},
        {"/s /log=C:\\setup.log /D=C:\\Some Folder", true, true, "C:\\setup.log", "C:\\Some Folder", ""},
        {"/S /LOG=\"C:\\my logs\\setup.log\" /d=\"C:\\Program Files\\Tarnwick\"  ", true, true,
         "C:\\my logs\\setup.log", "C:\\Program Files\\Tarnwick", ""},
        // Whatever follows /D= is the folder, a switch-like word included.
        {"/D=C:\\x /S", false, true, "", "C:\\x /S", ""},
        {"/S /D=", true, false, "", "", "/D="},
        {"/S /D=\"C:\\a\"b\"", true, false, "", "", "/D=\"C:\\a\"b\""},
        {"/S /X /Y", true, false, "", "", "/X"},
        {"/SILENT", false, false, "", "", "/SILENT"},
        {"/S /LOG=", true, false, "", "", "/LOG="},
        {"/S /LOG=\"C:\\open quote", true, false, "", "", "/LOG=\"C:\\open quote"},
        // Without /S nothing but /LOG= counts, and nothing ends the run.
        {"/help /LOG=C:\\a.log", false, false, "C:\\a.log", "", "/help"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments);
        SetupCommand command;
        parseSetupCommand(row.arguments, &command);
        EXPECT_EQ(row.unattended, command.unattended);
        EXPECT_EQ(row.understood, command.understood);
        EXPECT_EQ(row.logPath, command.logPath);
        EXPECT_EQ(row.folder, command.folder);
        EXPECT_EQ(row.refused, command.refused);
    }
}

}  // namespace
