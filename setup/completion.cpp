#include "setup/completion.h"

#include "common/bounded_text.h"
#include "common/path_rules.h"
#include "payload/payload_table.h"
#include "setup/setup_platform.h"
#include "state/installer_config.h"
#include "state/setup_state.h"
#include "state/run_log.h"
#include "system/conversation.h"
#include "system/shortcut.h"
#include "system/system_platform.h"

namespace {

const char UNINSTALLER_NAME[] = "kluninst.exe";
const char HELPER_INSTALLER_NAME[] = "quellsv.exe";

void setText(system_platform::RegistryKey* key, const char* name, const char* text) {
    logStep("Registry value %s = %s", name, text);
    system_platform::setTextValue(key, name, text);
}

void setNumber(system_platform::RegistryKey* key, const char* name, uint32_t number) {
    logStep("Registry value %s = %lu", name, static_cast<unsigned long>(number));
    system_platform::setNumberValue(key, name, number);
}

// A text value when the product gives one; otherwise one that an earlier
// setup of the product wrote goes, so the entry never shows a stale one.
void setOrDeleteText(system_platform::RegistryKey* key, const char* name, const char* text) {
    if (text[0]) {
        setText(key, name, text);
    } else {
        logStep("Registry value %s deleted", name);
        system_platform::deleteValue(key, name);
    }
}

// One link; one that cannot be made leaves the run installed with a
// problem, and says so only in the log.
void makeLink(const char* group, const char* name, const char* target, const char* arguments) {
    if (createShortcut(group, name, target, setupState.dataFolder, arguments) == 0) {
        logStep("Link \"%s\" in %s to %s", name, group ? group : "the Startup group", target);
        return;
    }
    char what[TEXT_BUFFER_SIZE];
    formatText(what, sizeof what, "the link \"%s\" could not be made", name);
    reportProblem(nullptr, nullptr, what);
}

// The uninstall entry. Beyond the name and the command, the icon, size,
// version, publisher and folder let the system's list of programs show the
// entry as users expect, the quiet command lets a deployment tool remove
// the product without a question, and the two flags say that the
// uninstaller neither modifies nor repairs; no other value of the key is
// touched. The commands are quoted: unquoted, the blank of
// "C:\Program Files\..." lets the system try "C:\Program.exe" first.
void registerUninstaller(const InstallerConfig& config) {
    char command[TEXT_BUFFER_SIZE], quietCommand[TEXT_BUFFER_SIZE];
    if (!formatText(setupState.scratchText, sizeof setupState.scratchText,
                    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%s",
                    config.productName) ||
        !setupState.uninstallerPath[0] ||
        !quotePath(command, sizeof command, setupState.uninstallerPath)) {
        return;
    }
    // Three characters longer: where only the command fits, the entry goes
    // without its quiet form.
    if (!formatText(quietCommand, sizeof quietCommand, "%s /S", command)) quietCommand[0] = '\0';
    system_platform::RegistryKey* key = system_platform::createMachineKey(setupState.scratchText);
    if (!key) {
        system_platform::debugOutput("Couldn't open the registry key.\r\n");
        reportProblem(nullptr, nullptr, "the uninstall entry could not be made");
        return;
    }
    logStep("Uninstall entry HKEY_LOCAL_MACHINE\\%s", setupState.scratchText);
    setText(key, "DisplayName", config.productName);
    setText(key, "UninstallString", command);
    if (setupState.programPath[0]) {
        setText(key, "DisplayIcon", setupState.programPath);
    }
    setNumber(key, "EstimatedSize", payloadInstalledKilobytes);
    setOrDeleteText(key, "QuietUninstallString", quietCommand);
    setOrDeleteText(key, "DisplayVersion", config.version);
    setOrDeleteText(key, "Publisher", config.publisher);
    setText(key, "InstallLocation", setupState.dataFolder);
    setNumber(key, "NoModify", 1);
    setNumber(key, "NoRepair", 1);
    system_platform::closeKey(key);
}

// Starts the product with `arguments` in the data folder, as the command
// line `commandLine` starts it. Setup runs elevated on Windows Vista and
// later: there the product would run with an administrator's full rights on
// the user's desktop, so the desktop's shell starts it, as the person
// signed in. Where that is not so, or the shell cannot do it, the start is
// the plain one.
void startProduct(const char* program, const char* arguments, const char* commandLine) {
    if (system_platform::runsElevatedOnVistaOrLater() &&
        system_platform::startThroughDesktopShell(program, arguments, setupState.dataFolder)) {
        system_platform::debugOutput("Started through the desktop's shell.\r\n");
        logStep("Started %s through the desktop's shell.", program);
        return;
    }
    logStep("Started %s", commandLine);
    system_platform::startProgram(commandLine);
}

// The startup shortcut and, right after it, the product in its startup
// mode; the run does not wait for it.
void addToStartup(const InstallerConfig& config) {
    switch (startupChoice(config, setupState.platformId)) {
    case STARTUP_NONE:
        return;
    case STARTUP_ASK:
        if (!ask(QUESTION_STARTUP_LINK, setupState.backdropWindow, "Add To Startup Group",
                 config.startupPrompt)) {
            return;
        }
        break;
    case STARTUP_CREATE:
        break;
    }
    if (!setupState.startupProgramPath[0]) return;
    const char* name =
        config.startupShortcutName[0] ? config.startupShortcutName : config.productName;
    makeLink(nullptr, name, setupState.startupProgramPath,
             config.startupArguments[0] ? config.startupArguments : nullptr);
    char commandLine[TEXT_BUFFER_SIZE], arguments[TEXT_BUFFER_SIZE];
    if (startupCommandLine(commandLine, sizeof commandLine, setupState.startupProgramPath,
                           config.startupArguments) &&
        formatText(arguments, sizeof arguments, "%s\n", config.startupArguments)) {
        startProduct(setupState.startupProgramPath, arguments, commandLine);
    }
}

// The helper service installer beside the product; whatever it does, the
// run goes on.
void runHelperInstaller() {
    char path[TEXT_BUFFER_SIZE], quoted[TEXT_BUFFER_SIZE];
    if (joinPath(path, sizeof path, setupState.dataFolder, HELPER_INSTALLER_NAME) &&
        quotePath(quoted, sizeof quoted, path)) {
        const int code = system_platform::runAndWait(path, quoted, "-install", "-sid=0");
        logStep("The helper installer %s ended with code %d.", path, code);
        if (code != 0) reportProblem(nullptr, nullptr, "the helper installer did not succeed");
    }
}

// The product's NT service, installed by its own program. A path that does
// not fit is a failed installation like any other.
void installService(const InstallerConfig& config) {
    tell(setupState.backdropWindow, "Installing Service",
         "There will be a brief pause while the new NT service is started up. This pause will "
         "begin when you click OK.",
         false);
    if (registerService(config, setupState.dataFolder)) {
        logStep("The service %s is installed.", config.serviceName);
        return;
    }
    reportProblem(setupState.backdropWindow, "Service Installation Failed",
                  "The installation of the service did not succeed. The software can still be "
                  "run manually.");
}

// Always asked; the backdrop goes whatever the answer, before the product
// starts.
void finalQuestion(const InstallerConfig& config) {
    if (!formatText(setupState.scratchText, sizeof setupState.scratchText,
                    "%s has been successfully installed on your system. Would you like to start "
                    "%s now?",
                    config.productName, config.productName)) {
        copyText(setupState.scratchText, sizeof setupState.scratchText,
                 "The installation was successful. Would you like to start the program now?");
    }
    const bool start =
        ask(QUESTION_START_PRODUCT, setupState.backdropWindow, "Installation Successful",
            setupState.scratchText);
    setup_platform::destroyBackdrop();
    char commandLine[TEXT_BUFFER_SIZE];
    if (start && setupState.programPath[0] &&
        quotePath(commandLine, sizeof commandLine, setupState.programPath)) {
        startProduct(setupState.programPath, "", commandLine);
    }
}

}  // namespace

bool registerService(const InstallerConfig& config, const char* folder) {
    const bool composed = joinPath(setupState.servicePath, sizeof setupState.servicePath, folder,
                                   config.serviceExecutable) &&
                          quotePath(setupState.quotedServicePath,
                                    sizeof setupState.quotedServicePath, setupState.servicePath);
    return composed && system_platform::runAndWait(setupState.servicePath,
                                                   setupState.quotedServicePath,
                                                   "-install-service", nullptr) == 0;
}

StartupChoice startupChoice(const InstallerConfig& config, uint32_t platformId) {
    if (!config.offerStartupShortcut) return STARTUP_NONE;
    if (!config.serviceExecutable[0]) return STARTUP_ASK;
    return platformId == PLATFORM_NT ? STARTUP_NONE : STARTUP_CREATE;
}

bool quotePath(char* out, size_t size, const char* path) {
    return formatText(out, size, "\"%s\"", path);
}

bool startupCommandLine(char* out, size_t size, const char* path, const char* arguments) {
    return formatText(out, size, "\"%s\" %s\n", path, arguments);
}

void completeInstallation() { completeInstallationOf(installerConfig); }

// The links go where the person who asked for the installation sees them.
static void chooseLinkScope() {
    char process[TEXT_BUFFER_SIZE] = "", desktop[TEXT_BUFFER_SIZE] = "";
    if (!system_platform::processAccount(process, sizeof process)) process[0] = '\0';
    if (!system_platform::desktopAccount(desktop, sizeof desktop)) desktop[0] = '\0';
    const LinkScope scope = linkScopeFor(setupState.platformId, process, desktop);
    logStep("Links go into the %s Start menu.", scope == COMMON_LINKS ? "common" : "user's own");
    setLinkScope(scope);
}

void completeInstallationOf(const InstallerConfig& config) {
    chooseLinkScope();
    // A path that does not fit stays empty, and each step that needs it is
    // skipped as a failure of that step.
    joinPath(setupState.programPath, sizeof setupState.programPath, setupState.dataFolder,
             config.mainExecutable);
    copyText(setupState.startupProgramPath, sizeof setupState.startupProgramPath,
             setupState.programPath);
    joinPath(setupState.uninstallerPath, sizeof setupState.uninstallerPath, setupState.dataFolder,
             UNINSTALLER_NAME);

    if (setupState.programPath[0]) {
        makeLink(config.groupName, config.productName, setupState.programPath, nullptr);
    }
    if (setupState.uninstallerPath[0]) {
        makeLink(config.groupName, "Uninstall", setupState.uninstallerPath, nullptr);
    }
    registerUninstaller(config);
    addToStartup(config);
    // Once more, now with the folder the files went to.
    if (!system_platform::writeSetting(config.settingsFileName, "Options", "dataDir",
                                       setupState.dataFolder)) {
        reportProblem(nullptr, nullptr, "the settings entry dataDir could not be written");
    }
    if (config.runHelperInstaller) runHelperInstaller();
    if (config.serviceExecutable[0] && setupState.platformId == PLATFORM_NT) {
        installService(config);
    }
    finalQuestion(config);
}
