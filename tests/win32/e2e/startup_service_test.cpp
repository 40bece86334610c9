// Products that offer a startup link, run a helper installer or install a
// service, on both Windows families. Before the extraction: the old NT
// service of an earlier installation stopped and deleted, with setup's
// progress lines on its standard output and the pause after it, or on the
// Windows 95 family the old service window told to quit. At the end: which
// messages show, what is linked in the Startup folder, and which programs
// run, with which command line and whether setup waited for them, as the
// product's stand-in programs record it.
#include <shlobj.h>

#include <algorithm>

#include "e2e/e2e_support.h"
#include "e2e/machine_state.h"
#include "e2e/setup_driving.h"
#include "scripted_user/deadline.h"

namespace e2e {
namespace {

using CompletionFlags = ScriptedRun;

// A message between the extraction and the final question.
struct Message {
    const char* caption;
    const char* text;
    int answer;
    bool warningIcon;  // else no icon
    // How many records of the waited-for programs the log holds while it
    // shows: those of the programs run before it, none of those after.
    size_t recordsBefore;
};

const Message SERVICE_NOTICE = {
    "Installing Service",
    "There will be a brief pause while the new NT service is started up. This pause will "
    "begin when you click OK.",
    IDOK, false, 2};
const Message SERVICE_FAILED = {
    "Service Installation Failed",
    "The installation of the service did not succeed. The software can still be run manually.",
    IDOK, true, 3};
const Message STARTUP_QUESTION_YES = {"Add To Startup Group",
                                      "Start Brackenmoor each time Windows starts?", IDYES,
                                      false, 0};
const Message STARTUP_QUESTION_NO = {"Add To Startup Group",
                                     "Start Brackenmoor each time Windows starts?", IDNO, false,
                                     0};

// What an earlier installation left running or registered.
enum class Earlier {
    NOTHING,
    STOPPED_SERVICE,  // registered, not running
    RUNNING_SERVICE,  // running, and stop-pending for a while once asked to stop
    SERVICE_WINDOW,   // the service program's window on the Windows 95 family
};

struct Row {
    const char* setupExe;
    const char* product;
    const char* group;  // the program group, named otherwise for the service product
    bool windows95;
    const char* serviceResult;  // TW_SERVICE_INSTALL_RESULT for the service program, or null
    Earlier earlier;
    // Setup's standard output as the file holds it, without the dots of
    // the stop polls: the runtime writes the line ends of its text mode.
    const char* output;
    std::vector<Message> messages;
    const char* program;          // the product's program, started in startup mode
    const char* startupLink;      // its link in the Startup folder, without ".lnk"
    const char* startupArguments;
    bool linkedAndStarted;
    bool helperRun;               // quellsv.exe -install -sid=0, waited for
    bool serviceRun;              // fernsvc.exe -install-service, waited for
    const char* service;          // the product's service, or null
    bool registered;              // whether it is registered afterwards
};

const char SERVICE_NAME[] = "FernSvc";
const char SERVICE_WINDOW_TITLE[] = "FernSvc Win9x Service";

Row serviceProduct(bool windows95, const char* serviceResult, Earlier earlier,
                   const char* output, std::vector<Message> messages) {
    const bool nt = !windows95;
    return {TW_SERVICE_SETUP_EXE, "Fernhollow", "Fernhollow Tools", windows95, serviceResult, earlier, output,
            messages, "fernhollow.exe", "Fernhollow Agent", "-icon -tray", windows95, true, nt,
            SERVICE_NAME, nt && !serviceResult};
}

Row startupProduct(const Message& question) {
    return {TW_STARTUP_SETUP_EXE, "Brackenmoor", "Brackenmoor", false, nullptr, Earlier::NOTHING, "",
            {question}, "brackenmoor.exe", "Brackenmoor", "", question.answer == IDYES, false,
            false, nullptr, false};
}

// The fixed waits after the last notice: 2 + 8 s for running copies to
// close, or after an old service's removal 6 s, and before them the
// second after the stop control and one for each poll that found the
// service stopping.
const ULONGLONG RUNNING_COPIES_WAIT_MS = 10000;
const ULONGLONG OLD_SERVICE_PAUSE_MS = 6000;
const ULONGLONG STOP_POLL_MS = 1000;
// The earlier service stays stop-pending this long: past the first poll.
const DWORD EARLIER_STOP_PENDING_MS = 2500;
// A frame of the busy animation may end a little before its 100 ms by
// this process's clock.
const ULONGLONG CLOCK_SLACK_MS = 50;

std::string quoted(const std::string& path) { return "\"" + path + "\""; }

// The records of the programs setup waits for: every record but those of
// the program started in startup mode, which runs alongside.
std::vector<std::string> waitedRecords(const std::string& folder, const Row& row) {
    std::vector<std::string> records = commandRecords(folder);
    const std::string startup = std::string(row.program) + "\t";
    records.erase(std::remove_if(records.begin(), records.end(),
                                 [&](const std::string& line) {
                                     return line.compare(0, startup.size(), startup) == 0;
                                 }),
                  records.end());
    return records;
}

bool serviceRegistered(const char* name) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) return false;
    SC_HANDLE service = OpenServiceA(manager, name, SERVICE_QUERY_STATUS);
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return service != nullptr;
}

std::string servicePrograms() { return buildPath(TW_SERVICE_BUILT_DIR); }

// The earlier installation's service: the product's service program,
// registered as its installer registers it and, when `running`, started;
// `process` then receives the service's process. False when any of it
// failed.
bool installEarlierService(bool running, HANDLE* process) {
    const std::string binary = quoted(joinPath(servicePrograms(), "fernsvc.exe")) +
                               " -stop-pending=" + std::to_string(EARLIER_STOP_PENDING_MS);
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) return false;
    SC_HANDLE service =
        CreateServiceA(manager, SERVICE_NAME, SERVICE_NAME, SERVICE_ALL_ACCESS,
                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                       binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    bool ok = service != nullptr;
    if (ok && running) {
        SERVICE_STATUS_PROCESS status = {};
        ok = StartServiceA(service, 0, nullptr) &&
             scripted_user::pollUntil(WINDOW_TIMEOUT_MS, [&] {
                 DWORD needed = 0;
                 return QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO,
                                             reinterpret_cast<BYTE*>(&status), sizeof status,
                                             &needed) &&
                        status.dwCurrentState == SERVICE_RUNNING;
             });
        *process = ok ? OpenProcess(SYNCHRONIZE, FALSE, status.dwProcessId) : nullptr;
        ok = ok && *process;
    }
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return ok;
}

// The earlier installation's service program on the Windows 95 family:
// started plainly there, it keeps a hidden window of the service's title.
bool startEarlierServiceWindow(scripted_user::Program* program) {
    return setWindowsVersionFor("fernsvc.exe", "win98") &&
           scripted_user::startProgram(joinPath(servicePrograms(), "fernsvc.exe"), "", "",
                                       program) &&
           scripted_user::pollUntil(WINDOW_TIMEOUT_MS, [] {
               return FindWindowA(nullptr, SERVICE_WINDOW_TITLE) != nullptr;
           });
}

// The file setup's standard output goes to, open for this process to read
// while setup writes.
class OutputFile {
public:
    explicit OutputFile(const std::string& path) : path_(path) {
        SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
        handle_ = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              &inherited, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    ~OutputFile() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    HANDLE handle() const { return handle_ == INVALID_HANDLE_VALUE ? nullptr : handle_; }
    std::string text() const {
        std::vector<uint8_t> bytes;
        return readFile(path_, &bytes) ? std::string(bytes.begin(), bytes.end()) : "<unreadable>";
    }

private:
    std::string path_;
    HANDLE handle_;
};

// `output` with the dots of the stop polls taken out: one follows
// "Stopping <service>." for each poll that found the service stopping.
std::string withoutPollDots(std::string output, int* polls) {
    const std::string stopping = std::string("Stopping ") + SERVICE_NAME + ".";
    *polls = 0;
    if (output.compare(0, stopping.size(), stopping) != 0) return output;
    while (stopping.size() + *polls < output.size() && output[stopping.size() + *polls] == '.') {
        ++*polls;
    }
    return output.erase(stopping.size(), static_cast<size_t>(*polls));
}

// The folder a row installs into.
std::string rowFolder(const Row& row) { return joinPath("C:\\twtest\\flags", row.product); }

void runRow(scripted_user::ScriptedUser& user, const Row& row) {
    if (row.windows95) {
        ASSERT_TRUE(setWindowsVersionFor("setup.exe", "win98"));
    }
    // Setup's children inherit its environment, and so this process's.
    if (row.serviceResult) {
        ASSERT_TRUE(SetEnvironmentVariableA("TW_SERVICE_INSTALL_RESULT", row.serviceResult));
    }
    ASSERT_TRUE(makeEmptyFolder("C:\\twtest\\flags"));
    const std::string folder = rowFolder(row);
    std::vector<std::string> waited;
    if (row.helperRun) {
        waited.push_back(startRecord(
            "quellsv.exe", quoted(joinPath(folder, "quellsv.exe")) + " -install -sid=0"));
        waited.push_back(endRecord("quellsv.exe"));
    }
    if (row.serviceRun) {
        waited.push_back(
            startRecord("fernsvc.exe", quoted(joinPath(folder, "fernsvc.exe")) + " -install-service"));
        // Made to fail, the service program ends at once, without a record.
        if (!row.serviceResult) waited.push_back(endRecord("fernsvc.exe"));
    }
    const ProductRun run = {row.product, row.service && !row.windows95};
    std::vector<std::string> expected = openingTranscript(folder, run);

    HANDLE earlierService = nullptr;
    scripted_user::Program earlierWindow;
    if (row.earlier == Earlier::STOPPED_SERVICE || row.earlier == Earlier::RUNNING_SERVICE) {
        ASSERT_TRUE(
            installEarlierService(row.earlier == Earlier::RUNNING_SERVICE, &earlierService));
    } else if (row.earlier == Earlier::SERVICE_WINDOW) {
        ASSERT_TRUE(startEarlierServiceWindow(&earlierWindow)) << "no " << SERVICE_WINDOW_TITLE;
    }
    OutputFile output("C:\\twtest\\setup-output.txt");
    ASSERT_NE(output.handle(), nullptr);
    user.redirectOutput(output.handle());

    ASSERT_TRUE(startSetup(user, buildPath(row.setupExe), nullptr,
                           std::string("Install ") + row.product));
    ULONGLONG lastNotice = 0;
    ASSERT_TRUE(driveThroughFolderChoice(user, folder));
    ASSERT_TRUE(answerNotices(user, run, &lastNotice)) << user.transcript().joined();
    ASSERT_TRUE(waitForExtraction(user));
    const ULONGLONG sinceNotice = GetTickCount64() - lastNotice;

    // By the time the extraction runs, the old service is gone, its
    // program has ended, and the progress lines are out.
    int polls = 0;
    EXPECT_EQ(withoutPollDots(output.text(), &polls), row.output);
    EXPECT_EQ(polls > 0, row.earlier == Earlier::RUNNING_SERVICE) << output.text();
    ULONGLONG pause = RUNNING_COPIES_WAIT_MS;
    if (run.removesOldService) {
        pause = OLD_SERVICE_PAUSE_MS;
        if (row.earlier == Earlier::RUNNING_SERVICE) pause += STOP_POLL_MS * (1 + polls);
    }
    EXPECT_GE(sinceNotice + CLOCK_SLACK_MS, pause);
    if (row.service) {
        EXPECT_FALSE(serviceRegistered(row.service));
    }
    if (earlierService) {
        EXPECT_EQ(WaitForSingleObject(earlierService, WINDOW_TIMEOUT_MS), WAIT_OBJECT_0)
            << "the old service's program still runs";
        CloseHandle(earlierService);
    }
    if (row.earlier == Earlier::SERVICE_WINDOW) {
        // Told to quit (its exit code is the message's 0), not closed.
        DWORD exitCode = 1;
        EXPECT_TRUE(scripted_user::waitForExit(earlierWindow, WINDOW_TIMEOUT_MS, &exitCode));
        EXPECT_EQ(exitCode, 0u);
        scripted_user::endProgram(&earlierWindow);
    }

    for (const Message& message : row.messages) {
        SCOPED_TRACE(message.caption);
        HWND box = waitForNextMessage(user, message.caption);
        ASSERT_NE(box, nullptr) << "no message captioned " << message.caption << " after\n"
                                << user.transcript().joined();
        EXPECT_EQ(user.readMessageBox(box), message.text);
        EXPECT_EQ(scripted_user::messageBoxHasIcon(box), message.warningIcon);
        EXPECT_EQ(messageBoxIcon(box), message.warningIcon ? "warning" : "");
        EXPECT_EQ(waitedRecords(folder, row),
                  std::vector<std::string>(waited.begin(), waited.begin() + message.recordsBefore));
        ASSERT_TRUE(user.answer(box, message.answer));
        // An answered box stays a moment; it is no next message.
        ASSERT_TRUE(scripted_user::waitUntilGone(box, WINDOW_TIMEOUT_MS));
        expected = concat(expected, {std::string("window: ") + message.caption,
                                     std::string("text: ") + message.text,
                                     message.answer == IDYES ? "answer: Yes"
                                     : message.answer == IDNO ? "answer: No"
                                                              : "answer: OK"});
    }
    HWND question = waitForNextMessage(user, FINAL_CAPTION);
    // Every program setup waits for has ended by the time it asks.
    EXPECT_EQ(waitedRecords(folder, row), waited);
    answerFinalQuestion(user, question, row.product, IDNO, "final-question");
    if (::testing::Test::HasFatalFailure()) return;
    EXPECT_EQ(user.transcript().lines(), concat(expected, finalTranscript(row.product, "No")));
    // Nothing more after the removal's lines.
    EXPECT_EQ(withoutPollDots(output.text(), &polls), row.output);
    user.transcript().add("standard output", output.text());

    const std::string link =
        joinPath(specialFolder(CSIDL_STARTUP), std::string(row.startupLink) + ".lnk");
    const std::string program = joinPath(folder, row.program);
    // The program group is named after the group, its program's link after
    // the product.
    const std::string group = joinPath(specialFolder(CSIDL_PROGRAMS), row.group);
    EXPECT_EQ(readShellLink(joinPath(group, std::string(row.product) + ".lnk")).target, program);
    EXPECT_TRUE(fileExists(joinPath(group, "Uninstall.lnk")));
    // The start in startup mode: the quoted path, a blank, the arguments
    // and a line feed, which the stand-in writes as <0A>.
    const std::string started =
        startRecord(row.program, quoted(program) + " " + row.startupArguments + "<0A>");
    if (row.linkedAndStarted) {
        EXPECT_EQ(readShellLink(link),
                  linkTo(program, folder, row.startupLink, row.startupArguments,
                         SW_SHOWMINIMIZED));
        // Not waited for: its record may come after setup's end.
        EXPECT_TRUE(scripted_user::pollUntil(RUN_TIMEOUT_MS, [&] {
            const std::vector<std::string> records = commandRecords(folder);
            return std::find(records.begin(), records.end(), started) != records.end();
        })) << "no record of " << started;
    } else {
        EXPECT_FALSE(fileExists(link)) << link;
        // A started program would be running yet or have left its record.
        EXPECT_EQ(processesNamed(row.program), std::vector<DWORD>{});
        EXPECT_EQ(commandRecords(folder), waited);
    }
    if (row.service) {
        EXPECT_EQ(serviceRegistered(row.service), row.registered) << row.service;
    }
}

TEST_F(CompletionFlags, ServiceProductOnNtInstallsItsServiceAndHasNoStartupLink) {
    runRow(user, serviceProduct(false, nullptr, Earlier::NOTHING, "OpenService failed\r\n",
                                {SERVICE_NOTICE}));
}

TEST_F(CompletionFlags, RunningOldServiceIsStoppedAndDeletedBeforeTheExtraction) {
    runRow(user, serviceProduct(false, nullptr, Earlier::RUNNING_SERVICE,
                                "Stopping FernSvc.\r\nFernSvc stopped.\r\nFernSvc removed.\r\n",
                                {SERVICE_NOTICE}));
}

TEST_F(CompletionFlags, StoppedOldServiceIsDeletedWithoutAWait) {
    runRow(user, serviceProduct(false, nullptr, Earlier::STOPPED_SERVICE, "FernSvc removed.\r\n",
                                {SERVICE_NOTICE}));
}

TEST_F(CompletionFlags, FailedServiceInstallationIsToldBeforeTheFinalQuestion) {
    runRow(user, serviceProduct(false, "3", Earlier::NOTHING, "OpenService failed\r\n",
                                {SERVICE_NOTICE, SERVICE_FAILED}));
}

TEST_F(CompletionFlags, ServiceProductOnWindows95FamilyQuitsTheOldServiceWindowAndLinksAndStarts) {
    runRow(user, serviceProduct(true, nullptr, Earlier::SERVICE_WINDOW, "", {}));
}

// Installed on each family, then removed by its uninstaller as a
// deployment tool removes it: "/S", no window, the exit code. The service
// goes with the product's files, links and entries; a file of the user's
// and the stand-ins' log keep the folder. Under Wine the finishing copy,
// whose name is new each time, runs as the NT family on both rows (the
// 95 family's branch of the copy is checked natively).
TEST_F(CompletionFlags, SilentUninstallRemovesTheServiceProductOnEachFamily) {
    const Row rows[] = {
        serviceProduct(false, nullptr, Earlier::NOTHING, "OpenService failed\r\n",
                       {SERVICE_NOTICE}),
        serviceProduct(true, nullptr, Earlier::NOTHING, "", {}),
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.windows95 ? "the Windows 95 family" : "the NT family");
        {
            scripted_user::ScriptedUser installer;
            runRow(installer, row);
            if (HasFatalFailure()) return;
        }
        const std::string folder = rowFolder(row);
        const std::string key = uninstallKey(row.product);
        EXPECT_EQ(machineValue(key, "DisplayVersion"), "REG_SZ 2.5.1");
        EXPECT_EQ(machineValue(key, "Publisher"), "REG_SZ Fernhollow Works");
        EXPECT_EQ(machineValue(key, "QuietUninstallString"),
                  "REG_SZ " + quoted(joinPath(folder, "kluninst.exe")) + " /S");
        ASSERT_TRUE(writeFile(joinPath(folder, "my notes.txt"), bytesOf("mine\r\n")));
        if (row.windows95) {
            ASSERT_TRUE(setWindowsVersionFor("kluninst.exe", "win98"));
        }

        scripted_user::Program uninstaller;
        ASSERT_TRUE(scripted_user::startProgram(joinPath(folder, "kluninst.exe"), "/S", folder,
                                                &uninstaller));
        DWORD exitCode = 99;
        const bool ended = scripted_user::waitForExit(uninstaller, RUN_TIMEOUT_MS, &exitCode);
        scripted_user::endProgram(&uninstaller);
        ASSERT_TRUE(ended) << "the uninstaller did not end";
        EXPECT_EQ(exitCode, 0u);
        // Nothing was shown, not even by the copy, which goes on to delete
        // the first process's file.
        EXPECT_TRUE(scripted_user::pollUntil(RUN_TIMEOUT_MS, [&] {
            return folderEntries(folder) ==
                   std::vector<std::string>{"commands.log", "my notes.txt"};
        })) << "left in the folder: " << testing::PrintToString(folderEntries(folder));
        EXPECT_EQ(FindWindowA(nullptr, "Uninstall Fernhollow"), nullptr);
        EXPECT_FALSE(serviceRegistered(SERVICE_NAME));
        EXPECT_EQ(processesNamed("fernsvc.exe"), std::vector<DWORD>{});
        EXPECT_FALSE(machineKeyExists(key));
        EXPECT_EQ(GetFileAttributesA(joinPath(specialFolder(CSIDL_PROGRAMS), row.group).c_str()),
                  INVALID_FILE_ATTRIBUTES);
        EXPECT_FALSE(fileExists(joinPath(specialFolder(CSIDL_STARTUP),
                                         std::string(row.startupLink) + ".lnk")));
        // The next row starts from an empty folder, as the first did.
        for (const char* name : {"my notes.txt", "commands.log"}) {
            ASSERT_TRUE(DeleteFileA(joinPath(folder, name).c_str())) << name;
        }
        ASSERT_TRUE(RemoveDirectoryA(folder.c_str()));
    }
}

TEST_F(CompletionFlags, StartupOfferAnsweredYesLinksAndStartsTheProduct) {
    runRow(user, startupProduct(STARTUP_QUESTION_YES));
}

TEST_F(CompletionFlags, StartupOfferAnsweredNoNeitherLinksNorStarts) {
    runRow(user, startupProduct(STARTUP_QUESTION_NO));
}

}  // namespace
}  // namespace e2e
