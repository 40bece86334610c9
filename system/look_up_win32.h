// A function of a system library that not every system has, looked up by
// name at run time: importing it would keep the program from starting
// where it is missing. The library must be one the program imports, so
// that it is loaded already and never searched for.
#pragma once

#include <windows.h>

template <typename Function>
Function lookUpSystemFunction(const char* library, const char* name) {
    HMODULE module = GetModuleHandleA(library);
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                  : nullptr;
}
