#include "ui/message_box.h"

void showWarning(HWND owner, const char* caption, const char* text) {
    MessageBoxA(owner, text, caption, MB_OK | MB_ICONWARNING);
}
