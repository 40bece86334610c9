// The program's entry point, without the runtime's start-up code (see
// system/start_without_runtime.h).
#include <stdlib.h>
#include <windows.h>

#include "setup/setup_sequence.h"
#include "system/start_without_runtime.h"

extern "C" ALIGNS_ITS_STACK void setupStart() {
    runStaticConstructors();
    exit(runSetup(GetModuleHandleA(nullptr)));
}
