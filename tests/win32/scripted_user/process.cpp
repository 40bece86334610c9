#include "scripted_user/process.h"

#include <vector>

namespace scripted_user {

bool startProgram(const std::string& exe, const std::string& arguments,
                  const std::string& folder, Program* program, HANDLE standardOutput) {
    // CreateProcessA may write into the command line, so it gets a copy.
    std::string line = "\"" + exe + "\"";
    if (!arguments.empty()) line += " " + arguments;
    std::vector<char> commandLine(line.begin(), line.end());
    commandLine.push_back('\0');

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (standardOutput) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = standardOutput;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr,
                        standardOutput ? TRUE : FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &started)) {
        return false;
    }
    CloseHandle(started.hThread);
    program->process = started.hProcess;
    program->processId = started.dwProcessId;
    return true;
}

bool waitForExit(const Program& program, DWORD milliseconds, DWORD* exitCode) {
    if (!program.process) return false;
    if (WaitForSingleObject(program.process, milliseconds) != WAIT_OBJECT_0) return false;
    return GetExitCodeProcess(program.process, exitCode) != 0;
}

bool isRunning(const Program& program) {
    return program.process && WaitForSingleObject(program.process, 0) == WAIT_TIMEOUT;
}

void endProgram(Program* program) {
    if (!program->process) return;
    if (isRunning(*program)) {
        TerminateProcess(program->process, 1);
        WaitForSingleObject(program->process, 5000);
    }
    CloseHandle(program->process);
    program->process = nullptr;
    program->processId = 0;
}

}  // namespace scripted_user
