// Starting the program under test and watching it end.
#pragma once

#include <windows.h>

#include <string>

namespace scripted_user {

struct Program {
    HANDLE process = nullptr;
    DWORD processId = 0;
};

// Starts `exe` with the command-line arguments `arguments` (may be empty) in
// the current directory `folder`. With `standardOutput`, an inheritable
// handle, the program writes its standard output there; its standard input
// and error are this process's. False when the program does not start.
bool startProgram(const std::string& exe, const std::string& arguments,
                  const std::string& folder, Program* program,
                  HANDLE standardOutput = nullptr);

// Waits up to `milliseconds` for the program to end; true with its exit
// code when it did.
bool waitForExit(const Program& program, DWORD milliseconds, DWORD* exitCode);

bool isRunning(const Program& program);

// Ends a program that is still running and releases the handle: a failed
// test must not leave a modal window behind for the screenshots of the next.
void endProgram(Program* program);

}  // namespace scripted_user
