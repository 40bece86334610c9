// Reading a product folder's product.json: the configuration record, the
// agreement and icon files, and the ordered payload list.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace payloadgen {

enum class FieldKind {
    Text,          // any text without NUL bytes
    RequiredText,  // as Text, and not empty
    Flag,          // a signed 32-bit integer
    Megabytes      // 0 to 4095
};

struct ConfigField {
    const char* key;
    FieldKind kind;
};

constexpr std::size_t configFieldCount = 15;

// InstallerConfig's members in declaration order; the emitted aggregate
// initialiser depends on this order matching state/installer_config.h.
extern const std::array<ConfigField, configFieldCount> configFields;

struct ConfigValue {
    std::string text;     // for Text and RequiredText
    int64_t number = 0;   // for Flag and Megabytes, already range-checked
    // False when product.json leaves the field out: a Text is then "" and a
    // Flag 0, and the generator sets Megabytes from the payload's size.
    bool given = true;
};

struct PayloadEntry {
    std::string name;              // as written; checked by checkNames later
    std::filesystem::path file;    // resolved against the product or built folder
    bool built = false;            // `file` is one of the product's built programs
    std::optional<int32_t> time;   // replaces the file's modification time
};

struct ProductDescription {
    std::array<ConfigValue, configFieldCount> config;  // parallel to configFields
    std::filesystem::path agreement;
    std::filesystem::path icon;
    std::vector<PayloadEntry> payload;

    // The value of the field with that key; throws std::out_of_range for a
    // key InstallerConfig does not have.
    const ConfigValue& field(std::string_view key) const;
    ConfigValue& field(std::string_view key);
};

// Parses product.json text. Throws Refusal placed in `origin` (the file's
// name) and naming the field, for the first malformed, missing, unknown,
// duplicated or out-of-range entry. Of the configuration, only the
// RequiredText fields must be there.
ProductDescription parseDescription(std::string_view json, const std::string& origin,
                                    const std::filesystem::path& productDir,
                                    const std::filesystem::path& builtDir);

// Reads productDir/product.json.
ProductDescription readDescription(const std::filesystem::path& productDir,
                                   const std::filesystem::path& builtDir);

}  // namespace payloadgen
