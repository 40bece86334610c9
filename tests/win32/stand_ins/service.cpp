// A product's service program, with its service name compiled in
// (TW_SERVICE_NAME). It is one of three things, by how it was started:
//
// - with "-install-service" anywhere on its command line, setup's service
//   installer: it records its start (command_log.h); with the environment
//   variable TW_SERVICE_INSTALL_RESULT set to a number it exits with that
//   number at once, which is how tests make the installation fail;
//   otherwise it registers itself with the Service Control Manager (own
//   process, started on demand, its own quoted full path as the binary),
//   starts the service, records its end and exits with 0, or with the
//   system's error code when either step fails;
// - started by the Service Control Manager: the service, which reports
//   running and, on the stop control, stop-pending and then stopped; with
//   "-stop-pending=MS" on its command line (in its registered binary path)
//   it stays stop-pending for MS milliseconds before it reports stopped,
//   as a service does that takes its time to shut down;
// - started plainly on the Windows 95 family, or anywhere the Service
//   Control Manager did not start it: a hidden top-level window titled
//   "<service name> Win9x Service" whose thread runs until WM_QUIT, and
//   then exits with the message's wParam, or until the window is closed,
//   and then exits with 2, so that a test can tell which of the two setup
//   sent.
#include <windows.h>

#include "command_log.h"

#ifndef TW_SERVICE_NAME
#error "TW_SERVICE_NAME must name the service"
#endif

namespace {

char serviceName[] = TW_SERVICE_NAME;

SERVICE_STATUS_HANDLE statusHandle = nullptr;
HANDLE stopRequested = nullptr;

// Exit code of the window thread when its window was closed rather than
// told to quit.
const int CLOSED_EXIT_CODE = 2;

// Where `part` first occurs in `text`, just after it; null when it does not.
const char* after(const char* text, const char* part) {
    const int length = lstrlenA(part);
    for (; *text; ++text) {
        int i = 0;
        while (i < length && text[i] == part[i]) ++i;
        if (i == length) return text + length;
    }
    return nullptr;
}

bool contains(const char* text, const char* part) { return after(text, part) != nullptr; }

// The milliseconds of "-stop-pending=MS" on the command line; 0 without it.
DWORD stopPendingMs() {
    const char* digits = after(GetCommandLineA(), "-stop-pending=");
    DWORD value = 0;
    for (; digits && *digits >= '0' && *digits <= '9' && value < 600000; ++digits) {
        value = value * 10 + static_cast<DWORD>(*digits - '0');
    }
    return value;
}

// The value of TW_SERVICE_INSTALL_RESULT when it is a decimal number,
// optionally negative; false when it is unset or anything else.
bool forcedResult(int* result) {
    char text[32];
    const DWORD length = GetEnvironmentVariableA("TW_SERVICE_INSTALL_RESULT", text, sizeof(text));
    if (length == 0 || length >= sizeof(text)) return false;
    const char* p = text;
    const bool negative = *p == '-';
    if (negative) ++p;
    if (!*p) return false;
    long value = 0;
    for (; *p; ++p) {
        if (*p < '0' || *p > '9' || value > 100000000L) return false;
        value = value * 10 + (*p - '0');
    }
    *result = static_cast<int>(negative ? -value : value);
    return true;
}

// Registers and starts the service; 0, or the system's error code.
DWORD installAndStart() {
    char path[MAX_PATH];
    char quoted[MAX_PATH + 2] = "\"";
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    if (length == 0 || length >= sizeof(path)) return ERROR_BAD_PATHNAME;
    lstrcatA(quoted, path);
    lstrcatA(quoted, "\"");

    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) return GetLastError();
    DWORD error = ERROR_SUCCESS;
    SC_HANDLE service = CreateServiceA(manager, serviceName, serviceName, SERVICE_ALL_ACCESS,
                                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                       quoted, nullptr, nullptr, nullptr, nullptr, nullptr);
    // Registered already, by an earlier run that nothing removed: start
    // that registration.
    if (!service && GetLastError() == ERROR_SERVICE_EXISTS)
        service = OpenServiceA(manager, serviceName, SERVICE_ALL_ACCESS);
    if (!service) {
        error = GetLastError();
    } else {
        if (!StartServiceA(service, 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
            error = GetLastError();
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return error;
}

void report(DWORD state, DWORD waitHint) {
    SERVICE_STATUS status = {};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    status.dwWaitHint = waitHint;
    SetServiceStatus(statusHandle, &status);
}

void WINAPI controlHandler(DWORD control) {
    if (control == SERVICE_CONTROL_STOP) {
        report(SERVICE_STOP_PENDING, 2000 + stopPendingMs());
        SetEvent(stopRequested);
    }
}

void WINAPI serviceMain(DWORD, LPSTR*) {
    statusHandle = RegisterServiceCtrlHandlerA(serviceName, controlHandler);
    if (!statusHandle) return;
    stopRequested = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!stopRequested) {
        report(SERVICE_STOPPED, 0);
        return;
    }
    report(SERVICE_RUNNING, 0);
    WaitForSingleObject(stopRequested, INFINITE);
    CloseHandle(stopRequested);
    Sleep(stopPendingMs());
    report(SERVICE_STOPPED, 0);
}

LRESULT CALLBACK hiddenWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(CLOSED_EXIT_CODE);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// What the Windows 95 family runs instead of a service: a window that
// setup finds by its title and ends with WM_QUIT. Never shown. Returns the
// wParam of the WM_QUIT that ended the thread.
int runHiddenWindow(HINSTANCE instance) {
    char title[sizeof(serviceName) + 16];
    lstrcpyA(title, serviceName);
    lstrcatA(title, " Win9x Service");
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = hiddenWindowProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "StandInServiceWindow";
    if (!RegisterClassA(&windowClass)) return 1;
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 200, 100, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    MSG message = {};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (contains(GetCommandLineA(), "-install-service")) {
        stand_in::recordStart();
        int forced = 0;
        if (forcedResult(&forced)) return forced;
        const DWORD error = installAndStart();
        stand_in::recordEnd();
        return error == ERROR_SUCCESS ? 0 : static_cast<int>(error);
    }

    const bool windows95Family = (GetVersion() & 0x80000000u) != 0;
    if (!windows95Family) {
        SERVICE_TABLE_ENTRYA table[] = {{serviceName, serviceMain}, {nullptr, nullptr}};
        if (StartServiceCtrlDispatcherA(table)) return 0;
        if (GetLastError() != ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) return 1;
    }
    return runHiddenWindow(instance);
}
