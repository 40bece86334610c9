// The uninstaller's decisions over the in-memory machine, with the product's
// files in a real scratch folder: what each family, service and answer
// leads to, what is removed and what stays, what the user is told, and the
// exit code; and the command line both processes read.
#include <gtest/gtest.h>

#include <stdio.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "state/installer_config.h"
#include "state/setup_state.h"
#include "support/fake_machine.h"
#include "support/payload_io_control.h"
#include "support/scratch_folder.h"
#include "system/shortcut.h"
#include "system/system_platform.h"
#include "uninstall/uninstall_command.h"
#include "uninstall/uninstall_platform.h"
#include "uninstall/uninstaller.h"
#include "uninstall/uninstaller_record.h"

const char* const uninstallerPayloadNames[] = {"fern.exe", "fernsvc.exe", "docs/guide.htm",
                                               "SYSTEM/shared.dll", "kluninst.exe"};
const int32_t uninstallerPayloadNameCount = 5;

namespace {

using Lines = std::vector<std::string>;

// The other process and the copy, as a test sets them up.
struct Handover {
    std::string self;
    bool finisherStarts = true;
    int finisherResult = 0;
    std::vector<uint64_t> randoms = {0x0123456789ABCDEFull};
    size_t nextRandom = 0;
    Lines calls;
} handover;

}  // namespace

namespace uninstall_platform {
const char* commandLine() { return ""; }
bool ownPath(char* path, size_t size) {
    return !handover.self.empty() && handover.self.size() < size &&
           (handover.self.copy(path, size), path[handover.self.size()] = '\0', true);
}
bool temporaryFolder(char* path, size_t size) {
    return snprintf(path, size, "C:\\TEMP\\") < static_cast<int>(size);
}
uint64_t randomNumber() {
    return handover.randoms[std::min(handover.nextRandom++, handover.randoms.size() - 1)];
}
bool startFinisher(const char* self, const char* copy, const char* folder, bool silent) {
    handover.calls.push_back(std::string("start ") + copy + " in " + folder + " for " + self +
                             (silent ? " /S" : ""));
    return handover.finisherStarts;
}
int finisherResult() { return handover.finisherResult; }
void handOverResult(uint32_t pipe, int result) {
    handover.calls.push_back("hand over " + std::to_string(result) + " via " + std::to_string(pipe));
}
void waitForProcess(uint32_t handle, uint32_t) {
    handover.calls.push_back("wait for " + std::to_string(handle));
}
}  // namespace uninstall_platform

namespace {

// A product with a service, in a group named otherwise than the product.
const InstallerConfig FERN = {"Fern Tools", "Fern", "fern.ini", 1, "Start Fern?", "fern.exe",
                              "-icon", 0, 0, "fernsvc.exe", 1, "Quill", "Fern Agent",
                              "2.5.1", "Fern Works"};
const InstallerConfig PLAIN = {"Fern Tools", "Fern", "fern.ini", 0, "", "fern.exe", "", 0, 0,
                               "", 1, "", "", "", ""};
const std::string ENTRY = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Fern";
const std::string GROUP = std::string(fake_machine::PROGRAMS) + "\\Fern Tools";
const std::string COMMON_GROUP = std::string(fake_machine::COMMON_PROGRAMS) + "\\Fern Tools";
const char* const INSTALLED[] = {"fern.exe", "fernsvc.exe", "docs/guide.htm", "kluninst.exe"};
// The folder's entries before the uninstaller runs: the installed files, the
// user's own, and what an upgrade that was ended half-way left.
const size_t UNTOUCHED = 9;

std::set<std::string> folderEntries(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        names.insert(std::filesystem::relative(entry.path(), folder).generic_string());
    }
    return names;
}

// The messages the user saw, as "kind caption" lines.
Lines messages() {
    Lines shown;
    for (const std::string& line : fake_machine::log()) {
        for (const char* kind : {"warning[", "information[", "question?["}) {
            if (line.compare(0, strlen(kind), kind) == 0) shown.push_back(line);
        }
    }
    return shown;
}

bool logged(const std::string& line) {
    const Lines& log = fake_machine::log();
    return std::find(log.begin(), log.end(), line) != log.end();
}

class Uninstaller : public ::testing::Test {
protected:
    // What setup leaves: the files, the two links and the startup link, the
    // entry and the settings entry, and a file of the user's.
    void install(const InstallerConfig& config) {
        fake_machine::reset();
        payload_io_control::reset();
        handover = Handover();
        folder = scratch.path() + "\\Fern";
        std::filesystem::create_directories(scratch.path() + "/Fern/docs");
        for (const char* name : INSTALLED) writeFile(scratch.path() + "/Fern/" + name, {'x'});
        writeFile(scratch.path() + "/Fern/notes.txt", {'n'});
        // A setup ended half-way: the earlier fern.exe kept aside, a new
        // file of the later version made.
        writeFile(scratch.path() + "/Fern/fern.exe.kept~", {'o'});
        writeFile(scratch.path() + "/Fern/later.dat", {'l'});
        const std::string journal = "setup journal 1\nkept fern.exe\nnew later.dat\n";
        writeFile(scratch.path() + "/Fern/setup.journal~", Bytes(journal.begin(), journal.end()));
        original = folder + "\\kluninst.exe";
        setLinkScope(USER_LINKS);  // an earlier run may have left the common folders
        createShortcut(config.groupName, config.productName, "x", "x", nullptr);
        createShortcut(config.groupName, "Uninstall", "x", "x", nullptr);
        createShortcut(nullptr, "Fern Agent", "x", "x", nullptr);
        fake_machine::setRegistryValue(ENTRY, "DisplayName", "Fern");
        fake_machine::setSetting("dataDir", folder);
    }
    std::string finisherLine(bool silent) const {
        char line[2 * PATH_BUFFER_SIZE];
        EXPECT_TRUE(formatFinisherArguments(line, sizeof line, 12, 34, silent, original.c_str()));
        return line;
    }

    ScratchFolder scratch;
    std::string folder, original;
};

TEST_F(Uninstaller, TheCopyRemovesWhatSetupMadeOnEachFamilyAndKeepsTheUsersFiles) {
    fake_machine::OldService stopping;
    stopping.installed = true;
    stopping.states = {3, 1};
    fake_machine::OldService markedAndStopped = stopping;
    markedAndStopped.markedForDeletion = true;
    struct Row {
        const char* label;
        const InstallerConfig* config;
        uint32_t platform;
        fake_machine::OldService service;
        bool silent;
        Lines shown;
    };
    const std::string removed = "Fern has been removed from your computer.\n\nYour own files in " +
                                scratch.path() + "\\Fern were kept.";
    const Row rows[] = {
        {"NT, the service stops", &FERN, PLATFORM_NT, stopping, false,
         {"information[none] Uninstall Fern"}},
        {"NT, silent, stopped and marked for deletion before", &FERN, PLATFORM_NT,
         markedAndStopped, true, {}},
        {"95 family: no service manager, its window is told to quit", &FERN, 1, stopping, false,
         {"information[none] Uninstall Fern"}},
        {"no service at all", &PLAIN, PLATFORM_NT, fake_machine::OldService(), true, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        install(*row.config);
        fake_machine::setOldService(row.service);
        fake_machine::addWindow("Fern - notes");
        fake_machine::addWindow("Quill Win9x Service");
        handover.self = scratch.path() + "\\kun\\kluninst.exe";
        EXPECT_EQ(UNINSTALL_DONE,
                  runUninstaller(*row.config, row.platform, finisherLine(row.silent).c_str()));

        EXPECT_EQ(std::set<std::string>{"notes.txt"}, folderEntries(scratch.path() + "/Fern"));
        EXPECT_EQ(row.shown, messages());
        EXPECT_EQ(row.silent ? Lines{} : Lines{removed}, fake_machine::messageTexts());
        EXPECT_EQ((Lines{"hand over 0 via 34", "wait for 12"}), handover.calls);
        // The copy, then its folder.
        EXPECT_EQ((Lines{handover.self, scratch.path() + "\\kun"}),
                  payload_io_control::dueAtRestart());
        EXPECT_TRUE(logged("post WM_CLOSE to Fern - notes"));
        EXPECT_EQ(row.config == &FERN, logged("post WM_QUIT to Quill Win9x Service"));
        EXPECT_EQ(row.config == &FERN && row.platform == PLATFORM_NT, logged("open manager"));
        for (const char* link : {"\\Fern.lnk", "\\Uninstall.lnk"}) {
            EXPECT_EQ(nullptr, fake_machine::link(GROUP + link));
        }
        EXPECT_TRUE(logged("notify rmdir " + GROUP));
        // Setup may have put them into the common folders instead.
        EXPECT_TRUE(logged("remove " + COMMON_GROUP + "\\Fern.lnk"));
        EXPECT_TRUE(logged("rmdir " + COMMON_GROUP));
        const char* startup = row.config->startupShortcutName[0] ? "Fern Agent" : "Fern";
        EXPECT_TRUE(logged(std::string("remove ") + fake_machine::STARTUP + "\\" + startup + ".lnk"));
        EXPECT_EQ(0u, fake_machine::registryValueCount(ENTRY));
        EXPECT_EQ("", fake_machine::setting("dataDir"));
    }
}

TEST_F(Uninstaller, WhatStaysDecidesTheCodeAndTheMessage) {
    fake_machine::OldService hung;
    hung.installed = true;
    hung.states = {3};
    struct Row {
        const char* label;
        const InstallerConfig* config;
        std::string arguments;  // "finisher" or "finisher /S" for the copy's line
        std::function<void(const std::string& folder)> fault;
        int result;
        Lines shown;
        size_t left;  // entries left in the folder, the user's file among them
    };
    const auto noFault = [](const std::string&) {};
    const Row rows[] = {
        {"a service that will not stop: nothing is removed", &FERN, "finisher", noFault,
         UNINSTALL_SERVICE_RUNS, {"warning[none] Uninstall Fern"}, UNTOUCHED},
        {"the same, silent", &FERN, "finisher /S", noFault, UNINSTALL_SERVICE_RUNS, {}, UNTOUCHED},
        {"a file in use goes at the next restart", &PLAIN, "finisher",
         [](const std::string& f) { payload_io_control::failRemove(f + "\\docs\\guide.htm"); },
         UNINSTALL_AT_RESTART, {"information[none] Uninstall Fern"}, 3},
        {"a file that cannot go at all", &PLAIN, "finisher /S",
         [](const std::string& f) {
             payload_io_control::failRemove(f + "\\docs\\guide.htm");
             payload_io_control::failRemoveAtRestart();
         },
         UNINSTALL_FILES_KEPT, {}, 3},
        {"the user says No", &PLAIN, "", noFault, UNINSTALL_DECLINED,
         {"question?[none] Uninstall Fern -> No"}, UNTOUCHED},
        {"an argument it does not know", &PLAIN, "/X", noFault, UNINSTALL_BAD_COMMAND_LINE,
         {"warning[none] Uninstall Fern"}, UNTOUCHED},
        {"the same beside /S: silent", &PLAIN, "/X /s", noFault, UNINSTALL_BAD_COMMAND_LINE, {}, UNTOUCHED},
        {"silent, and no copy can be started: the first process does it all", &PLAIN, "/S",
         [](const std::string& f) {
             handover.finisherStarts = false;
             // A running program's own file cannot be deleted.
             payload_io_control::failRemove(f + "\\kluninst.exe");
         },
         UNINSTALL_AT_RESTART, {}, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        install(*row.config);
        fake_machine::setOldService(hung);
        handover.self = row.arguments.rfind("finisher", 0) == 0 ? scratch.path() + "\\kun1.exe"
                                                                : original;
        row.fault(folder);
        const std::string arguments = row.arguments.rfind("finisher", 0) == 0
                                          ? finisherLine(row.arguments.size() > 8)
                                          : row.arguments;
        EXPECT_EQ(row.result, runUninstaller(*row.config, PLATFORM_NT, arguments.c_str()));
        EXPECT_EQ(row.shown, messages());
        EXPECT_EQ(row.left, folderEntries(scratch.path() + "/Fern").size());
        if (row.result == UNINSTALL_SERVICE_RUNS) {
            EXPECT_EQ(1u, fake_machine::registryValueCount(ENTRY));
            EXPECT_NE(nullptr, fake_machine::link(GROUP + "\\Fern.lnk"));
        }
    }
}

// The first process, told Yes, starts its copy in a folder of the copy's
// own below the temporary folder: a random name, another when one exists,
// made with an access list for the system, the administrators and the
// user on the NT family, the system's default on the 95 family; its exit
// code is the copy's.
TEST_F(Uninstaller, TheCopyRunsFromAFreshFolderOfItsOwn) {
    const std::string security = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;S-1-5-21-7)";
    struct Row {
        const char* label;
        std::string sid;
        std::vector<uint64_t> randoms;
        std::set<std::string> existing;
        Lines calls;
    };
    const Row rows[] = {
        {"NT: closed to all but the system, the administrators and the user", "S-1-5-21-7",
         {0x0123456789ABCDEFull}, {},
         {"mkdir C:\\TEMP\\kun0123456789ABCDEF " + security,
          "start C:\\TEMP\\kun0123456789ABCDEF\\kluninst.exe in C:\\TEMP\\kun0123456789ABCDEF "
          "for " + std::string("ORIGINAL")}},
        {"a name that exists is passed over, whoever made it", "S-1-5-21-7", {1, 0xFFFFFFFFFFull},
         {"C:\\TEMP\\kun0000000000000001"},
         {"mkdir C:\\TEMP\\kun0000000000000001 " + security,
          "mkdir C:\\TEMP\\kun000000FFFFFFFFFF " + security,
          "start C:\\TEMP\\kun000000FFFFFFFFFF\\kluninst.exe in C:\\TEMP\\kun000000FFFFFFFFFF "
          "for ORIGINAL"}},
        {"the 95 family: no accounts, the system's default", "", {2}, {},
         {"mkdir C:\\TEMP\\kun0000000000000002",
          "start C:\\TEMP\\kun0000000000000002\\kluninst.exe in C:\\TEMP\\kun0000000000000002 "
          "for ORIGINAL"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        install(PLAIN);
        handover.self = original;
        fake_machine::setAccounts(row.sid, row.sid);
        handover.randoms = row.randoms;
        for (const std::string& folder : row.existing) fake_machine::addDirectory(folder);
        handover.finisherResult = UNINSTALL_AT_RESTART;
        fake_machine::scriptAnswers({true});
        EXPECT_EQ(UNINSTALL_AT_RESTART, runUninstaller(PLAIN, PLATFORM_NT, ""));
        Lines expected = row.calls;
        expected.back().replace(expected.back().find("ORIGINAL"), 8, original);
        Lines seen;
        for (const std::string& line : fake_machine::log()) {
            if (line.rfind("mkdir C:\\TEMP", 0) == 0) seen.push_back(line);
        }
        seen.insert(seen.end(), handover.calls.begin(), handover.calls.end());
        EXPECT_EQ(expected, seen);
        EXPECT_EQ(UNTOUCHED, folderEntries(scratch.path() + "/Fern").size()) << "the copy does the work";
    }
}

TEST(UninstallCommand, OnlyNoneSlashSAndTheCopysOwnLineAreUnderstood) {
    struct Row {
        const char* arguments;
        bool understood, finisher, silent;
        uint32_t firstProcess, pipe;
        const char* original;
    };
    const Row rows[] = {
        {"", true, false, false, 0, 0, ""},
        {"  /S  ", true, false, true, 0, 0, ""},
        {"/s", true, false, true, 0, 0, ""},
        {"\"/S\"", true, false, true, 0, 0, ""},
        {"/X", false, false, false, 0, 0, ""},
        {"/S /X", false, false, true, 0, 0, ""},
        {"/S /S", false, false, true, 0, 0, ""},
        {"/Silent", false, false, false, 0, 0, ""},
        {"-finish 12 34 \"C:\\Program Files\\Fern\\kluninst.exe\"", true, true, false, 12, 34,
         "C:\\Program Files\\Fern\\kluninst.exe"},
        {"-finish 12 34 /S \"C:\\F\\kluninst.exe\"", true, true, true, 12, 34,
         "C:\\F\\kluninst.exe"},
        {"-finish 4294967295 0 C:\\F\\k.exe", true, true, false, 4294967295u, 0, "C:\\F\\k.exe"},
        {"-finish 4294967296 0 C:\\F\\k.exe", false, true, false, 0, 0, ""},
        {"-finish 12 x C:\\F\\k.exe", false, true, false, 12, 0, ""},
        {"-finish 12 34", false, true, false, 12, 34, ""},
        {"-finish 12 34 /S", false, true, true, 12, 34, ""},
        {"-finish 12 34 C:\\F\\k.exe more", false, true, false, 12, 34, "C:\\F\\k.exe"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments);
        UninstallCommand command;
        EXPECT_EQ(row.understood, parseUninstallCommand(row.arguments, &command));
        EXPECT_EQ(row.finisher, command.finisher);
        EXPECT_EQ(row.silent, command.silent);
        if (!row.understood) continue;
        EXPECT_EQ(row.firstProcess, command.firstProcess);
        EXPECT_EQ(row.pipe, command.resultPipe);
        EXPECT_STREQ(row.original, command.original);
    }
    // The copy's line reads back as it was written, a blank in the path too.
    char line[PATH_BUFFER_SIZE];
    UninstallCommand command;
    ASSERT_TRUE(formatFinisherArguments(line, sizeof line, 7, 9, true, "C:\\A B\\kluninst.exe"));
    ASSERT_TRUE(parseUninstallCommand(line, &command));
    EXPECT_TRUE(command.finisher && command.silent);
    EXPECT_STREQ("C:\\A B\\kluninst.exe", command.original);

    EXPECT_STREQ(" /S", argumentsAfterProgramName("\"C:\\A B\\kluninst.exe\" /S"));
    EXPECT_STREQ(" /S", argumentsAfterProgramName("kluninst.exe /S"));
    EXPECT_STREQ("", argumentsAfterProgramName("\"C:\\unended"));
}

}  // namespace
