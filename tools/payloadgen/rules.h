// What the setup program can do with a product's values beyond their JSON
// types: names that Windows can hold, lengths that the engine's buffers and
// the platform keep, texts that still fit once the engine has formatted
// them. docs/product-folder.md lists every rule with its reason.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/path_rules.h"
#include "payloadgen/description.h"
#include "payloadgen/refusal.h"

namespace payloadgen {

// The engine's texts and paths live in buffers of PATH_BUFFER_SIZE bytes.
constexpr std::size_t maxEngineText = PATH_BUFFER_SIZE - 1;
// groupName, productName, startupShortcutName and settingsFileName become
// file and folder names. The longest link setup makes,
// "<Programs folder>\<groupName>\<productName>.lnk", must stay within the
// platform's 259 characters; names of at most 64 bytes leave 125 of them to
// the user's Programs folder, which takes 83 for a user name of 20 on
// today's systems.
constexpr std::size_t maxNameBytes = 64;
// The service control manager's limit for a service name.
constexpr std::size_t maxServiceNameBytes = 256;
// The agreement is the text of a multi-line edit control, which on the
// Windows 95 family lives in one 64 KB segment together with its own
// bookkeeping.
constexpr std::size_t maxAgreementBytes = 60000;
// setup.exe is one 32-bit image that the loader maps whole, chunks included,
// into a process of 2 GiB that also holds the system's DLLs, wherever the
// system put them, and the heap and stacks. Compressed chunks are at most a
// few hundredths of a percent larger than their pieces, so this keeps the
// image near 1 GiB at most. The toolchain goes further (a PE32 of 2.1 GB
// links, and is then larger than any 32-bit process); a product of 1 GiB is
// the largest measured to build and install.
constexpr uint64_t maxPayloadBytes = uint64_t{1} << 30;

// The longest folder that setup proposes for the product's data: the
// Program Files folder that a 32-bit program sees on 64-bit Windows, and
// groupName. The folder choice refuses a folder in which a payload path
// would pass the platform's limit, so every payload path must fit below
// this one.
constexpr const char* proposedParentFolder = "C:\\Program Files (x86)";
std::string proposedDataFolder(const ProductDescription& description);

// Files that setup itself names in the data folder: it registers the first
// as the product's uninstaller and runs the second when runHelperInstaller
// is set.
constexpr const char* uninstallerFileName = "kluninst.exe";
constexpr const char* helperInstallerFileName = "quellsv.exe";

// Every product gets the engine's uninstaller as the payload's last file,
// unless its payload names a file of that name itself: then that one is
// the uninstaller.
bool namesUninstaller(const ProductDescription& description);

// The payload names in the order setup writes them: the description's,
// and the engine's uninstaller after them when it is added.
std::vector<std::string> installedNames(const ProductDescription& description);

// Appends the engine's uninstaller, built at `file`, as a built program,
// unless the description names its own.
void addUninstaller(ProductDescription& description, const std::filesystem::path& file);

// How refusals name the added uninstaller, at `index` of installedNames:
// the maker wrote no such entry.
std::string addedUninstallerSubject(std::size_t index);

// A version resource holds four 16-bit numbers; a product's version gives
// one to four of them, separated by dots. Why `version` is not such a text,
// or "" when it is; an empty text is no version, and acceptable.
std::string versionProblem(std::string_view version);

// The four numbers of an acceptable version, padded with zeros; all zero
// for no version.
std::array<uint16_t, 4> versionNumbers(std::string_view version);

// One text that the engine formats from configuration values into a buffer
// of maxEngineText bytes: its format as the engine's source writes it, with
// one "%s" for each entry of `values` (a config key, or "programPath" for
// the product's program in the proposed data folder).
struct EngineText {
    const char* purpose;
    const char* format;
    std::vector<const char*> values;
};
extern const std::vector<EngineText> engineTexts;

// The text as the engine formats it for this product.
std::string formattedText(const EngineText& text, const ProductDescription& description);

// Every configuration value that breaks a rule, and every payload name whose
// path in the proposed data folder would pass the platform's limit.
std::vector<Refusal> descriptionRefusals(const ProductDescription& description);

// What builds but is likely not what the maker meant: a program that the
// payload does not hold, a space requirement below the payload's size,
// texts that Windows will not show as written.
std::vector<Refusal> descriptionWarnings(const ProductDescription& description,
                                         uint64_t payloadBytes);

}  // namespace payloadgen
