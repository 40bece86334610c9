#include "payloadgen/rules.h"

#include <algorithm>
#include <string>

#include "payloadgen/names.h"

namespace payloadgen {

namespace {

enum class NameRule {
    Text,         // shown or passed on as it is
    FileName,     // one file or folder name
    ProgramPath,  // a payload name below the data folder
    ServiceName,  // a name the service control manager accepts
    Version       // numbers for a version resource
};

struct TextRule {
    const char* key;
    NameRule rule;
    std::size_t maxBytes;
};

// Every text field of the configuration. A program path has no length of
// its own: the proposed data folder bounds it (see pathInProposedFolder).
const TextRule textRules[] = {
    {"groupName", NameRule::FileName, maxNameBytes},
    {"productName", NameRule::FileName, maxNameBytes},
    {"settingsFileName", NameRule::FileName, maxNameBytes},
    {"startupPrompt", NameRule::Text, maxEngineText},
    {"mainExecutable", NameRule::ProgramPath, maxEngineText},
    {"startupArguments", NameRule::Text, maxEngineText},
    {"serviceExecutable", NameRule::ProgramPath, maxEngineText},
    {"serviceName", NameRule::ServiceName, maxServiceNameBytes},
    {"startupShortcutName", NameRule::FileName, maxNameBytes},
    {"version", NameRule::Version, maxEngineText},
    {"publisher", NameRule::Text, maxEngineText},
};

// The uninstaller's path in the proposed data folder needs no rule of its
// own: the longest groupName leaves it room.
static_assert(std::char_traits<char>::length(proposedParentFolder) + 1 + maxNameBytes + 1 +
                      std::char_traits<char>::length(uninstallerFileName) <=
                  PLATFORM_PATH_LIMIT,
              "the uninstaller must fit in every proposed data folder");

std::string configSubject(const std::string& key) { return "config." + key; }

// The config keys behind a value of an engine text; the last is the one a
// refusal names.
std::vector<std::string> fieldsOf(const std::string& value) {
    if (value == "programPath") return {"groupName", "mainExecutable"};
    return {value};
}

std::string programPath(const ProductDescription& description) {
    return proposedDataFolder(description) + "\\" + description.field("mainExecutable").text;
}

std::string nameProblemFor(NameRule rule, const std::string& value) {
    switch (rule) {
    case NameRule::Text:
        return "";
    case NameRule::FileName:
        return fileNameProblem(value);
    case NameRule::ProgramPath:
        if (isSystemName(value))
            return "names a file for the system folder; the program must be in the data folder";
        return nameProblem(value);
    case NameRule::ServiceName:
        for (char c : value) {
            if (c == '/' || c == '\\')
                return std::string("contains ") + c + ", which a service name cannot hold";
            if (static_cast<unsigned char>(c) < 32)
                return "contains the control character " + displayed(std::string_view(&c, 1));
        }
        return "";
    case NameRule::Version:
        return versionProblem(value);
    }
    return "";
}

// The path of a payload name (or program) in the proposed data folder.
void checkPathInProposedFolder(const ProductDescription& description, const std::string& subject,
                               const std::string& name, std::vector<Refusal>& found) {
    // Counted with the suffix it is kept aside under during an upgrade.
    const std::string path = proposedDataFolder(description) + "\\" + name;
    const std::size_t length = path.size() + KEPT_SUFFIX_LENGTH;
    if (length > PLATFORM_PATH_LIMIT)
        found.emplace_back(subject, "in the proposed data folder its path \"" + displayed(path) +
                                        "\" would take " + std::to_string(length) +
                                        " characters while an upgrade keeps it aside under \"" +
                                        KEPT_SUFFIX + "\", more than the " +
                                        std::to_string(PLATFORM_PATH_LIMIT) +
                                        " Windows allows; setup would refuse its own proposal");
}

bool isAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool inPayload(const ProductDescription& description, const std::string& name) {
    return std::any_of(description.payload.begin(), description.payload.end(),
                       [&](const PayloadEntry& entry) { return sameFile(entry.name, name); });
}

}  // namespace

// Copied from the engine's sources (setup/, system/, ui/); a generator test
// finds each format there, so that a changed text cannot leave its rule
// behind.
const std::vector<EngineText> engineTexts = {
    {"the backdrop's title", "Install %s", {"productName"}},
    {"the caption of a failed installation", "%s Installation Failed", {"productName"}},
    {"the uninstall entry's registry key",
     "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%s", {"productName"}},
    {"the final question",
     "%s has been successfully installed on your system. Would you like to start %s now?",
     {"productName", "productName"}},
    {"the warning about running copies",
     "Do you already have an older version of %s?\r\n\r\nIf you do, MAKE SURE IT IS NOT RUNNING "
     "RIGHT NOW. If it is running, shut it down BEFORE clicking the OK button.\r\n\r\nIf you "
     "have not installed %s before, just click the OK button.",
     {"productName", "productName"}},
    {"the notice before running copies are closed",
     "Any copies of %s currently running must now be shut down. This may take a few seconds.",
     {"productName"}},
    {"the proposed data folder", "C:\\Program Files\\%s", {"groupName"}},
    {"the message about a file chosen as the folder",
     "That path specifies a file, and not a new or existing folder name. Please enter a folder "
     "name, such as %s for example.",
     {"groupName"}},
    {"the window title of the service program on the Windows 95 family", "%s Win9x Service",
     {"serviceName"}},
    {"the service removal's last line", "\n%s failed to stop.\n", {"serviceName"}},
    {"the command line that starts the product after its startup shortcut", "\"%s\" %s\n",
     {"programPath", "startupArguments"}},
};

bool namesUninstaller(const ProductDescription& description) {
    return inPayload(description, uninstallerFileName);
}

std::vector<std::string> installedNames(const ProductDescription& description) {
    std::vector<std::string> names;
    for (const PayloadEntry& entry : description.payload) names.push_back(entry.name);
    if (!namesUninstaller(description)) names.push_back(uninstallerFileName);
    return names;
}

void addUninstaller(ProductDescription& description, const std::filesystem::path& file) {
    if (!namesUninstaller(description))
        description.payload.push_back({uninstallerFileName, file, true, std::nullopt});
}

std::string addedUninstallerSubject(std::size_t index) {
    return payloadSubject(index, uninstallerFileName) + ", the engine's uninstaller added as the last file";
}

std::string versionProblem(std::string_view version) {
    if (version.empty()) return "";
    const std::string quoted = "\"" + displayed(version) + "\" ";
    const std::string form =
        ": a version is one to four numbers from 0 to 65535 separated by dots, such as 2.5.1";
    if (version.find_first_not_of("0123456789.") != std::string_view::npos)
        return quoted + "holds more than digits and dots" + form;
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = std::min(version.find('.', start), version.size());
        parts.push_back(version.substr(start, end - start));
        if (end == version.size()) break;
        start = end + 1;
    }
    for (std::string_view part : parts)
        if (part.empty()) return quoted + "has an empty part" + form;
    if (parts.size() > 4) return quoted + "has " + std::to_string(parts.size()) + " parts, more than 4" + form;
    for (std::string_view part : parts) {
        // Leading zeros add nothing to the number, however many there are.
        const std::string_view digits = part.substr(std::min(part.find_first_not_of('0'), part.size()));
        if (digits.size() > 5 || (!digits.empty() && std::stoul(std::string(digits)) > 65535))
            return quoted + "has the number " + std::string(part) + ", more than 65535" + form;
    }
    return "";
}

std::array<uint16_t, 4> versionNumbers(std::string_view version) {
    std::array<uint16_t, 4> numbers{};
    std::size_t part = 0;
    for (char c : version) {
        if (c == '.')
            ++part;
        else if (part < numbers.size())
            numbers[part] = static_cast<uint16_t>(numbers[part] * 10 + (c - '0'));
    }
    return numbers;
}

std::string proposedDataFolder(const ProductDescription& description) {
    return std::string(proposedParentFolder) + "\\" + description.field("groupName").text;
}

std::string formattedText(const EngineText& text, const ProductDescription& description) {
    std::string result;
    std::size_t value = 0;
    for (const char* c = text.format; *c; ++c) {
        if (c[0] == '%' && c[1] == 's' && value < text.values.size()) {
            const std::string key = text.values[value++];
            result += key == "programPath" ? programPath(description) : description.field(key).text;
            ++c;
        } else {
            result += *c;
        }
    }
    return result;
}

std::vector<Refusal> descriptionRefusals(const ProductDescription& description) {
    std::vector<Refusal> found;
    std::vector<std::string> refused;  // keys
    const auto refuse = [&](const char* key, std::string reason) {
        found.emplace_back(configSubject(key), std::move(reason));
        refused.push_back(key);
    };
    // A path in the proposed data folder is only worth measuring with a
    // groupName that is itself acceptable.
    const auto wasRefused = [&](const std::string& key) {
        return std::find(refused.begin(), refused.end(), key) != refused.end();
    };

    for (const TextRule& rule : textRules) {
        const std::string& value = description.field(rule.key).text;
        if (value.size() > rule.maxBytes) {
            refuse(rule.key, "is " + std::to_string(value.size()) + " bytes long, more than " +
                                 std::to_string(rule.maxBytes));
            continue;
        }
        if (value.empty()) continue;
        if (std::string problem = nameProblemFor(rule.rule, value); !problem.empty())
            refuse(rule.key, problem);
        else if (rule.rule == NameRule::ProgramPath && !wasRefused("groupName"))
            checkPathInProposedFolder(description, configSubject(rule.key), value, found);
    }
    // A text made from a value refused above would only repeat that refusal.
    for (const EngineText& text : engineTexts) {
        bool fromRefused = false;
        for (const char* value : text.values)
            for (const std::string& key : fieldsOf(value)) fromRefused = fromRefused || wasRefused(key);
        if (fromRefused) continue;
        const std::string formatted = formattedText(text, description);
        if (formatted.size() > maxEngineText)
            found.emplace_back(configSubject(fieldsOf(text.values.back()).back()),
                               "makes " + std::string(text.purpose) + " " +
                                   std::to_string(formatted.size()) + " bytes long, more than the " +
                                   std::to_string(maxEngineText) + " that setup's buffers hold");
    }

    for (std::size_t i = 0; i < description.payload.size() && !wasRefused("groupName"); ++i) {
        const std::string& name = description.payload[i].name;
        if (isSystemName(name) || !nameProblem(name).empty()) continue;
        checkPathInProposedFolder(description, payloadSubject(i, name), name, found);
    }
    return found;
}

std::vector<Refusal> descriptionWarnings(const ProductDescription& description,
                                         uint64_t payloadBytes) {
    std::vector<Refusal> found;
    const auto text = [&](const char* key) -> const std::string& { return description.field(key).text; };
    const auto number = [&](const char* key) { return description.field(key).number; };

    if (!inPayload(description, text("mainExecutable")))
        found.emplace_back("config.mainExecutable",
                           "\"" + displayed(text("mainExecutable")) +
                               "\" is not in the payload: the product's shortcut and the final "
                               "question's Yes would start nothing");
    if (!text("serviceExecutable").empty() && !inPayload(description, text("serviceExecutable")))
        found.emplace_back("config.serviceExecutable",
                           "\"" + displayed(text("serviceExecutable")) +
                               "\" is not in the payload: installing the service would fail");
    if (!text("serviceExecutable").empty() && text("serviceName").empty())
        found.emplace_back("config.serviceName",
                           "is empty while serviceExecutable is set: setup cannot stop and remove "
                           "an older service before it replaces the service program");
    if (number("runHelperInstaller") != 0 && !inPayload(description, helperInstallerFileName))
        found.emplace_back("config.runHelperInstaller",
                           std::string("is set, but the payload holds no ") + helperInstallerFileName +
                               " for setup to run");
    if (number("offerStartupShortcut") != 0 && text("serviceExecutable").empty() &&
        text("startupPrompt").empty())
        found.emplace_back("config.startupPrompt",
                           "is empty: the question before the startup shortcut would show no text");
    const uint64_t payloadMegabytes = (payloadBytes + 1048575) / 1048576;
    if (description.field("requiredMegabytes").given &&
        static_cast<uint64_t>(number("requiredMegabytes")) < payloadMegabytes)
        found.emplace_back("config.requiredMegabytes",
                           std::to_string(number("requiredMegabytes")) +
                               " is less than the payload's " + std::to_string(payloadMegabytes) +
                               " MB: the space check would pass on drives that cannot hold it");

    for (const ConfigField& field : configFields)
        if ((field.kind == FieldKind::Text || field.kind == FieldKind::RequiredText) &&
            !isAscii(description.field(field.key).text))
            found.emplace_back(configSubject(field.key),
                               "holds bytes beyond ASCII: setup shows them in the system's ANSI "
                               "code page, so UTF-8 text will look wrong");
    for (std::size_t i = 0; i < description.payload.size(); ++i)
        if (!isAscii(description.payload[i].name))
            found.emplace_back(payloadSubject(i, description.payload[i].name),
                               "holds bytes beyond ASCII: Windows reads the name in the system's "
                               "ANSI code page, so a UTF-8 name becomes another name");
    return found;
}

}  // namespace payloadgen
