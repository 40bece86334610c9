// What the uninstaller needs from the system beyond the rooms it shares
// with setup: its own file and command line, and the hand-over to the copy
// that finishes the removal once this program's file may go.
// uninstall_platform_win32.cpp does it with kernel32; the native tests link
// a stand-in.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace uninstall_platform {

// The command line as the system passed it, the program's name first.
const char* commandLine();

// This program's own file; false when the system cannot name it or the
// path does not fit (then no folder can be trusted).
bool ownPath(char* path, size_t size);

// Copies this program to the temporary folder and starts the copy with
// the finisher's arguments (a handle of this process, the writing end of a
// pipe, "/S" when `silent`, and `self`); false when that cannot be done,
// and then nothing was started and nothing is left behind.
bool startFinisher(const char* self, bool silent);

// Blocks until the started copy hands over its result; -1 when it ended
// without one.
int finisherResult();

// The copy's side: hands `result` to the first process through `pipe`,
// which lets it end.
void handOverResult(uint32_t pipe, int result);

// Waits, for at most `ms`, until the process of `handle` has ended, and
// closes the handle.
void waitForProcess(uint32_t handle, uint32_t ms);

}  // namespace uninstall_platform
