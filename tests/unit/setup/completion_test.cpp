// The completion on the in-memory machine, for Tarnwick and for products
// that use every flag: which shortcuts, which registry values, which
// questions, which programs run and how they are called, and that no
// failure stops the run before its final question.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/bounded_text.h"
#include "setup/completion.h"
#include "state/installer_config.h"
#include "state/setup_state.h"
#include "support/fake_machine.h"

namespace {

using Lines = std::vector<std::string>;

const char FOLDER[] = "C:\\Program Files\\Tarnwick";
const char KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnwick";
const int PLATFORM_95 = 1;

Lines operator+(Lines head, const Lines& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

std::string inFolder(const std::string& name) { return std::string(FOLDER) + "\\" + name; }

// A shortcut's calls when its folder is there (startup) or must be made.
Lines shortcut(const std::string& folder, const std::string& name, bool makeFolder) {
    const std::string link = folder + "\\" + name + ".lnk";
    Lines lines;
    if (makeFolder) lines = {"stat " + folder, "mkdir " + folder, "notify mkdir " + folder};
    return lines + Lines{"remove " + link + ".lnk", "save " + link, "save " + link};
}

Lines groupShortcuts(const std::string& group, const std::string& product,
                     const std::string& programs = fake_machine::PROGRAMS) {
    const std::string folder = programs + "\\" + group;
    Lines lines = shortcut(folder, product, true) + shortcut(folder, "Uninstall", false);
    lines.insert(lines.begin() + 6, "stat " + folder);
    return lines;
}

// The values after the size: a version and a publisher only when given,
// else whatever an earlier setup left of them goes.
Lines entryValues(const std::string& folder, const char* version, const char* publisher,
                  bool quietFits = true) {
    const auto text = [](const char* name, const std::string& value) {
        return !value.empty() ? std::string("value ") + name + "=" + value
                              : std::string("delete value ") + name;
    };
    return {text("QuietUninstallString", quietFits ? "\"" + folder + "\\kluninst.exe\" /S" : ""),
            text("DisplayVersion", version), text("Publisher", publisher),
            "value InstallLocation=" + folder, "value NoModify=dword:1", "value NoRepair=dword:1",
            "close key"};
}

Lines registration(const InstallerConfig& config) {
    const std::string product = config.productName;
    return Lines{std::string("create key Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") +
                     product,
                 "value DisplayName=" + product,
                 "value UninstallString=\"" + inFolder("kluninst.exe") + "\"",
                 "value DisplayIcon=" + inFolder(config.mainExecutable),
                 "value EstimatedSize=dword:186"} +
           entryValues(FOLDER, config.version, config.publisher);
}

Lines ending(const std::string& settings, const std::string& answer) {
    return {std::string("setting ") + settings + " Options dataDir=" + FOLDER,
            "question[backdrop] Installation Successful -> " + answer, "destroy backdrop"};
}

const InstallerConfig TARNWICK = {"Tarnwick", "Tarnwick", "tarnwick.ini", 0, "", "tarnwick.exe",
                                  "-icon", 0, 0, "", 1, "", "", "", ""};
// Every flag set, with a service, in a group named otherwise than the product.
const InstallerConfig SERVICE = {"Fern Tools", "Fern", "fern.ini", 1, "Start Fern?", "fern.exe",
                                 "-icon -tray", 0, 1, "fernsvc.exe", 1, "FernService",
                                 "Fern Agent", "2.5.1", "Fern Works"};
// The startup offer without a service, and without arguments or a name; the
// group is named otherwise too.
const InstallerConfig STARTUP = {"Moor Apps", "Moor", "moor.ini", 1, "Start Moor with Windows?",
                                 "moor.exe", "", 0, 0, "", 1, "", "", "", ""};

struct CompletionRun {
    const char* label;
    const InstallerConfig* config;
    int platform;
    std::function<void()> machine;  // beyond a fresh one, with the user's answers
    Lines log;
};

TEST(Completion, EachProductAndFamilyGetsItsStepsInOrder) {
    const std::string startup = fake_machine::STARTUP;
    const Lines tarnwick = groupShortcuts("Tarnwick", "Tarnwick") +
                           registration(TARNWICK);
    const Lines fern = groupShortcuts("Fern Tools", "Fern") + registration(SERVICE);
    const Lines moor = groupShortcuts("Moor Apps", "Moor") + registration(STARTUP);
    const Lines helper = {"run " + inFolder("quellsv.exe") + " | \"" + inFolder("quellsv.exe") +
                          "\" -install -sid=0"};
    const Lines service = {"notice[backdrop] Installing Service",
                           "run " + inFolder("fernsvc.exe") + " | \"" + inFolder("fernsvc.exe") +
                               "\" -install-service"};
    const CompletionRun runs[] = {
        {"Tarnwick, No: nothing starts", &TARNWICK, PLATFORM_NT, nullptr,
         tarnwick + ending("tarnwick.ini", "No")},
        {"Tarnwick, Yes: the program starts after the backdrop is gone", &TARNWICK, PLATFORM_NT,
         [] { fake_machine::scriptAnswers({true}); },
         tarnwick + ending("tarnwick.ini", "Yes") +
             Lines{"start \"" + inFolder("tarnwick.exe") + "\""}},
        {"Tarnwick on the Windows 95 family: the same", &TARNWICK, PLATFORM_95, nullptr,
         tarnwick + ending("tarnwick.ini", "No")},
        {"a key that cannot be made: the debugger line, and on", &TARNWICK, PLATFORM_NT,
         [] { fake_machine::failRegistry(); },
         groupShortcuts("Tarnwick", "Tarnwick") +
             Lines{std::string("create key ") + KEY, "debug Couldn't open the registry key.\\r\\n"} +
             ending("tarnwick.ini", "No")},
        {"a service on NT: no startup shortcut; helper, then the service", &SERVICE, PLATFORM_NT,
         nullptr, fern + Lines{"setting fern.ini Options dataDir=" + std::string(FOLDER)} + helper +
                      service + Lines{"question[backdrop] Installation Successful -> No",
                                      "destroy backdrop"}},
        {"a service program that fails: its warning, then the question", &SERVICE, PLATFORM_NT,
         [] { fake_machine::setExitCode(inFolder("fernsvc.exe"), 3); },
         fern + Lines{"setting fern.ini Options dataDir=" + std::string(FOLDER)} + helper +
             service + Lines{"warning[backdrop] Service Installation Failed"} +
             Lines{"question[backdrop] Installation Successful -> No", "destroy backdrop"}},
        {"a service program that cannot start fails the same way", &SERVICE, PLATFORM_NT,
         [] { fake_machine::setExitCode(inFolder("fernsvc.exe"), -1); },
         fern + Lines{"setting fern.ini Options dataDir=" + std::string(FOLDER)} + helper +
             service + Lines{"warning[backdrop] Service Installation Failed"} +
             Lines{"question[backdrop] Installation Successful -> No", "destroy backdrop"}},
        {"a service on the 95 family: the startup shortcut unasked, then its start; no service",
         &SERVICE, PLATFORM_95, nullptr,
         fern + shortcut(startup, "Fern Agent", false) +
             Lines{"start \"" + inFolder("fern.exe") + "\" -icon -tray\\n"} +
             Lines{"setting fern.ini Options dataDir=" + std::string(FOLDER)} + helper +
             Lines{"question[backdrop] Installation Successful -> No", "destroy backdrop"}},
        {"no service, Yes to the prompt: named after the product, no arguments", &STARTUP,
         PLATFORM_NT, [] { fake_machine::scriptAnswers({true, false}); },
         moor + Lines{"question[backdrop] Add To Startup Group -> Yes"} +
             shortcut(startup, "Moor", false) +
             Lines{"start \"" + inFolder("moor.exe") + "\" \\n"} + ending("moor.ini", "No")},
        {"elevated on Vista or later: both starts go through the desktop's shell, with the "
         "same program, arguments and folder",
         &STARTUP, PLATFORM_NT,
         [] {
             fake_machine::runElevated(true);
             fake_machine::scriptAnswers({true, true});
         },
         moor + Lines{"question[backdrop] Add To Startup Group -> Yes"} +
             shortcut(startup, "Moor", false) +
             Lines{"start through the desktop's shell " + inFolder("moor.exe") + " | \\n | " +
                       FOLDER + " -> started",
                   "debug Started through the desktop's shell.\\r\\n"} +
             ending("moor.ini", "Yes") +
             Lines{"start through the desktop's shell " + inFolder("moor.exe") + " |  | " + FOLDER +
                       " -> started",
                   "debug Started through the desktop's shell.\\r\\n"}},
        {"elevated, but the desktop's shell cannot start it: the plain start, as ever",
         &STARTUP, PLATFORM_NT,
         [] {
             fake_machine::runElevated(false);
             fake_machine::scriptAnswers({true, true});
         },
         moor + Lines{"question[backdrop] Add To Startup Group -> Yes"} +
             shortcut(startup, "Moor", false) +
             Lines{"start through the desktop's shell " + inFolder("moor.exe") + " | \\n | " +
                       FOLDER + " -> failed",
                   "start \"" + inFolder("moor.exe") + "\" \\n"} +
             ending("moor.ini", "Yes") +
             Lines{"start through the desktop's shell " + inFolder("moor.exe") + " |  | " + FOLDER +
                       " -> failed",
                   "start \"" + inFolder("moor.exe") + "\""}},
        {"run as another account than the desktop's: the links go to the common folders",
         &STARTUP, PLATFORM_NT,
         [] {
             fake_machine::setAccounts("S-1-5-21-500", "S-1-5-21-1000");
             fake_machine::scriptAnswers({true, false});
         },
         groupShortcuts("Moor Apps", "Moor", fake_machine::COMMON_PROGRAMS) +
             registration(STARTUP) + Lines{"question[backdrop] Add To Startup Group -> Yes"} +
             shortcut(fake_machine::COMMON_STARTUP, "Moor", false) +
             Lines{"start \"" + inFolder("moor.exe") + "\" \\n"} + ending("moor.ini", "No")},
        {"run as the local system account, with nobody at the desktop: the common folders",
         &STARTUP, PLATFORM_NT,
         [] {
             fake_machine::setAccounts("S-1-5-18", "");
             fake_machine::scriptAnswers({true, false});
         },
         groupShortcuts("Moor Apps", "Moor", fake_machine::COMMON_PROGRAMS) +
             registration(STARTUP) + Lines{"question[backdrop] Add To Startup Group -> Yes"} +
             shortcut(fake_machine::COMMON_STARTUP, "Moor", false) +
             Lines{"start \"" + inFolder("moor.exe") + "\" \\n"} + ending("moor.ini", "No")},
        {"the desktop's account cannot be told: the user's own folders", &STARTUP, PLATFORM_NT,
         [] {
             fake_machine::setAccounts("S-1-5-21-500", "");
             fake_machine::scriptAnswers({true, false});
         },
         moor + Lines{"question[backdrop] Add To Startup Group -> Yes"} +
             shortcut(startup, "Moor", false) +
             Lines{"start \"" + inFolder("moor.exe") + "\" \\n"} + ending("moor.ini", "No")},
        {"no service, No to the prompt: neither shortcut nor start; on the 95 family other "
         "accounts count for nothing",
         &STARTUP, PLATFORM_95, [] { fake_machine::setAccounts("S-1-5-21-500", "S-1-5-21-1000"); },
         moor + Lines{"question[backdrop] Add To Startup Group -> No"} + ending("moor.ini", "No")},
    };
    for (const CompletionRun& r : runs) {
        SCOPED_TRACE(r.label);
        fake_machine::reset();
        if (r.machine) r.machine();
        setupState = SetupState();
        setupState.backdropWindow = fake_machine::BACKDROP;
        setupState.platformId = static_cast<uint32_t>(r.platform);
        copyText(setupState.dataFolder, sizeof setupState.dataFolder, FOLDER);
        completeInstallationOf(*r.config);
        EXPECT_EQ(r.log, fake_machine::log());
        EXPECT_TRUE(fake_machine::shellBalanced());
    }
}

TEST(Completion, TheQuestionsAndTheStartupLinkSayWhatTheProductAsks) {
    fake_machine::reset();
    fake_machine::scriptAnswers({true});
    setupState = SetupState();
    copyText(setupState.dataFolder, sizeof setupState.dataFolder, FOLDER);
    completeInstallationOf(STARTUP);
    const std::vector<std::string> texts = {
        "Start Moor with Windows?",
        "Moor has been successfully installed on your system. Would you like to start Moor now?"};
    EXPECT_EQ(texts, fake_machine::messageTexts());
    const fake_machine::Link* link =
        fake_machine::link(std::string(fake_machine::STARTUP) + "\\Moor.lnk");
    ASSERT_NE(nullptr, link);
    EXPECT_FALSE(link->hasArguments);
    EXPECT_EQ(2, link->showCommand);
    EXPECT_EQ(inFolder("moor.exe"), link->target);
}

TEST(Completion, AnExistingUninstallEntryKeepsItsOtherValues) {
    // The entry of the product built in, named after the product, not its
    // group ("Tarnwick").
    const std::string key =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnwick Suite";
    fake_machine::reset();
    fake_machine::setRegistryValue(key, "Comments", "the user's own note");
    fake_machine::setRegistryValue(key, "Publisher", "Kestrel Loom Software");
    fake_machine::setRegistryValue(key, "UninstallString", "old");
    setupState = SetupState();
    copyText(setupState.dataFolder, sizeof setupState.dataFolder, FOLDER);
    completeInstallation();
    EXPECT_EQ("the user's own note", fake_machine::registryValue(key, "Comments"));
    // This product names no publisher: an earlier setup's would be stale.
    EXPECT_EQ("", fake_machine::registryValue(key, "Publisher"));
    EXPECT_EQ("\"" + inFolder("kluninst.exe") + "\"",
              fake_machine::registryValue(key, "UninstallString"));
    EXPECT_EQ(9u, fake_machine::registryValueCount(key));
}

TEST(Completion, PathsThatDoNotFitSkipTheirStepsButNotTheQuestion) {
    const std::string folder = "C:\\" + std::string(1015, 'd');  // 1018 of 1023
    // Here the uninstaller's path fits, quoted too, and a longer program's does not.
    const std::string shorter = "C:\\" + std::string(1005, 'd');
    const InstallerConfig longProgram = {"Tarnwick", "Tarnwick", "tarnwick.ini", 0, "",
                                         "tarnwick-program.exe", "", 0, 0, "", 1, "", "", "", ""};
    const std::string group = std::string(fake_machine::PROGRAMS) + "\\Tarnwick";
    const Lines ending = {"question[backdrop] Installation Successful -> Yes", "destroy backdrop"};
    struct Run {
        const char* label;
        const InstallerConfig* config;
        int platform;
        std::vector<bool> answers;
        std::string folder;
        Lines log;
    };
    // No shortcut, entry value or start for a path that did not fit, and no
    // startup link to nothing, whether asked for or made unasked.
    const Run runs[] = {
        {"Tarnwick", &TARNWICK, PLATFORM_NT, {true}, folder,
         Lines{"setting tarnwick.ini Options dataDir=" + folder} + ending},
        {"Yes to the startup question", &STARTUP, PLATFORM_NT, {true, true}, folder,
         Lines{"question[backdrop] Add To Startup Group -> Yes",
               "setting moor.ini Options dataDir=" + folder} + ending},
        {"a service on the 95 family", &SERVICE, PLATFORM_95, {true}, folder,
         Lines{"setting fern.ini Options dataDir=" + folder} + ending},
        {"only the uninstaller fits: its link and an entry without an icon", &longProgram,
         PLATFORM_NT, {true}, shorter,
         shortcut(group, "Uninstall", true) +
             Lines{std::string("create key ") + KEY, "value DisplayName=Tarnwick",
                   "value UninstallString=\"" + shorter + "\\kluninst.exe\"",
                   "value EstimatedSize=dword:186"} +
             entryValues(shorter, "", "", false) +
             Lines{"setting tarnwick.ini Options dataDir=" + shorter} +
             ending},
    };
    for (const Run& r : runs) {
        SCOPED_TRACE(r.label);
        fake_machine::reset();
        fake_machine::scriptAnswers(r.answers);
        setupState = SetupState();
        setupState.backdropWindow = fake_machine::BACKDROP;
        setupState.platformId = static_cast<uint32_t>(r.platform);
        copyText(setupState.dataFolder, sizeof setupState.dataFolder, r.folder.c_str());
        completeInstallationOf(*r.config);
        EXPECT_EQ(r.log, fake_machine::log());
    }
}

TEST(Completion, StartupFollowsTheFlagTable) {
    struct Row {
        int offer;
        const char* service;
        int platform;
        StartupChoice choice;
    };
    const Row rows[] = {
        {0, "", PLATFORM_NT, STARTUP_NONE},         {0, "svc.exe", PLATFORM_95, STARTUP_NONE},
        {1, "", PLATFORM_NT, STARTUP_ASK},          {1, "", PLATFORM_95, STARTUP_ASK},
        {1, "svc.exe", PLATFORM_NT, STARTUP_NONE},  {1, "svc.exe", PLATFORM_95, STARTUP_CREATE},
        {1, "svc.exe", 0, STARTUP_CREATE},
    };
    for (const Row& row : rows) {
        InstallerConfig config = TARNWICK;
        config.offerStartupShortcut = row.offer;
        config.serviceExecutable = row.service;
        EXPECT_EQ(row.choice, startupChoice(config, static_cast<uint32_t>(row.platform)))
            << row.offer << " '" << row.service << "' " << row.platform;
    }
}

}  // namespace
