// The generator's reader of product.json on arbitrary text, and its name
// checks on the payload names of every description it accepts.
//
// Input: the text of product.json.
#include <nlohmann/json.hpp>

#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "payloadgen/description.h"
#include "payloadgen/names.h"
#include "payloadgen/refusal.h"

namespace {

using payloadgen::ConfigField;
using payloadgen::FieldKind;
using payloadgen::ProductDescription;
using payloadgen::Refusal;

const std::filesystem::path productDir = "/product";
const std::filesystem::path builtDir = "/built";

// A refusal gives a reason and shows no control byte: the description's
// own text appears only through displayed().
void checkRefusal(const Refusal& refusal) {
    REQUIRE(!refusal.reason().empty());
    for (char c : refusal.subject() + refusal.reason() + refusal.what()) {
        const auto byte = static_cast<unsigned char>(c);
        REQUIRE(byte >= 32);
    }
}

// A file named relative to its folder, below it.
void checkFile(const std::filesystem::path& file, const std::filesystem::path& base) {
    const std::string text = file.string();
    const std::string prefix = base.string() + "/";
    REQUIRE(text.size() > prefix.size());
    REQUIRE(text.compare(0, prefix.size(), prefix) == 0);
}

// Every value of an accepted description lies within its field's range.
void checkAccepted(const ProductDescription& description) {
    for (size_t i = 0; i < payloadgen::configFields.size(); ++i) {
        const ConfigField& field = payloadgen::configFields[i];
        const payloadgen::ConfigValue& value = description.config[i];
        switch (field.kind) {
        case FieldKind::RequiredText:
            REQUIRE(!value.text.empty());
            [[fallthrough]];
        case FieldKind::Text:
            REQUIRE(value.text.find('\0') == std::string::npos);
            break;
        case FieldKind::Flag:
            REQUIRE(value.number >= INT32_MIN && value.number <= INT32_MAX);
            break;
        case FieldKind::Megabytes:
            REQUIRE(value.number >= 0 && value.number <= 4095);
            break;
        }
    }
    checkFile(description.agreement, productDir);
    checkFile(description.icon, productDir);
    for (const payloadgen::PayloadEntry& entry : description.payload) {
        const std::string file = entry.file.string();
        const bool fromProduct = file.compare(0, productDir.string().size(), productDir.string()) == 0;
        checkFile(entry.file, fromProduct ? productDir : builtDir);
    }
}

bool sameDescription(const ProductDescription& a, const ProductDescription& b) {
    for (size_t i = 0; i < a.config.size(); ++i) {
        if (a.config[i].text != b.config[i].text || a.config[i].number != b.config[i].number)
            return false;
    }
    if (a.agreement != b.agreement || a.icon != b.icon || a.payload.size() != b.payload.size())
        return false;
    for (size_t i = 0; i < a.payload.size(); ++i) {
        if (a.payload[i].name != b.payload[i].name || a.payload[i].file != b.payload[i].file ||
            a.payload[i].time != b.payload[i].time)
            return false;
    }
    return true;
}

// The names the generator would go on to check: those it refuses carry
// their problem, and those it accepts have none.
void checkNames(const ProductDescription& description) {
    std::vector<std::string> names;
    for (const payloadgen::PayloadEntry& entry : description.payload) names.push_back(entry.name);
    try {
        payloadgen::checkNames(names);
    } catch (const Refusal& refusal) {
        checkRefusal(refusal);
        return;
    }
    for (const std::string& name : names) REQUIRE(payloadgen::nameProblem(name).empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // Any exception but a Refusal escapes, and libFuzzer reports it.
    ProductDescription description;
    try {
        description = payloadgen::parseDescription(text, "product.json", productDir, builtDir);
    } catch (const Refusal& refusal) {
        checkRefusal(refusal);
        return 0;
    }
    checkAccepted(description);
    checkNames(description);

    // The verdict is the document's, not its layout's: the same document
    // written out by the JSON library reads the same.
    const std::string canonical = nlohmann::json::parse(text).dump();
    const ProductDescription again =
        payloadgen::parseDescription(canonical, "product.json", productDir, builtDir);
    REQUIRE(sameDescription(description, again));
    return 0;
}
