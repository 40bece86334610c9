// The run's log: one line per step and decision, for whoever deployed the
// run and named a log file. Every room may write to it; the line goes
// wherever the setup program sends it (setRunLogSink), and nowhere before.
// Portable: no <windows.h>.
#pragma once

typedef void (*RunLogSink)(const char* line);

// The receiver of every line from now on; null: lines are dropped.
void setRunLogSink(RunLogSink sink);

// One line, formatted as printf does; one that does not fit its buffer
// is logged as its format, which still says which step it was.
void logStep(const char* format, ...) __attribute__((format(printf, 1, 2)));
