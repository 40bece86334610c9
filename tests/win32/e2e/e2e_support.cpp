#include "e2e/e2e_support.h"

#include <algorithm>

#include "scripted_user/deadline.h"

namespace e2e {

namespace {

// 100 ns intervals from 1601-01-01 to 1970-01-01.
const int64_t UNIX_EPOCH_AS_FILETIME = 116444736000000000LL;
const int64_t FILETIME_PER_SECOND = 10000000;

}  // namespace

const char* const FAILURE_CAPTION = "Tarnwick Installation Failed";
const char* const CANNOT_CREATE_TEXT =
    "The application was not able to create one of its component files. The disk is full, or a "
    "copy of the application is already running, or you do not have write access to the "
    "directory in which you are attempting to install the application. Check your available "
    "disk space, make sure the application is not running now, and run the setup program again.";
const char* const WRITE_FAILED_TEXT =
    "The application was unable to finish writing a file to disk. Your hard drive is probably "
    "full. Check your available disk space, make additional space available, and run the setup "
    "program again.";

std::string buildPath(const char* path) {
    std::string windows = path;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    return windows;
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '\\') return folder + name;
    return folder + "\\" + name;
}

namespace {

// The icon drawn on a plain background, as rows of RGB from the top.
std::vector<uint8_t> drawnIcon(HICON icon, int width, int height, COLORREF background) {
    std::vector<uint8_t> rgb;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    RECT all = {0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(background);
    FillRect(memory, &all, brush);
    DeleteObject(brush);
    DrawIcon(memory, 0, 0, icon);
    SelectObject(memory, previous);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<RGBQUAD> pixels(static_cast<size_t>(width) * height);
    if (GetDIBits(memory, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS) == height) {
        for (const RGBQUAD& pixel : pixels) {
            rgb.insert(rgb.end(), {pixel.rgbRed, pixel.rgbGreen, pixel.rgbBlue});
        }
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return rgb;
}

}  // namespace

std::string messageBoxIcon(HWND box) {
    // Another process's icon handle means nothing here (each process loads
    // the system icons for itself, and GetIconInfo refuses a foreign one),
    // so each system icon is drawn here and compared with the screen where
    // the box shows its icon, on the pixels the icon covers: those that come
    // out alike on black and on white. Question and information share most
    // of theirs, so every one must match.
    HWND control = GetDlgItem(box, scripted_user::MESSAGE_BOX_ICON_ID);
    DWORD_PTR handle = 0;
    if (!control || !IsWindowVisible(control)) return "";
    if (!scripted_user::ask(control, STM_GETICON, 0, 0, &handle)) return "unanswered";
    if (handle == 0) return "";
    struct Candidate {
        const char* name;
        LPCSTR icon;
        std::vector<uint8_t> onBlack, onWhite;
    };
    Candidate candidates[] = {{"error", IDI_HAND, {}, {}},
                              {"warning", IDI_EXCLAMATION, {}, {}},
                              {"information", IDI_ASTERISK, {}, {}},
                              {"question", IDI_QUESTION, {}, {}}};
    const int width = GetSystemMetrics(SM_CXICON), height = GetSystemMetrics(SM_CYICON);
    for (Candidate& candidate : candidates) {
        HICON icon = LoadIconA(nullptr, candidate.icon);
        candidate.onBlack = drawnIcon(icon, width, height, RGB(0, 0, 0));
        candidate.onWhite = drawnIcon(icon, width, height, RGB(255, 255, 255));
    }
    const auto shows = [&](const scripted_user::Capture& screen, const RECT& place,
                           const Candidate& candidate) {
        if (candidate.onBlack.empty() || candidate.onWhite.empty()) return false;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const size_t at = (static_cast<size_t>(y) * width + x) * 3;
                const uint8_t* drawn = &candidate.onBlack[at];
                if (!std::equal(drawn, drawn + 3, &candidate.onWhite[at])) continue;  // uncovered
                const int screenX = place.left + x, screenY = place.top + y;
                if (screenX < 0 || screenY < 0 || screenX >= screen.width ||
                    screenY >= screen.height ||
                    !std::equal(drawn, drawn + 3,
                                &screen.rgb[(static_cast<size_t>(screenY) * screen.width +
                                             screenX) * 3])) {
                    return false;
                }
            }
        }
        return true;
    };
    std::string found = "other";
    // The box may still be painting.
    scripted_user::pollUntil(WINDOW_TIMEOUT_MS, [&] {
        RECT place;
        scripted_user::Capture screen;
        if (!GetWindowRect(control, &place) || !scripted_user::captureScreen(&screen)) return false;
        for (const Candidate& candidate : candidates) {
            if (shows(screen, place, candidate)) {
                found = candidate.name;
                return true;
            }
        }
        return false;
    });
    return found;
}

std::vector<PayloadFile> tarnwickFiles() {
    const std::string files = buildPath(TW_TARNWICK_FILES_DIR);
    const std::string built = buildPath(TW_TARNWICK_BUILT_DIR);
    std::vector<PayloadFile> payload = {{"tarnwick.exe", joinPath(built, "tarnwick.exe"), true}};
    for (const char* name : {"help.htm", "tw.gif", "tw-target.gif", "tw-head-prologue.twr",
                             "tw-body-prologue.twr", "tw-body-epilogue.twr",
                             "tw-menu-insert.twr"}) {
        payload.push_back({name, joinPath(files, name), false});
    }
    payload.push_back({"kluninst.exe", buildPath(TW_TARNWICK_UNINSTALLER), true});
    return payload;
}

int64_t storedTime(const PayloadFile& file) {
    // TW_TARNWICK_SOURCE_TIME is -1 when the build handed the generator none.
    const int64_t sourceTime = TW_TARNWICK_SOURCE_TIME;
    if (sourceTime < 0) return modificationTime(file.source);
    return file.built ? sourceTime : std::min(modificationTime(file.source), sourceTime);
}

bool readFile(const std::string& path, std::vector<uint8_t>* bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bytes->clear();
    bool ok = true;
    for (;;) {
        uint8_t block[65536];
        DWORD got = 0;
        if (!ReadFile(file, block, sizeof block, &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0) break;
        bytes->insert(bytes->end(), block, block + got);
    }
    CloseHandle(file);
    return ok;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = bytes.empty() ||
              (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size());
    return CloseHandle(file) && ok;
}

std::vector<uint8_t> bytesOf(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

bool fileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool isDirectory(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int64_t modificationTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    int64_t ticks = (static_cast<int64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                    data.ftLastWriteTime.dwLowDateTime;
    return (ticks - UNIX_EPOCH_AS_FILETIME) / FILETIME_PER_SECOND;
}

bool setModificationTime(const std::string& path, int64_t seconds) {
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    int64_t ticks = seconds * FILETIME_PER_SECOND + UNIX_EPOCH_AS_FILETIME;
    FILETIME time = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    bool ok = SetFileTime(file, nullptr, &time, &time) != 0;
    return CloseHandle(file) && ok;
}

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(joinPath(folder, "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

bool makeEmptyFolder(const std::string& folder) {
    for (size_t i = 0; i <= folder.size(); ++i) {
        if (i < folder.size() && folder[i] != '\\') continue;
        std::string prefix = folder.substr(0, i);
        // A drive designator ("C:") is no folder to create.
        if (prefix.size() <= 2) continue;
        if (!isDirectory(prefix) && !CreateDirectoryA(prefix.c_str(), nullptr)) return false;
    }
    return folderEntries(folder).empty();
}

std::vector<std::string> concat(std::vector<std::string> first,
                                const std::vector<std::string>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

bool setWindowsVersionFor(const std::string& program, const std::string& version) {
    HKEY key = nullptr;
    std::string path = "Software\\Wine\\AppDefaults\\" + program;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    bool set = RegSetValueExA(key, "Version", 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(version.c_str()),
                              static_cast<DWORD>(version.size() + 1)) == ERROR_SUCCESS;
    return RegCloseKey(key) == ERROR_SUCCESS && set;
}

HeldFile::~HeldFile() {
    release();
    scripted_user::endProgram(&holder_);
}

bool HeldFile::hold(const std::string& path) {
    // Names of this process's own, so that the holders of tests running side
    // by side in other prefixes could not meet even in one session.
    const std::string id = std::to_string(GetCurrentProcessId());
    const std::string releaseName = "TarnwickTestRelease" + id;
    const std::string heldName = "TarnwickTestHeld" + id;
    releaseEvent_ = CreateEventA(nullptr, TRUE, FALSE, releaseName.c_str());
    HANDLE held = CreateEventA(nullptr, TRUE, FALSE, heldName.c_str());
    if (!releaseEvent_ || !held) {
        if (held) CloseHandle(held);
        return false;
    }
    // The holder says when the file is open; it ending first is a failure.
    bool holding = scripted_user::startProgram(buildPath(TW_HOLDFILE_EXE),
                                               "\"" + path + "\" " + releaseName + " " + heldName,
                                               "", &holder_);
    if (holding) {
        HANDLE waits[] = {held, holder_.process};
        holding = WaitForMultipleObjects(2, waits, FALSE, WINDOW_TIMEOUT_MS) == WAIT_OBJECT_0;
    }
    CloseHandle(held);
    return holding;
}

bool HeldFile::release() {
    if (!releaseEvent_) return true;
    SetEvent(releaseEvent_);
    CloseHandle(releaseEvent_);
    releaseEvent_ = nullptr;
    DWORD exitCode = 1;
    return scripted_user::waitForExit(holder_, RUN_TIMEOUT_MS, &exitCode) && exitCode == 0;
}

void ScriptedRun::TearDown() {
    if (scripted_user::testOutputFolder().empty()) return;
    if (HasFailure()) user.screenshot("at-failure");
    EXPECT_TRUE(user.saveTranscript()) << "cannot save the transcript";
}

}  // namespace e2e
