#include "wtf8_encode.h"

namespace vorbex {

namespace {

bool IsLeadSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsTrailSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

void Append(std::string& out, char32_t value) {
    out.push_back(static_cast<char>(value));
}

}  // namespace

std::string EncodeWtf8(std::u16string_view units) {
    std::string out;
    out.reserve(units.size() * 3);
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t code = units[i];
        if (IsLeadSurrogate(code) && i + 1 < units.size() && IsTrailSurrogate(units[i + 1])) {
            code = 0x10000 + ((code - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        }
        if (code < 0x80) {
            Append(out, code);
        } else if (code < 0x800) {
            Append(out, 0xC0 | (code >> 6));
            Append(out, 0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            // A surrogate left over here is a lone one: it takes this form too.
            Append(out, 0xE0 | (code >> 12));
            Append(out, 0x80 | ((code >> 6) & 0x3F));
            Append(out, 0x80 | (code & 0x3F));
        } else {
            Append(out, 0xF0 | (code >> 18));
            Append(out, 0x80 | ((code >> 12) & 0x3F));
            Append(out, 0x80 | ((code >> 6) & 0x3F));
            Append(out, 0x80 | (code & 0x3F));
        }
    }
    return out;
}

}  // namespace vorbex
