// Running copies and the old service on the in-memory machine: which
// windows are asked to close or quit, how long the setup waits, and the
// stop-and-delete of an old service with its exact output and waits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_machine.h"
#include "system/running_copies.h"
#include "system/service_removal.h"

namespace {

using Lines = std::vector<std::string>;

TEST(RunningCopies, TitlesThatBeginWithTheNameCloseTheServiceWindowQuits) {
    struct Row {
        const char* title;
        const char* serviceTitle;
        WindowRequest request;
    };
    const std::string longTitle = "Tarnwick" + std::string(1100, 'x');
    const std::string longOther(1100, 'T');
    const Row rows[] = {
        {"Tarnwick", "", CLOSE_WINDOW},
        {"Tarnwick - Help", "", CLOSE_WINDOW},
        {"TarnwickX", "", CLOSE_WINDOW},
        {"tarnwick", "", LEAVE_WINDOW},
        {"Install Tarnwick", "", LEAVE_WINDOW},
        {"Tarnwic", "", LEAVE_WINDOW},
        {"", "", LEAVE_WINDOW},
        {"Tarnwick Win9x Service", "Tarnwick Win9x Service", CLOSE_WINDOW},
        {"Quill Win9x Service", "Quill Win9x Service", QUIT_WINDOW},
        {"Quill Win9x Service ", "Quill Win9x Service", LEAVE_WINDOW},
        {"quill win9x service", "Quill Win9x Service", LEAVE_WINDOW},
        {longTitle.c_str(), "", CLOSE_WINDOW},
        {longOther.c_str(), "", LEAVE_WINDOW},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.request, requestFor(row.title, "Tarnwick", row.serviceTitle))
            << "'" << std::string(row.title).substr(0, 40) << "'";
    }
    // An empty product name would match every window: it matches none.
    EXPECT_EQ(LEAVE_WINDOW, requestFor("Tarnwick", "", ""));
}

TEST(RunningCopies, NoticeWaitsAndEveryWindowIsSeen) {
    fake_machine::reset();
    // The product built in is "Tarnwick Suite" in the group "Tarnwick": a
    // window of the group's name is no copy of the product. Titles read into
    // 1024 bytes: one of 1023 characters and one cut to it.
    const std::string product = "Tarnwick Suite";
    const std::string long1023 = product + std::string(1023 - product.size(), 'y');
    const std::string long2000 = product + std::string(2000 - product.size(), 'z');
    for (const std::string& title :
         {product, "Install " + product, product + " - Help", std::string("tarnwick suite"),
          std::string("Tarnwick"), std::string(" Win9x Service"), long1023, long2000,
          product + "X"}) {
        fake_machine::addWindow(title);
    }
    closeRunningCopies(nullptr, fake_machine::BACKDROP);
    const Lines expected = {"warning[backdrop] Closing Running Copies",
                            "busy 2000",
                            "post WM_CLOSE to " + product,
                            "post WM_CLOSE to " + product + " - Help",
                            "post WM_CLOSE to " + long1023.substr(0, 40),
                            "post WM_CLOSE to " + long2000.substr(0, 40),
                            "post WM_CLOSE to " + product + "X",
                            "busy 8000"};
    EXPECT_EQ(expected, fake_machine::log());
    EXPECT_EQ(Lines{"Any copies of Tarnwick Suite currently running must now be shut down. This may "
                    "take a few seconds."},
              fake_machine::messageTexts());
}

struct RemovalCase {
    const char* label;
    fake_machine::OldService service;
    int result;
    const char* printed;
    int oneSecondWaits;
    ServiceRemoval outcome;  // what the uninstaller is told
};

fake_machine::OldService installed(std::vector<int> states, bool acceptsStop = true,
                                   bool deletable = true, bool markedForDeletion = false) {
    fake_machine::OldService service;
    service.markedForDeletion = markedForDeletion;
    service.installed = true;
    service.states = states;
    service.acceptsStop = acceptsStop;
    service.deletable = deletable;
    return service;
}

TEST(ServiceRemoval, ThePollFollowsTheServiceAndEndsInTheDeletion) {
    fake_machine::OldService noManager;
    noManager.managerFails = true;
    const std::string pending(STOP_POLL_LIMIT, '.');
    const std::string neverStops =
        "Stopping Quill." + pending + "\nQuill failed to stop.\nQuill removed.\n";
    const RemovalCase cases[] = {
        {"not installed", fake_machine::OldService(), 0, "OpenService failed\n", 0,
         SERVICE_NOT_INSTALLED},
        {"no manager", noManager, -1, "OpenSCManager failed\n", 0, SERVICE_NO_MANAGER},
        {"stopped at the first poll", installed({1}), 0,
         "Stopping Quill.\nQuill stopped.\nQuill removed.\n", 1, SERVICE_REMOVED},
        {"pending twice, then stopped", installed({3, 3, 1}), 0,
         "Stopping Quill...\nQuill stopped.\nQuill removed.\n", 3, SERVICE_REMOVED},
        {"pending, then running again", installed({3, 4}), 0,
         "Stopping Quill..\nQuill failed to stop.\nQuill removed.\n", 2, SERVICE_STILL_RUNNING},
        {"the query fails while pending", installed({3, -1}), 0,
         "Stopping Quill..\nQuill failed to stop.\nQuill removed.\n", 2, SERVICE_STILL_RUNNING},
        {"the first query fails", installed({-1}), 0,
         "Stopping Quill.\nQuill failed to stop.\nQuill removed.\n", 1, SERVICE_STILL_RUNNING},
        {"stopped already: the stop is refused, no wait", installed({1}, false), 0,
         "Quill removed.\n", 0, SERVICE_REMOVED},
        {"the stop is refused while it runs", installed({4}, false), 0, "Quill removed.\n", 0,
         SERVICE_STILL_RUNNING},
        {"the deletion fails", installed({1}, true, false), -1,
         "Stopping Quill.\nQuill stopped.\nDeleteService failed\n", 1, SERVICE_NOT_DELETED},
        {"stopped, and marked for deletion by an earlier removal", installed({1}, false, true, true),
         -1, "DeleteService failed\n", 0, SERVICE_MARKED_BEFORE},
        {"running, and marked for deletion by an earlier removal", installed({4}, false, true, true),
         -1, "DeleteService failed\n", 0, SERVICE_NOT_DELETED},
        {"never leaves pending: the wait ends at the limit, the deletion goes on", installed({3}),
         0, neverStops.c_str(), 1 + STOP_POLL_LIMIT, SERVICE_STILL_RUNNING},
    };
    for (const RemovalCase& c : cases) {
        SCOPED_TRACE(c.label);
        fake_machine::reset();
        fake_machine::setOldService(c.service);
        EXPECT_EQ(c.outcome, removeService("Quill"));
        fake_machine::reset();
        fake_machine::setOldService(c.service);
        EXPECT_EQ(c.result, removeServiceNamed("Quill"));
        EXPECT_EQ(c.printed, fake_machine::printed());
        int waits = 0;
        for (const std::string& line : fake_machine::log()) {
            if (line.compare(0, 4, "busy") != 0) continue;
            EXPECT_EQ("busy 1000", line);
            ++waits;
        }
        EXPECT_EQ(c.oneSecondWaits, waits);
        // Handles close service first, then manager, on every path that opened them.
        const Lines& log = fake_machine::log();
        if (c.service.managerFails) {
            EXPECT_EQ(Lines{"open manager"}, log);
        } else if (!c.service.installed) {
            EXPECT_EQ((Lines{"open manager", "open service Quill", "close manager"}), log);
        } else {
            ASSERT_GE(log.size(), 2u);
            EXPECT_EQ((Lines{"close service", "close manager"}), Lines(log.end() - 2, log.end()));
        }
    }
}

}  // namespace
