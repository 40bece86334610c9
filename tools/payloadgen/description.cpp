#include "payloadgen/description.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <limits>
#include <set>
#include <stdexcept>

#include "payloadgen/files.h"
#include "payloadgen/refusal.h"

namespace payloadgen {

using Json = nlohmann::json;

const std::array<ConfigField, configFieldCount> configFields = {{
    {"groupName", FieldKind::RequiredText},
    {"productName", FieldKind::RequiredText},
    {"settingsFileName", FieldKind::RequiredText},
    {"offerStartupShortcut", FieldKind::Flag},
    {"startupPrompt", FieldKind::Text},
    {"mainExecutable", FieldKind::RequiredText},
    {"startupArguments", FieldKind::Text},
    {"warnOfRunningCopies", FieldKind::Flag},
    {"runHelperInstaller", FieldKind::Flag},
    {"serviceExecutable", FieldKind::Text},
    {"requiredMegabytes", FieldKind::Megabytes},
    {"serviceName", FieldKind::Text},
    {"startupShortcutName", FieldKind::Text},
    {"version", FieldKind::Text},
    {"publisher", FieldKind::Text},
}};

const ConfigValue& ProductDescription::field(std::string_view key) const {
    for (std::size_t i = 0; i < configFields.size(); ++i)
        if (key == configFields[i].key) return config[i];
    throw std::out_of_range("InstallerConfig has no field " + std::string(key));
}

ConfigValue& ProductDescription::field(std::string_view key) {
    return const_cast<ConfigValue&>(static_cast<const ProductDescription&>(*this).field(key));
}

namespace {

// installer_config.h promises readers a value below 4096, so the space in
// bytes still fits 32 bits.
constexpr int64_t maxRequiredMegabytes = 4095;

std::string member(const std::string& path, const std::string& key) {
    return path.empty() ? key : path + "." + key;
}

// Parses the text, refusing a key repeated within one object: the JSON
// library keeps only the last of them, which would hide a mistake.
Json parseJson(std::string_view text) {
    struct Frame {
        bool object;
        std::string path;
        std::set<std::string> keys;
        std::string lastKey;
    };
    std::vector<Frame> frames;
    std::string duplicate;
    auto watch = [&](int, Json::parse_event_t event, Json& parsed) {
        switch (event) {
        case Json::parse_event_t::object_start:
        case Json::parse_event_t::array_start: {
            std::string path;
            if (!frames.empty())
                path = frames.back().object
                           ? member(frames.back().path, displayed(frames.back().lastKey))
                           : frames.back().path + "[]";
            frames.push_back({event == Json::parse_event_t::object_start, path, {}, {}});
            break;
        }
        case Json::parse_event_t::object_end:
        case Json::parse_event_t::array_end:
            if (!frames.empty()) frames.pop_back();
            break;
        case Json::parse_event_t::key: {
            Frame& frame = frames.back();
            frame.lastKey = parsed.get<std::string>();
            if (!frame.keys.insert(frame.lastKey).second && duplicate.empty())
                duplicate = member(frame.path, displayed(frame.lastKey));
            break;
        }
        case Json::parse_event_t::value:
            break;
        }
        return true;
    };
    Json document;
    try {
        document = Json::parse(text.begin(), text.end(), watch);
    } catch (const Json::exception& error) {
        throw Refusal("", error.what());
    }
    if (!duplicate.empty()) throw Refusal(duplicate, "is given more than once");
    return document;
}

const char* typeName(const Json& value) {
    if (value.is_number_integer()) return "an integer";
    if (value.is_number()) return "a number with a fraction or exponent";
    if (value.is_string()) return "a string";
    if (value.is_boolean()) return "true or false";
    if (value.is_null()) return "null";
    if (value.is_array()) return "an array";
    return "an object";
}

void requireType(bool matches, const Json& value, const std::string& field, const char* wanted) {
    if (!matches) throw Refusal(field, std::string("must be ") + wanted + ", not " + typeName(value));
}

// Every key of `object` must be in `known`, and the first key of `required`
// that is absent is refused.
void checkKeys(const Json& object, const std::string& path,
               std::initializer_list<std::string_view> known,
               std::initializer_list<std::string_view> required) {
    for (const auto& item : object.items()) {
        bool isKnown = false;
        for (std::string_view key : known) isKnown = isKnown || item.key() == key;
        if (!isKnown) throw Refusal(member(path, displayed(item.key())), "is not a known field");
    }
    for (std::string_view key : required)
        if (!object.contains(key))
            throw Refusal(member(path, std::string(key)), "is missing");
}

std::string text(const Json& value, const std::string& field) {
    requireType(value.is_string(), value, field, "a string");
    std::string result = value.get<std::string>();
    // The record holds C strings: an embedded NUL would silently cut the text.
    if (result.find('\0') != std::string::npos) throw Refusal(field, "contains a NUL character");
    return result;
}

// Whether an integer lies within [low, high]; the JSON library keeps values
// above INT64_MAX as unsigned, which a plain signed read would wrap.
bool fits(const Json& value, int64_t low, int64_t high) {
    if (value.is_number_unsigned()) return value.get<uint64_t>() <= static_cast<uint64_t>(high);
    return value.get<int64_t>() >= low && value.get<int64_t>() <= high;
}

int64_t integer(const Json& value, const std::string& field, int64_t low, int64_t high) {
    requireType(value.is_number_integer(), value, field, "an integer");
    if (!fits(value, low, high))
        throw Refusal(field, value.dump() + " is outside " + std::to_string(low) + " to " +
                                 std::to_string(high));
    return value.get<int64_t>();
}

std::filesystem::path relativeFile(const Json& value, const std::string& field,
                                   const std::filesystem::path& base, const char* baseName) {
    const std::string name = text(value, field);
    if (name.empty()) throw Refusal(field, "names no file");
    const std::filesystem::path relative(name);
    if (relative.has_root_path())
        throw Refusal(field, std::string("must be relative to the ") + baseName + " folder");
    return base / relative;
}

ConfigValue configValue(const Json& value, const ConfigField& field) {
    const std::string name = member("config", field.key);
    ConfigValue result;
    switch (field.kind) {
    case FieldKind::RequiredText:
        result.text = text(value, name);
        if (result.text.empty()) throw Refusal(name, "must not be empty");
        break;
    case FieldKind::Text:
        result.text = text(value, name);
        break;
    case FieldKind::Flag:
        result.number = integer(value, name, std::numeric_limits<int32_t>::min(),
                                std::numeric_limits<int32_t>::max());
        break;
    case FieldKind::Megabytes:
        result.number = integer(value, name, 0, maxRequiredMegabytes);
        break;
    }
    return result;
}

PayloadEntry payloadEntry(const Json& value, std::size_t index,
                          const std::filesystem::path& productDir,
                          const std::filesystem::path& builtDir) {
    const std::string path = "payload[" + std::to_string(index) + "]";
    requireType(value.is_object(), value, path, "an object");
    checkKeys(value, path, {"name", "source", "built", "time"}, {"name"});
    const bool source = value.contains("source");
    if (source == value.contains("built"))
        throw Refusal(path, "must have exactly one of \"source\" and \"built\"");

    PayloadEntry entry;
    entry.built = !source;
    entry.name = text(value["name"], path + ".name");
    entry.file = source ? relativeFile(value["source"], path + ".source", productDir, "product")
                        : relativeFile(value["built"], path + ".built", builtDir, "built");
    if (value.contains("time")) {
        const Json& time = value["time"];
        const std::string field = path + ".time";
        requireType(time.is_number_integer(), time, field, "an integer");
        if (!fits(time, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()))
            throw Refusal(field, "file time " + time.dump() + " is outside the signed 32-bit range");
        entry.time = static_cast<int32_t>(time.get<int64_t>());
    }
    return entry;
}

ProductDescription parseDocument(const Json& document, const std::filesystem::path& productDir,
                                 const std::filesystem::path& builtDir) {
    requireType(document.is_object(), document, "", "an object");
    checkKeys(document, "", {"config", "agreement", "icon", "payload"},
              {"config", "agreement", "icon", "payload"});

    ProductDescription description;
    const Json& config = document["config"];
    requireType(config.is_object(), config, "config", "an object");
    for (const auto& item : config.items()) {
        bool known = false;
        for (const ConfigField& field : configFields) known = known || item.key() == field.key;
        if (!known) throw Refusal(member("config", displayed(item.key())), "is not a field of the configuration");
    }
    for (std::size_t i = 0; i < configFields.size(); ++i) {
        const char* key = configFields[i].key;
        if (config.contains(key))
            description.config[i] = configValue(config[key], configFields[i]);
        else if (configFields[i].kind == FieldKind::RequiredText)
            throw Refusal(member("config", key), "is missing");
        else
            description.config[i].given = false;
    }

    description.agreement = relativeFile(document["agreement"], "agreement", productDir, "product");
    description.icon = relativeFile(document["icon"], "icon", productDir, "product");

    const Json& payload = document["payload"];
    requireType(payload.is_array(), payload, "payload", "an array");
    for (std::size_t i = 0; i < payload.size(); ++i)
        description.payload.push_back(payloadEntry(payload[i], i, productDir, builtDir));
    return description;
}

}  // namespace

ProductDescription parseDescription(std::string_view jsonText, const std::string& origin,
                                    const std::filesystem::path& productDir,
                                    const std::filesystem::path& builtDir) {
    try {
        return parseDocument(parseJson(jsonText), productDir, builtDir);
    } catch (const Refusal& refusal) {
        throw refusal.in(origin);
    }
}

ProductDescription readDescription(const std::filesystem::path& productDir,
                                   const std::filesystem::path& builtDir) {
    const std::filesystem::path file = productDir / "product.json";
    return parseDescription(readWholeFile(file, ""), file.string(), productDir, builtDir);
}

}  // namespace payloadgen
