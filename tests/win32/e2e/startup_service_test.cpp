// The end of a run for products that offer a startup link, run a helper
// installer or install a service, on both Windows families: which messages
// show, what is linked in the Startup folder, and which programs run, with
// which command line and whether setup waited for them, as the product's
// stand-in programs record it.
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

struct Row {
    const char* setupExe;
    const char* product;
    bool windows95;
    const char* serviceResult;  // TW_SERVICE_INSTALL_RESULT for the service program, or null
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

Row serviceProduct(bool windows95, const char* serviceResult, std::vector<Message> messages) {
    const bool nt = !windows95;
    return {TW_SERVICE_SETUP_EXE, "Fernhollow", windows95, serviceResult, messages,
            "fernhollow.exe", "Fernhollow Agent", "-icon -tray", windows95, true, nt,
            "FernhollowService", nt && !serviceResult};
}

Row startupProduct(const Message& question) {
    return {TW_STARTUP_SETUP_EXE, "Brackenmoor", false, nullptr, {question},
            "brackenmoor.exe", "Brackenmoor", "", question.answer == IDYES, false, false,
            nullptr, false};
}

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

void runRow(scripted_user::ScriptedUser& user, const Row& row) {
    if (row.windows95) {
        ASSERT_TRUE(setWindowsVersionFor("setup.exe", "win98"));
    }
    // Setup's children inherit its environment, and so this process's.
    if (row.serviceResult) {
        ASSERT_TRUE(SetEnvironmentVariableA("TW_SERVICE_INSTALL_RESULT", row.serviceResult));
    }
    ASSERT_TRUE(makeEmptyFolder("C:\\twtest\\flags"));
    const std::string folder = joinPath("C:\\twtest\\flags", row.product);
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
    std::vector<std::string> expected = openingTranscript(folder);

    ASSERT_TRUE(startSetup(user, buildPath(row.setupExe), nullptr,
                           std::string("Install ") + row.product));
    ASSERT_TRUE(driveToExtraction(user, folder));
    for (const Message& message : row.messages) {
        SCOPED_TRACE(message.caption);
        HWND box = waitForNextMessage(user, message.caption);
        ASSERT_NE(box, nullptr) << "no message captioned " << message.caption << " after\n"
                                << user.transcript().joined();
        EXPECT_EQ(user.readMessageBox(box), message.text);
        EXPECT_EQ(scripted_user::messageBoxHasIcon(box), message.warningIcon);
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

    const std::string link =
        joinPath(specialFolder(CSIDL_STARTUP), std::string(row.startupLink) + ".lnk");
    const std::string program = joinPath(folder, row.program);
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
    runRow(user, serviceProduct(false, nullptr, {SERVICE_NOTICE}));
}

TEST_F(CompletionFlags, FailedServiceInstallationIsToldBeforeTheFinalQuestion) {
    runRow(user, serviceProduct(false, "3", {SERVICE_NOTICE, SERVICE_FAILED}));
}

TEST_F(CompletionFlags, ServiceProductOnWindows95FamilyIsLinkedAndStartedWithoutAQuestion) {
    runRow(user, serviceProduct(true, nullptr, {}));
}

TEST_F(CompletionFlags, StartupOfferAnsweredYesLinksAndStartsTheProduct) {
    runRow(user, startupProduct(STARTUP_QUESTION_YES));
}

TEST_F(CompletionFlags, StartupOfferAnsweredNoNeitherLinksNorStarts) {
    runRow(user, startupProduct(STARTUP_QUESTION_NO));
}

}  // namespace
}  // namespace e2e
