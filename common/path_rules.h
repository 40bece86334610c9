// The rules every path follows, in the engine and in the generator alike:
// how long it may be, what separates its parts, how parts are joined and
// trimmed, and which payload names belong to the system directory.
// Portable: no <windows.h>.
#pragma once

#include <stddef.h>

enum {
    // Every path and text buffer of the engine: at most 1023 characters and
    // the NUL. A path that does not fit is an error, never shortened.
    PATH_BUFFER_SIZE = 1024,
    // The platform's path limit (MAX_PATH), as a buffer size: the folder
    // edits, the shell's path buffers, the system directory, a link path's
    // UTF-16 form. A path of the platform holds at most PLATFORM_PATH_LIMIT
    // characters.
    PLATFORM_PATH_SIZE = 260,
    PLATFORM_PATH_LIMIT = PLATFORM_PATH_SIZE - 1,
};

// Both "/" and "\" separate wherever a path is split; "\" is the one written
// wherever a path is built.
inline bool isPathSeparator(char c) { return c == '/' || c == '\\'; }

// "C:": exactly two characters, the second a colon; a drive, no directory.
inline bool isDriveDesignator(const char* text, size_t length) {
    return length == 2 && text[1] == ':';
}

// A payload name beginning with "SYSTEM/" or "SYSTEM\" (capitals, compared
// exactly) names a file for the Windows system directory: the rest of the
// name after these SYSTEM_PREFIX_LENGTH characters is its path below it.
enum { SYSTEM_PREFIX_LENGTH = 7 };
inline bool hasSystemPrefix(const char* name) {
    const char prefix[] = "SYSTEM";
    for (int i = 0; i < 6; ++i) {
        if (name[i] != prefix[i]) return false;
    }
    return isPathSeparator(name[6]);
}

// What setup names its own files in the data folder while it replaces an
// installation: each file it replaces is kept aside under its own path and
// KEPT_SUFFIX until the run has ended, and the journal that lists them is
// UPGRADE_JOURNAL_NAME. Both end in RESERVED_NAME_END, which no payload name
// may, so neither can be taken for a file of the product.
inline constexpr char KEPT_SUFFIX[] = ".kept~";
enum { KEPT_SUFFIX_LENGTH = sizeof KEPT_SUFFIX - 1 };
inline constexpr char UPGRADE_JOURNAL_NAME[] = "setup.journal~";
enum { UPGRADE_JOURNAL_NAME_LENGTH = sizeof UPGRADE_JOURNAL_NAME - 1 };
inline constexpr char RESERVED_NAME_END = '~';

// The first `length` characters of both are the same path text: case is
// folded for ASCII letters only, and "/" counts as "\", as the file system
// treats them alike.
bool equalIgnoringCase(const char* a, const char* b, size_t length);

// Cuts one trailing `ch` off a non-empty path; returns the last character
// as it was (0 for an empty path).
char removeTrailingChar(char* path, char ch);

// Every run of "/" and "\" becomes one "\", in place.
void normalizeSeparators(char* path);

// Cuts every trailing separator but a root's: "C:\Data\\" becomes "C:\Data",
// while "C:\", "C:/" and "\" stay as they are. The file system finds a
// folder by its name without a trailing separator, and a root only with one.
void cutTrailingSeparators(char* path);

// `folder`, one "\" unless it already ends in a separator (an empty folder
// gets one too), then `name`. False, with `out` empty, when it does not fit.
bool joinPath(char* out, size_t size, const char* folder, const char* name);
