#include "e2e/machine_state.h"

#include <string.h>
#include <objbase.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <tuple>

#include "e2e/e2e_support.h"

namespace e2e {

namespace {

const size_t SHOW_COMMAND_OFFSET = 0x3C;

}  // namespace

std::string specialFolder(int csidl) {
    char path[MAX_PATH] = "";
    return SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, path)) ? path : "";
}

bool ShellLink::operator==(const ShellLink& other) const {
    return std::tie(target, workingDirectory, arguments, description, iconPath, iconIndex,
                    showCommand) == std::tie(other.target, other.workingDirectory,
                                             other.arguments, other.description,
                                             other.iconPath, other.iconIndex, other.showCommand);
}

std::ostream& operator<<(std::ostream& out, const ShellLink& link) {
    return out << "{target \"" << link.target << "\", in \"" << link.workingDirectory
               << "\", arguments \"" << link.arguments << "\", description \""
               << link.description << "\", icon \"" << link.iconPath << "\"," << link.iconIndex
               << ", show " << link.showCommand << "}";
}

ShellLink linkTo(const std::string& target, const std::string& folder, const std::string& name,
                 const std::string& arguments, uint32_t showCommand) {
    ShellLink link;
    link.target = target;
    link.workingDirectory = folder;
    link.arguments = arguments;
    link.description = name;
    link.iconPath = target;
    link.showCommand = showCommand;
    return link;
}

ShellLink readShellLink(const std::string& path) {
    ShellLink link;
    std::vector<uint8_t> bytes;
    if (!readFile(path, &bytes) || bytes.size() < SHOW_COMMAND_OFFSET + 4) return link;
    if (FAILED(CoInitialize(nullptr))) return link;
    IShellLinkA* shell = nullptr;
    IPersistFile* file = nullptr;
    wchar_t widePath[MAX_PATH];
    char text[4][MAX_PATH] = {};
    char icon[MAX_PATH] = "";
    int iconIndex = 0;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IShellLinkA, reinterpret_cast<void**>(&shell))) &&
        SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH) != 0 &&
        SUCCEEDED(file->Load(widePath, STGM_READ)) &&
        SUCCEEDED(shell->GetPath(text[0], MAX_PATH, nullptr, 0)) &&
        SUCCEEDED(shell->GetWorkingDirectory(text[1], MAX_PATH)) &&
        SUCCEEDED(shell->GetArguments(text[2], MAX_PATH)) &&
        SUCCEEDED(shell->GetDescription(text[3], MAX_PATH)) &&
        SUCCEEDED(shell->GetIconLocation(icon, MAX_PATH, &iconIndex))) {
        link = linkTo(text[0], text[1], text[3], text[2], 0);
        link.iconPath = icon;
        link.iconIndex = iconIndex;
        link.showCommand = bytes[SHOW_COMMAND_OFFSET] | bytes[SHOW_COMMAND_OFFSET + 1] << 8 |
                           bytes[SHOW_COMMAND_OFFSET + 2] << 16 |
                           static_cast<uint32_t>(bytes[SHOW_COMMAND_OFFSET + 3]) << 24;
    }
    if (file) file->Release();
    if (shell) shell->Release();
    CoUninitialize();
    return link;
}

std::string machineValue(const std::string& key, const std::string& name) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &opened) !=
        ERROR_SUCCESS) {
        return "";
    }
    BYTE data[2048];
    DWORD type = REG_NONE, size = sizeof data;
    std::string value;
    if (RegQueryValueExA(opened, name.c_str(), nullptr, &type, data, &size) == ERROR_SUCCESS) {
        if (type == REG_DWORD && size == sizeof(DWORD)) {
            DWORD number = 0;
            memcpy(&number, data, sizeof number);
            value = "REG_DWORD " + std::to_string(number);
        } else {
            // The stored bytes as they are, a terminating NUL dropped.
            if (size > 0 && data[size - 1] == '\0') --size;
            value = (type == REG_SZ ? "REG_SZ " : "type " + std::to_string(type) + " ") +
                    std::string(reinterpret_cast<const char*>(data), size);
        }
    }
    RegCloseKey(opened);
    return value;
}

bool machineKeyExists(const std::string& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &opened) !=
        ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(opened);
    return true;
}

bool writeMachineText(const std::string& key, const std::string& name, const std::string& text) {
    HKEY created = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &created, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    bool set = RegSetValueExA(created, name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
    return RegCloseKey(created) == ERROR_SUCCESS && set;
}

std::string uninstallKey(const std::string& product) {
    return "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product;
}

std::vector<DWORD> processesNamed(const std::string& name) {
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return ids;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        // Some systems give the whole path, some the file name only.
        std::string file = entry.szExeFile;
        size_t slash = file.find_last_of("\\/");
        if (slash != std::string::npos) file = file.substr(slash + 1);
        if (lstrcmpiA(file.c_str(), name.c_str()) == 0) ids.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return ids;
}

std::vector<std::string> commandRecords(const std::string& folder) {
    std::vector<std::string> lines;
    std::vector<uint8_t> bytes;
    if (!readFile(joinPath(folder, "commands.log"), &bytes)) return lines;
    const std::string log(bytes.begin(), bytes.end());
    for (size_t start = 0; start < log.size();) {
        size_t end = log.find("\r\n", start);
        if (end == std::string::npos) end = log.size();
        lines.push_back(log.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string startRecord(const std::string& program, const std::string& commandLine) {
    return program + "\tstart\t" + commandLine;
}

std::string endRecord(const std::string& program) { return program + "\tend"; }

void expectTarnwickRegistered(const std::string& folder) {
    const std::string group = joinPath(specialFolder(CSIDL_PROGRAMS), "Tarnwick");
    const std::string program = joinPath(folder, "tarnwick.exe");
    const std::string uninstaller = joinPath(folder, "kluninst.exe");
    EXPECT_EQ(readShellLink(joinPath(group, "Tarnwick.lnk")),
              linkTo(program, folder, "Tarnwick", "", SW_SHOWNORMAL));
    EXPECT_EQ(readShellLink(joinPath(group, "Uninstall.lnk")),
              linkTo(uninstaller, folder, "Uninstall", "", SW_SHOWNORMAL));
    EXPECT_EQ(folderEntries(group), (std::vector<std::string>{"Tarnwick.lnk", "Uninstall.lnk"}));

    // The size is the payload's unpacked bytes in kilobytes, rounded up.
    uint64_t bytes = 0;
    for (const PayloadFile& file : tarnwickFiles()) {
        std::vector<uint8_t> content;
        EXPECT_TRUE(readFile(file.source, &content)) << file.source;
        bytes += content.size();
    }
    const std::string key = uninstallKey("Tarnwick");
    EXPECT_EQ(machineValue(key, "DisplayName"), "REG_SZ Tarnwick");
    EXPECT_EQ(machineValue(key, "UninstallString"), "REG_SZ \"" + uninstaller + "\"");
    EXPECT_EQ(machineValue(key, "DisplayIcon"), "REG_SZ " + program);
    EXPECT_EQ(machineValue(key, "EstimatedSize"),
              "REG_DWORD " + std::to_string((bytes + 1023) / 1024));
    // What the system's list of programs shows beside them, from the
    // product description, and the command a deployment tool runs.
    EXPECT_EQ(machineValue(key, "DisplayVersion"), "REG_SZ 1.0.0.0");
    EXPECT_EQ(machineValue(key, "Publisher"), "REG_SZ Kestrel Loom Software");
    EXPECT_EQ(machineValue(key, "InstallLocation"), "REG_SZ " + folder);
    EXPECT_EQ(machineValue(key, "QuietUninstallString"), "REG_SZ \"" + uninstaller + "\" /S");
    EXPECT_EQ(machineValue(key, "NoModify"), "REG_DWORD 1");
    EXPECT_EQ(machineValue(key, "NoRepair"), "REG_DWORD 1");
}

}  // namespace e2e
