// The program's entry point, without the runtime's start-up code, which
// would be an eighth of the engine: nothing here needs what it prepares (no
// command line, no thread-local data, no pseudo-relocations, no floating
// point set-up), and msvcrt.dll readies itself when it is loaded. Static
// constructors, should any appear, still run; exit() flushes the standard
// streams and runs what atexit registered.
#include <stdint.h>
#include <stdlib.h>
#include <windows.h>

#include "setup/setup_sequence.h"

typedef void (*Constructor)();
// Laid out by the linker: -1 or a count, the constructors, then a null.
extern "C" Constructor __CTOR_LIST__[];

// Windows keeps the stack 4-byte aligned at the entry point on i686; the
// compiler expects 16.
#if defined(__i386__)
#define ALIGNS_ITS_STACK __attribute__((force_align_arg_pointer))
#else
#define ALIGNS_ITS_STACK
#endif
extern "C" ALIGNS_ITS_STACK void setupStart() {
    size_t count = 0;
    while (__CTOR_LIST__[count + 1]) ++count;
    // In reverse, as the runtime runs them.
    for (size_t i = count; i > 0; --i) __CTOR_LIST__[i]();
    exit(runSetup(GetModuleHandleA(nullptr)));
}
