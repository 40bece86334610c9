#include "uninstall/uninstall_command.h"

#include <string.h>

#include "common/bounded_text.h"
#include "common/command_line.h"

namespace {

const char FINISH_SWITCH[] = "-finish";

bool isSilentSwitch(const char* argument) {
    return argument[0] == '/' && (argument[1] == 'S' || argument[1] == 's') && !argument[2];
}

// A handle's value in decimal, as the finisher's line carries it. Handles
// fit 32 bits on 64-bit Windows too, which shares them with 32-bit
// programs.
bool parseNumber(const char* text, uint32_t* value) {
    if (!*text || strlen(text) > 10) return false;
    uint64_t result = 0;
    for (; *text; ++text) {
        if (*text < '0' || *text > '9') return false;
        result = result * 10 + static_cast<uint64_t>(*text - '0');
    }
    if (result > 0xFFFFFFFFu) return false;
    *value = static_cast<uint32_t>(result);
    return true;
}

bool parseFinisher(const char* line, UninstallCommand* command) {
    char first[24], pipe[24];
    char next[PATH_BUFFER_SIZE];
    if (!nextArgument(&line, first, sizeof first) || !parseNumber(first, &command->firstProcess) ||
        !nextArgument(&line, pipe, sizeof pipe) || !parseNumber(pipe, &command->resultPipe) ||
        !nextArgument(&line, next, sizeof next)) {
        return false;
    }
    if (isSilentSwitch(next)) {
        command->silent = true;
        if (!nextArgument(&line, next, sizeof next)) return false;
    }
    while (isBlank(*line)) ++line;
    return next[0] && !*line && copyText(command->original, sizeof command->original, next);
}

}  // namespace

bool parseUninstallCommand(const char* arguments, UninstallCommand* command) {
    *command = UninstallCommand();
    char argument[PATH_BUFFER_SIZE];
    const char* line = arguments;
    if (nextArgument(&line, argument, sizeof argument) && strcmp(argument, FINISH_SWITCH) == 0) {
        command->finisher = true;
        return parseFinisher(line, command);
    }
    // Every argument is looked at, so that "/S" anywhere keeps a refused
    // line silent; one too long to be ours ends the look.
    bool understood = true;
    for (line = arguments;;) {
        while (isBlank(*line)) ++line;
        if (!*line) return understood;
        if (!nextArgument(&line, argument, sizeof argument)) return false;
        if (isSilentSwitch(argument) && !command->silent)
            command->silent = true;
        else
            understood = false;
    }
}

bool formatFinisherArguments(char* out, size_t size, uint32_t firstProcess, uint32_t resultPipe,
                             bool silent, const char* original) {
    return formatText(out, size, "%s %lu %lu%s \"%s\"", FINISH_SWITCH,
                      static_cast<unsigned long>(firstProcess),
                      static_cast<unsigned long>(resultPipe), silent ? " /S" : "", original);
}
