// Setup started from a folder that holds a hostile shfolder.dll, its
// current directory holding another: neither is loaded, and the folder
// proposed is still the real Program Files folder. The DLL search setup
// restricts itself to at the start still lets the shell's link object work.
#include "e2e/data_folder_support.h"
#include "e2e/machine_state.h"

#include <shlobj.h>

namespace e2e {
namespace data_folder {
namespace {

using DataFolderDllSearch = ScriptedRun;

// Left by the planted DLL whenever a process loads it.
const char LOADED_MARK[] = "C:\\planted-loaded.txt";
const char BOGUS_FOLDER[] = "C:\\Planted Program Files";

typedef HRESULT(WINAPI* GetFolderPathProc)(HWND, int, HANDLE, DWORD, LPSTR);

// Wine loads its own build of a system DLL even where a search finds
// another copy first; Windows loads the copy found. With native copies
// preferred, Wine loads the first copy found as Windows does, so that a
// search that reaches the planted DLL loads it.
bool preferNativeCopiesOf(const char* dll) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const char order[] = "native,builtin";
    bool set = RegSetValueExA(key, dll, 0, REG_SZ, reinterpret_cast<const BYTE*>(order),
                              sizeof order) == ERROR_SUCCESS;
    return RegCloseKey(key) == ERROR_SUCCESS && set;
}

// Runs a program to its end; its exit code, or -1 when it did not end.
long long runToEnd(const std::string& exe, const std::string& arguments,
                   const std::string& folder) {
    scripted_user::Program program;
    if (!scripted_user::startProgram(exe, arguments, folder, &program)) return -1;
    DWORD exitCode = 0;
    bool ended = scripted_user::waitForExit(program, RUN_TIMEOUT_MS, &exitCode);
    scripted_user::endProgram(&program);
    return ended ? static_cast<long long>(exitCode) : -1;
}

TEST_F(DataFolderDllSearch, PlantedShfolderIsNeverLoaded) {
    const std::string downloads = "C:\\twtest\\downloads";
    const std::string setupCopy = joinPath(downloads, "setup.exe");
    const std::string planted = buildPath(TW_PLANTED_SHFOLDER_DLL);
    ASSERT_TRUE(preferNativeCopiesOf("shfolder"));
    ASSERT_TRUE(makeEmptyFolder(downloads));
    ASSERT_TRUE(makeEmptyFolder(SETUP_START_FOLDER));
    ASSERT_TRUE(copyFile(setupExe(), setupCopy));
    ASSERT_TRUE(copyFile(planted, joinPath(downloads, "shfolder.dll")));
    ASSERT_TRUE(copyFile(planted, joinPath(SETUP_START_FOLDER, "shfolder.dll")));

    // The planted DLL gives itself away when it is loaded, and a program
    // that loads shfolder.dll by bare name from that folder gets it: a
    // setup that did the same would fail here.
    const std::string careless = joinPath(downloads, "careless_loader.exe");
    ASSERT_TRUE(copyFile(buildPath(TW_CARELESS_LOADER_EXE), careless));
    ASSERT_EQ(runToEnd(careless, "", SETUP_START_FOLDER), 0);
    ASSERT_TRUE(fileExists(LOADED_MARK)) << "a bare-name load did not pick up the planted DLL";
    HMODULE module = LoadLibraryA(planted.c_str());
    ASSERT_NE(module, nullptr);
    GetFolderPathProc getFolderPath = reinterpret_cast<GetFolderPathProc>(
        reinterpret_cast<void*>(GetProcAddress(module, "SHGetFolderPathA")));
    char reported[MAX_PATH] = "";
    EXPECT_TRUE(getFolderPath && SUCCEEDED(getFolderPath(nullptr, CSIDL_PROGRAM_FILES, nullptr,
                                                         0, reported)));
    EXPECT_STREQ(reported, BOGUS_FOLDER);
    FreeLibrary(module);
    ASSERT_TRUE(DeleteFileA(LOADED_MARK));
    ASSERT_TRUE(DeleteFileA(careless.c_str()));

    ASSERT_TRUE(user.start(setupCopy, SETUP_START_FOLDER));
    ASSERT_TRUE(acceptAgreement(user));
    HWND dialog = waitForFolderDialog(user);
    ASSERT_NE(dialog, nullptr) << "no dialog captioned " << FOLDER_CAPTION;
    const std::string programFiles = programFilesFolder();
    ASSERT_NE(programFiles, "");
    EXPECT_EQ(readProposal(user, dialog), (Proposal{programFiles, "Tarnwick"}));
    EXPECT_FALSE(fileExists(LOADED_MARK)) << "setup loaded the planted shfolder.dll";
    expectCancelEndsTheRun(user, dialog);
    EXPECT_FALSE(fileExists(LOADED_MARK)) << "setup loaded the planted shfolder.dll";
}

TEST_F(DataFolderDllSearch, ShellLinkIsSavedWithTheSearchRestrictedToTheSystemDirectory) {
    const std::string folder = "C:\\twtest\\links";
    const std::string target = joinPath(folder, "tarnwick.exe");
    const std::string link = joinPath(folder, "Tarnwick.lnk");
    ASSERT_TRUE(makeEmptyFolder(folder));
    ASSERT_TRUE(writeFile(target, bytesOf("stand-in")));

    // 0 is saved; any other code names the step that failed.
    EXPECT_EQ(runToEnd(buildPath(TW_RESTRICTED_LINK_EXE), "\"" + link + "\" \"" + target + "\"",
                       folder),
              0);
    ASSERT_TRUE(fileExists(link));
    const std::string leadsTo = readShellLink(link).target;
    EXPECT_EQ(lstrcmpiA(leadsTo.c_str(), target.c_str()), 0)
        << "the link leads to \"" << leadsTo << "\"";
}

}  // namespace
}  // namespace data_folder
}  // namespace e2e
