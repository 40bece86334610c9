// The run's stages in order on a machine in memory: what comes first, what
// ends the run, and what the free-space loop and the extraction's outcome
// lead to. Each row compares every call of the run with the one expected.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "setup/extraction_outcome.h"
#include "setup/setup_sequence.h"
#include "state/installer_config.h"
#include "state/run_log.h"
#include "state/setup_state.h"
#include "support/fake_machine.h"

namespace {

using fake_machine::cancel;
using fake_machine::notShown;
using fake_machine::ok;
using Lines = std::vector<std::string>;

struct SetupRun {
    const char* label;
    std::function<void()> machine;  // beyond a fresh one, with the user's script
    int exitStatus;
    bool endedInside;  // the process ended without returning from WinMain
    Lines log;
    // Null: the product built in, "Tarnwick Suite" in the group "Tarnwick".
    const InstallerConfig* config = nullptr;
    Lines texts = {};  // the messages' texts, when they are what the row is about
};

const char FOLDER[] = "C:\\Program Files\\Tarnwick";

// Full control for SYSTEM and the administrators, read and execute for the
// users, protected from the parent's list, inherited by what is made in it.
const std::string PROTECTED = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// The opening every run shares, up to the accepted default folder: the
// default taken, in the group `group` proposes; a product whose service
// runs from the folder on NT has it made with `access`.
Lines acceptedDefault(const std::string& group = "Tarnwick", const std::string& access = "") {
    return {"restrict DLL search", "check payload", "backdrop", "agreement -> 1",
            "dialog[backdrop] C:\\Program Files | " + group, "OK C:\\Program Files | Tarnwick",
            std::string("stat ") + FOLDER,
            std::string("mkdir ") + FOLDER + (access.empty() ? "" : " " + access),
            std::string("chdir ") + FOLDER,
            std::string("setting tarnwick.ini Options dataDir=") + FOLDER,
            std::string("chdir ") + FOLDER};
}

Lines operator+(Lines head, const Lines& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

// Before the extraction: running copies are asked to close (none run here).
const Lines CLOSING = {"warning[backdrop] Closing Running Copies", "busy 2000", "busy 8000"};

// Tarnwick told to warn of running copies, and Tarnwick with a service, each
// in a group named otherwise: the warning and the failure's caption name the
// product.
const InstallerConfig WARNING_ONLY = {"Tarnwick Tools", "Tarnwick", "tarnwick.ini", 0, "",
                                      "tarnwick.exe", "-icon", 1, 0, "", 1, "", "", "", ""};
const InstallerConfig WITH_SERVICE = {"Tarnwick Tools", "Tarnwick", "tarnwick.ini", 0, "",
                                      "tarnwick.exe", "-icon", 0, 0, "twsvc.exe", 1,
                                      "TarnwickService", "", "", ""};

void runningService() {
    fake_machine::OldService service;
    service.installed = true;
    service.states = {3, 1};
    fake_machine::setOldService(service);
    fake_machine::scriptExtraction(EXTRACT_WRITE_FAILED);
}

const char BUILT_IN_PRODUCT[] = "Tarnwick Suite";

// After the extraction: the progress dialog goes, then the completion of
// `product` for `folder`, whose calls the completion's own tests take apart.
Lines completed(const std::string& folder, const std::string& product = BUILT_IN_PRODUCT,
                const std::string& groupName = "Tarnwick") {
    const std::string group = "C:\\WINDOWS\\Start Menu\\Programs\\" + groupName;
    return {"close progress dialog", "stat " + group, "mkdir " + group, "notify mkdir " + group,
            "remove " + group + "\\" + product + ".lnk.lnk",
            "save " + group + "\\" + product + ".lnk", "save " + group + "\\" + product + ".lnk",
            "stat " + group,
            "remove " + group + "\\Uninstall.lnk.lnk", "save " + group + "\\Uninstall.lnk",
            "save " + group + "\\Uninstall.lnk",
            "create key Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product,
            "value DisplayName=" + product, "value UninstallString=\"" + folder + "\\kluninst.exe\"",
            "value DisplayIcon=" + folder + "\\tarnwick.exe", "value EstimatedSize=dword:186",
            "value QuietUninstallString=\"" + folder + "\\kluninst.exe\" /S",
            "delete value DisplayVersion", "delete value Publisher", "value InstallLocation=" + folder,
            "value NoModify=dword:1", "value NoRepair=dword:1", "close key", "setting tarnwick.ini Options dataDir=" + folder,
            "question[backdrop] Installation Successful -> No", "destroy backdrop"};
}

void run(const SetupRun& r) {
    SCOPED_TRACE(r.label);
    fake_machine::reset();
    fake_machine::scriptFolderDialog({ok("C:\\Program Files", "Tarnwick")});
    if (r.machine) r.machine();
    setupState = SetupState();
    int status = -1;
    bool endedInside = false;
    try {
        status = r.config ? runSetupWith(nullptr, *r.config, "") : runSetup(nullptr);
    } catch (const fake_machine::ProcessEnded& ended) {
        status = ended.status;
        endedInside = true;
    }
    EXPECT_EQ(r.exitStatus, status);
    EXPECT_EQ(r.endedInside, endedInside);
    EXPECT_EQ(r.log, fake_machine::log());
    if (!r.texts.empty()) {
        EXPECT_EQ(r.texts, fake_machine::messageTexts());
    }
}

TEST(SetupSequence, StagesRunInOrderAndEachEndIsTheRightOne) {
    const Lines extraction = {"progress dialog", std::string("extract into ") + FOLDER,
                              "progress tarnwick.exe 0"};
    const Lines extracted = Lines{"free space C:\\"} + CLOSING + extraction;
    // The failure's caption names the product.
    const auto failedAs = [](const std::string& product) {
        return Lines{"warning[backdrop] " + product + " Installation Failed"};
    };
    const Lines failed = failedAs(BUILT_IN_PRODUCT), failedTarnwick = failedAs("Tarnwick");
    const SetupRun runs[] = {
        {"a whole run: the DLL search is restricted before any window", nullptr, 0, false,
         acceptedDefault() + extracted + completed(FOLDER)},
        {"a damaged payload: its message before any window, and nothing written",
         [] { fake_machine::damagePayload(); }, 0, false,
         {"restrict DLL search", "check payload",
          "warning[none] Tarnwick Suite Installation Failed"}},
        {"no backdrop: nothing else happens", [] { fake_machine::failBackdrop(); }, 0, false,
         {"restrict DLL search", "check payload", "backdrop"}},
        {"declined agreement ends the process at once", [] { fake_machine::scriptAgreement(0); },
         0, true,
         {"restrict DLL search", "check payload", "backdrop", "agreement -> 0",
          "warning[backdrop] Application Not Installed", "exit 0"}},
        {"an agreement that cannot be shown is no consent",
         [] { fake_machine::scriptAgreement(-1); }, 0, true,
         {"restrict DLL search", "check payload", "backdrop", "agreement -> -1",
          "warning[backdrop] Application Not Installed", "exit 0"}},
        {"a folder dialog that cannot be shown ends the run as Cancel does",
         [] { fake_machine::scriptFolderDialog({notShown()}); }, 0, false,
         {"restrict DLL search", "check payload", "backdrop", "agreement -> 1",
          "dialog[backdrop] C:\\Program Files | Tarnwick", "dialog not shown",
          "warning[backdrop] Shutting Down", "warning[backdrop] Application Not Installed"}},
        {"a short drive sends the user back, proposing the folder just recorded",
         [] {
             fake_machine::setFreeClusters('C', 255);
             fake_machine::addDirectory("D:\\");
             fake_machine::scriptFolderDialog(
                 {ok("C:\\Program Files", "Tarnwick"), ok("D:\\", "Tarnwick")});
         },
         0, false,
         acceptedDefault() +
             Lines{"free space C:\\", "warning[backdrop] Not Enough Disk Space",
                   "dialog[backdrop] C:\\Program Files | Tarnwick", "OK D:\\ | Tarnwick",
                   "stat D:\\Tarnwick", "mkdir D:\\Tarnwick", "chdir D:\\Tarnwick",
                   "setting tarnwick.ini Options dataDir=D:\\Tarnwick", "chdir D:\\Tarnwick",
                   "free space D:\\"} +
             CLOSING + Lines{"progress dialog", "extract into D:\\Tarnwick", "progress tarnwick.exe 0"} +
             completed("D:\\Tarnwick")},
        {"a drive that cannot be queried passes",
         [] {
             fake_machine::failFreeSpace('C');
             fake_machine::scriptExtraction(EXTRACT_DONE);
         },
         0, false, acceptedDefault() + extracted + completed(FOLDER)},
        {"a failed extraction, undone before its message; the dialog stays",
         [] { fake_machine::scriptExtraction(EXTRACT_WRITE_FAILED); }, 0, false,
         acceptedDefault() + extracted + failed},
        {"a product that only warns of running copies closes none", nullptr, 0, false,
         acceptedDefault("Tarnwick Tools") + Lines{"free space C:\\", "warning[backdrop] Close Running Copies First!"} +
             extraction + completed(FOLDER, "Tarnwick", "Tarnwick Tools"),
         &WARNING_ONLY,
         {"Do you already have an older version of Tarnwick?\r\n\r\nIf you do, MAKE SURE IT IS "
          "NOT RUNNING RIGHT NOW. If it is running, shut it down BEFORE clicking the OK "
          "button.\r\n\r\nIf you have not installed Tarnwick before, just click the OK button.",
          "Tarnwick has been successfully installed on your system. Would you like to start "
          "Tarnwick now?"}},
        {"a service on NT: the old one stops and goes, then six seconds; its folder is made "
         "for the administrators alone to change",
         runningService, 0, false,
         acceptedDefault("Tarnwick Tools", PROTECTED) + Lines{"free space C:\\"} + CLOSING +
             Lines{"warning[backdrop] Uninstalling Old Service (If Present)", "open manager",
                   "open service TarnwickService", "stop -> accepted", "busy 1000", "busy 1000",
                   "delete -> done", "close service", "close manager", "busy 6000",
                   "progress dialog", std::string("extract into ") + FOLDER + " (service removed)",
                   "progress tarnwick.exe 0",
                   std::string("run ") + FOLDER + "\\twsvc.exe | \"" + FOLDER +
                       "\\twsvc.exe\" -install-service"} +
             failedTarnwick,
         &WITH_SERVICE},
        {"an old service not removed: its message, and nothing is extracted",
         [] {
             fake_machine::OldService service;
             service.managerFails = true;
             fake_machine::setOldService(service);
         },
         0, false,
         acceptedDefault("Tarnwick Tools", PROTECTED) + Lines{"free space C:\\"} + CLOSING +
             Lines{"warning[backdrop] Uninstalling Old Service (If Present)", "open manager",
                   "warning[backdrop] NT Service Not Uninstalled"},
         &WITH_SERVICE},
        {"a service on the 95 family: no service stage",
         [] {
             runningService();
             fake_machine::setPlatform(1);
         },
         0, false, acceptedDefault("Tarnwick Tools") + extracted + failedTarnwick, &WITH_SERVICE},
        {"a damaged payload of a product in a group named otherwise",
         [] { fake_machine::damagePayload(); }, 0, false,
         {"restrict DLL search", "check payload", "warning[none] Tarnwick Installation Failed"},
         &WITH_SERVICE},
    };
    for (const SetupRun& r : runs) run(r);
}

// Whether `wanted` occurs in `log` in this order, other lines between.
bool inOrder(const Lines& wanted, const Lines& log) {
    size_t next = 0;
    for (const std::string& line : log) {
        if (next < wanted.size() && line == wanted[next]) ++next;
    }
    return next == wanted.size();
}

TEST(SetupSequence, AFailedOrEndedUpgradeIsUndoneAroundItsFilesAndSaysWhatCameBack) {
    const std::string cannotCreate = extractionFailureText(EXTRACT_CANNOT_CREATE);
    const std::string restored =
        "\r\n\r\nThe version installed before has been restored and is unchanged.";
    const std::string notRestored =
        "\r\n\r\nSome files of the version installed before could not be put back yet. Run "
        "the setup program again to put them back.";
    const std::string serviceLost =
        "\r\n\r\nThe service of the version installed before could not be registered again "
        "and must be reinstalled.";
    const std::string runService = std::string("run ") + FOLDER + "\\twsvc.exe | \"" + FOLDER +
                                   "\\twsvc.exe\" -install-service";
    const auto failing = [](int32_t kept, int32_t stepsLeft) {
        return [=] {
            fake_machine::scriptExtraction(EXTRACT_CANNOT_CREATE);
            fake_machine::scriptUndo(kept, stepsLeft);
        };
    };
    const auto withService = [](std::function<void()> then, int serviceExit) {
        return [=] {
            fake_machine::OldService service;
            service.installed = true;
            fake_machine::setOldService(service);
            fake_machine::setExitCode(std::string(FOLDER) + "\\twsvc.exe", serviceExit);
            then();
        };
    };
    struct Row {
        const char* label;
        const InstallerConfig* config;
        std::function<void()> machine;
        Lines steps;          // in this order, other lines between
        std::string message;  // the last one shown
        std::string never = "";  // in no line of the log
    };
    const Row rows[] = {
        {"a first installation: nothing was kept, nothing is claimed", nullptr, failing(0, 0),
         {std::string("extract into ") + FOLDER}, cannotCreate},
        {"every kept file back", nullptr, failing(9, 0), {}, cannotCreate + restored},
        {"a kept file that would not come back", nullptr, failing(9, 1), {}, cannotCreate + notRestored},
        {"the service the run deleted is registered again from the folder", &WITH_SERVICE,
         withService(failing(9, 0), 0),
         {std::string("extract into ") + FOLDER + " (service removed)", runService},
         cannotCreate + restored},
        {"a service that will not register again must be reinstalled", &WITH_SERVICE,
         withService(failing(9, 0), 1), {runService}, cannotCreate + restored + serviceLost},
        {"no service program is run from a folder half put back", &WITH_SERVICE,
         withService(failing(9, 1), 0), {}, cannotCreate + notRestored + serviceLost},
        {"a run into another folder than the recorded one records that folder again",
         &WITH_SERVICE,
         withService(
             [=] {
                 fake_machine::addDirectory("D:\\Old");
                 fake_machine::setSetting("dataDir", "D:\\Old");
                 fake_machine::scriptFolderDialog({ok("C:\\Program Files", "Tarnwick")});
                 failing(0, 0)();
             },
             0),
         {"finish journal in D:\\Old",
          std::string("extract into ") + FOLDER + " (service removed) (earlier D:\\Old)",
          "setting tarnwick.ini Options dataDir=D:\\Old",
          "run D:\\Old\\twsvc.exe | \"D:\\Old\\twsvc.exe\" -install-service"},
         cannotCreate},
        {"a run that ended before its commit point is undone before the folder is proposed",
         &WITH_SERVICE,
         [] {
             fake_machine::addDirectory("D:\\Old");
             fake_machine::addDirectory("E:\\Older");
             fake_machine::setSetting("dataDir", "D:\\Old");
             fake_machine::leaveJournal("D:\\Old", false, true, "E:\\Older");
         },
         {"agreement -> 1", "finish journal in D:\\Old",
          "setting tarnwick.ini Options dataDir=E:\\Older",
          "run E:\\Older\\twsvc.exe | \"E:\\Older\\twsvc.exe\" -install-service",
          "dialog[backdrop] E: | Older"},
         ""},
        {"a run that ended after its commit point leaves its folder recorded", nullptr,
         [] {
             fake_machine::addDirectory("D:\\Old");
             fake_machine::setSetting("dataDir", "D:\\Old");
             fake_machine::leaveJournal("D:\\Old", true, true, "E:\\Older");
         },
         {"finish journal in D:\\Old", "dialog[backdrop] D: | Old"}, "", "E:\\Older"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        fake_machine::reset();
        fake_machine::scriptFolderDialog({ok("C:\\Program Files", "Tarnwick")});
        row.machine();
        setupState = SetupState();
        try {
            row.config ? runSetupWith(nullptr, *row.config, "") : runSetup(nullptr);
        } catch (const fake_machine::ProcessEnded&) {
            ADD_FAILURE() << "the process ended inside";
        }
        const Lines& log = fake_machine::log();
        EXPECT_TRUE(inOrder(row.steps, log)) << ::testing::PrintToString(log);
        if (!row.message.empty()) {
            ASSERT_FALSE(fake_machine::messageTexts().empty());
            EXPECT_EQ(row.message, fake_machine::messageTexts().back());
        }
        if (!row.never.empty()) {
            for (const std::string& line : log) EXPECT_EQ(line.find(row.never), std::string::npos);
        }
    }
}

// Unattended, nothing shows; each way the run can end is its exit code and
// the log's last line. The log of each row is checked for the lines the row
// is about, in order.
TEST(SetupSequence, UnattendedRunsShowNothingAnswerForThemselvesAndEndWithTheirCodes) {
    const char LOG[] = "C:\\setup.log";
    const std::string SOME = "C:\\Some Folder";
    struct Row {
        const char* label;
        std::string arguments;
        std::function<void()> machine;
        int exitCode;
        Lines calls;    // of the run, in this order
        Lines logged;   // in the log, in this order, without the time
        const InstallerConfig* config = nullptr;
    };
    const Row rows[] = {
        {"a whole run into the named folder", "/S /LOG=C:\\setup.log /D=C:\\Some Folder", nullptr,
         0,
         {"mkdir " + SOME, "setting tarnwick.ini Options dataDir=" + SOME, "free space C:\\",
          "busy 2000", "busy 8000", "extract into " + SOME,
          "create key Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnwick Suite"},
         {"Setup of Tarnwick Suite, an unattended run, on the NT family.",
          "The agreement counts as accepted by whoever deploys the product.",
          "Data folder " + SOME + ": named on the command line.",
          "Data folder " + SOME + " entered and recorded.",
          "Free space on C:\\: 3906 megabytes; 1 required.",
          "Notice \"Closing Running Copies\": Any copies of Tarnwick Suite currently running must "
          "now be shut down. This may take a few seconds.",
          "Every file is in place.", "Links go into the user's own Start menu.",
          "Registry value DisplayName = Tarnwick Suite",
          "Question \"Installation Successful\": Tarnwick Suite has been successfully installed on "
          "your system. Would you like to start Tarnwick Suite now?, answered No for an "
          "unattended run",
          "Exit code 0."}},
        {"a switch it does not know: nothing but the log", "/S /LOG=C:\\setup.log /X", nullptr, 2,
         {}, {"The run ends, \"Command Line Not Understood\": /X", "Exit code 2."}},
        {"a folder that is no full path", "/S /LOG=C:\\setup.log /D=Some Folder", nullptr, 3, {},
         {"Refused, \"Please Enter a Full Path\": That location is not a full path to a folder on "
          "this computer. Please enter a folder that begins with a drive letter, such as "
          "C:\\Tarnwick.",
          "Exit code 3."}},
        {"an existing folder of another name is taken, since the caller named it",
         "/S /LOG=C:\\setup.log /D=D:\\Other", [] { fake_machine::addDirectory("D:\\Other"); }, 0,
         {"extract into D:\\Other"},
         {"Question \"Write Data to Existing Folder?\": That folder already exists. The "
          "application can use it, but we do not recommend using a folder that is already being "
          "used for other purposes. Are you sure you want to use this directory?, answered Yes "
          "for an unattended run"}},
        {"too little space", "/S /LOG=C:\\setup.log",
         [] { fake_machine::setFreeClusters('C', 255); }, 4, {"free space C:\\"},
         {"Free space on C:\\: 0 megabytes; 1 required.", "Exit code 4."}},
        {"a damaged setup", "/S /LOG=C:\\setup.log", [] { fake_machine::damagePayload(); }, 5, {},
         {"Exit code 5."}},
        {"a file that cannot be created", "/S /LOG=C:\\setup.log",
         [] { fake_machine::scriptExtraction(EXTRACT_CANNOT_CREATE); }, 6, {}, {"Exit code 6."}},
        {"a write that fails", "/S /LOG=C:\\setup.log",
         [] { fake_machine::scriptExtraction(EXTRACT_WRITE_FAILED); }, 7, {}, {"Exit code 7."}},
        {"no memory", "/S /LOG=C:\\setup.log",
         [] { fake_machine::scriptExtraction(EXTRACT_NO_MEMORY); }, 8, {}, {"Exit code 8."}},
        {"an old service that stays", "/S /LOG=C:\\setup.log",
         [] {
             fake_machine::OldService service;
             service.managerFails = true;
             fake_machine::setOldService(service);
         },
         9, {"open manager"},
         {"The old service TarnwickService: the service manager cannot be opened.", "Exit code 9."},
         &WITH_SERVICE},
        {"a link that cannot be made: installed, with a problem", "/S /LOG=C:\\setup.log",
         [] { fake_machine::failLinkStep("create"); }, 1, {},
         {"Problem: the link \"Tarnwick Suite\" could not be made", "Exit code 1."}},
        {"the warning of running copies goes on as if read", "/S /LOG=C:\\setup.log", nullptr, 0,
         {"extract into C:\\Program Files\\Tarnwick Tools"},
         {"Notice \"Close Running Copies First!\": Do you already have an older version of "
          "Tarnwick? If you do, MAKE SURE IT IS NOT RUNNING RIGHT NOW. If it is running, shut it "
          "down BEFORE clicking the OK button. If you have not installed Tarnwick before, just "
          "click the OK button."},
         &WARNING_ONLY},
        {"a log that cannot be written stops nothing", "/S /LOG=C:\\setup.log",
         [] { fake_machine::failLogFile(); }, 0, {"extract into C:\\Program Files\\Tarnwick"}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        fake_machine::reset();
        if (row.machine) row.machine();
        setupState = SetupState();
        int status = -1;
        try {
            status = runSetupWith(nullptr, row.config ? *row.config : installerConfig,
                                  row.arguments.c_str());
        } catch (const fake_machine::ProcessEnded&) {
            ADD_FAILURE() << "the process ended inside";
        }
        EXPECT_EQ(row.exitCode, status);
        const Lines& calls = fake_machine::log();
        EXPECT_TRUE(inOrder(row.calls, calls)) << ::testing::PrintToString(calls);
        for (const std::string& call : calls) {
            for (const char* window : {"backdrop", "agreement", "dialog", "warning", "question",
                                       "notice", "progress"}) {
                EXPECT_NE(0u, call.rfind(window, 0)) << "a window showed: " << call;
            }
        }
        Lines logged;
        for (const std::string& line : fake_machine::fileLines(LOG)) {
            EXPECT_EQ(0u, line.rfind("2026-01-02 03:04:05 ", 0)) << line;
            logged.push_back(line.substr(20));
        }
        EXPECT_TRUE(inOrder(row.logged, logged)) << ::testing::PrintToString(logged);
    }
}

// With a person at the screen, the run is today's whatever the command
// line holds, and /LOG= still gets its log.
TEST(SetupSequence, AnInteractiveRunIgnoresOtherArgumentsAndStillLogs) {
    fake_machine::reset();
    fake_machine::scriptFolderDialog({ok("C:\\Program Files", "Tarnwick")});
    setupState = SetupState();
    EXPECT_EQ(0, runSetupWith(nullptr, installerConfig, "/X /LOG=C:\\setup.log /D=D:\\Elsewhere"));
    const Lines& calls = fake_machine::log();
    EXPECT_TRUE(inOrder({"backdrop", "agreement -> 1", "dialog[backdrop] C:\\Program Files | Tarnwick",
                         "extract into C:\\Program Files\\Tarnwick",
                         "question[backdrop] Installation Successful -> No"},
                        calls));
    const Lines logged = fake_machine::fileLines("C:\\setup.log");
    ASSERT_FALSE(logged.empty());
    EXPECT_NE(std::string::npos, logged.front().find("an interactive run"));
    EXPECT_NE(std::string::npos, logged.back().find("Exit code 0."));
}

TEST(SetupSequence, FreeSpaceMessageNamesTheRootOfTheFolderOrOfTheCurrentDrive) {
    struct Case {
        const char* parent;
        const char* root;
    };
    // A folder rooted on the current drive ("\\Apps") is no full path and
    // never reaches the check: every folder taken names its drive.
    for (const Case& c : {Case{"C:\\Program Files", "C:\\"}, Case{"E:\\Apps", "E:\\"}}) {
        SCOPED_TRACE(c.parent);
        fake_machine::reset();
        fake_machine::setCurrentDrive('E');
        fake_machine::addDirectory("E:\\Apps");
        fake_machine::setFreeClusters(c.root[0], 255);
        fake_machine::scriptFolderDialog({ok(c.parent, "Tarnwick"), cancel()});
        setupState = SetupState();
        EXPECT_EQ(0, runSetup(nullptr));
        ASSERT_GE(fake_machine::messageTexts().size(), 1u);
        EXPECT_EQ(fake_machine::messageTexts().front(),
                  std::string("Not enough free disk space is available on the drive you have "
                              "specified. 1 megabytes of free space are required for the proper "
                              "operation of the program. On drive ") +
                      c.root +
                      " only 0 megabytes of free space are available.\r\n\r\nYou will be given "
                      "another opportunity to choose a location for the software. You may wish "
                      "to cancel the installation process, or use your Windows desktop to "
                      "delete files, making more room for the program.");
    }
}

}  // namespace
