#include "payloadgen/refusal.h"

namespace payloadgen {

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
