// setup.exe travels alone: it may import nothing but DLLs that every
// Windows has, and the shipped build is a 32-bit GUI program.
#include <algorithm>
#include <cctype>

#include "e2e/e2e_support.h"
#include "e2e/pe_image.h"

namespace e2e {
namespace {

using SetupImage = ScriptedRun;

const char* const SYSTEM_DLLS[] = {
    "kernel32.dll", "user32.dll",   "gdi32.dll",    "advapi32.dll", "shell32.dll",
    "ole32.dll",    "oleaut32.dll", "comctl32.dll", "comdlg32.dll", "msvcrt.dll",
    "shfolder.dll", "shlwapi.dll",  "version.dll",
};

bool isSystemDll(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::find(std::begin(SYSTEM_DLLS), std::end(SYSTEM_DLLS), name) !=
           std::end(SYSTEM_DLLS);
}

// Reads the image and checks its imports; the DLL names go to the
// transcript so that a person can see what the program needs.
void expectOnlySystemImports(scripted_user::Transcript& transcript, const std::string& path,
                             PeImage* image) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(readFile(path, &bytes)) << path;
    std::string error;
    ASSERT_TRUE(readPeImage(bytes, image, &error)) << path << ": " << error;
    transcript.add("image", path);
    EXPECT_FALSE(image->importedDlls.empty()) << path << " imports nothing, which cannot be";
    for (const std::string& dll : image->importedDlls) {
        transcript.add("imports", dll);
        EXPECT_TRUE(isSystemDll(dll)) << path << " imports " << dll;
    }
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

TEST_F(SetupImage, ShippedBuildIs32BitGuiImportingOnlySystemDlls) {
    const std::string shipped = buildPath(TW_SHIPPED_SETUP_EXE);
    if (!fileExists(shipped)) GTEST_SKIP() << "the 32-bit build is not there: " << shipped;
    PeImage image;
    expectOnlySystemImports(user.transcript(), shipped, &image);
    if (HasFatalFailure()) return;
    EXPECT_EQ(image.machine, MACHINE_I386);
    EXPECT_EQ(image.optionalMagic, OPTIONAL_MAGIC_PE32);
    EXPECT_EQ(image.subsystem, SUBSYSTEM_WINDOWS_GUI);
}

}  // namespace
}  // namespace e2e
