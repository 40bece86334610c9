// The data folder choice on a machine in memory: what is proposed, what
// each OK does, and how the loop ends. Each row runs the whole choice and
// compares every call it made with the run a user should get.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "state/setup_state.h"
#include "support/fake_machine.h"
#include "ui/folder_choice.h"

namespace {

using fake_machine::cancel;
using fake_machine::notShown;
using fake_machine::ok;
using Lines = std::vector<std::string>;

struct Choice {
    const char* label;
    std::function<void()> machine;  // beyond a fresh one
    std::vector<fake_machine::Step> steps;
    std::vector<bool> answers;
    int result;
    Lines log;
    std::string recorded;  // the settings entry afterwards
};

void run(const Choice& c) {
    SCOPED_TRACE(c.label);
    fake_machine::reset();
    if (c.machine) c.machine();
    fake_machine::scriptFolderDialog(c.steps);
    fake_machine::scriptAnswers(c.answers);
    setupState = SetupState();
    EXPECT_EQ(c.result, chooseDataFolder(nullptr, fake_machine::BACKDROP));
    EXPECT_EQ(c.log, fake_machine::log());
    EXPECT_EQ(c.recorded, fake_machine::setting("dataDir"));
}

const char PF[] = "C:\\Program Files\\Tarnwick";

TEST(FolderChoice, ProposalFollowsTheRecordThenTheDefaultsFallbackChain) {
    const Choice choices[] = {
        {"Program Files from the shell, its trailing separator cut",
         [] { fake_machine::setProgramFilesFolder("C:\\Program Files\\"); }, {cancel()}, {}, 0,
         {"dialog[backdrop] C:\\Program Files | Tarnwick", "Cancel",
          "warning[backdrop] Shutting Down"}, ""},
        {"no shfolder.dll: C:\\Program Files\\Tarnwick, entered to test it",
         [] {
             fake_machine::setProgramFilesFolder("");
             fake_machine::addDirectory(PF);
         },
         {cancel()}, {}, 0,
         {std::string("chdir ") + PF, "dialog[backdrop] C:\\Program Files | Tarnwick", "Cancel",
          "warning[backdrop] Shutting Down"}, ""},
        {"then the home drive and path",
         [] {
             fake_machine::setProgramFilesFolder("");
             fake_machine::setEnvironment("HOMEDRIVE", "D:");
             fake_machine::setEnvironment("HOMEPATH", "\\Users\\me\\");
         },
         {cancel()}, {}, 0,
         {std::string("chdir ") + PF, "dialog[backdrop] D:\\Users\\me | Tarnwick", "Cancel",
          "warning[backdrop] Shutting Down"}, ""},
        {"then C: and the bare group",
         [] { fake_machine::setProgramFilesFolder(""); }, {cancel()}, {}, 0,
         {std::string("chdir ") + PF, "dialog[backdrop] C: | Tarnwick", "Cancel",
          "warning[backdrop] Shutting Down"}, ""},
        {"a recorded folder wins, normalised",
         [] { fake_machine::setSetting("dataDir", "D:/Data//Tarnwick/"); }, {cancel()}, {}, 0,
         {"dialog[backdrop] D:\\Data\\Tarnwick | ", "Cancel", "warning[backdrop] Shutting Down"},
         "D:/Data//Tarnwick/"},
        {"a dialog that cannot be shown is no choice",
         nullptr, {notShown()}, {}, 0,
         {"dialog[backdrop] C:\\Program Files | Tarnwick", "dialog not shown",
          "warning[backdrop] Shutting Down"}, ""},
        {"a recorded folder that is not a full path counts as none",
         [] { fake_machine::setSetting("dataDir", ".\\Tarnwick"); }, {cancel()}, {}, 0,
         {"dialog[backdrop] C:\\Program Files | Tarnwick", "Cancel",
          "warning[backdrop] Shutting Down"}, ".\\Tarnwick"},
        {"nor does a drive-relative one",
         [] { fake_machine::setSetting("dataDir", "D:Tarnwick"); }, {cancel()}, {}, 0,
         {"dialog[backdrop] C:\\Program Files | Tarnwick", "Cancel",
          "warning[backdrop] Shutting Down"}, "D:Tarnwick"},
        {"the Windows directory recorded: warned of before the dialog",
         [] { fake_machine::setSetting("dataDir", "c:\\windows\\"); }, {cancel()}, {}, 0,
         {"warning[backdrop] Can't Install to Windows Directory", "dialog[backdrop] c:\\windows | ",
          "Cancel", "warning[backdrop] Shutting Down"}, "c:\\windows\\"},
    };
    for (const Choice& c : choices) run(c);
}

TEST(FolderChoice, EachWayOfOkDecidesAndOnlyAnAcceptedFolderIsEnteredAndRecorded) {
    const std::string created = std::string("C:\\Program Files\\Tarnwick");
    const Choice choices[] = {
        {"a new folder is created, entered and recorded", nullptr,
         {ok("C:\\Program Files", "Tarnwick")}, {}, 1,
         {"dialog[backdrop] C:\\Program Files | Tarnwick", "OK C:\\Program Files | Tarnwick",
          "stat " + created, "mkdir " + created, "chdir " + created,
          "setting tarnwick.ini Options dataDir=" + created},
         created},
        {"an existing folder ending in the group is taken without a question",
         [] { fake_machine::addDirectory("D:\\MyTarnwick"); }, {ok("D:/", "MyTarnwick")}, {}, 1,
         {"dialog[backdrop] C:\\Program Files | Tarnwick", "OK D:/ | MyTarnwick",
          "stat D:\\MyTarnwick", "chdir D:\\MyTarnwick",
          "setting tarnwick.ini Options dataDir=D:\\MyTarnwick"},
         "D:\\MyTarnwick"},
        {"another existing folder asks; No stays, Yes takes it",
         [] { fake_machine::addDirectory("D:\\Data"); },
         {ok("D:", "Data"), ok("D:", "Data")}, {false, true}, 1,
         {"dialog[backdrop] C:\\Program Files | Tarnwick", "OK D: | Data", "stat D:\\Data",
          "question[dialog] Write Data to Existing Folder? -> No", "OK D: | Data",
          "stat D:\\Data", "question[dialog] Write Data to Existing Folder? -> Yes",
          "chdir D:\\Data", "setting tarnwick.ini Options dataDir=D:\\Data"},
         "D:\\Data"},
        {"doubled trailing separators name the folder itself",
         [] { fake_machine::addDirectory("C:\\Data"); }, {ok("C:\\Data\\\\", "")}, {true}, 1,
         {"dialog[backdrop] C:\\Program Files | Tarnwick", "OK C:\\Data\\\\ | ", "stat C:\\Data",
          "question[dialog] Write Data to Existing Folder? -> Yes", "chdir C:\\Data",
          "setting tarnwick.ini Options dataDir=C:\\Data"},
         "C:\\Data"},
        {"a drive root keeps its separator", nullptr, {ok("C:\\", "")}, {true}, 1,
         {"dialog[backdrop] C:\\Program Files | Tarnwick", "OK C:\\ | ", "stat C:\\",
          "question[dialog] Write Data to Existing Folder? -> Yes", "chdir C:\\",
          "setting tarnwick.ini Options dataDir=C:\\"},
         "C:\\"},
        {"a name ending in dots or blanks is known by the name the system gives the folder",
         [] { fake_machine::addDirectory("C:\\Data"); },
         {ok("C:\\Data", "Tarnwick. ")}, {}, 1,
         {"dialog[backdrop] C:\\Program Files | Tarnwick", "OK C:\\Data | Tarnwick. ",
          "stat C:\\Data\\Tarnwick", "mkdir C:\\Data\\Tarnwick", "chdir C:\\Data\\Tarnwick",
          "setting tarnwick.ini Options dataDir=C:\\Data\\Tarnwick"},
         "C:\\Data\\Tarnwick"},
        {"a file asks for a folder name; a folder that cannot be made is refused",
         [] {
             fake_machine::addFile("C:\\notes.txt");
             fake_machine::failMakeDirectory("C:\\Locked");
         },
         {ok("C:", "notes.txt"), ok("C:", "Locked"), cancel()}, {}, 0,
         {"dialog[backdrop] C:\\Program Files | Tarnwick", "OK C: | notes.txt",
          "stat C:\\notes.txt", "warning[dialog] Please Enter a Folder Name", "OK C: | Locked",
          "stat C:\\Locked", "mkdir C:\\Locked", "warning[dialog] Can't Create Directory",
          "Cancel", "warning[backdrop] Shutting Down"},
         ""},
        {"a folder too long for the payload's paths is refused unmade", nullptr,
         {ok("C:\\" + std::string(230, 'p'), "Tarnwick"), cancel()}, {}, 0,
         {"dialog[backdrop] C:\\Program Files | Tarnwick",
          "OK C:\\" + std::string(230, 'p') + " | Tarnwick",
          "warning[dialog] Folder Name Too Long", "Cancel", "warning[backdrop] Shutting Down"},
         ""},
        {"a network path is refused unmade: normalised, it would name a folder of the "
         "current drive",
         [] {
             fake_machine::addDirectory("\\\\server\\share");
             fake_machine::addDirectory("C:\\server\\share");
         },
         {ok("\\\\server\\share", "x"), ok("//server/share", "x"), cancel()}, {}, 0,
         {"dialog[backdrop] C:\\Program Files | Tarnwick", "OK \\\\server\\share | x",
          "warning[dialog] Can't Install to a Network Path", "OK //server/share | x",
          "warning[dialog] Can't Install to a Network Path", "Cancel",
          "warning[backdrop] Shutting Down"},
         ""},
        {"an accepted folder that cannot be entered: told, and the dialog comes back",
         [] {
             fake_machine::addDirectory("D:\\Tarnwick");
             fake_machine::failChangeDirectory("D:\\Tarnwick");
         },
         {ok("D:", "Tarnwick"), cancel()}, {}, 0,
         {"dialog[backdrop] C:\\Program Files | Tarnwick", "OK D: | Tarnwick",
          "stat D:\\Tarnwick", "chdir D:\\Tarnwick", "mkdir D:\\Tarnwick", "chdir D:\\Tarnwick",
          "warning[backdrop] Couldn't Access Directory", "dialog[backdrop] D: | Tarnwick",
          "Cancel", "warning[backdrop] Shutting Down"},
         ""},
        {"the Windows directory chosen in the dialog: warned, never recorded", nullptr,
         {ok("C:", "windows"), cancel()}, {true}, 0,
         {"dialog[backdrop] C:\\Program Files | Tarnwick", "OK C: | windows", "stat C:\\windows",
          "question[dialog] Write Data to Existing Folder? -> Yes",
          "warning[backdrop] Can't Install to Windows Directory", "dialog[backdrop] C: | windows",
          "Cancel", "warning[backdrop] Shutting Down"},
         ""},
        {"doubled and forward separators: normalised before the Windows directory is looked "
         "for and before the folder is entered and recorded",
         [] { fake_machine::addDirectory("D:\\Data"); },
         {ok("C:\\\\", "windows"), ok("D:/Data//", "Tarnwick")}, {true}, 1,
         {"dialog[backdrop] C:\\Program Files | Tarnwick", "OK C:\\\\ | windows",
          "stat C:\\\\windows", "question[dialog] Write Data to Existing Folder? -> Yes",
          "warning[backdrop] Can't Install to Windows Directory", "dialog[backdrop] C: | windows",
          "OK D:/Data// | Tarnwick", "stat D:\\Data\\\\Tarnwick", "mkdir D:\\Data\\\\Tarnwick",
          "chdir D:\\Data\\Tarnwick", "setting tarnwick.ini Options dataDir=D:\\Data\\Tarnwick"},
         "D:\\Data\\Tarnwick"},
        {"the Windows directory named with a trailing dot: warned all the same", nullptr,
         {ok("C:", "windows."), cancel()}, {true}, 0,
         {"dialog[backdrop] C:\\Program Files | Tarnwick", "OK C: | windows.",
          "stat C:\\windows", "question[dialog] Write Data to Existing Folder? -> Yes",
          "warning[backdrop] Can't Install to Windows Directory", "dialog[backdrop] C: | windows",
          "Cancel", "warning[backdrop] Shutting Down"},
         ""},
    };
    for (const Choice& c : choices) run(c);
    // The message a file gets names the group as the example.
    fake_machine::reset();
    fake_machine::addFile("C:\\x");
    fake_machine::scriptFolderDialog({ok("C:", "x"), cancel()});
    chooseDataFolder(nullptr, fake_machine::BACKDROP);
    EXPECT_EQ(fake_machine::messageTexts().front(),
              "That path specifies a file, and not a new or existing folder name. Please enter a "
              "folder name, such as Tarnwick for example.");
}

// Every folder that is not a full local path is refused on OK with one
// box, before anything is made, and the dialog stays; the user then gives
// a full one, which is made, entered and recorded.
TEST(FolderChoice, OnlyAFullLocalPathIsTaken) {
    const std::vector<std::pair<std::string, std::string>> refused = {
        {".", "Tarnwick"},       {"", "Tarnwick"},           {"C:Data", "Tarnwick"},
        {"\\\\?\\C:\\Data", "x"}, {"\\\\.\\C:", "x"},        {"C:\\CON", "x"},
        {"C:\\Data", "nul.txt"}, {"D:\\lpt1 .log", "x"},
    };
    std::vector<fake_machine::Step> steps;
    Lines log = {"dialog[backdrop] C:\\Program Files | Tarnwick"};
    for (const auto& [parent, application] : refused) {
        steps.push_back(ok(parent, application));
        log.push_back("OK " + parent + " | " + application);
        log.push_back("warning[dialog] Please Enter a Full Path");
    }
    steps.push_back(ok("C:\\COM10", "CONSOLE"));
    log.insert(log.end(), {"OK C:\\COM10 | CONSOLE", "stat C:\\COM10\\CONSOLE",
                           "mkdir C:\\COM10\\CONSOLE", "chdir C:\\COM10\\CONSOLE",
                           "setting tarnwick.ini Options dataDir=C:\\COM10\\CONSOLE"});
    fake_machine::reset();
    fake_machine::addDirectory("C:\\COM10");
    fake_machine::scriptFolderDialog(steps);
    setupState = SetupState();
    EXPECT_EQ(1, chooseDataFolder(nullptr, fake_machine::BACKDROP));
    EXPECT_EQ(log, fake_machine::log());
    ASSERT_EQ(refused.size(), fake_machine::messageTexts().size());
    EXPECT_EQ("That location is not a full path to a folder on this computer. Please enter a "
              "folder that begins with a drive letter, such as C:\\Tarnwick.",
              fake_machine::messageTexts()[0]);
}

}  // namespace
