// Extraction over an earlier installation that can always be undone. Each
// payload file that exists is kept aside in its folder under its name and
// KEPT_SUFFIX, and only then written anew; a journal in the data folder
// lists, before each step is taken, the file it is about to keep aside or
// create. At the commit point the journal gains its last line, and only
// then are the kept files deleted. A run that fails puts every kept file
// back and deletes every file it created in the data folder; a run that
// ends at any moment (killed, power lost) is finished by the next one from
// the journal alone: put back before the commit point, deleted after it.
#pragma once

#include <stdint.h>

#include "common/path_rules.h"
#include "payload/extract.h"

// What the run did around the files that undoing it must also undo; the
// journal carries it to the next run.
struct UpgradeNotes {
    bool serviceRemoved;        // the earlier installation's service was deleted
    const char* earlierFolder;  // the data folder recorded before the run, "" for none
};

// How a journal was finished: by this run after its extraction, or by a
// later run from the journal a run left behind.
struct UpgradeOutcome {
    bool journalFound;     // false: there was nothing to finish
    bool committed;        // the journal had reached its commit point
    int32_t keptFiles;     // files listed as kept aside, whether put back or deleted
    int32_t filesPutBack;  // kept files renamed back by this finishing
    int32_t stepsLeft;     // steps that failed; their files stay as they are
    bool journalRemoved;   // the journal is gone; otherwise the next run tries again
    bool serviceRemoved;   // from the notes
    char earlierFolder[PATH_BUFFER_SIZE];  // from the notes
};

// The earlier installation is back whole: at least one of its files was
// kept aside and has been put back, every step of the undo succeeded, and
// nothing of the run is left, its journal included.
inline bool earlierInstallationRestored(const UpgradeOutcome& outcome) {
    return outcome.journalFound && !outcome.committed && outcome.filesPutBack > 0 &&
           outcome.stepsLeft == 0 && outcome.journalRemoved;
}

// Finishes the journal in `folder` that a run left behind, if there is
// one. Paths in it are taken relative to `folder` unless they are full. A
// journal that cannot be read whole is left alone: nothing is guessed.
void finishUpgradeIn(const char* folder, UpgradeOutcome* outcome);

// extractPayloadFrom into `folder`, which is the current directory, with
// every replaced file kept aside as above; a journal left there by an
// earlier run is finished first, and one that cannot be finished fails the
// run with EXTRACT_CANNOT_CREATE before anything is written. On success the
// outcome is the commit's; on failure, the undo's.
ExtractResult upgradePayloadFrom(const PayloadTable& table, const char* folder,
                                 const UpgradeNotes& notes, WindowHandle window,
                                 ProgressCallback callback, UpgradeOutcome* outcome);

// The same for the table linked into this program.
ExtractResult upgradePayload(const char* folder, const UpgradeNotes& notes, WindowHandle window,
                             ProgressCallback callback, UpgradeOutcome* outcome);
