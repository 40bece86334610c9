// The screen-sized window behind the whole run: a blue gradient with the
// title "Install <product>" in rows. It owns every dialog and message box.
#pragma once

#include <windows.h>

// Fills windowTitle, titleFont and backdropWindow in setupState. False only
// when the window class cannot be registered.
bool createBackdrop();

// Destroys the window, then deletes the title font; after the last question.
void destroyBackdrop();

LRESULT CALLBACK backdropWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Paints the gradient and the title rows laid out on the desktop's size.
void paintBackdrop(HDC dc, const RECT& desktop);
