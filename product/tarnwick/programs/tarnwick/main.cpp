// Tarnwick's main window: shows where the product keeps its data and the
// emblem picture. With -icon on its command line it starts minimised, for
// whoever starts it only to have it running (the installer, a shortcut).

#include <windows.h>

#include "resource.h"

namespace {

const char kClassName[] = "TarnwickMainWindow";
const char kTitle[] = "Tarnwick";
const char kSettingsFile[] = "tarnwick.ini";
const char kFolderLabel[] = "Data folder: ";
const char kNoFolder[] = "(not recorded)";

const int kMargin = 12;
const int kTextHeight = 20;
const int kMinClientWidth = 380;

struct WindowState {
    char folderText[sizeof(kFolderLabel) + 1024];
    HBITMAP about;
    int aboutWidth;
    int aboutHeight;
};

bool ascii_equal_ignoring_case(const char* a, const char* b, int length) {
    for (int i = 0; i < length; ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// Setup ends the command line of its startup start with a line feed, so
// line ends separate arguments as blanks do.
bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// True when `name` is one whole argument of the command line. A quoted
// argument counts too, since shortcuts sometimes quote every argument.
bool has_argument(const char* commandLine, const char* name) {
    const int nameLength = lstrlenA(name);
    const char* p = commandLine;
    while (*p) {
        while (is_blank(*p)) ++p;
        if (!*p) break;
        const char* start = p;
        const char* end;
        if (*p == '"') {
            start = ++p;
            while (*p && *p != '"') ++p;
            end = p;
            if (*p) ++p;
        } else {
            while (*p && !is_blank(*p)) ++p;
            end = p;
        }
        if (end - start == nameLength &&
            ascii_equal_ignoring_case(start, name, nameLength))
            return true;
    }
    return false;
}

// The installer records the chosen folder in the settings file in the
// Windows folder; until it has, say so rather than show an empty line.
void describe_data_folder(char* out, int outSize) {
    char folder[1024];
    GetPrivateProfileStringA("Options", "dataDir", "", folder, sizeof(folder),
                             kSettingsFile);
    lstrcpynA(out, kFolderLabel, outSize);
    const int used = lstrlenA(out);
    lstrcpynA(out + used, folder[0] ? folder : kNoFolder, outSize - used);
}

void client_size_for(const WindowState& state, int* width, int* height) {
    *width = state.aboutWidth + 2 * kMargin;
    if (*width < kMinClientWidth) *width = kMinClientWidth;
    *height = kMargin + kTextHeight + kMargin + state.aboutHeight + kMargin;
}

void create_children(HWND window, const WindowState& state) {
    int width = 0;
    int height = 0;
    client_size_for(state, &width, &height);
    // A static control rather than painted text: it is what screen readers
    // and automation can read back. Paths may hold '&', hence SS_NOPREFIX.
    HWND label = CreateWindowExA(
        0, "STATIC", state.folderText,
        WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS,
        kMargin, kMargin, width - 2 * kMargin, kTextHeight, window, nullptr,
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE)),
        nullptr);
    if (label)
        SendMessageA(label, WM_SETFONT,
                     reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                     FALSE);
}

void paint_about(HWND window, const WindowState& state) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (state.about) {
        RECT client;
        GetClientRect(window, &client);
        const int x = (client.right - state.aboutWidth) / 2;
        const int y = kMargin + kTextHeight + kMargin;
        HDC source = CreateCompatibleDC(dc);
        if (source) {
            HGDIOBJ old = SelectObject(source, state.about);
            BitBlt(dc, x, y, state.aboutWidth, state.aboutHeight, source, 0, 0,
                   SRCCOPY);
            SelectObject(source, old);
            DeleteDC(source);
        }
    }
    EndPaint(window, &ps);
}

LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wParam,
                             LPARAM lParam) {
    WindowState* state =
        reinterpret_cast<WindowState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
    case WM_NCCREATE: {
        const CREATESTRUCTA* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        break;
    }
    case WM_CREATE:
        create_children(window, *state);
        return 0;
    case WM_PAINT:
        paint_about(window, *state);
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine,
                   int showCommand) {
    WindowState state = {};
    describe_data_folder(state.folderText, sizeof(state.folderText));
    state.about = static_cast<HBITMAP>(LoadImageA(
        instance, MAKEINTRESOURCEA(IDB_ABOUT), IMAGE_BITMAP, 0, 0, 0));
    if (state.about) {
        BITMAP info;
        if (GetObjectA(state.about, sizeof(info), &info)) {
            state.aboutWidth = info.bmWidth;
            state.aboutHeight = info.bmHeight;
        }
    }

    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = window_proc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_TARNWICK));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;

    int result = 1;
    if (RegisterClassExA(&wc)) {
        // A fixed-size window: the picture does not stretch.
        const DWORD style = WS_OVERLAPPEDWINDOW & ~(WS_THICKFRAME | WS_MAXIMIZEBOX);
        int width = 0;
        int height = 0;
        client_size_for(state, &width, &height);
        RECT frame = {0, 0, width, height};
        AdjustWindowRectEx(&frame, style, FALSE, 0);
        HWND window = CreateWindowExA(
            0, kClassName, kTitle, style, CW_USEDEFAULT, CW_USEDEFAULT,
            frame.right - frame.left, frame.bottom - frame.top, nullptr,
            nullptr, instance, &state);
        if (window) {
            ShowWindow(window, has_argument(commandLine, "-icon")
                                   ? SW_SHOWMINIMIZED
                                   : showCommand);
            UpdateWindow(window);
            MSG msg;
            BOOL got;
            while ((got = GetMessageA(&msg, nullptr, 0, 0)) > 0) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            result = got == 0 ? static_cast<int>(msg.wParam) : 1;
        }
        UnregisterClassA(kClassName, instance);
    }
    if (state.about) DeleteObject(state.about);
    return result;
}
