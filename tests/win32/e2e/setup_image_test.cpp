// setup.exe travels alone: it may import nothing but DLLs that every
// Windows has, and the shipped build is a 32-bit GUI program. Every shipped
// program starts on the oldest systems of both families: it imports only
// functions that Windows 95 (with its C runtime) and NT 4 implement, each
// one listed in allowed_imports.txt as a deliberate decision.
#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <sstream>

#include "e2e/e2e_support.h"
#include "e2e/pe_image.h"

namespace e2e {
namespace {

using SetupImage = ScriptedRun;

// The seven libraries a program of ours imports: each a KnownDLL on every
// NT system since 2000, so none is ever loaded from the program's folder.
// Any other is loaded at run time by its full path in the system folder.
const char* const SYSTEM_DLLS[] = {
    "kernel32.dll", "user32.dll", "gdi32.dll",  "advapi32.dll",
    "shell32.dll",  "ole32.dll",  "msvcrt.dll",
};

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool isSystemDll(const std::string& name) {
    return std::find(std::begin(SYSTEM_DLLS), std::end(SYSTEM_DLLS), lowerCase(name)) !=
           std::end(SYSTEM_DLLS);
}

bool readImage(const std::string& path, PeImage* image, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!readFile(path, &bytes)) {
        *error = "cannot be read";
        return false;
    }
    return readPeImage(bytes, image, error);
}

// Reads the image and checks its imports; the DLL names go to the
// transcript so that a person can see what the program needs.
void expectOnlySystemImports(scripted_user::Transcript& transcript, const std::string& path,
                             PeImage* image) {
    std::string error;
    ASSERT_TRUE(readImage(path, image, &error)) << path << ": " << error;
    transcript.add("image", path);
    EXPECT_FALSE(image->importedDlls.empty()) << path << " imports nothing, which cannot be";
    for (const std::string& dll : image->importedDlls) {
        transcript.add("imports", dll);
        EXPECT_TRUE(isSystemDll(dll)) << path << " imports " << dll;
    }
}

// The oldest systems that every import must run on.
const char* const OLDEST_95_FAMILY[] = {"95"};
const char* const OLDEST_NT_FAMILY[] = {"NT3.1", "NT3.5", "NT3.51", "NT4"};

template <size_t N>
bool isOneOf(const std::string& value, const char* const (&allowed)[N]) {
    return std::find(std::begin(allowed), std::end(allowed), value) != std::end(allowed);
}

struct Availability {
    std::string windows95Family;
    std::string ntFamily;
};

// "dll function 95-family NT-family [# note]" per line; '#' starts a comment.
std::map<std::string, Availability> readAllowedImports(const std::string& path) {
    std::map<std::string, Availability> allowed;
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(readFile(path, &bytes)) << path;
    std::istringstream lines(std::string(bytes.begin(), bytes.end()));
    for (std::string line; std::getline(lines, line);) {
        line = line.substr(0, line.find('#'));
        std::istringstream columns(line);
        std::string dll, function;
        Availability availability;
        if (!(columns >> dll)) continue;
        EXPECT_TRUE(columns >> function >> availability.windows95Family >> availability.ntFamily)
            << "malformed line in the list: " << line;
        allowed[lowerCase(dll) + "!" + function] = availability;
    }
    return allowed;
}

TEST_F(SetupImage, ThisBuildImportsOnlySystemDlls) {
    PeImage image;
    expectOnlySystemImports(user.transcript(), buildPath(TW_SETUP_EXE), &image);
    if (HasFatalFailure()) return;
    EXPECT_EQ(image.subsystem, SUBSYSTEM_WINDOWS_GUI);
#if defined(_WIN64)
    EXPECT_EQ(image.machine, MACHINE_AMD64);
    EXPECT_EQ(image.optionalMagic, OPTIONAL_MAGIC_PE32_PLUS);
#else
    EXPECT_EQ(image.machine, MACHINE_I386);
    EXPECT_EQ(image.optionalMagic, OPTIONAL_MAGIC_PE32);
#endif
}

TEST_F(SetupImage, ShippedProgramsStartOnTheOldestSystemsOfBothFamilies) {
    const std::map<std::string, Availability> allowed =
        readAllowedImports(buildPath(TW_ALLOWED_IMPORTS));
    ASSERT_FALSE(allowed.empty());
    for (const auto& [key, availability] : allowed) {
        EXPECT_TRUE(isOneOf(availability.windows95Family, OLDEST_95_FAMILY) &&
                    isOneOf(availability.ntFamily, OLDEST_NT_FAMILY))
            << key << " needs " << availability.windows95Family << " / " << availability.ntFamily
            << ": look it up at run time instead of importing it";
    }

    // setup.exe, the engine's uninstaller and every program of the
    // product's built folder, as the payload takes them.
    const std::string programs = buildPath(TW_SHIPPED_PROGRAMS_DIR);
    std::vector<std::string> images = {buildPath(TW_SHIPPED_SETUP_EXE),
                                       buildPath(TW_SHIPPED_UNINSTALLER)};
    for (const std::string& name : folderEntries(programs)) {
        const std::string lower = lowerCase(name);
        if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".exe") == 0) {
            images.push_back(joinPath(programs, name));
        }
    }
    ASSERT_GE(images.size(), 3u) << "the 32-bit build is not there: build the win32 preset";

    for (const std::string& path : images) {
        SCOPED_TRACE(path);
        PeImage image;
        expectOnlySystemImports(user.transcript(), path, &image);
        if (HasFatalFailure()) return;
        EXPECT_EQ(image.machine, MACHINE_I386);
        EXPECT_EQ(image.optionalMagic, OPTIONAL_MAGIC_PE32);
        EXPECT_EQ(image.subsystem, SUBSYSTEM_WINDOWS_GUI);
        EXPECT_TRUE(image.dllCharacteristics & TERMINAL_SERVER_AWARE)
            << "not Terminal-Server aware";
        for (const ImportedFunction& function : image.importedFunctions) {
            const std::string key = lowerCase(function.dll) + "!" + function.name;
            if (function.name.empty()) {
                ADD_FAILURE() << function.dll << " ordinal " << function.ordinal
                              << " is imported by number, which differs between systems";
                continue;
            }
            // The runtime of the oldest systems has only 32-bit times.
            if (lowerCase(function.dll) == "msvcrt.dll") {
                EXPECT_EQ(function.name.find("64"), std::string::npos)
                    << key << " has 64-bit times or sizes, which the oldest runtime lacks";
            }
            EXPECT_TRUE(allowed.count(key))
                << key << " is imported but not in allowed_imports.txt: add it with the oldest "
                << "system of each family that has it, or look it up at run time";
        }
    }
}

// The application manifest as the loader finds it: resource type 24, id 1,
// read from the file with the system's own resource functions.
std::string manifestOf(const std::string& path) {
    HMODULE image = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!image) return "";
    std::string text;
    HRSRC found = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    HGLOBAL loaded = found ? LoadResource(image, found) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (bytes) text.assign(bytes, SizeofResource(image, found));
    FreeLibrary(image);
    return text;
}

TEST_F(SetupImage, ManifestsAskForTheRightRightsAndChangeNothingElse) {
    struct Row {
        std::string path;
        const char* level;
    };
    const std::string programs = buildPath(TW_SHIPPED_PROGRAMS_DIR);
    const Row rows[] = {
        {buildPath(TW_SHIPPED_SETUP_EXE), "requireAdministrator"},
        {buildPath(TW_SHIPPED_UNINSTALLER), "requireAdministrator"},
        {joinPath(programs, "tarnwick.exe"), "asInvoker"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        const std::string manifest = manifestOf(row.path);
        ASSERT_FALSE(manifest.empty()) << "no manifest resource";
        user.transcript().add("manifest", row.path);
        EXPECT_NE(manifest.find(std::string("requestedExecutionLevel level=\"") + row.level +
                                "\" uiAccess=\"false\""),
                  std::string::npos);
        // Vista, 7, 8, 8.1 and 10: the system then reports itself as it is.
        for (const char* id : {"e2011457-1546-43c5-a5fe-008deee3d3f0",
                               "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
                               "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
                               "1f676c76-80e1-4239-95bb-83d0f6d0da78",
                               "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"}) {
            EXPECT_NE(manifest.find(std::string("<supportedOS Id=\"{") + id + "}\"/>"),
                      std::string::npos)
                << id;
        }
        // Pixel layouts and classic dialogs stay as they are.
        EXPECT_EQ(manifest.find("dpiAware"), std::string::npos);
        EXPECT_EQ(manifest.find("Common-Controls"), std::string::npos);
    }
}

// One text of a program's version resource, as the shell's property pages
// read it; "" when the program has none.
std::string versionText(const std::string& path, const char* name) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    std::vector<char> info(size);
    char* text = nullptr;
    UINT length = 0;
    const std::string key = std::string("\\StringFileInfo\\040904E4\\") + name;
    if (size == 0 || !GetFileVersionInfoA(path.c_str(), 0, size, info.data()) ||
        !VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&text), &length) ||
        length == 0) {
        return "";
    }
    return std::string(text, strnlen(text, length));
}

// setup.exe and the engine's uninstaller carry the product's name, version
// and publisher from its description, each with its own description.
TEST_F(SetupImage, VersionResourcesComeFromTheProductDescription) {
    const std::pair<std::string, const char*> programs[] = {
        {buildPath(TW_SHIPPED_SETUP_EXE), "Tarnwick Setup"},
        {buildPath(TW_SHIPPED_UNINSTALLER), "Tarnwick Uninstaller"},
    };
    for (const auto& [path, description] : programs) {
        SCOPED_TRACE(path);
        EXPECT_EQ(versionText(path, "ProductName"), "Tarnwick");
        EXPECT_EQ(versionText(path, "ProductVersion"), "1.0.0.0");
        EXPECT_EQ(versionText(path, "FileVersion"), "1.0.0.0");
        EXPECT_EQ(versionText(path, "CompanyName"), "Kestrel Loom Software");
        EXPECT_EQ(versionText(path, "FileDescription"), description);
    }
}

}  // namespace
}  // namespace e2e
