// What a run leaves on the machine beyond the data folder, read back as the
// system reads it: the shell's special folders and links, registry values,
// running programs, and the records the product's stand-in programs keep.
#pragma once

#include <windows.h>
#include <stdint.h>

#include <ostream>
#include <string>
#include <vector>

namespace e2e {

// A special folder (CSIDL_PROGRAMS, CSIDL_STARTUP) as the shell reports it
// to this process; "" when it does not.
std::string specialFolder(int csidl);

// A link file read back through the shell's link object.
struct ShellLink {
    std::string target;
    std::string workingDirectory;
    std::string arguments;
    std::string description;
    std::string iconPath;
    int iconIndex = 0;
    // The 32-bit value at byte 0x3C of the file: Wine's GetShowCmd after a
    // load always says SW_SHOWNORMAL, whatever the file holds.
    uint32_t showCommand = 0;
    bool operator==(const ShellLink& other) const;
};
std::ostream& operator<<(std::ostream& out, const ShellLink& link);
// A link as setup makes it: to `target`, in `folder`, described by its
// name, with the target's first icon.
ShellLink linkTo(const std::string& target, const std::string& folder,
                 const std::string& name, const std::string& arguments, uint32_t showCommand);
// An empty record (every text "") when the file cannot be loaded.
ShellLink readShellLink(const std::string& path);

// One value of a key below HKEY_LOCAL_MACHINE as "REG_SZ <text>" or
// "REG_DWORD <number>"; "" when the key or the value is missing.
std::string machineValue(const std::string& key, const std::string& name);
bool machineKeyExists(const std::string& key);
// Creates the key when missing and sets the REG_SZ value.
bool writeMachineText(const std::string& key, const std::string& name, const std::string& text);

// The product's uninstall entry: Software\...\Uninstall\<product>.
std::string uninstallKey(const std::string& product);

// Process ids of the running programs whose file is named `name`, compared
// without case.
std::vector<DWORD> processesNamed(const std::string& name);

// The stand-in programs append each start to commands.log in their current
// directory: "<name>\tstart\t<command line, bytes below 0x20 as <XX>>" and,
// when done, "<name>\tend". The lines in `folder`'s log, without line
// ends; none when there is no log.
std::vector<std::string> commandRecords(const std::string& folder);
std::string startRecord(const std::string& program, const std::string& commandLine);
std::string endRecord(const std::string& program);

// Tarnwick as setup leaves it installed in `folder`: the links "Tarnwick"
// and "Uninstall" in the program group "Tarnwick", and the uninstall entry
// with its name, quoted command, icon and size.
void expectTarnwickRegistered(const std::string& folder);

}  // namespace e2e
