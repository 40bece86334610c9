// The payload names the uninstaller removes, generated from the product description.
#pragma once

#include <stdint.h>

extern const char* const uninstallerPayloadNames[];
extern const int32_t uninstallerPayloadNameCount;
