// The run's conversation: every notice, question and failure, and how the
// run ended. It has two sides. With a person at the screen it shows the
// run's message boxes and the process ends with status 0 whatever
// happened. Unattended (setup.exe /S) it shows nothing: each question gets
// the answer a deployment needs, each notice and failure becomes a line of
// the log, and the run's ending becomes the exit code. The stages read the
// same on both sides. Portable: the boxes come through message_box.h and
// the log file through system_platform.h.
#pragma once

#include "common/handles.h"

// How a run ended, as an unattended run's exit code.
enum RunEnding {
    RUN_INSTALLED = 0,
    RUN_INSTALLED_WITH_PROBLEMS = 1,  // a link, an entry, the helper or the service failed
    RUN_BAD_COMMAND_LINE = 2,
    RUN_FOLDER_REFUSED = 3,
    RUN_SHORT_OF_SPACE = 4,
    RUN_SETUP_DAMAGED = 5,
    RUN_FILE_NOT_CREATED = 6,
    RUN_WRITE_FAILED = 7,
    RUN_NO_MEMORY = 8,
    RUN_OLD_SERVICE_STAYS = 9,
    RUN_NOT_INSTALLED = 10,  // declined or cancelled: only a person can do that
};

// The questions of a run; unattended, each has its fixed answer.
enum Question {
    QUESTION_EXISTING_FOLDER,  // Yes: the caller named the folder
    QUESTION_STARTUP_LINK,     // No
    QUESTION_START_PRODUCT,    // No
};

// Chooses the side and opens the log: `logPath` ("" for none) gets every
// line from here on, the first being this one.
void startConversation(bool unattended, const char* logPath);

// Whether nobody is at the screen: no window of the run may show.
bool unattendedRun();

// A notice; the run goes on. `warning`: with the warning icon.
void tell(WindowHandle owner, const char* caption, const char* text, bool warning = true);

// A question; true for Yes.
bool ask(Question question, WindowHandle owner, const char* caption, const char* text);

// A choice of the person's refused, with why. True when the person can
// choose again; false when nobody can, and the run has ended with `ending`.
bool refuse(RunEnding ending, WindowHandle owner, const char* caption, const char* text);

// The run ends here, as `ending` says, with its message.
void endRun(RunEnding ending, WindowHandle owner, const char* caption, const char* text);

// A step that failed without ending the run; with a caption the person is
// told (a box), otherwise only the log is. `what` says which step.
void reportProblem(WindowHandle owner, const char* caption, const char* what);

// The process's exit status: 0 with a person at the screen, the run's
// ending unattended.
int runExitStatus();
