// The program's Chinese literals: the compile-time table agrees with the
// code-page conversion, and each literal has its pinned 936 bytes.
#include "text/Literals.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "TextTestSupport.h"
#include "text/Conversion.h"

namespace lunteva {
namespace {

// The UTF-8 form of a code point, built from its value.
std::string utf8Of(char32_t cp) {
    std::string out;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

TEST(GbkTable, EveryEntryMatchesTheConversion) {
    std::set<char32_t> seen;
    for (const GbkEntry& entry : GBK_TABLE) {
        char name[16];
        std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(entry.codePoint));
        SCOPED_TRACE(name);
        EXPECT_TRUE(seen.insert(entry.codePoint).second) << "listed twice";
        EXPECT_GE(entry.codePoint, U'\x80');
        EXPECT_GE(entry.lead, 0x81);
        const std::string bytes{static_cast<char>(entry.lead), static_cast<char>(entry.trail)};
        EXPECT_EQ(utf8ToGbk(TextValue(utf8Of(entry.codePoint))), TextValue(bytes));
    }
}

TEST(GbkTable, Utf8OfIsRight) {
    EXPECT_EQ(utf8Of(U'\x41'), "A");
    EXPECT_EQ(utf8Of(0xE9), "\xC3\xA9");
    EXPECT_EQ(utf8Of(0x6708), "\xE6\x9C\x88");
    EXPECT_EQ(utf8Of(0x1F600), "\xF0\x9F\x98\x80");
}

TEST(Literals, PinnedBytes) {
    const std::vector<std::pair<TextValue, TextValue>> cases = {
        {gbkLiteral<u8"月">(), hexText("D4 C2")},
        {gbkLiteral<u8"日">(), hexText("C8 D5")},
        {gbkLiteral<u8"、">(), hexText("A1 A2")},
        {gbkLiteral<u8"     答案：">(), hexText("20 20 20 20 20 B4 F0 B0 B8 A3 BA")},
        {gbkLiteral<u8"#引号">(), hexText("23 D2 FD BA C5")},
        {gbkLiteral<u8"提意见">(), hexText("CC E1 D2 E2 BC FB")},
        {gbkLiteral<u8"复制QQ">(), hexText("B8 B4 D6 C6 51 51")},
        {gbkLiteral<u8"请加QQ">(), hexText("C7 EB BC D3 51 51")},
        {gbkLiteral<u8"复制QQ成功，请添加">(), hexText("B8 B4 D6 C6 51 51 B3 C9 B9 A6 A3 AC C7 EB CC ED BC D3")},
        {gbkLiteral<u8"复制成功">(), hexText("B8 B4 D6 C6 B3 C9 B9 A6")},
        {gbkLiteral<u8"微软雅黑">(), hexText("CE A2 C8 ED D1 C5 BA DA")},
        {gbkLiteral<u8"　">(), hexText("A1 A1")},
        {gbkLiteral<u8"Lunteva">(), TextValue("Lunteva")},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE("literal #" + std::to_string(i));
        EXPECT_EQ(cases[i].first, cases[i].second);
    }
}

TEST(Literals, SameLiteralIsOneValue) {
    EXPECT_EQ(&gbkLiteral<u8"月">(), &gbkLiteral<u8"月">());
    EXPECT_EQ(concatText(toText(6), gbkLiteral<u8"月">(), toText(1), gbkLiteral<u8"日">()),
              hexText("36 D4 C2 31 C8 D5"));
}

}  // namespace
}  // namespace lunteva
