// The payload names the uninstaller removes, generated from the product
// description with the product's record (state/installer_config.h).
#pragma once

#include <stdint.h>

extern const char* const uninstallerPayloadNames[];
extern const int32_t uninstallerPayloadNameCount;
