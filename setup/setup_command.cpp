#include "setup/setup_command.h"

#include <string.h>

#include "common/bounded_text.h"
#include "common/command_line.h"

namespace {

const char SILENT_SWITCH[] = "/S";
const char LOG_SWITCH[] = "/LOG=";
const char FOLDER_SWITCH[] = "/D=";

void refuse(SetupCommand* command, const char* argument) {
    if (command->understood) copyText(command->refused, sizeof command->refused, argument);
    command->understood = false;
}

// The rest of the line after /D=: blanks at its end dropped, and the pair
// of quotes around it, if it has them, taken off.
bool takeFolder(const char* rest, char* folder, size_t size) {
    size_t length = strlen(rest);
    while (length > 0 && isBlank(rest[length - 1])) --length;
    if (length >= 2 && rest[0] == '"' && rest[length - 1] == '"') {
        ++rest;
        length -= 2;
    }
    if (length == 0 || length >= size || memchr(rest, '"', length)) return false;
    memcpy(folder, rest, length);
    folder[length] = '\0';
    return true;
}

bool quotesClosed(const char* start, const char* end) {
    bool open = false;
    for (const char* p = start; p < end; ++p) open ^= *p == '"';
    return !open;
}

}  // namespace

void parseSetupCommand(const char* arguments, SetupCommand* command) {
    memset(command, 0, sizeof *command);
    command->understood = true;
    const char* line = arguments;
    char argument[PATH_BUFFER_SIZE];
    for (;;) {
        while (isBlank(*line)) ++line;
        if (!*line) return;
        if (startsWithIgnoringCase(line, FOLDER_SWITCH)) {
            if (!takeFolder(line + strlen(FOLDER_SWITCH), command->folder, sizeof command->folder)) {
                command->folder[0] = '\0';
                refuse(command, line);
            }
            return;
        }
        const char* start = line;
        // A quote left open swallows the rest of the line: malformed.
        if (!nextArgument(&line, argument, sizeof argument) || !quotesClosed(start, line)) {
            refuse(command, start);
            return;
        }
        if (startsWithIgnoringCase(argument, SILENT_SWITCH) && !argument[strlen(SILENT_SWITCH)]) {
            command->unattended = true;
        } else if (startsWithIgnoringCase(argument, LOG_SWITCH) &&
                   argument[strlen(LOG_SWITCH)] != '\0') {
            copyText(command->logPath, sizeof command->logPath, argument + strlen(LOG_SWITCH));
        } else {
            refuse(command, argument);
        }
    }
}
