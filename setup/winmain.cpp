// The program's entry point. The command line and show command are not used:
// everything that varies comes from the linked-in product.
#include <windows.h>

#include "setup/setup_sequence.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return runSetup(instance);
}
