// After a complete extraction: the product's shortcuts, its uninstall
// entry, the optional startup shortcut and start, the settings entry, the
// helper and service installers, and the question whether to start it.
// Portable: the system comes through system/ and setup_platform.h.
#pragma once

#include <stddef.h>
#include <stdint.h>

struct InstallerConfig;

// Runs the stage for the product built into the program. Nothing in it
// ends the run: each failure is reported or passed over, and the final
// question is always asked.
void completeInstallation();

// The same for a given record; the stage reads nothing else of the product.
void completeInstallationOf(const InstallerConfig& config);

// Registers the product's NT service by running its program from `folder`
// with the install argument, waited for; true when the program says it did.
bool registerService(const InstallerConfig& config, const char* folder);

// Whether a startup shortcut is made after the installation: never, after
// a Yes to the product's prompt, or without a question. A product with a
// service has none on the NT family (its service starts it instead), and
// one without a question on the Windows 95 family, which has no services.
enum StartupChoice { STARTUP_NONE, STARTUP_ASK, STARTUP_CREATE };
StartupChoice startupChoice(const InstallerConfig& config, uint32_t platformId);

// `path` in double quotes; false, with `out` empty, when it does not fit.
bool quotePath(char* out, size_t size, const char* path);

// The immediate start after the startup shortcut: the quoted path, one
// blank, the arguments (possibly none) and a line feed at the very end.
bool startupCommandLine(char* out, size_t size, const char* path, const char* arguments);
