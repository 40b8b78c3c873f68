// The narrow form of Windows file names: the UTF-16 of the command line to
// WTF-8 (the command's side) and back (the reader's side).
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "wtf8_decode.h"
#include "wtf8_encode.h"

namespace vorbex {
namespace {

std::string Narrow(std::u8string_view text) {
    return std::string(text.begin(), text.end());
}

// Names a Windows user may give, against the compiler's own UTF-8 of them:
// each must become exactly its UTF-8 and come back unchanged.
TEST(Wtf8, NamesInEveryScriptTravelAsTheirUtf8) {
    struct Name {
        std::u16string_view utf16;
        std::u8string_view utf8;
    };
    const Name names[] = {
        {u"", u8""},
        {u"plain.d88", u8"plain.d88"},
        {u"ドラゴン.d88", u8"ドラゴン.d88"},
        {u"冒険 Disk1.d88", u8"冒険 Disk1.d88"},
        // Both end in 0x5C, the backslash, in Shift_JIS.
        {u"ソ\\表.d88", u8"ソ\\表.d88"},
        {u"Élan café.d88", u8"Élan café.d88"},
        {u"ハングル 한국어.d88", u8"ハングル 한국어.d88"},
        {u"🐉 dragon.d88", u8"🐉 dragon.d88"},
        {u"Ｄｒａｇｏｎ.d88", u8"Ｄｒａｇｏｎ.d88"},
        {u"データ フォルダ 🐉\\ドラゴン.d88", u8"データ フォルダ 🐉\\ドラゴン.d88"},
        // The first and last characters of each sequence length.
        {u"\x7F\x80\u07FF\u0800\uFFFF\U00010000\U0010FFFF",
         u8"\x7F\u0080\u07FF\u0800\uFFFF\U00010000\U0010FFFF"},
    };
    for (const Name& name : names) {
        const std::string utf8 = Narrow(name.utf8);
        EXPECT_EQ(EncodeWtf8(name.utf16), utf8) << utf8;
        EXPECT_EQ(DecodeWtf8(utf8), std::u16string(name.utf16)) << utf8;
    }
}

// Windows lets a name hold a surrogate that is not half of a pair; it must
// still open, so it goes as a three-byte sequence and comes back alone.
TEST(Wtf8, LoneSurrogatesTravelAsThreeBytesEach) {
    struct Name {
        std::u16string utf16;
        std::string_view wtf8;
    };
    const Name names[] = {
        {{0xD800}, "\xED\xA0\x80"},
        {{0xDBFF, u'x'},
         "\xED\xAF\xBF"
         "x"},
        {{u'a', 0xDC00}, "a\xED\xB0\x80"},
        {{0xDFFF}, "\xED\xBF\xBF"},
        // A trail before a lead is no pair: two lone surrogates.
        {{0xDC09, 0xD83D}, "\xED\xB0\x89\xED\xA0\xBD"},
        // A lead with no trail, then the pair of U+1F409, then a trail with no lead.
        {{0xD83D, 0xD83D, 0xDC09, 0xDC00}, "\xED\xA0\xBD\xF0\x9F\x90\x89\xED\xB0\x80"},
    };
    for (const Name& name : names) {
        EXPECT_EQ(EncodeWtf8(name.utf16), name.wtf8);
        EXPECT_EQ(DecodeWtf8(name.wtf8), name.utf16);
    }
}

// Bytes that are not WTF-8 name nothing, rather than some other file.
TEST(Wtf8, BytesThatAreNotWtf8AreRefused) {
    const std::string_view refused[] = {
        // Continuation bytes with no lead byte.
        "\x80",
        "a\xBF",
        // A sequence broken by a byte that does not continue it.
        "\xE3\x83"
        "a",
        // Longer than the value needs.
        "\xC0\xAF",
        "\xC1\xBF",
        "\xE0\x80\xAF",
        "\xE0\x9F\xBF",
        "\xF0\x80\x80\xAF",
        "\xF0\x8F\xBF\xBF",
        // Past U+10FFFF, and bytes that start no sequence at all.
        "\xF4\x90\x80\x80",
        "\xF5\x80\x80\x80",
        "\xF8\x88\x80\x80\x80",
        "\xFE",
        "\xFF",
        // A pair written as two surrogates: U+1F409 has only F0 9F 90 89.
        "\xED\xA0\xBD\xED\xB0\x89",
        // ソ.d88 in Shift_JIS and Élan café.d88 in code page 1252.
        "\x83\x5C.d88",
        "\xC9lan caf\xE9.d88",
    };
    for (const std::string_view bytes : refused) {
        EXPECT_EQ(DecodeWtf8(bytes), std::nullopt) << ::testing::PrintToString(std::string(bytes));
    }
    // Sequences cut short by the end of the text, where the bytes that would
    // finish them lie just past it.
    for (const std::string_view whole : {"\xC3\x89", "\xE3\x83\x89", "\xF0\x9F\x90\x89"}) {
        for (std::size_t length = 1; length < whole.size(); ++length) {
            const std::string_view cut = whole.substr(0, length);
            EXPECT_EQ(DecodeWtf8(cut), std::nullopt) << ::testing::PrintToString(std::string(cut));
        }
    }
}

}  // namespace
}  // namespace vorbex
