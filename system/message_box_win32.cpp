#include <windows.h>

#include "system/message_box.h"

void showWarning(WindowHandle owner, const char* caption, const char* text) {
    MessageBoxA(owner, text, caption, MB_OK | MB_ICONWARNING);
}

void showNotice(WindowHandle owner, const char* caption, const char* text) {
    MessageBoxA(owner, text, caption, MB_OK);
}

bool askYesNo(WindowHandle owner, const char* caption, const char* text) {
    return MessageBoxA(owner, text, caption, MB_YESNO) == IDYES;
}

void showInformation(WindowHandle owner, const char* caption, const char* text) {
    MessageBoxA(owner, text, caption, MB_OK | MB_ICONINFORMATION);
}

bool askQuestion(WindowHandle owner, const char* caption, const char* text) {
    return MessageBoxA(owner, text, caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}
