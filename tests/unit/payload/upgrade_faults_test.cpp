// An upgrade over an earlier installation, on a disk in memory, made to
// fail at each of its file-system steps in turn and to end at each of them.
// Whatever happens, once the run (or the next one) has finished, the disk
// holds one whole installation, the earlier or the new, byte for byte and
// time for time, and no file kept aside and no journal: never a mixture.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "payload/upgrade.h"
#include "support/memory_disk.h"
#include "support/test_payload.h"

namespace {

using memory_disk::Image;
using memory_disk::Step;

const char DATA_FOLDER[] = "C:\\App";
const char SYSTEM_DIRECTORY[] = "C:\\WINDOWS\\SYSTEM";
const std::string JOURNAL = std::string(DATA_FOLDER) + "\\" + UPGRADE_JOURNAL_NAME;
const char LATE_FILE[] = "C:\\App\\settings.dat";  // the payload's last file
const char SHARED_DLL[] = "C:\\WINDOWS\\SYSTEM\\shared.dll";
const int32_t OLD_TIME = 946684800;     // 2000-01-01, the earlier installation's
const int32_t NEW_TIME = 1000000000;    // 2001-09-09, the payload's
const int32_t LATER_TIME = 1100000000;  // a system file another product installed later

struct PayloadFile {
    const char* name;  // as stored
    const char* path;  // where it lands
    Bytes bytes;
};

std::vector<PayloadFile> newVersion() {
    return {
        {"program.exe", "C:\\App\\program.exe", patternBytes(65000, 1)},  // three chunks
        {"readme.txt", "C:\\App\\readme.txt", patternBytes(400, 2)},
        {"docs/guide.txt", "C:\\App\\docs\\guide.txt", patternBytes(2500, 3)},
        {"SYSTEM\\shared.dll", SHARED_DLL, patternBytes(700, 4)},
        {"SYSTEM/newer.dll", "C:\\WINDOWS\\SYSTEM\\newer.dll", patternBytes(800, 5)},
        {"extras\\notes.txt", "C:\\App\\extras\\notes.txt", patternBytes(90, 6)},  // new folder
        {"settings.dat", LATE_FILE, patternBytes(60, 7)},
    };
}

struct EarlierFile {
    const char* path;
    size_t size;
    int32_t time;
};

const EarlierFile EARLIER_VERSION[] = {
    {"C:\\App\\program.exe", 40000, OLD_TIME},
    {"C:\\App\\readme.txt", 300, OLD_TIME},
    {"C:\\App\\docs\\guide.txt", 2000, OLD_TIME},
    {"C:\\App\\settings.dat", 50, OLD_TIME},
    {"C:\\App\\old.txt", 70, OLD_TIME},                   // not in the new payload: it stays
    {SHARED_DLL, 500, OLD_TIME},                          // older than the payload's: replaced
    {"C:\\WINDOWS\\SYSTEM\\newer.dll", 600, LATER_TIME},  // newer: left alone
};

TestPayload payloadOf(const std::vector<PayloadFile>& files, bool damagedAtTheEnd) {
    TestPayload payload;
    for (const PayloadFile& file : files) payload.add(file.name, file.bytes, NEW_TIME);
    if (damagedAtTheEnd) {
        // One chunk written, then one that does not inflate.
        Bytes piece = patternBytes(100, 8);
        payload.addRawChunks(
            "late.bin", {compressStream(piece.data(), piece.size()), Bytes{1, 2, 3}}, NEW_TIME);
    }
    return payload;
}

// A fresh disk with the data folder and the system directory, the earlier
// installation on it if asked, `held` held open by another program, and
// the data folder current. Returns what it holds.
Image prepare(bool withEarlierVersion, const char* held) {
    memory_disk::reset();
    memory_disk::setSystemDirectory(SYSTEM_DIRECTORY);
    memory_disk::addDirectory(DATA_FOLDER);
    memory_disk::addDirectory(SYSTEM_DIRECTORY);
    memory_disk::setCurrentDirectory(DATA_FOLDER);
    unsigned variant = 100;
    for (const EarlierFile& file : EARLIER_VERSION) {
        if (!withEarlierVersion) break;
        memory_disk::addFile(file.path, randomBytes(file.size, ++variant), file.time);
    }
    if (held) memory_disk::hold(held);
    return memory_disk::snapshot();
}

// `before` with `files` installed over it, each with its stored bytes and
// time, but a system file whose copy there is newer and the file `inUse`.
Image installed(Image before, const std::vector<PayloadFile>& files, const char* inUse = nullptr,
                bool systemFilesOnly = false) {
    for (const PayloadFile& file : files) {
        auto existing = before.files.find(file.path);
        bool system = hasSystemPrefix(file.name);
        if (system && existing != before.files.end() && existing->second.time > NEW_TIME) continue;
        if ((inUse && std::string(inUse) == file.path) || (systemFilesOnly && !system)) continue;
        before.files[file.path] = memory_disk::FileImage{file.bytes, NEW_TIME};
    }
    return before;
}

bool isLeftover(const std::string& path) {
    const std::string kept = KEPT_SUFFIX;
    return path == JOURNAL || (path.size() > kept.size() &&
                               path.compare(path.size() - kept.size(), kept.size(), kept) == 0);
}

Image withoutLeftovers(Image image) {
    for (auto at = image.files.begin(); at != image.files.end();) {
        at = isLeftover(at->first) ? image.files.erase(at) : std::next(at);
    }
    return image;
}

// What differs between the disk and the image it should be, a line each.
// A run may leave directories it made; none may go. The file
// `timeMayDiffer` is not compared by time.
std::string differences(const Image& expected, const Image& actual,
                        const std::string& timeMayDiffer = "") {
    std::string out;
    for (const auto& file : expected.files) {
        auto found = actual.files.find(file.first);
        if (found == actual.files.end()) {
            out += "missing " + file.first + "\n";
            continue;
        }
        if (found->second.bytes != file.second.bytes) {
            out += "other bytes (" + std::to_string(found->second.bytes.size()) + " instead of " +
                   std::to_string(file.second.bytes.size()) + ") in " + file.first + "\n";
        }
        if (found->second.time != file.second.time && file.first != timeMayDiffer) {
            out += "time " + std::to_string(found->second.time) + " instead of " +
                   std::to_string(file.second.time) + " of " + file.first + "\n";
        }
    }
    for (const auto& file : actual.files) {
        if (!expected.files.count(file.first)) out += "left over " + file.first + "\n";
    }
    for (const std::string& directory : expected.directories) {
        if (!actual.directories.count(directory)) out += "directory gone " + directory + "\n";
    }
    return out;
}

std::string stepLog() {
    std::string log = "steps since the disk was prepared:\n";
    int number = 0;
    for (const Step& step : memory_disk::steps()) {
        log += std::to_string(++number) + "  " + step.text + "\n";
    }
    return log;
}

struct Ending {
    bool stopped;
    ExtractResult result;
    UpgradeOutcome outcome;
};

Ending upgrade(TestPayload& payload) {
    Ending run = {};
    const UpgradeNotes notes = {false, ""};
    try {
        run.result =
            upgradePayloadFrom(payload.table(), DATA_FOLDER, notes, nullptr, nullptr, &run.outcome);
    } catch (const memory_disk::Stopped&) {
        run.stopped = true;
    }
    return run;
}

Ending finish() {
    Ending run = {};
    try {
        finishUpgradeIn(DATA_FOLDER, &run.outcome);
        run.result = EXTRACT_DONE;
    } catch (const memory_disk::Stopped&) {
        run.stopped = true;
    }
    return run;
}

// A run that ended by itself closed every file it opened and released its
// buffer, on every path.
void expectTidy() {
    EXPECT_EQ(0, memory_disk::openHandles());
    EXPECT_EQ(0, memory_disk::heldBuffers());
    EXPECT_TRUE(memory_disk::misuses().empty()) << memory_disk::misuses().front();
}

int findStep(const std::vector<Step>& steps, bool (*matches)(const Step&), bool last = false) {
    int found = 0;
    for (size_t i = 0; i < steps.size(); ++i) {
        if (matches(steps[i]) && (last || !found)) found = static_cast<int>(i) + 1;
    }
    return found;
}

bool keptAside(const std::vector<Step>& steps) {
    for (const Step& step : steps) {
        if (step.kind == memory_disk::RENAME && step.succeeded && isLeftover(step.target)) {
            return true;
        }
    }
    return false;
}

TEST(UpgradeFaults, AFailingStepLeavesTheEarlierInstallationOrTheNewOneWhole) {
    const std::vector<PayloadFile> files = newVersion();
    TestPayload payload = payloadOf(files, false);
    TestPayload damaged = payloadOf(files, true);
    const Image empty = prepare(false, nullptr);
    const Image earlier = prepare(true, nullptr);
    const Image upgraded = installed(earlier, files);

    struct Row {
        const char* label;
        bool overEarlierVersion;
        const char* held;
        TestPayload* payload;
        ExtractResult result;
        bool restored;  // when it fails
        Image expected;
    };
    const Row rows[] = {
        {"an upgrade", true, nullptr, &payload, EXTRACT_DONE, false, upgraded},
        {"a file in use late in the payload", true, LATE_FILE, &payload, EXTRACT_CANNOT_CREATE,
         true, earlier},
        {"a DLL in use is taken as in place", true, SHARED_DLL, &payload, EXTRACT_DONE, false,
         installed(earlier, files, SHARED_DLL)},
        {"a first installation", false, nullptr, &payload, EXTRACT_DONE, false,
         installed(empty, files)},
        // New system files are shared with other programs and stay.
        {"a first installation that fails leaves no file in the data folder", false, nullptr,
         &damaged, EXTRACT_WRITE_FAILED, false, installed(empty, files, nullptr, true)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        prepare(row.overEarlierVersion, row.held);
        Ending run = upgrade(*row.payload);
        EXPECT_EQ(row.result, run.result);
        if (run.result == EXTRACT_DONE) {
            EXPECT_TRUE(run.outcome.committed);
        } else {
            EXPECT_EQ(row.restored, earlierInstallationRestored(run.outcome));
        }
        EXPECT_EQ("", differences(row.expected, memory_disk::snapshot())) << stepLog();
        expectTidy();
    }

    prepare(true, nullptr);
    ASSERT_EQ(EXTRACT_DONE, upgrade(payload).result);
    // The commit line is on the disk once written, so a failing flush of it
    // may end either way, each whole.
    const int commitFlush = findStep(
        memory_disk::steps(),
        [](const Step& s) { return s.kind == memory_disk::FLUSH && s.path == JOURNAL; }, true);
    prepare(true, LATE_FILE);
    upgrade(payload);
    const int heldProbe = findStep(memory_disk::steps(), [](const Step& s) {
        return s.kind == memory_disk::OPEN_EXISTING_FOR_WRITING && s.path == LATE_FILE;
    });
    ASSERT_GT(commitFlush, 0);
    ASSERT_GT(heldProbe, 0);

    // Every step of a clean upgrade, then every step of one that fails at
    // the held file and undoes itself.
    for (const char* held : {static_cast<const char*>(nullptr), LATE_FILE}) {
        for (int k = 1; !HasFailure(); ++k) {
            prepare(true, held);
            memory_disk::failStep(k);
            Ending run = upgrade(payload);
            const std::vector<Step> steps = memory_disk::steps();
            if (static_cast<int>(steps.size()) < k) break;
            const Step& failed = steps[k - 1];
            SCOPED_TRACE(std::string(held ? "with a file in use, " : "") + "step " +
                         std::to_string(k) + " fails: " + failed.text);
            expectTidy();
            const bool restored = earlierInstallationRestored(run.outcome);
            const Image after = memory_disk::snapshot();
            if (run.result == EXTRACT_DONE) {
                EXPECT_TRUE(!held && (failed.kind == memory_disk::SET_TIMES || k >= commitFlush ||
                                      failed.lossless))
                    << "a step that failed before the commit point must fail the run";
                const std::string looseTime =
                    failed.kind == memory_disk::SET_TIMES ? failed.path : "";
                EXPECT_EQ("", differences(upgraded, withoutLeftovers(after), looseTime))
                    << stepLog();
                finish();
                EXPECT_EQ("", differences(upgraded, memory_disk::snapshot(), looseTime))
                    << "once the next run has finished\n"
                    << stepLog();
                expectTidy();
                continue;
            }
            EXPECT_TRUE(held || k <= commitFlush)
                << "past the commit point the new installation stands";
            if (!held || k <= heldProbe) {
                // The undo itself went through.
                EXPECT_EQ(keptAside(steps), restored);
                EXPECT_EQ("", differences(earlier, after)) << stepLog();
            } else {
                EXPECT_TRUE(failed.lossless || !restored) << "a step of the undo failed";
                if (restored) {
                    EXPECT_EQ("", differences(earlier, after)) << stepLog();
                } else {
                    EXPECT_TRUE(after.files.count(JOURNAL)) << "kept for the next run\n"
                                                            << stepLog();
                }
            }
            Ending next = finish();
            EXPECT_EQ("", differences(earlier, memory_disk::snapshot()))
                << "once the next run has finished\n"
                << stepLog();
            EXPECT_FALSE(after.files.count(JOURNAL) && next.outcome.committed);
            expectTidy();
        }
    }
}

TEST(UpgradeFaults, ARunThatEndsAtAnyStepIsFinishedByTheNextIntoOneWholeInstallation) {
    const std::vector<PayloadFile> files = newVersion();
    TestPayload payload = payloadOf(files, false);
    TestPayload damaged = payloadOf(files, true);
    const Image earlier = prepare(true, nullptr);
    const Image upgraded = installed(earlier, files);

    // A clean upgrade ends at each of its steps, and so does one that fails
    // at a file in use and undoes itself.
    for (const char* held : {static_cast<const char*>(nullptr), LATE_FILE}) {
        int firstCommitted = 0;  // the first step where ending leaves the new installation
        for (int k = 1; !HasFailure(); ++k) {
            prepare(true, held);
            memory_disk::stopAtStep(k);
            if (!upgrade(payload).stopped) break;
            SCOPED_TRACE(std::string(held ? "with a file in use, " : "") + "ended at step " +
                         std::to_string(k) + ": " + memory_disk::steps()[k - 1].text);

            // The next run succeeds.
            if (held) memory_disk::letGo(held);
            Ending next = upgrade(payload);
            EXPECT_EQ(EXTRACT_DONE, next.result);
            EXPECT_EQ("", differences(upgraded, memory_disk::snapshot())) << stepLog();
            expectTidy();

            // The next run fails, at the file still in use or at a damaged
            // file after all the others: it leaves the installation the
            // journal stood for, the new one only from the commit point on.
            prepare(true, held);
            memory_disk::stopAtStep(k);
            upgrade(payload);
            Ending failing = upgrade(held ? payload : damaged);
            EXPECT_NE(EXTRACT_DONE, failing.result);
            const Image after = memory_disk::snapshot();
            const bool isNew = differences(upgraded, after).empty();
            if (!isNew) {
                EXPECT_EQ("", differences(earlier, after)) << "neither installation\n" << stepLog();
            }
            if (isNew && !firstCommitted) firstCommitted = k;
            EXPECT_FALSE(held && isNew) << "a run that failed committed";
            EXPECT_TRUE(isNew || !firstCommitted)
                << "committed from step " << firstCommitted << ", undone here";
            expectTidy();

            // The next run ends too, at each step of finishing what this one
            // left, up to the journal of its own; the one after it succeeds.
            for (int j = 1; !HasFailure(); ++j) {
                prepare(true, held);
                memory_disk::stopAtStep(k);
                upgrade(payload);
                if (held) memory_disk::letGo(held);
                const int second = static_cast<int>(memory_disk::steps().size()) + j;
                memory_disk::stopAtStep(second);
                if (!upgrade(payload).stopped) break;
                const Step ended = memory_disk::steps()[second - 1];
                SCOPED_TRACE("then at step " + std::to_string(second) + ": " + ended.text);
                Ending third = upgrade(payload);
                EXPECT_EQ(EXTRACT_DONE, third.result);
                EXPECT_EQ("", differences(upgraded, memory_disk::snapshot())) << stepLog();
                expectTidy();
                if (ended.kind == memory_disk::OPEN_FOR_WRITING && ended.path == JOURNAL) break;
            }
        }
        EXPECT_TRUE(held || firstCommitted > 0)
            << "no run that ended was finished into the new installation";
    }
}

}  // namespace
