#include "wtf8_decode.h"

#include <cstdint>

namespace vorbex {

std::optional<std::u16string> DecodeWtf8(std::string_view bytes) {
    std::u16string units;
    units.reserve(bytes.size());
    // Whether the last unit stored is a lead surrogate standing alone.
    bool loneLead = false;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto first = static_cast<std::uint8_t>(bytes[i]);
        std::size_t length = 0;
        char32_t code = 0;
        char32_t least = 0;
        if (first < 0x80) {
            length = 1;
            code = first;
        } else if (first >= 0xC0 && first < 0xE0) {
            length = 2;
            code = first & 0x1Fu;
            least = 0x80;
        } else if (first >= 0xE0 && first < 0xF0) {
            length = 3;
            code = first & 0x0Fu;
            least = 0x800;
        } else if (first >= 0xF0 && first < 0xF8) {
            length = 4;
            code = first & 0x07u;
            least = 0x10000;
        } else {
            return std::nullopt;
        }
        if (bytes.size() - i < length) {
            return std::nullopt;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<std::uint8_t>(bytes[i + k]);
            if ((next & 0xC0u) != 0x80u) {
                return std::nullopt;
            }
            code = (code << 6) | (next & 0x3Fu);
        }
        if (code < least || code > 0x10FFFF) {
            return std::nullopt;
        }
        const bool lead = code >= 0xD800 && code <= 0xDBFF;
        const bool trail = code >= 0xDC00 && code <= 0xDFFF;
        // A lead and a trail surrogate side by side are a character, which
        // has its own four-byte form.
        if (trail && loneLead) {
            return std::nullopt;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            units.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FFu)));
        } else {
            units.push_back(static_cast<char16_t>(code));
        }
        loneLead = lead;
        i += length;
    }
    return units;
}

}  // namespace vorbex
