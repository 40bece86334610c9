// What a program of ours does at its entry point in place of the runtime's
// start-up code, which would be an eighth of setup: nothing here needs what
// it prepares (no thread-local data, no pseudo-relocations, no floating
// point set-up), and msvcrt.dll readies itself when it is loaded. Static
// constructors, should any appear, still run; exit() flushes the standard
// streams and runs what atexit registered.
#pragma once

#include <stddef.h>

typedef void (*StaticConstructor)();

// Laid out by the linker: -1 or a count, the constructors, then a null.
extern "C" StaticConstructor __CTOR_LIST__[];

// Windows keeps the stack 4-byte aligned at the entry point on i686; the
// compiler expects 16.
#if defined(__i386__)
#define ALIGNS_ITS_STACK __attribute__((force_align_arg_pointer))
#else
#define ALIGNS_ITS_STACK
#endif

inline void runStaticConstructors() {
    size_t count = 0;
    while (__CTOR_LIST__[count + 1]) ++count;
    // In reverse, as the runtime runs them.
    for (size_t i = count; i > 0; --i) __CTOR_LIST__[i]();
}
