// The journal of one upgrade, UPGRADE_JOURNAL_NAME in the data folder: a
// text file of lines, each ended by a line feed and flushed before the step
// it announces is taken, so that whatever is on disk when a run ends says
// at least everything that run did.
//
//   setup journal 1           the form, which a later setup must know
//   service                   the run deleted the earlier service
//   folder C:\Earlier         the data folder recorded before the run
//   new help.htm              about to be created; did not exist
//   kept tarnwick.exe         about to be renamed to tarnwick.exe.kept~
//   done                      the commit point: the new files stand
//
// Paths are the data folder's own names, relative to it, or full paths in
// the system directory. A last line without its line feed was cut off when
// the run ended, before its step was taken, and counts as not written.
#pragma once

#include "payload/payload_io.h"
#include "payload/upgrade.h"

struct Journal {
    payload_io::File* file;
};

// Creates the journal in `folder` with the notes; false, with nothing left
// of it, when it cannot be created and written.
bool openJournal(Journal* journal, const char* folder, const UpgradeNotes& notes);

// Appends "<word> <path>" (or the word alone for a null path) and flushes
// it to disk; false when it may not be there.
bool writeJournalLine(Journal* journal, const char* word, const char* path);

void closeJournal(Journal* journal);

// The name `path` is kept aside under, into a path buffer; false when it
// does not fit.
bool keptName(char* out, const char* path);
