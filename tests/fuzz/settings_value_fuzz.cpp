// The data folder choice over the in-memory machine, with arbitrary text
// read back as the recorded "dataDir" and as the home variables and the
// shell's Program Files folder. The scripted user presses OK on what is
// proposed, then perhaps on two edits of the input's, then Cancel.
//
// Input: a byte of switches, a byte of Yes/No answers, then '\n'-separated
// fields: the recorded folder, HOMEDRIVE, HOMEPATH, the Program Files
// folder, and the second OK's parent and application edits.
#include <set>
#include <string>
#include <vector>

#include "common/path_rules.h"
#include "fuzz_support.h"
#include "path_text.h"
#include "payload/payload_names.h"
#include "state/setup_state.h"
#include "support/fake_machine.h"
#include "support/fake_machine_state.h"
#include "ui/folder_choice.h"
#include "ui/folder_rules.h"

namespace {

enum Switch {
    RECORDED = 1,             // the settings file has a "dataDir"
    NO_SHELL_FOLDER = 2,      // the shell reports no Program Files folder
    HOME_DRIVE = 4,           // HOMEDRIVE is set
    HOME_PATH = 8,            // HOMEPATH is set
    OK_PROPOSAL = 16,         // the first OK takes what is proposed
    OK_EDITS = 32,            // then OK with the input's edits
    RECORDED_EXISTS = 64,     // the recorded folder is an existing directory
    PROGRAM_FILES_GIVEN = 128  // the shell's folder is the input's, not C:\Program Files
};

const char WINDOWS[] = "C:\\WINDOWS";

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The dialog's edits for a folder, as the platform's dialog splits it.
std::string dialogLine(const std::string& folder) {
    char parent[PLATFORM_PATH_SIZE], application[PLATFORM_PATH_SIZE];
    splitDataFolder(folder.c_str(), parent, sizeof parent, application, sizeof application);
    return std::string("dialog[backdrop] ") + parent + " | " + application;
}

bool isRoot(const std::string& path) {
    return path == "\\" || (path.size() == 3 && path[1] == ':' && path[2] == '\\');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InputReader input(data, size);
    const uint8_t switches = input.byte();
    const uint8_t answers = input.byte();
    const std::string recorded = input.field();
    const std::string homeDrive = input.field();
    const std::string homePath = input.field();
    const std::string programFiles = input.field();
    const std::string parent = input.textField();
    const std::string application = input.textField();

    fake_machine::reset();
    setupState = SetupState();
    if (switches & RECORDED) fake_machine::setSetting("dataDir", recorded);
    if (switches & NO_SHELL_FOLDER) fake_machine::setProgramFilesFolder("");
    else if (switches & PROGRAM_FILES_GIVEN) fake_machine::setProgramFilesFolder(programFiles);
    if (switches & HOME_DRIVE) fake_machine::setEnvironment("HOMEDRIVE", homeDrive);
    if (switches & HOME_PATH) fake_machine::setEnvironment("HOMEPATH", homePath);

    // What the settings file gives back: a C string cut to the buffer.
    const std::string readBack = std::string(recorded.c_str()).substr(0, TEXT_BUFFER_SIZE - 1);
    const std::string proposed = normalized(readBack);
    if ((switches & RECORDED_EXISTS) && (switches & RECORDED) && !proposed.empty())
        fake_machine::addDirectory(proposed);

    std::vector<fake_machine::Step> steps;
    if (switches & OK_PROPOSAL) {
        char parentEdit[PLATFORM_PATH_SIZE], applicationEdit[PLATFORM_PATH_SIZE];
        splitDataFolder(proposed.c_str(), parentEdit, sizeof parentEdit, applicationEdit,
                        sizeof applicationEdit);
        steps.push_back(fake_machine::ok(parentEdit, applicationEdit));
    }
    if (switches & OK_EDITS) steps.push_back(fake_machine::ok(parent, application));
    steps.push_back(fake_machine::cancel());
    fake_machine::scriptFolderDialog(steps);
    std::vector<bool> yes;
    for (int i = 0; i < 8; ++i) yes.push_back(answers >> i & 1);
    fake_machine::scriptAnswers(yes);
    const std::set<std::string> directoriesBefore = fake_machine::machine.directories;

    const int chosen = chooseDataFolder(nullptr, fake_machine::BACKDROP);

    const std::vector<std::string>& log = fake_machine::log();
    const std::string folder = setupState.dataFolder;
    REQUIRE(strnlen(setupState.dataFolder, sizeof setupState.dataFolder) <
            sizeof setupState.dataFolder);
    REQUIRE(chosen == 0 || chosen == 1);
    REQUIRE(!log.empty());

    // A recorded folder that is a full local path is proposed as read
    // back, normalised, split into the dialog's edits; the Windows
    // directory is warned of first. Any other counts as no record.
    if ((switches & RECORDED) && pathForm(readBack.c_str()) == FULL_LOCAL_PATH) {
        size_t first = 0;
        while (first < log.size() && !startsWith(log[first], "dialog[")) ++first;
        REQUIRE(first < log.size());
        REQUIRE(log[first] == dialogLine(proposed));
        const bool windows = isWindowsDirectory(proposed.c_str(), WINDOWS);
        REQUIRE(windows == (first > 0 && log[first - 1] ==
                                              "warning[backdrop] Can't Install to Windows Directory"));
    }

    // The settings entry is written once, last, only for the folder chosen.
    size_t settingWrites = 0;
    for (const std::string& line : log) settingWrites += startsWith(line, "setting ");
    // Folders made, by the names Windows gives them ("C:\\x" is C:\x). A
    // name the machine already had is passed over before any normalising:
    // a deep folder brings hundreds of long names, which would otherwise be
    // copied and normalised on every run.
    std::set<std::string> before, made;
    for (const std::string& directory : fake_machine::machine.directories) {
        if (directoriesBefore.count(directory)) continue;
        if (before.empty())
            for (const std::string& known : directoriesBefore) before.insert(normalized(known));
        std::string name = normalized(directory);
        if (!before.count(name)) made.insert(std::move(name));
    }

    if (chosen == 1) {
        REQUIRE(settingWrites == 1);
        REQUIRE(log.back() == "setting tarnwick.ini Options dataDir=" + folder);
        REQUIRE(log.size() >= 2 && log[log.size() - 2] == "chdir " + folder);
        REQUIRE(fake_machine::setting("dataDir") == folder);
        // The folder as the file system names it: "\" only, single, and
        // trailing only on a root; not the Windows directory; every
        // payload path below it within the platform's limit.
        REQUIRE(pathForm(folder.c_str()) == FULL_LOCAL_PATH);
        REQUIRE(normalized(folder) == folder);
        REQUIRE(folder.find('/') == std::string::npos);
        REQUIRE(folder.empty() || folder.back() != '\\' || isRoot(folder));
        REQUIRE(!isWindowsDirectory(folder.c_str(), WINDOWS));
        REQUIRE(payloadPathsFit(folder.c_str(), longestDataFolderName(payloadTable)));
    } else {
        REQUIRE(settingWrites == 0);
        REQUIRE(fake_machine::setting("dataDir") == ((switches & RECORDED) ? recorded : ""));
        REQUIRE(log.back() == "warning[backdrop] Shutting Down");
    }
    // At most the chosen folder itself was made.
    REQUIRE(made.size() <= (chosen == 1 ? 1u : 0u));
    return 0;
}
