// A shfolder.dll that must never be loaded by setup: planted beside a copy
// of setup.exe and in its current directory, as a hostile download folder
// would hold it. Loading it leaves a mark on the disk, and the folder it
// reports is one no real system has, so both what the setup loads and what
// it proposes give a planted copy away.
#include <windows.h>

namespace {

// Created when the DLL is loaded into any process.
const char LOADED_MARK[] = "C:\\planted-loaded.txt";
// What the planted SHGetFolderPathA reports for every folder.
const char BOGUS_FOLDER[] = "C:\\Planted Program Files";

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        HANDLE mark = CreateFileA(LOADED_MARK, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (mark != INVALID_HANDLE_VALUE) CloseHandle(mark);
    }
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI SHGetFolderPathA(HWND, int, HANDLE, DWORD,
                                                                  LPSTR path) {
    lstrcpynA(path, BOGUS_FOLDER, MAX_PATH);
    return S_OK;
}
