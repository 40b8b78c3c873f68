// The command line's UTF-16 text as the narrow text the reader takes.
#ifndef VORBEX_DRIVER_WTF8_ENCODE_H
#define VORBEX_DRIVER_WTF8_ENCODE_H

#include <string>
#include <string_view>

namespace vorbex {

// `units` as WTF-8: UTF-8, except that a surrogate that is not half of a
// pair becomes a three-byte sequence of its own instead of being refused.
// Windows lets a file name hold such a surrogate, so every name it can hold
// has a narrow form, and each name exactly one.
std::string EncodeWtf8(std::u16string_view units);

}  // namespace vorbex

#endif  // VORBEX_DRIVER_WTF8_ENCODE_H
