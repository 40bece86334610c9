#include "system/conversation.h"

#include "common/bounded_text.h"
#include "common/path_rules.h"
#include "state/run_log.h"
#include "system/message_box.h"
#include "system/system_platform.h"

namespace {

bool unattended = false;
RunEnding ending = RUN_INSTALLED;
char logPath[PATH_BUFFER_SIZE];

// The time, a blank and the line, whose own line breaks become blanks, so
// that every step stays one line.
void localTimeAndLine(char* out, size_t size, const char* line) {
    char time[32];
    system_platform::localTime(time, sizeof time);
    size_t used = 0;
    for (const char* p = time; *p && used + 1 < size; ++p) out[used++] = *p;
    if (used + 1 < size) out[used++] = ' ';
    for (const char* p = line; *p && used + 1 < size; ++p) {
        const bool lineBreak = *p == '\r' || *p == '\n';
        if (lineBreak && used > 0 && out[used - 1] == ' ') continue;
        out[used++] = lineBreak ? ' ' : *p;
    }
    out[used] = '\0';
}

// Each line with the time it was written. A log that cannot be written is
// given up on, never the installation.
void writeToLogFile(const char* line) {
    char stamped[3 * PATH_BUFFER_SIZE];
    localTimeAndLine(stamped, sizeof stamped, line);
    if (!system_platform::appendLine(logPath, stamped)) setRunLogSink(nullptr);
}

const char* yesOrNo(bool yes) { return yes ? "Yes" : "No"; }

// The answer a deployment needs: a folder the caller named is taken; no
// link is offered and nothing is started that nobody asked for.
bool unattendedAnswer(Question question) { return question == QUESTION_EXISTING_FOLDER; }

}  // namespace

void startConversation(bool unattendedRun, const char* path) {
    unattended = unattendedRun;
    ending = RUN_INSTALLED;
    setRunLogSink(nullptr);
    if (path[0] && copyText(logPath, sizeof logPath, path)) setRunLogSink(writeToLogFile);
}

bool unattendedRun() { return unattended; }

void tell(WindowHandle owner, const char* caption, const char* text, bool warning) {
    logStep("Notice \"%s\": %s", caption, text);
    if (unattended) return;
    if (warning)
        showWarning(owner, caption, text);
    else
        showNotice(owner, caption, text);
}

bool ask(Question question, WindowHandle owner, const char* caption, const char* text) {
    if (unattended) {
        const bool yes = unattendedAnswer(question);
        logStep("Question \"%s\": %s, answered %s for an unattended run", caption, text,
                yesOrNo(yes));
        return yes;
    }
    const bool yes = askYesNo(owner, caption, text);
    logStep("Question \"%s\": %s, answered %s", caption, text, yesOrNo(yes));
    return yes;
}

bool refuse(RunEnding runEnding, WindowHandle owner, const char* caption, const char* text) {
    logStep("Refused, \"%s\": %s", caption, text);
    if (unattended) {
        ending = runEnding;
        return false;
    }
    showWarning(owner, caption, text);
    return true;
}

void endRun(RunEnding runEnding, WindowHandle owner, const char* caption, const char* text) {
    logStep("The run ends, \"%s\": %s", caption, text);
    ending = runEnding;
    if (!unattended) showWarning(owner, caption, text);
}

void reportProblem(WindowHandle owner, const char* caption, const char* what) {
    logStep("Problem: %s", what);
    if (ending == RUN_INSTALLED) ending = RUN_INSTALLED_WITH_PROBLEMS;
    if (caption && !unattended) showWarning(owner, caption, what);
}

int runExitStatus() {
    const int code = unattended ? static_cast<int>(ending) : 0;
    logStep("Exit code %d.", code);
    return code;
}
