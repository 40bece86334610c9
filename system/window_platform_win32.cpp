#include <windows.h>

#include "system/window_platform.h"

namespace window_platform {

namespace {

struct Visit {
    WindowVisitor visit;
    intptr_t parameter;
};

BOOL CALLBACK visitOne(HWND window, LPARAM context) {
    const Visit* visit = reinterpret_cast<const Visit*>(context);
    return visit->visit(window, visit->parameter) ? TRUE : FALSE;
}

}  // namespace

void visitTopLevelWindows(WindowVisitor visit, intptr_t parameter) {
    Visit context = {visit, parameter};
    EnumWindows(visitOne, reinterpret_cast<LPARAM>(&context));
}

void windowTitle(WindowHandle window, char* title, size_t size) {
    title[0] = '\0';
    if (GetWindowTextA(window, title, static_cast<int>(size)) <= 0) title[0] = '\0';
}

void postClose(WindowHandle window) { PostMessageA(window, WM_CLOSE, 0, 0); }
void postQuit(WindowHandle window) { PostMessageA(window, WM_QUIT, 0, 0); }

}  // namespace window_platform
