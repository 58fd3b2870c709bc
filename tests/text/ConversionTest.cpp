// Conversion of downloaded UTF-8 into code page 936, through UTF-16.
#include "text/Conversion.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "TextTestSupport.h"

namespace lunteva {
namespace {

struct Case {
    const char* label;
    TextValue utf8;
    TextValue expected;
};

TEST(Utf8ToGbk, ConvertsRealUtf8) {
    const std::vector<Case> cases = {
        {"date label", hexText("36 E6 9C 88 31 E6 97 A5"), hexText("36 D4 C2 31 C8 D5")},
        {"plain ASCII", "<tr><td>Q1</td></tr>\r\n\t~!@#$%^&*()", "<tr><td>Q1</td></tr>\r\n\t~!@#$%^&*()"},
        {"empty", "", ""},
        {"answer label", hexText("20 20 E7 AD 94 E6 A1 88 EF BC 9A"), hexText("20 20 B4 F0 B0 B8 A3 BA")},
        {"ideographic space", hexText("E3 80 80"), hexText("A1 A1")},
        {"byte order mark is a character 936 lacks", hexText("EF BB BF 61"), "?a"},
        {"lead byte before ASCII", hexText("C3 41"), "?A"},
        {"lone continuation byte", hexText("61 80 62"), "a?b"},
        {"truncated sequence at the end", hexText("61 E6 9C"), "a?"},
        {"truncated sequence in the middle", hexText("E6 9C 61 E6 97 A5"), hexText("3F 61 C8 D5")},
        {"overlong form", hexText("61 C0 AF 62"), "a??b"},
        {"a page in 936", hexText("36 D4 C2 31 C8 D5"), "6??1??"},
        {"Hangul syllable", hexText("EA B0 80"), "?"},
        {"Hangul between Chinese", hexText("E6 9C 88 EA B0 80 E6 97 A5"), hexText("D4 C2 3F C8 D5")},
        {"character outside the BMP", hexText("61 F0 9F 98 80 62"), "a??b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(utf8ToGbk(c.utf8), c.expected);
        EXPECT_EQ(utf8ToGbk(TextValue(c.utf8)), c.expected);  // within its own storage
    }
}

// Malformed sequences longer than two bytes: each becomes question marks,
// as many as the platform makes of it, and nothing else changes.
TEST(Utf8ToGbk, MalformedLongSequencesBecomeQuestionMarks) {
    const std::vector<TextValue> cases = {
        hexText("61 ED A0 80 62"),     // encoded surrogate
        hexText("61 E0 80 AF 62"),     // overlong three-byte form
        hexText("61 F4 90 80 80 62"),  // beyond U+10FFFF
    };
    for (const TextValue& utf8 : cases) {
        SCOPED_TRACE(::testing::PrintToString(utf8));
        const TextValue gbk = utf8ToGbk(utf8);
        ASSERT_GE(textLength(gbk), 3);
        ASSERT_LE(textLength(gbk), textLength(utf8));
        EXPECT_EQ(textLeft(gbk, 1), TextValue("a"));
        EXPECT_EQ(textRight(gbk, 1), TextValue("b"));
        EXPECT_EQ(textMid(gbk, 2, textLength(gbk) - 2), TextValue(std::string(textLength(gbk) - 2, '?')));
    }
}

TEST(Utf8ToGbk, LongPageComesThroughWhole) {
    // Many characters of each width, to run past any internal chunk size.
    std::string utf8, gbk;
    for (int i = 0; i < 5000; ++i) {
        utf8 += "a\xE6\x9C\x88\x80";  // a, 月, a bad byte
        gbk += "a\xD4\xC2?";
    }
    EXPECT_EQ(utf8ToGbk(TextValue(utf8)), TextValue(gbk));
}

// utf8ToGbk works through the text a piece at a time (and, given a text it
// may take over, within that text's storage); either way the result must be
// the whole text's conversion. Long random texts cross the piece boundaries
// at every kind of character, including runs with no place to cut.
TEST(Utf8ToGbk, PiecesConvertAsTheWholeText) {
    const std::vector<std::string> fragments = {
        "<td>", " ", "a", "\r\n",                  // ASCII
        "\xE6\x9C\x88", "\xE7\xAD\x94", "\xEF\xBC\x9A",  // 月 答 ：
        "\xC3\xA9", "\xC2\xB2",                   // é, and ² with its best-fit "2"
        "\xF0\x9F\x98\x80",                       // outside the BMP
        "\x80", "\xC3", "\xE6\x9C", "\xED\xA0\x80", "\xF4\x90",  // bad sequences
    };
    std::mt19937 random(20261211);
    for (int round = 0; round < 12; ++round) {
        std::string utf8;
        const std::size_t size = 1000 + random() % 90000;
        while (utf8.size() < size) {
            if (random() % 50 == 0) {  // a long run without two ASCII bytes in a row
                for (int k = 0; k < 8000; ++k) utf8 += random() % 4 == 0 ? "a\xE6\x9C\x88" : "\xE6\x9C\x88";
            }
            utf8 += fragments[random() % fragments.size()];
        }
        utf8 += "!!";  // ends between two ASCII bytes on every platform
        SCOPED_TRACE(::testing::Message() << "round " << round << ", " << utf8.size() << " bytes");
        const TextValue text(utf8);
        const TextValue whole = utf16ToMultiByte(multiByteToUtf16(text), CP_GBK);
        ASSERT_GT(textLength(whole), 0);
        EXPECT_EQ(utf8ToGbk(text), whole);
        EXPECT_EQ(utf8ToGbk(TextValue(utf8)), whole);
    }
}

TEST(MultiByteToUtf16, UnitsLowByteFirstAndAZeroUnit) {
    const std::vector<std::pair<TextValue, ByteString>> cases = {
        {"A", hexBytes("41 00 00 00")},
        {hexText("36 E6 9C 88 31 E6 97 A5"), hexBytes("36 00 08 67 31 00 E5 65 00 00")},
        {hexText("F0 9F 98 80"), hexBytes("3D D8 00 DE 00 00")},  // a surrogate pair
        {hexText("C3 41"), hexBytes("FD FF 41 00 00 00")},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(::testing::PrintToString(text));
        const ByteString units = multiByteToUtf16(text);
        EXPECT_EQ(units, expected);
        EXPECT_EQ(bytesLength(units) % 2, 0);
    }
    EXPECT_EQ(multiByteToUtf16(""), ByteString());
    // From 936 when asked.
    EXPECT_EQ(multiByteToUtf16(hexText("36 D4 C2"), CP_GBK), hexBytes("36 00 08 67 00 00"));
}

TEST(Utf16ToMultiByte, ConvertsUpToTheZeroUnit) {
    EXPECT_EQ(utf16ToMultiByte(hexBytes("36 00 08 67 31 00 E5 65 00 00"), CP_GBK), hexText("36 D4 C2 31 C8 D5"));
    EXPECT_EQ(utf16ToMultiByte(hexBytes("36 00 08 67 31 00 E5 65 00 00"), CP_UTF8),
              hexText("36 E6 9C 88 31 E6 97 A5"));
    EXPECT_EQ(utf16ToMultiByte(ByteString(), CP_GBK), TextValue());
    // A zero unit inside ends the text.
    EXPECT_EQ(utf16ToMultiByte(hexBytes("41 00 00 00 42 00 00 00"), CP_GBK), TextValue("A"));
    // Left out, the code page is the machine's ANSI one; ASCII is the same in all.
    EXPECT_EQ(utf16ToMultiByte(hexBytes("41 00 62 00 00 00")), TextValue("Ab"));
}

TEST(Utf16ToMultiByte, NeverReadsPastTheByteString) {
    // Without a zero unit the conversion stops at the end of the bytes.
    EXPECT_EQ(utf16ToMultiByte(hexBytes("41 00 42 00"), CP_GBK), TextValue("AB"));
    // An odd length: the last byte is half a unit and is dropped.
    EXPECT_EQ(utf16ToMultiByte(hexBytes("41 00 42"), CP_GBK), TextValue("A"));
    EXPECT_EQ(utf16ToMultiByte(hexBytes("41"), CP_GBK), TextValue());
    // A byte string cut out of a longer one ends where it was cut, whatever follows in memory.
    const ByteString longer = hexBytes("08 67 E5 65 41 00 00 00");
    EXPECT_EQ(utf16ToMultiByte(bytesMid(longer, 1, 4), CP_GBK), hexText("D4 C2 C8 D5"));
}

TEST(Conversion, RoundTripsKeepValidText) {
    // UTF-8 -> UTF-16 -> UTF-8 keeps valid text byte for byte.
    const TextValue utf8 = hexText("61 C3 A9 E6 9C 88 F0 9F 98 80 E3 80 80");
    EXPECT_EQ(utf16ToMultiByte(multiByteToUtf16(utf8), CP_UTF8), utf8);
    // 936 -> UTF-16 -> 936 likewise for characters 936 has.
    const TextValue gbk = hexText("36 D4 C2 31 C8 D5 A1 A1 A3 BA 80");
    EXPECT_EQ(utf16ToMultiByte(multiByteToUtf16(gbk, CP_GBK), CP_GBK), gbk);
}

}  // namespace
}  // namespace lunteva
