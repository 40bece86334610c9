// A product program that only records how it was started (command_log.h),
// stays a second, records its end and exits with 0. The second between the
// two records shows whether whoever started it waited for it.
#include <windows.h>

#include "command_log.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    stand_in::recordStart();
    Sleep(1000);
    stand_in::recordEnd();
    return 0;
}
