// The code-page layer's contract (text/CodePage.h), as the conversions rely
// on it. Only the contract is used here, so the same tests hold for every
// backend: the platform's own pair on Windows and the iconv layer elsewhere.
#include "text/CodePage.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace lunteva {
namespace {

constexpr char GUARD = '\x55';
constexpr char16_t GUARD_UNIT = u'\x5555';
constexpr unsigned UNKNOWN_CODE_PAGE = 12345;

// "6月1日" in UTF-8 and in code page 936, each with its terminator.
const char SIX_JUNE_UTF8[] = "6\xE6\x9C\x88" "1\xE6\x97\xA5";
const char SIX_JUNE_GBK[] = "6\xD4\xC2" "1\xC8\xD5";
const char16_t SIX_JUNE_UTF16[] = u"6\u67081\u65E5";

// A destination of `size` elements followed by guard elements that no call may touch.
template <class Unit>
struct GuardedBuffer {
    static constexpr int GUARDS = 16;
    GuardedBuffer(int size, Unit guard) : size_(size), guard_(guard), storage_(size + GUARDS, guard) {}
    Unit* data() { return storage_.data(); }
    bool guardsIntact() const {
        for (int i = size_; i < size_ + GUARDS; ++i)
            if (storage_[i] != guard_) return false;
        return true;
    }
    std::vector<Unit> written(int count) const { return {storage_.begin(), storage_.begin() + count}; }

    int size_;
    Unit guard_;
    std::vector<Unit> storage_;
};

std::vector<char16_t> unitsOf(const char16_t* s) {
    std::vector<char16_t> units;
    do units.push_back(*s); while (*s++ != u'\0');
    return units;
}

std::vector<char> bytesOf(const char* s) { return {s, s + std::strlen(s) + 1}; }

TEST(CodePageLayer, LengthQueriesCountTheTerminator) {
    EXPECT_EQ(multiByteToWideChar(CP_UTF8, "", nullptr, 0), 1);
    EXPECT_EQ(multiByteToWideChar(CP_UTF8, "abc", nullptr, 0), 4);
    EXPECT_EQ(multiByteToWideChar(CP_UTF8, SIX_JUNE_UTF8, nullptr, 0), 5);
    EXPECT_EQ(multiByteToWideChar(CP_GBK, SIX_JUNE_GBK, nullptr, 0), 5);
    EXPECT_EQ(multiByteToWideChar(CP_UTF8, "\xF0\x9F\x98\x80", nullptr, 0), 3);  // a surrogate pair
    EXPECT_EQ(wideCharToMultiByte(CP_GBK, u"", nullptr, 0), 1);
    EXPECT_EQ(wideCharToMultiByte(CP_GBK, SIX_JUNE_UTF16, nullptr, 0), 7);
    EXPECT_EQ(wideCharToMultiByte(CP_UTF8, SIX_JUNE_UTF16, nullptr, 0), 9);
    // Every machine's ANSI code page takes at least one byte per unit.
    EXPECT_GE(wideCharToMultiByte(CP_ACP, SIX_JUNE_UTF16, nullptr, 0), 5);
}

TEST(CodePageLayer, SizeZeroCountsWhateverTheDestination) {
    char16_t units[4] = {GUARD_UNIT, GUARD_UNIT, GUARD_UNIT, GUARD_UNIT};
    char bytes[4] = {GUARD, GUARD, GUARD, GUARD};
    EXPECT_EQ(multiByteToWideChar(CP_UTF8, "abc", units, 0), 4);
    EXPECT_EQ(wideCharToMultiByte(CP_GBK, u"abc", bytes, 0), 4);
    EXPECT_EQ(units[0], GUARD_UNIT);
    EXPECT_EQ(bytes[0], GUARD);
}

TEST(CodePageLayer, ConversionWritesTextAndTerminator) {
    {
        GuardedBuffer<char16_t> out(5, GUARD_UNIT);
        EXPECT_EQ(multiByteToWideChar(CP_UTF8, SIX_JUNE_UTF8, out.data(), 5), 5);
        EXPECT_EQ(out.written(5), unitsOf(SIX_JUNE_UTF16));
        EXPECT_TRUE(out.guardsIntact());
    }
    {
        GuardedBuffer<char> out(7, GUARD);
        EXPECT_EQ(wideCharToMultiByte(CP_GBK, SIX_JUNE_UTF16, out.data(), 7), 7);
        EXPECT_EQ(out.written(7), bytesOf(SIX_JUNE_GBK));
        EXPECT_TRUE(out.guardsIntact());
    }
    {
        // Room to spare: the count is what was written, the rest is untouched.
        GuardedBuffer<char> out(20, GUARD);
        EXPECT_EQ(wideCharToMultiByte(CP_GBK, SIX_JUNE_UTF16, out.data(), 20), 7);
        EXPECT_EQ(out.written(7), bytesOf(SIX_JUNE_GBK));
        EXPECT_EQ(out.storage_[7], GUARD);
    }
    {
        GuardedBuffer<char16_t> out(5, GUARD_UNIT);
        EXPECT_EQ(multiByteToWideChar(CP_GBK, SIX_JUNE_GBK, out.data(), 5), 5);
        EXPECT_EQ(out.written(5), unitsOf(SIX_JUNE_UTF16));
    }
}

TEST(CodePageLayer, TooSmallDestinationGivesZeroAndStaysInside) {
    const int needUnits = multiByteToWideChar(CP_UTF8, SIX_JUNE_UTF8, nullptr, 0);
    for (int size = 1; size < needUnits; ++size) {
        SCOPED_TRACE("units: " + std::to_string(size));
        GuardedBuffer<char16_t> out(size, GUARD_UNIT);
        EXPECT_EQ(multiByteToWideChar(CP_UTF8, SIX_JUNE_UTF8, out.data(), size), 0);
        EXPECT_TRUE(out.guardsIntact());
    }
    const int needBytes = wideCharToMultiByte(CP_GBK, SIX_JUNE_UTF16, nullptr, 0);
    for (int size = 1; size < needBytes; ++size) {
        SCOPED_TRACE("bytes: " + std::to_string(size));
        GuardedBuffer<char> out(size, GUARD);
        EXPECT_EQ(wideCharToMultiByte(CP_GBK, SIX_JUNE_UTF16, out.data(), size), 0);
        EXPECT_TRUE(out.guardsIntact());
    }
}

TEST(CodePageLayer, InvalidArgumentsGiveZero) {
    char16_t units[8];
    char bytes[8];
    EXPECT_EQ(multiByteToWideChar(UNKNOWN_CODE_PAGE, "abc", units, 8), 0);
    EXPECT_EQ(multiByteToWideChar(UNKNOWN_CODE_PAGE, "abc", nullptr, 0), 0);
    EXPECT_EQ(wideCharToMultiByte(UNKNOWN_CODE_PAGE, u"abc", bytes, 8), 0);
    EXPECT_EQ(wideCharToMultiByte(UNKNOWN_CODE_PAGE, u"abc", nullptr, 0), 0);
    EXPECT_EQ(multiByteToWideChar(CP_UTF8, nullptr, units, 8), 0);
    EXPECT_EQ(wideCharToMultiByte(CP_GBK, nullptr, bytes, 8), 0);
    EXPECT_EQ(multiByteToWideChar(CP_UTF8, "abc", nullptr, 8), 0);
    EXPECT_EQ(wideCharToMultiByte(CP_GBK, u"abc", nullptr, 8), 0);
}

// UTF-8 to UTF-16 without error flags: every bad sequence becomes one U+FFFD
// and the rest comes through.
TEST(CodePageLayer, BadUtf8BecomesReplacementCharacters) {
    struct Case {
        const char* label;
        const char* utf8;
        std::u16string expected;  // without the terminator
    };
    const std::vector<Case> cases = {
        {"lead byte before ASCII", "\xC3" "A", u"\uFFFDA"},
        {"lone continuation byte", "a\x80z", u"a\uFFFDz"},
        {"truncated three-byte sequence before the end", "a\xE6\x9C", u"a\uFFFD"},
        {"truncated four-byte sequence before the end", "a\xF0\x9F\x98", u"a\uFFFD"},
        {"truncated sequence before ASCII", "\xE6\x9C" "abc", u"\uFFFDabc"},
        {"overlong two-byte form", "a\xC0\xAFz", u"a\uFFFD\uFFFDz"},
        {"bytes that never occur", "a\xFF\xFEz", u"a\uFFFD\uFFFDz"},
        {"five-byte form", "a\xF8\x88\x80\x80\x80z", u"a\uFFFD\uFFFD\uFFFD\uFFFD\uFFFDz"},
        {"a page in 936", "6\xD4\xC2" "1\xC8\xD5", u"6\uFFFD\uFFFD1\uFFFD\uFFFD"},
        {"valid text around a bad byte", "\xE6\x9C\x88\x80\xE6\x97\xA5", u"\u6708\uFFFD\u65E5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const int need = multiByteToWideChar(CP_UTF8, c.utf8, nullptr, 0);
        ASSERT_EQ(need, static_cast<int>(c.expected.size()) + 1);
        GuardedBuffer<char16_t> out(need, GUARD_UNIT);
        ASSERT_EQ(multiByteToWideChar(CP_UTF8, c.utf8, out.data(), need), need);
        EXPECT_EQ(std::u16string(out.data(), need - 1), c.expected);
        EXPECT_EQ(out.data()[need - 1], u'\0');
        EXPECT_TRUE(out.guardsIntact());
    }
}

// Sequences that are malformed past their second byte (overlong three- and
// four-byte forms, encoded surrogates, beyond U+10FFFF) also give U+FFFD and
// leave the rest intact; how many is the platform's.
TEST(CodePageLayer, MalformedLongSequencesAreReplaced) {
    const char* const cases[] = {
        "a\xE0\x80\xAFz",      // overlong "/"
        "a\xED\xA0\x80z",      // encoded surrogate U+D800
        "a\xED\xBF\xBFz",      // encoded surrogate U+DFFF
        "a\xF0\x80\x80\xAFz",  // overlong four-byte form
        "a\xF4\x90\x80\x80z",  // beyond U+10FFFF
    };
    for (const char* utf8 : cases) {
        SCOPED_TRACE(utf8 + 1);
        const int need = multiByteToWideChar(CP_UTF8, utf8, nullptr, 0);
        ASSERT_GE(need, 4);
        ASSERT_LE(need, static_cast<int>(std::strlen(utf8)) + 1);
        GuardedBuffer<char16_t> out(need, GUARD_UNIT);
        ASSERT_EQ(multiByteToWideChar(CP_UTF8, utf8, out.data(), need), need);
        EXPECT_EQ(out.data()[0], u'a');
        for (int i = 1; i < need - 2; ++i) EXPECT_EQ(out.data()[i], u'\uFFFD') << "unit " << i;
        EXPECT_EQ(out.data()[need - 2], u'z');
        EXPECT_EQ(out.data()[need - 1], u'\0');
    }
}

// UTF-16 to 936 without a default character: a unit that 936 lacks becomes "?".
TEST(CodePageLayer, MissingCharactersBecomeQuestionMarks) {
    struct Case {
        const char* label;
        std::u16string units;
        std::string expected;  // without the terminator
    };
    const std::vector<Case> cases = {
        {"Hangul syllable", u"a\uAC00z", "a?z"},
        {"replacement character", u"\uFFFD", "?"},
        {"character outside the BMP: one per unit", u"a\U0001F600z", "a??z"},
        {"lone high surrogate", u"a\xD800z", "a?z"},
        {"lone low surrogate", u"a\xDC00z", "a?z"},
        {"ideographic space", u"\u3000", "\xA1\xA1"},
        {"euro sign", u"\u20AC", "\x80"},
        {"ASCII", u"Cookie: a=1", "Cookie: a=1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const int need = wideCharToMultiByte(CP_GBK, c.units.c_str(), nullptr, 0);
        ASSERT_EQ(need, static_cast<int>(c.expected.size()) + 1);
        GuardedBuffer<char> out(need, GUARD);
        ASSERT_EQ(wideCharToMultiByte(CP_GBK, c.units.c_str(), out.data(), need), need);
        EXPECT_EQ(std::string(out.data(), need - 1), c.expected);
        EXPECT_EQ(out.data()[need - 1], '\0');
        EXPECT_TRUE(out.guardsIntact());
    }
}

// Code page 936 as Windows has it: private-use mappings, the byte FF, best-fit
// substitutes, and a lead byte that always takes the byte after it.
TEST(CodePageLayer, Gbk936AsWindowsHasIt) {
    struct ToGbk {
        const char* label;
        std::u16string units;
        std::string expected;
    };
    const std::vector<ToGbk> toGbk = {
        {"first user-defined code", u"\xE000", "\xAA\xA1"},
        {"user-defined code in row A1", u"\xE4C6", "\xA1\x40"},
        {"GBK code without a character", u"\xE815", "\xFE\x50"},
        {"U+F8F5 is the byte FF", u"\xF8F5", "\xFF"},
        {"best fit to one byte", u"m\x00B2", "m2"},
        {"best fit to two bytes", u"\x00C0", "\xA8\xA4"},
        {"private use without a code", u"\xF000", "?"},
    };
    for (const auto& c : toGbk) {
        SCOPED_TRACE(c.label);
        char out[8] = {};
        ASSERT_EQ(wideCharToMultiByte(CP_GBK, c.units.c_str(), out, sizeof out),
                  static_cast<int>(c.expected.size()) + 1);
        EXPECT_EQ(std::string(out), c.expected);
    }
    struct FromGbk {
        const char* label;
        const char* bytes;
        std::u16string expected;
    };
    const std::vector<FromGbk> fromGbk = {
        {"user-defined code", "\xAA\xA1", u"\xE000"},
        {"byte FF", "a\xFF" "b", u"a\xF8F5" u"b"},
        {"lead byte takes a space", "a\xB0 z", u"a?z"},
        {"lead byte takes a control byte", "a\x81\x01z", u"a?z"},
        {"lone lead byte before the end", "a\xB0", u"a?"},
        {"ideographic space", "\xA1\xA1", u"\x3000"},
        {"euro sign", "\x80", u"\x20AC"},
    };
    for (const auto& c : fromGbk) {
        SCOPED_TRACE(c.label);
        char16_t out[8] = {};
        ASSERT_EQ(multiByteToWideChar(CP_GBK, c.bytes, out, 8), static_cast<int>(c.expected.size()) + 1);
        EXPECT_EQ(std::u16string(out), c.expected);
    }
}

}  // namespace
}  // namespace lunteva
