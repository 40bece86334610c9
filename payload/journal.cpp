#include "payload/journal.h"

#include <string.h>

#include "common/bounded_text.h"
#include "common/path_rules.h"
#include "state/run_log.h"

namespace {

const char FORM_LINE[] = "setup journal 1";
const char NEW_WORD[] = "new";
const char KEPT_WORD[] = "kept";
const char SERVICE_WORD[] = "service";
const char FOLDER_WORD[] = "folder";
const char DONE_WORD[] = "done";

// A word, a blank and a path that fits a path buffer.
enum { LINE_SIZE = PATH_BUFFER_SIZE + 16 };

bool exists(const char* path) {
    payload_io::PathStatus status;
    return payload_io::pathStatus(path, &status);
}

bool isFullPath(const char* path) {
    return isPathSeparator(path[0]) || (path[0] != '\0' && path[1] == ':');
}

// A journal path as the file system finds it from anywhere.
bool resolve(char* out, const char* folder, const char* path) {
    if (isFullPath(path)) return copyText(out, PATH_BUFFER_SIZE, path);
    return joinPath(out, PATH_BUFFER_SIZE, folder, path);
}

// Reads the journal line by line through a small block.
class LineReader {
public:
    explicit LineReader(payload_io::File* file) : file_(file) {}

    // 1: a whole line in `line`, without its line feed; 0: none left (a cut
    // off last line included); -1: the file cannot be read, or holds a line
    // no journal writes.
    int next(char* line) {
        size_t length = 0;
        for (;;) {
            if (position_ == filled_) {
                const int32_t got = payload_io::readFile(file_, block_, sizeof block_);
                if (got < 0) return -1;
                if (got == 0) return 0;
                filled_ = static_cast<uint32_t>(got);
                position_ = 0;
            }
            const char c = block_[position_++];
            if (c == '\n') {
                line[length] = '\0';
                return 1;
            }
            if (c == '\0' || length + 1 >= LINE_SIZE) return -1;
            line[length++] = c;
        }
    }

private:
    payload_io::File* file_;
    char block_[512];
    uint32_t filled_ = 0;
    uint32_t position_ = 0;
};

// The path after "<word> ", or null when the line is no such line.
const char* pathAfter(const char* line, const char* word) {
    const size_t length = strlen(word);
    if (strncmp(line, word, length) != 0 || line[length] != ' ' || line[length + 1] == '\0') {
        return nullptr;
    }
    return line + length + 1;
}

// What one reading of the journal found.
struct Reading {
    bool whole;  // every line read and understood
    bool done;
    int32_t kept;
};

// The first reading takes in the notes and the commit point; the second
// acts on each file line. Both read the same file, and any line either
// does not understand stops the journal from being acted on at all.
typedef void (*FileLineAction)(const char* folder, const char* word, const char* path,
                               bool committed, UpgradeOutcome* outcome);

Reading readJournal(const char* journalPath, const char* folder, bool committed,
                    FileLineAction action, UpgradeOutcome* outcome) {
    Reading reading = {false, false, 0};
    payload_io::File* file = payload_io::openForReading(journalPath);
    if (!file) return reading;
    LineReader reader(file);
    char line[LINE_SIZE];
    // A run ended before its first line was whole had done nothing yet.
    int status = reader.next(line);
    bool understood = status == 0 || (status == 1 && strcmp(line, FORM_LINE) == 0);
    while (understood && status == 1 && (status = reader.next(line)) == 1) {
        const char* path = nullptr;
        if (reading.done) {
            understood = false;  // nothing is written after the commit point
        } else if (strcmp(line, DONE_WORD) == 0) {
            reading.done = true;
        } else if (strcmp(line, SERVICE_WORD) == 0) {
            if (!action) outcome->serviceRemoved = true;
        } else if ((path = pathAfter(line, FOLDER_WORD)) != nullptr) {
            if (!action) copyText(outcome->earlierFolder, sizeof outcome->earlierFolder, path);
        } else if ((path = pathAfter(line, KEPT_WORD)) != nullptr) {
            ++reading.kept;
            if (action) action(folder, KEPT_WORD, path, committed, outcome);
        } else if ((path = pathAfter(line, NEW_WORD)) != nullptr) {
            if (action) action(folder, NEW_WORD, path, committed, outcome);
        } else {
            understood = false;
        }
    }
    payload_io::closeFile(file);
    reading.whole = understood && status == 0;
    return reading;
}

// Before the commit point a file line is undone: a new file goes, a kept
// one comes back under its own name, bytes and times unchanged by the
// rename. After it only kept files go. Every step is safe to repeat, for a
// run can end again half-way through this.
void finishFileLine(const char* folder, const char* word, const char* journalled, bool committed,
                    UpgradeOutcome* outcome) {
    char path[PATH_BUFFER_SIZE], kept[PATH_BUFFER_SIZE];
    if (!resolve(path, folder, journalled) || !keptName(kept, path)) {
        ++outcome->stepsLeft;
        return;
    }
    const bool isKept = strcmp(word, KEPT_WORD) == 0;
    if (committed) {
        if (isKept && exists(kept) && !payload_io::removeFile(kept)) ++outcome->stepsLeft;
        return;
    }
    // A line whose step was never taken finds nothing to undo.
    if (!isKept || exists(kept)) {
        if (exists(path) && !payload_io::removeFile(path)) {
            ++outcome->stepsLeft;
            return;
        }
    }
    if (!isKept || !exists(kept)) return;
    if (payload_io::renameFile(kept, path))
        ++outcome->filesPutBack;
    else
        ++outcome->stepsLeft;
}

}  // namespace

bool keptName(char* out, const char* path) {
    return formatText(out, PATH_BUFFER_SIZE, "%s%s", path, KEPT_SUFFIX);
}

bool openJournal(Journal* journal, const char* folder, const UpgradeNotes& notes) {
    char path[PATH_BUFFER_SIZE];
    bool accessDenied = false;
    journal->file = nullptr;
    if (!joinPath(path, sizeof path, folder, UPGRADE_JOURNAL_NAME)) return false;
    journal->file = payload_io::openForWriting(path, &accessDenied);
    if (!journal->file) return false;
    if (writeJournalLine(journal, FORM_LINE, nullptr) &&
        (!notes.serviceRemoved || writeJournalLine(journal, SERVICE_WORD, nullptr)) &&
        (!notes.earlierFolder[0] || writeJournalLine(journal, FOLDER_WORD, notes.earlierFolder))) {
        return true;
    }
    closeJournal(journal);
    payload_io::removeFile(path);
    return false;
}

bool writeJournalLine(Journal* journal, const char* word, const char* path) {
    char line[LINE_SIZE];
    const bool fits = path ? formatText(line, sizeof line, "%s %s\n", word, path)
                           : formatText(line, sizeof line, "%s\n", word);
    if (!fits) return false;
    const uint32_t length = static_cast<uint32_t>(strlen(line));
    return payload_io::writeFile(journal->file, line, length) == length &&
           payload_io::flushFile(journal->file);
}

void closeJournal(Journal* journal) {
    if (journal->file) payload_io::closeFile(journal->file);
    journal->file = nullptr;
}

void finishUpgradeIn(const char* folder, UpgradeOutcome* outcome) {
    memset(outcome, 0, sizeof *outcome);
    char journalPath[PATH_BUFFER_SIZE];
    if (!joinPath(journalPath, sizeof journalPath, folder, UPGRADE_JOURNAL_NAME) ||
        !exists(journalPath)) {
        return;
    }
    outcome->journalFound = true;
    const Reading first = readJournal(journalPath, folder, false, nullptr, outcome);
    if (!first.whole) {
        ++outcome->stepsLeft;
        return;
    }
    outcome->committed = first.done;
    outcome->keptFiles = first.kept;
    const Reading second = readJournal(journalPath, folder, first.done, finishFileLine, outcome);
    if (!second.whole || second.done != first.done || second.kept != first.kept) {
        ++outcome->stepsLeft;
    }
    if (outcome->stepsLeft == 0) outcome->journalRemoved = payload_io::removeFile(journalPath);
    logStep("The journal in %s is finished %s: %ld files kept aside, %ld put back, %ld steps "
            "left, the journal %s.",
            folder, first.done ? "past its commit point" : "before its commit point",
            static_cast<long>(outcome->keptFiles), static_cast<long>(outcome->filesPutBack),
            static_cast<long>(outcome->stepsLeft), outcome->journalRemoved ? "gone" : "kept");
}
