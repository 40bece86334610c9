#include "payloadgen/refusal.h"

namespace payloadgen {

Refusal Refusal::in(const std::string& file) const {
    Refusal placed = *this;
    if (placed.file_.empty()) placed.file_ = file;
    placed.message_ = placed.message();
    return placed;
}

std::string Refusal::message() const {
    std::string text;
    for (const std::string* part : {&file_, &subject_})
        if (!part->empty()) text += *part + ": ";
    return text + reason_;
}

Refusals::Refusals(std::vector<Refusal> all)
    : std::runtime_error(all.empty() ? std::string("no refusal") : all.front().message()),
      all_(std::move(all)) {}

void throwIfAny(const std::vector<Refusal>& found) {
    if (found.size() == 1) throw found.front();
    if (!found.empty()) throw Refusals(found);
}

std::string displayed(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 32 && byte != 127) {
            result += c;
            continue;
        }
        result += '\\';
        result += static_cast<char>('0' + (byte >> 6));
        result += static_cast<char>('0' + ((byte >> 3) & 7));
        result += static_cast<char>('0' + (byte & 7));
    }
    return result;
}

}  // namespace payloadgen
