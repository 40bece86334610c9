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

// The user's temporary folder, with its trailing separator; false when
// the system has none or it does not fit.
bool temporaryFolder(char* path, size_t size);

// 64 bits from the system's random source (RtlGenRandom, looked up at run
// time); where there is none (the Windows 95 family), from the clocks and
// the process's number, which an attacker cannot know in advance either.
uint64_t randomNumber();

// Copies this program `self` to `copy` and starts the copy in `folder`
// with the finisher's arguments (a handle of this process, the writing
// end of a pipe, "/S" when `silent`, and `self`); false when that cannot
// be done, and then nothing was started and the copy is deleted.
bool startFinisher(const char* self, const char* copy, const char* folder, bool silent);

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
