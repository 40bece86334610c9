// The in-memory machine's state and helpers, shared by the files that
// stand in for the platform seams. Tests use fake_machine.h only.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "payload/upgrade.h"
#include "support/fake_machine.h"
#include "system/system_platform.h"

namespace fake_machine {

struct Machine {
    std::set<std::string> directories;
    std::set<std::string> files;
    std::set<std::string> mkdirFails;
    std::set<std::string> chdirFails;
    std::string programFiles;
    std::map<std::string, std::string> environment;
    std::map<std::string, std::string> settings;
    std::map<char, uint32_t> freeClusters;
    std::set<char> freeSpaceFails;
    std::string currentDirectory;  // always with its drive: "C:\\..."
    bool backdropFails = false;
    bool payloadDamaged = false;
    uint32_t platformId = 2;
    std::vector<Step> folderSteps;
    size_t nextStep = 0;
    std::vector<bool> answers;
    size_t nextAnswer = 0;
    int agreement = 1;
    ExtractResult extraction = EXTRACT_DONE;
    UpgradeOutcome extractionOutcome = {};
    std::map<std::string, UpgradeOutcome> journals;  // by key of the folder
    // The system room's machine (fake_system.cpp).
    std::map<int, std::string> specialFolders;  // "" when the shell has none
    std::string processAccount, desktopAccount; // "" when it cannot be told
    std::map<std::string, system_platform::FolderSecurity> folderSecurity;  // by key; none: unreadable
    bool takeOverFails = false;
    bool elevatedOnVista = false;    // setup's token, on Vista or later
    bool desktopShellStarts = true;  // the desktop's shell starts what it is asked to
    std::set<std::string> linkStepFails;        // "create", "query", "save 1", "save 2"
    std::map<std::string, Link> links;          // by key of the link file's path
    int comInitialised = 0;                     // CoInitialize less CoUninitialize
    int liveObjects = 0;                        // link objects and files not released
    bool registryFails = false;
    std::map<std::string, std::map<std::string, std::string>> registry;  // key -> values
    std::map<std::string, int> exitCodes;       // by program path; missing: 0
    std::vector<std::string> windows;          // titles; a window's handle is index + 1
    OldService service;
    size_t serviceQueries = 0;
    std::string printed;
    std::string commandLine = "setup.exe";
    bool logFileFails = false;
    bool settingsFail = false;
    std::map<std::string, std::vector<std::string>> fileLines;  // by key: lines appended
    std::vector<std::string> log;
    std::vector<std::string> texts;
};

extern Machine machine;

char currentDriveLetter();
// The file system's key for a path: upper case, "\" only, relative paths
// and drive-relative ones ("\x") resolved against the current directory.
std::string key(std::string path);
bool isRoot(const std::string& k);
// A directory's name without trailing separators, a root's with its one.
std::string trimmed(std::string k);
std::string parentOf(const std::string& k);
std::string ownerName(WindowHandle owner);
void note(const std::string& line);
// Control characters as the log shows them: "\n" for a line feed.
std::string visible(const std::string& text);

}  // namespace fake_machine
