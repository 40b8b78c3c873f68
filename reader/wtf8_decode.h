// The reader's narrow paths back as the UTF-16 that Windows names files in.
#ifndef VORBEX_READER_WTF8_DECODE_H
#define VORBEX_READER_WTF8_DECODE_H

#include <optional>
#include <string>
#include <string_view>

namespace vorbex {

// The UTF-16 units that the WTF-8 `bytes` stand for: UTF-8 in which a
// surrogate that is not half of a pair may stand alone as a three-byte
// sequence. Nothing when the bytes are not WTF-8: a stray or missing
// continuation byte, a sequence longer than its value needs, a value past
// U+10FFFF, or a pair of surrogates written as two sequences rather than as
// the one four-byte sequence of their character. So each name has one
// spelling, and bytes in any other encoding are refused, not misread.
std::optional<std::u16string> DecodeWtf8(std::string_view bytes);

}  // namespace vorbex

#endif  // VORBEX_READER_WTF8_DECODE_H
