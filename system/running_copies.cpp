#include "system/running_copies.h"

#include <string.h>

#include "common/bounded_text.h"
#include "state/installer_config.h"
#include "state/setup_state.h"
#include "state/run_log.h"
#include "system/conversation.h"
#include "system/timed_wait.h"
#include "system/window_platform.h"

WindowRequest requestFor(const char* title, const char* productName, const char* serviceTitle) {
    // An empty name would be the prefix of every title.
    const size_t length = strlen(productName);
    if (length > 0 && strncmp(title, productName, length) == 0) return CLOSE_WINDOW;
    if (serviceTitle[0] && strcmp(title, serviceTitle) == 0) return QUIT_WINDOW;
    return LEAVE_WINDOW;
}

bool closeMatchingWindow(WindowHandle window, intptr_t parameter) {
    const InstallerConfig& config = *reinterpret_cast<const InstallerConfig*>(parameter);
    char serviceTitle[TEXT_BUFFER_SIZE] = "";
    // A service title that does not fit matches no window.
    if (config.serviceName[0]) {
        formatText(serviceTitle, sizeof serviceTitle, "%s Win9x Service", config.serviceName);
    }
    char title[TEXT_BUFFER_SIZE];
    window_platform::windowTitle(window, title, sizeof title);
    switch (requestFor(title, config.productName, serviceTitle)) {
    case CLOSE_WINDOW:
        logStep("Window \"%s\" asked to close.", title);
        window_platform::postClose(window);
        break;
    case QUIT_WINDOW:
        logStep("Window \"%s\" asked to quit.", title);
        window_platform::postQuit(window);
        break;
    case LEAVE_WINDOW:
        break;
    }
    return true;
}

void closeRunningCopies(ModuleHandle, WindowHandle owner) {
    char text[TEXT_BUFFER_SIZE];
    if (!formatText(text, sizeof text,
                    "Any copies of %s currently running must now be shut down. This may take a "
                    "few seconds.",
                    installerConfig.productName)) {
        copyText(text, sizeof text,
                 "Any copies of the program currently running must now be shut down. This may "
                 "take a few seconds.");
    }
    tell(owner, "Closing Running Copies", text);
    showBusyAnimation(2000);
    askRunningCopiesToClose(installerConfig);
    showBusyAnimation(8000);
}

void askRunningCopiesToClose(const InstallerConfig& config) {
    window_platform::visitTopLevelWindows(closeMatchingWindow,
                                          reinterpret_cast<intptr_t>(&config));
}
