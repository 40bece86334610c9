// The uninstaller's own platform on Windows, its entry point and its timed
// wait. The entry point is its own, as setup's is (see
// system/start_without_runtime.h): the program must stay small enough for
// one payload chunk.
#include <stdlib.h>
#include <windows.h>

#include "common/bounded_text.h"
#include "state/installer_config.h"
#include "system/look_up_win32.h"
#include "system/start_without_runtime.h"
#include "system/system_platform.h"
#include "system/timed_wait.h"
#include "uninstall/uninstall_command.h"
#include "uninstall/uninstall_platform.h"
#include "uninstall/uninstaller.h"

namespace {

// The pipe's reading end while a started copy works; null otherwise.
HANDLE finisherPipe = nullptr;

uint32_t handleValue(HANDLE handle) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle));
}

HANDLE handleOf(uint32_t value) { return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value)); }

// An inheritable duplicate of `handle` of this process, for the copy.
HANDLE inheritable(HANDLE handle, DWORD access) {
    HANDLE copy = nullptr;
    const DWORD options = access ? 0 : DUPLICATE_SAME_ACCESS;
    if (!DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, access, TRUE,
                         options)) {
        return nullptr;
    }
    return copy;
}

}  // namespace

namespace uninstall_platform {

const char* commandLine() { return GetCommandLineA(); }

bool ownPath(char* path, size_t size) {
    const DWORD length = GetModuleFileNameA(nullptr, path, static_cast<DWORD>(size));
    // A full buffer means the path was cut short.
    return length > 0 && length < size;
}

bool temporaryFolder(char* path, size_t size) {
    const DWORD length = GetTempPathA(static_cast<DWORD>(size), path);
    return length > 0 && length < size;
}

uint64_t randomNumber() {
    typedef BOOLEAN(WINAPI * RandomProc)(PVOID, ULONG);
    const RandomProc random = lookUpSystemFunction<RandomProc>("advapi32.dll", "SystemFunction036");
    uint64_t value = 0;
    if (random && random(&value, sizeof value)) return value;
    LARGE_INTEGER counter = {};
    QueryPerformanceCounter(&counter);
    value = static_cast<uint64_t>(counter.QuadPart) * 0x9E3779B97F4A7C15ull;
    return value ^ (uint64_t{GetTickCount()} << 32) ^ GetCurrentProcessId();
}

bool startFinisher(const char* self, const char* copy, const char* folder, bool silent) {
    if (!CopyFileA(self, copy, TRUE)) return false;
    // The pipe is made uninheritable and only the copy's end is handed on
    // (SetHandleInformation, which would say so at once, is missing on the
    // Windows 95 family): when the copy ends, the pipe breaks and the wait
    // for its result ends with it.
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    HANDLE copysEnd = nullptr, me = nullptr;
    char line[3 * PATH_BUFFER_SIZE], arguments[2 * PATH_BUFFER_SIZE];
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started;
    bool running = CreatePipe(&readEnd, &writeEnd, nullptr, 0) &&
                   (copysEnd = inheritable(writeEnd, 0)) != nullptr &&
                   // The process handle lets the copy wait for exactly this
                   // process, whichever process may later get its number.
                   (me = inheritable(GetCurrentProcess(), SYNCHRONIZE)) != nullptr &&
                   formatFinisherArguments(arguments, sizeof arguments, handleValue(me),
                                           handleValue(copysEnd), silent, self) &&
                   formatText(line, sizeof line, "\"%s\" %s", copy, arguments) &&
                   // The copy works in its own folder so that it holds no
                   // claim on the folder it is to remove.
                   CreateProcessA(copy, line, nullptr, nullptr, TRUE, 0, nullptr, folder,
                                  &startup, &started);
    if (writeEnd) CloseHandle(writeEnd);
    if (copysEnd) CloseHandle(copysEnd);
    if (me) CloseHandle(me);
    if (!running) {
        if (readEnd) CloseHandle(readEnd);
        DeleteFileA(copy);
        return false;
    }
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    finisherPipe = readEnd;
    return true;
}

int finisherResult() {
    int result = -1;
    DWORD read = 0;
    if (!finisherPipe || !ReadFile(finisherPipe, &result, sizeof result, &read, nullptr) ||
        read != sizeof result) {
        result = -1;
    }
    if (finisherPipe) CloseHandle(finisherPipe);
    finisherPipe = nullptr;
    return result;
}

void handOverResult(uint32_t pipe, int result) {
    DWORD written = 0;
    WriteFile(handleOf(pipe), &result, sizeof result, &written, nullptr);
    CloseHandle(handleOf(pipe));
}

void waitForProcess(uint32_t handle, uint32_t ms) {
    WaitForSingleObject(handleOf(handle), ms);
    CloseHandle(handleOf(handle));
}

}  // namespace uninstall_platform

// No backdrop to draw on: the uninstaller's waits are plain ones, in
// frames of 100 ms as setup's are.
void showBusyAnimation(int32_t durationMs) {
    if (durationMs > 0) Sleep(static_cast<DWORD>((durationMs + 99) / 100 * 100));
}

extern "C" ALIGNS_ITS_STACK void uninstallStart() {
    // Before anything could load a library: a planted one beside the
    // program, in the data folder or the temporary folder, is never found.
    system_platform::restrictDllSearch();
    runStaticConstructors();
    exit(runUninstaller(installerConfig, system_platform::platformId(),
                        argumentsAfterProgramName(uninstall_platform::commandLine())));
}
