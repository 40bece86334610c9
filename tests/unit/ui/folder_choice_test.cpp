// The data folder choice on a machine in memory: what is proposed, what
// each OK does, and how the loop ends. Each row runs the whole choice and
// compares every call it made with the run a user should get.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <stdio.h>

#include "state/installer_config.h"
#include "state/setup_state.h"
#include "support/fake_machine.h"
#include "ui/folder_choice.h"
#include "ui/folder_rules.h"

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

// A product whose service runs as SYSTEM from its folder, on NT: a new
// folder is made for the administrators alone to change; an existing one
// is taken only when nobody else can change it, and the product's own
// earlier folder is taken over.
TEST(FolderChoice, AServiceProductsFolderIsOneOnlyAdministratorsChange) {
    const InstallerConfig service = {"Quill", "Quill", "tarnwick.ini", 0, "", "quill.exe", "", 0, 0,
                                     "quillsvc.exe", 1, "QuillService", "", "", ""};
    const std::string admins = "S-1-5-32-544";
    const std::vector<std::pair<std::string, uint32_t>> closed = {
        {"S-1-5-18", 0x1F01FF}, {admins, 0x1F01FF}, {"S-1-5-32-545", 0x1200A9},
        {"S-1-3-0", 0x10000000}};
    const std::string refused = "warning[dialog] Folder Open to Other Users";
    struct Row {
        const char* label;
        std::function<void()> machine;
        std::vector<fake_machine::Step> steps;
        int result;
        Lines log;
    };
    const Row rows[] = {
        {"a closed folder is taken, one of the users' is refused, one that cannot be read too",
         [&] {
             fake_machine::setFolderSecurity("D:\\Open\\Quill", false, admins,
                                             {{"S-1-5-11", 0x1301BF}});
             fake_machine::setFolderSecurity("D:\\Closed\\Quill", false, admins, closed);
             fake_machine::addDirectory("D:\\Unread\\Quill");
         },
         {ok("D:\\Open", "Quill"), ok("D:\\Unread", "Quill"), ok("D:\\Closed", "Quill")}, 1,
         {"dialog[backdrop] C:\\Program Files | Quill", "OK D:\\Open | Quill",
          "stat D:\\Open\\Quill", "read security D:\\Open\\Quill", refused,
          "OK D:\\Unread | Quill", "stat D:\\Unread\\Quill", "read security D:\\Unread\\Quill",
          refused, "OK D:\\Closed | Quill", "stat D:\\Closed\\Quill",
          "read security D:\\Closed\\Quill", "chdir D:\\Closed\\Quill",
          "setting tarnwick.ini Options dataDir=D:\\Closed\\Quill"}},
        {"a link, and a folder owned by a user, are refused; a new one is made closed",
         [&] {
             fake_machine::setFolderSecurity("D:\\Link\\Quill", true, admins, closed);
             fake_machine::setFolderSecurity("D:\\Owned\\Quill", false, "S-1-5-21-1000", closed);
             fake_machine::addDirectory("D:\\New");
         },
         {ok("D:\\Link", "Quill"), ok("D:\\Owned", "Quill"), ok("D:\\New", "Quill")}, 1,
         {"dialog[backdrop] C:\\Program Files | Quill", "OK D:\\Link | Quill",
          "stat D:\\Link\\Quill", "read security D:\\Link\\Quill", refused,
          "OK D:\\Owned | Quill", "stat D:\\Owned\\Quill", "read security D:\\Owned\\Quill",
          refused, "OK D:\\New | Quill", "stat D:\\New\\Quill",
          "mkdir D:\\New\\Quill D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)",
          "chdir D:\\New\\Quill", "setting tarnwick.ini Options dataDir=D:\\New\\Quill"}},
        {"the product's own earlier folder, open as it is, is taken over",
         [&] {
             fake_machine::setSetting("dataDir", "D:/Old/Quill/");
             fake_machine::setFolderSecurity("D:\\Old\\Quill", false, "S-1-5-21-1000",
                                             {{"S-1-1-0", 0x10000000}});
         },
         {ok("D:\\Old", "Quill")}, 1,
         {"dialog[backdrop] D:\\Old\\Quill | ", "OK D:\\Old | Quill", "stat D:\\Old\\Quill",
          "take over D:\\Old\\Quill O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)",
          "chdir D:\\Old\\Quill", "setting tarnwick.ini Options dataDir=D:\\Old\\Quill"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        fake_machine::reset();
        row.machine();
        std::vector<fake_machine::Step> steps = row.steps;
        fake_machine::scriptFolderDialog(steps);
        setupState = SetupState();
        setupState.platformId = PLATFORM_NT;
        EXPECT_EQ(row.result, chooseDataFolderFor(service, nullptr, fake_machine::BACKDROP));
        EXPECT_EQ(row.log, fake_machine::log());
        // The refusal names the product and says what to do.
        for (const std::string& text : fake_machine::messageTexts()) {
            EXPECT_EQ("Quill installs a program that runs with administrator rights from its "
                      "folder, and other users of this computer could change the folder you "
                      "chose, or it leads to another place. Please enter a new folder: setup "
                      "creates it so that only administrators can change it.",
                      text);
        }
    }
}

TEST(FolderRules, OnlyTheSystemAndTheAdministratorsMayChangeAPrivilegedFolder) {
    using Entries = std::vector<std::pair<std::string, uint32_t>>;
    struct Row {
        const char* label;
        bool isLink;
        const char* owner;
        Entries entries;
        FolderTrust trust;
    };
    const Row rows[] = {
        {"Program Files as installed", false, "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",
         {{"S-1-5-18", 0x1F01FF}, {"S-1-5-32-544", 0x1F01FF}, {"S-1-5-32-545", 0x1200A9},
          {"S-1-3-0", 0x10000000}}, FOLDER_TRUSTED},
        {"a junction", true, "S-1-5-32-544", {}, FOLDER_IS_LINK},
        {"owned by a user", false, "S-1-5-21-1-2-3-1001", {}, FOLDER_FOREIGN_OWNER},
        {"users may add files", false, "S-1-5-18", {{"S-1-5-32-545", 0x2}}, FOLDER_OPEN_TO_OTHERS},
        {"users may add folders", false, "S-1-5-18", {{"S-1-5-32-545", 0x4}}, FOLDER_OPEN_TO_OTHERS},
        {"users may delete", false, "S-1-5-18", {{"S-1-5-32-545", 0x10000}}, FOLDER_OPEN_TO_OTHERS},
        {"users may change the rights", false, "S-1-5-18", {{"S-1-5-32-545", 0x40000}},
         FOLDER_OPEN_TO_OTHERS},
        {"users may take ownership", false, "S-1-5-18", {{"S-1-5-32-545", 0x80000}},
         FOLDER_OPEN_TO_OTHERS},
        {"everyone, generic write", false, "S-1-5-18", {{"S-1-1-0", 0x40000000}},
         FOLDER_OPEN_TO_OTHERS},
        {"no list at all reads as everyone, all", false, "S-1-5-32-544", {{"S-1-1-0", 0x10000000}},
         FOLDER_OPEN_TO_OTHERS},
        {"users may read, list and run", false, "S-1-5-32-544", {{"S-1-5-11", 0x1200A9}},
         FOLDER_TRUSTED},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        system_platform::FolderSecurity security = {};
        security.isLink = row.isLink;
        snprintf(security.owner, sizeof security.owner, "%s", row.owner);
        for (const auto& [trustee, rights] : row.entries) {
            system_platform::AccessEntry& entry = security.entries[security.entryCount++];
            snprintf(entry.trustee, sizeof entry.trustee, "%s", trustee.c_str());
            entry.rights = rights;
        }
        EXPECT_EQ(row.trust, judgeFolder(security));
    }
}

}  // namespace
