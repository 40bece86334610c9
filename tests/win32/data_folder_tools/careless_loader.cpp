// Loads shfolder.dll by its bare name, as a setup that trusted the DLL
// search would, and asks it for the Program Files folder. Run beside a
// planted copy, it shows that the planted DLL is one this system would
// load from there: the planting test's proof that it can fail.
//
// Exits with 0 when the library loaded and answered, 1 otherwise.
#include <windows.h>

typedef HRESULT(WINAPI* GetFolderPathProc)(HWND, int, HANDLE, DWORD, LPSTR);

int main() {
    HMODULE module = LoadLibraryA("shfolder.dll");
    if (!module) return 1;
    GetFolderPathProc getFolderPath = reinterpret_cast<GetFolderPathProc>(
        reinterpret_cast<void*>(GetProcAddress(module, "SHGetFolderPathA")));
    char path[MAX_PATH] = "";
    const int programFiles = 38;
    bool answered = getFolderPath && getFolderPath(nullptr, programFiles, nullptr, 0, path) >= 0;
    FreeLibrary(module);
    return answered ? 0 : 1;
}
