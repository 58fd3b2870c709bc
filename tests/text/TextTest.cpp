#include "text/Text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "TextTestSupport.h"

namespace lunteva {
namespace {

constexpr int INT_MAX_VALUE = std::numeric_limits<int>::max();
constexpr int INT_MIN_VALUE = std::numeric_limits<int>::min();

// One computed result and what it must be, with a label for the failure output.
template <class T>
struct Outcome {
    const char* label;
    T actual;
    T expected;
};

template <class T>
void expectAll(const std::vector<Outcome<T>>& outcomes) {
    for (const auto& o : outcomes) {
        SCOPED_TRACE(o.label);
        EXPECT_EQ(o.actual, o.expected);
    }
}

// The invariant of every text: no zero byte, and a zero byte after the last.
void expectWellFormed(const TextValue& text) {
    EXPECT_EQ(text.view().find('\0'), std::string_view::npos) << ::testing::PrintToString(text);
    EXPECT_EQ(text.c_str()[text.length()], '\0');
    EXPECT_EQ(text.length(), static_cast<int>(text.view().size()));
    EXPECT_EQ(text.empty(), text.length() == 0);
}

// --- The one empty text and the zero-byte invariant ---

TEST(TextValue, AllEmptyTextsAreOneValue) {
    const std::vector<TextValue> empties = {
        TextValue(),
        TextValue(""),
        TextValue(std::string_view()),
        TextValue(std::string_view("\0abc", 4)),  // cut at the zero byte
        toText(ByteString()),
        toText(hexBytes("00 41")),
        charFromCode(0),
        charFromCode(0x100),
        blankText(0),
        textLeft("abc", 0),
        textMid("abc", 9, 1),
        trimBoth("  "),
        concatText(TextValue(), TextValue("")),
    };
    for (std::size_t i = 0; i < empties.size(); ++i) {
        SCOPED_TRACE("empty #" + std::to_string(i));
        expectWellFormed(empties[i]);
        EXPECT_TRUE(empties[i].empty());
        EXPECT_EQ(textLength(empties[i]), 0);
        EXPECT_EQ(empties[i], TextValue());
        EXPECT_TRUE(textEquals(empties[i], TextValue("")));
        // Every operation treats each of them alike.
        EXPECT_EQ(findText(empties[i], ""), -1);
        EXPECT_EQ(findTextReverse(empties[i], ""), -1);
        EXPECT_EQ(charCode(empties[i]), 0);
        EXPECT_EQ(toBytes(empties[i]), ByteString());
        EXPECT_EQ(arraySize(splitText(empties[i], ",")), 0);
        EXPECT_EQ(concatText(empties[i], TextValue("x")), TextValue("x"));
    }
}

TEST(TextValue, NeverHoldsAZeroByte) {
    const std::vector<Outcome<TextValue>> cases = {
        {"constructor cuts at the first zero", TextValue(std::string_view("ab\0cd", 5)), "ab"},
        {"toText cuts at the first zero", toText(hexBytes("61 62 00 63")), "ab"},
        {"toText without a zero keeps all", toText(hexBytes("61 B0 A1")), hexText("61 B0 A1")},
        {"charFromCode of 256 is empty", charFromCode(256), ""},
        {"concatText of views with a zero", concatText({"x", std::string_view("a\0b", 3)}), "xa"},
        {"ASCII literal", TextValue("plain"), hexText("70 6C 61 69 6E")},
    };
    expectAll(cases);
    for (const auto& c : cases) expectWellFormed(c.actual);
}

TEST(TextValue, ResultsOfEveryOperationAreWellFormed) {
    const TextValue sample = hexText("20 A1 A1 61 B0 41 2C 62 20");
    const std::vector<TextValue> results = {
        textLeft(sample, 4),     textRight(sample, 3),       textMid(sample, 2, 5),
        trimBoth(sample),        toUpper(sample),            replaceSubtext(sample, "b", "xyz"),
        charFromCode(-1),        blankText(3),               toText(-42),
        concatText(sample, sample, sample),
    };
    for (const TextValue& t : results) expectWellFormed(t);
    for (const TextValue& t : splitText(sample, ",")) expectWellFormed(t);
}

// --- Searching ---

struct FindCase {
    const char* label;
    TextValue text;
    TextValue sub;
    std::optional<int> start;  // absent: the default
    bool ignoreCase;
    int expected;
};

TEST(FindText, PositionsFromOneAndMinusOneForNotFound) {
    const std::vector<FindCase> cases = {
        {"first occurrence", "abcabc", "abc", std::nullopt, false, 1},
        {"start 2 finds the second", "abcabc", "abc", 2, false, 4},
        {"start 4 finds the second at 4", "abcabc", "abc", 4, false, 4},
        {"start 0 counts as 1", "abcabc", "abc", 0, false, 1},
        {"negative start counts as 1", "abcabc", "abc", -5, false, 1},
        {"start 5: no room left", "abcabc", "abc", 5, false, -1},
        {"start 6: no room left", "abcabc", "abc", 6, false, -1},
        {"start beyond the end", "abcabc", "abc", 7, false, -1},
        {"start far beyond the end", "abcabc", "c", INT_MAX_VALUE, false, -1},
        {"sub at the very end", "abcabc", "c", 4, false, 6},
        {"sub longer than text", "ab", "abc", std::nullopt, false, -1},
        {"not present", "abcabc", "x", std::nullopt, false, -1},
        {"empty sub", "abc", "", std::nullopt, false, 1},
        {"empty sub, start at the last byte", "abc", "", 3, false, 1},
        {"empty sub, negative start", "abc", "", -3, false, 1},
        {"empty sub and empty text", "", "", std::nullopt, false, -1},
        {"empty sub, start beyond the end", "abc", "", 4, false, -1},
        {"sub in empty text", "", "a", std::nullopt, false, -1},
        {"case matters by default", "xACCEPT: y", "Accept:", std::nullopt, false, -1},
        {"ignoreCase folds ASCII", "xACCEPT: y", "Accept:", std::nullopt, true, 2},
        {"ignoreCase both ways", "xaccept: y", "ACCEPT:", std::nullopt, true, 2},
        {"ignoreCase leaves non-letters", "a[b", "A{B", std::nullopt, true, -1},
        {"ignoreCase with start", "AbAB", "ab", 2, true, 3},
        {"second byte of a two-byte character is skipped", hexText("B0 41 41"), "A", std::nullopt, false, 3},
        {"same with ignoreCase", hexText("B0 41 41"), "a", std::nullopt, true, 3},
        {"sub may not start inside a character", hexText("B0 41 42"), "AB", std::nullopt, false, -1},
        {"two-byte sub", hexText("61 B0 A1 B0 A2"), hexText("B0 A2"), std::nullopt, false, 4},
        {"two-byte sub not at a boundary", hexText("B0 B0 A1"), hexText("B0 A1"), std::nullopt, false, -1},
        {"start is taken as a boundary", hexText("B0 41 41"), "A", 2, false, 2},
        {"full-width letters are not folded", hexText("A3 C1"), hexText("A3 E1"), std::nullopt, true, -1},
        {"full-width letters match themselves", hexText("61 A3 C1"), hexText("A3 C1"), std::nullopt, true, 2},
        {"a two-byte character is not folded in its second byte", hexText("B0 41"), hexText("B0 61"),
         std::nullopt, true, -1},
        {"a lone lead byte at the end", hexText("61 B0"), hexText("B0"), std::nullopt, false, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const int actual = c.start ? findText(c.text, c.sub, *c.start, c.ignoreCase)
                                   : findText(c.text, c.sub, 1, c.ignoreCase);
        EXPECT_EQ(actual, c.expected);
    }
    // Leaving start and ignoreCase out is the same as giving 1 and false.
    EXPECT_EQ(findText("abcabc", "bc"), 2);
    EXPECT_EQ(findText("xACCEPT", "Accept"), -1);
}

TEST(FindTextReverse, LastOccurrenceEndingBeforeStart) {
    const std::vector<FindCase> cases = {
        {"whole text", "abcabc", "abc", std::nullopt, false, 4},
        {"start one past the end", "abcabc", "abc", 7, false, 4},
        {"start far past the end is clamped", "abcabc", "abc", 1000, false, 4},
        {"start 6: the second does not end before it", "abcabc", "abc", 6, false, 1},
        {"start 4: the first ends at 3", "abcabc", "abc", 4, false, 1},
        {"start 3: the first does not fit", "abcabc", "abc", 3, false, -1},
        {"start 1 gives -1", "abcabc", "abc", 1, false, -1},
        {"start 0 gives -1", "abcabc", "abc", 0, false, -1},
        {"negative start gives -1", "abcabc", "abc", INT_MIN_VALUE, false, -1},
        {"empty text", "", "a", std::nullopt, false, -1},
        {"empty sub", "abc", "", std::nullopt, false, 1},
        {"empty sub with start 2", "abc", "", 2, false, 1},
        {"empty sub with start 1", "abc", "", 1, false, -1},
        {"empty sub and text", "", "", std::nullopt, false, -1},
        {"overlapping candidates: the last one", "aaa", "aa", std::nullopt, false, 2},
        {"not present", "abc", "x", std::nullopt, false, -1},
        {"case matters by default", "xACCEPT: y", "accept:", std::nullopt, false, -1},
        {"ignoreCase", "a=1 A=2", "a=", std::nullopt, true, 5},
        {"stepping skips second bytes", hexText("B0 41 41"), "A", std::nullopt, false, 3},
        {"only a second byte matches", hexText("61 B0 41"), "A", std::nullopt, false, -1},
        {"limit inside a two-byte character", hexText("41 B0 41"), "A", 3, false, 1},
        {"full-width letters are not folded", hexText("A3 C1"), hexText("A3 E1"), std::nullopt, true, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(findTextReverse(c.text, c.sub, c.start, c.ignoreCase), c.expected);
    }
}

// --- Changing ---

TEST(TrimBoth, RemovesSpacesAndFullWidthSpacesOnly) {
    expectAll<TextValue>({
        {"full-width and plain spaces", trimBoth(hexText("A1 A1 61 62 20 A1 A1")), "ab"},
        {"tab, CR and LF are not blanks", trimBoth(" \tab\r\n "), "\tab\r\n"},
        {"only spaces", trimBoth("   "), ""},
        {"only full-width spaces", trimBoth(hexText("A1 A1 20 A1 A1")), ""},
        {"empty text", trimBoth(""), ""},
        {"nothing to trim", trimBoth("a b"), "a b"},
        {"inner blanks stay", trimBoth(hexText("20 61 A1 A1 62 20")), hexText("61 A1 A1 62")},
        {"A1 A1 that straddles characters is not a blank", trimBoth(hexText("B0 A1 A1 A1")), hexText("B0 A1")},
        {"a lone A1 at the end is not a blank", trimBoth(hexText("A1 A1 A1")), hexText("A1")},
        {"a space that is a second byte stays", trimBoth(hexText("20 B0 20")), hexText("B0 20")},
        {"other full-width characters stay", trimBoth(hexText("A1 A2 20")), hexText("A1 A2")},
    });
}

struct ReplaceCase {
    const char* label;
    TextValue text;
    TextValue sub;
    TextValue replacement;
    std::optional<int> start;
    std::optional<int> count;
    bool caseSensitive;
    TextValue expected;
};

TEST(ReplaceSubtext, ReplacesLeftToRightWithoutOverlap) {
    const auto none = std::nullopt;
    const std::vector<ReplaceCase> cases = {
        {"header names, case folded", "Cookie: a=1; COOKIE: b=2", "Cookie:", "", none, none, false, " a=1;  b=2"},
        {"header names, case sensitive", "Cookie: a=1; COOKIE: b=2", "Cookie:", "", none, none, true,
         " a=1; COOKIE: b=2"},
        {"set-cookie, case folded", "Set-Cookie: x", "set-cookie:", "", none, none, false, " x"},
        {"no overlap", "aaa", "aa", "b", none, none, true, "ba"},
        {"replacement is not scanned again", "aa", "a", "aa", none, none, true, "aaaa"},
        {"longer replacement", "a-b-c", "-", "::", none, none, true, "a::b::c"},
        {"start copies the bytes before it", "aXaXa", "a", "b", 2, none, true, "aXbXb"},
        {"start and count", "aXaXa", "a", "b", 2, 1, true, "aXbXa"},
        {"count limits the replacements", "aXaXa", "a", "b", none, 2, true, "bXbXa"},
        {"count above the occurrences", "aXaXa", "a", "b", none, 9, true, "bXbXb"},
        {"count 0 leaves the text", "aXaXa", "a", "b", none, 0, true, "aXaXa"},
        {"negative count leaves the text", "aXaXa", "a", "b", none, -1, true, "aXaXa"},
        {"start 0 counts as 1", "aXaXa", "a", "b", 0, none, true, "bXbXb"},
        {"negative start counts as 1", "aXaXa", "a", "b", -5, none, true, "bXbXb"},
        {"start at the last byte", "aXaXa", "a", "b", 5, none, true, "aXaXb"},
        {"start - 1 at the length leaves the text", "aXaXa", "a", "b", 6, none, true, "aXaXa"},
        {"start far beyond leaves the text", "aXaXa", "a", "b", INT_MAX_VALUE, none, true, "aXaXa"},
        {"empty text", "", "a", "b", none, none, true, ""},
        {"empty sub leaves the text", "abc", "", "x", none, none, true, "abc"},
        {"replacement left out deletes", "a1b1c", "1", TextValue(), none, none, true, "abc"},
        {"sub longer than the rest", "ab", "abc", "x", none, none, true, "ab"},
        {"stepping skips second bytes", hexText("B0 61 61"), "a", "b", none, none, true, hexText("B0 61 62")},
        {"two-byte characters are copied whole", hexText("B0 41 41 B0 41"), "A", "-", none, none, false,
         hexText("B0 41 2D B0 41")},
        {"quote placeholder", hexText("41 23 D2 FD BA C5 42 23 D2 FD BA C5"), hexText("23 D2 FD BA C5"), "\"",
         none, none, true, "A\"B\""},
        {"full-width letters are not folded", hexText("A3 C1 41"), hexText("A3 E1"), "x", none, none, false,
         hexText("A3 C1 41")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(replaceSubtext(c.text, c.sub, c.replacement, c.start, c.count, c.caseSensitive), c.expected);
    }
}

struct SplitCase {
    const char* label;
    TextValue text;
    TextValue separator;
    std::optional<int> maxMembers;
    std::vector<TextValue> expected;
};

TEST(SplitText, PiecesBetweenSeparators) {
    const auto none = std::nullopt;
    const TextValue crlf = "\r\n";
    const std::vector<SplitCase> cases = {
        {"empty text", "", crlf, none, {}},
        {"empty middle member", "a,,b", ",", none, {"a", "", "b"}},
        {"leading separator, trailing separator", ",a,", ",", none, {"", "a"}},
        {"empty separator", "abc", "", none, {"abc"}},
        {"CR LF lines", "a\r\n\r\nb\r\n", crlf, none, {"a", "", "b"}},
        {"no separator in the text", "abc", ",", none, {"abc"}},
        {"only the separator", ",", ",", none, {""}},
        {"two separators", ",,", ",", none, {"", ""}},
        {"multi-byte separator", "a--b--", "--", none, {"a", "b"}},
        {"maxMembers cuts the rest", "a,b,c", ",", 2, {"a", "b"}},
        {"maxMembers 1", "a,b,c", ",", 1, {"a"}},
        {"maxMembers above the count", "a,b,c", ",", 5, {"a", "b", "c"}},
        {"maxMembers 0", "a,b,c", ",", 0, {}},
        {"negative maxMembers counts as 0", "a,b,c", ",", -3, {}},
        {"maxMembers with empty separator", "abc", "", 1, {"abc"}},
        {"separator as a second byte is not one", hexText("B0 2C 2C 61"), ",", none, {hexText("B0 2C"), "a"}},
        {"two-byte separator", hexText("61 A1 A2 62"), hexText("A1 A2"), none, {"a", "b"}},
        {"no case folding", "aXbxc", "x", none, {"aXb", "c"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const TextArray actual = splitText(c.text, c.separator, c.maxMembers);
        ASSERT_EQ(arraySize(actual), static_cast<int>(c.expected.size()));
        for (int i = 1; i <= arraySize(actual); ++i) EXPECT_EQ(actual.member(i), c.expected[i - 1]) << "member " << i;
    }
    // The separator defaults to ",".
    EXPECT_EQ(splitText("x,y"), (TextArray{"x", "y"}));
}

TEST(ToUpper, AsciiLettersOfOneByteCharactersOnly) {
    expectAll<TextValue>({
        {"second byte of a two-byte character stays", toUpper(hexText("61 B0 61 62")), hexText("41 B0 61 42")},
        {"letters and neighbours", toUpper("az AZ @[`{09"), "AZ AZ @[`{09"},
        {"full-width letters stay", toUpper(hexText("A3 E1 61")), hexText("A3 E1 41")},
        {"empty", toUpper(""), ""},
        {"a lone lead byte at the end", toUpper(hexText("61 B0")), hexText("41 B0")},
    });
}

// --- Cutting ---

TEST(Cutting, CountsBytes) {
    expectAll<TextValue>({
        {"textLeft negative", textLeft("abc", -1), ""},
        {"textLeft 0", textLeft("abc", 0), ""},
        {"textLeft 2", textLeft("abc", 2), "ab"},
        {"textLeft length", textLeft("abc", 3), "abc"},
        {"textLeft beyond", textLeft("abc", 5), "abc"},
        {"textLeft of empty", textLeft("", 2), ""},
        {"textLeft splits a character", textLeft(hexText("B0 A1 61"), 1), hexText("B0")},
        {"textRight 2", textRight("abc", 2), "bc"},
        {"textRight beyond", textRight("abc", 5), "abc"},
        {"textRight 0", textRight("abc", 0), ""},
        {"textRight negative", textRight("abc", -2), ""},
        {"textRight splits a character", textRight(hexText("61 B0 A1"), 1), hexText("A1")},
        {"textMid start 0 is not moved", textMid("abc", 0, 2), ""},
        {"textMid negative start", textMid("abc", -1, 5), ""},
        {"textMid start beyond the end", textMid("abc", 4, 1), ""},
        {"textMid count 0", textMid("abc", 2, 0), ""},
        {"textMid negative count", textMid("abc", 2, -1), ""},
        {"textMid cut at the end", textMid("abc", 2, 5), "bc"},
        {"textMid huge count", textMid("abc", 2, INT_MAX_VALUE), "bc"},
        {"textMid whole", textMid("abc", 1, 3), "abc"},
        {"textMid last byte", textMid("abc", 3, 1), "c"},
        {"textMid splits a character", textMid(hexText("B0 A1 B0 A2"), 2, 2), hexText("A1 B0")},
    });
    EXPECT_EQ(textLength(""), 0);
    EXPECT_EQ(textLength(hexText("B0 A1 61")), 3);
}

TEST(Cutting, BytesMidClamps) {
    const ByteString b = hexBytes("01 02 03");
    expectAll<ByteString>({
        {"start 0 counts as 1", bytesMid(b, 0, 2), hexBytes("01 02")},
        {"cut at the end", bytesMid(b, 3, 9), hexBytes("03")},
        {"negative start counts as 1", bytesMid(b, -5, 1), hexBytes("01")},
        {"middle", bytesMid(b, 2, 1), hexBytes("02")},
        {"start one past the end", bytesMid(b, 4, 2), ByteString()},
        {"start far beyond", bytesMid(b, INT_MAX_VALUE, 2), ByteString()},
        {"count 0", bytesMid(b, 1, 0), ByteString()},
        {"negative count", bytesMid(b, 1, -4), ByteString()},
        {"huge count", bytesMid(b, 2, INT_MAX_VALUE), hexBytes("02 03")},
        {"zero bytes are kept", bytesMid(hexBytes("00 01 00 02"), 1, 3), hexBytes("00 01 00")},
        {"empty input", bytesMid(ByteString(), 1, 3), ByteString()},
    });
    EXPECT_EQ(bytesLength(hexBytes("00 00 01")), 3);
    EXPECT_EQ(bytesLength(ByteString()), 0);
}

// --- Conversions ---

TEST(Conversions, CharCodeIsASignedByte) {
    expectAll<int>({
        {"lead byte B0", charCode(hexText("B0 A1")), -80},
        {"byte 80", charCode(hexText("80")), -128},
        {"byte FF", charCode(hexText("FF")), -1},
        {"byte 7F", charCode(hexText("7F")), 127},
        {"position defaults to 1", charCode("ab"), 97},
        {"position 2", charCode("ab", 2), 98},
        {"second byte of a character", charCode(hexText("B0 A1"), 2), -95},
        {"position beyond the end", charCode("ab", 3), 0},
        {"position 0", charCode("ab", 0), 0},
        {"negative position", charCode("ab", -1), 0},
        {"empty text", charCode(""), 0},
    });
}

TEST(Conversions, TextsFromCodesAndCounts) {
    expectAll<TextValue>({
        {"charFromCode 32", charFromCode(32), " "},
        {"charFromCode low 8 bits", charFromCode(0x141), "A"},
        {"charFromCode 0", charFromCode(0), ""},
        {"charFromCode 256", charFromCode(256), ""},
        {"charFromCode -1", charFromCode(-1), hexText("FF")},
        {"charFromCode B0", charFromCode(0xB0), hexText("B0")},
        {"blankText 3", blankText(3), "   "},
        {"blankText 0", blankText(0), ""},
        {"blankText negative", blankText(-2), ""},
        {"toText -12", toText(-12), "-12"},
        {"toText 0", toText(0), "0"},
        {"toText 7", toText(7), "7"},
        {"toText largest", toText(INT_MAX_VALUE), "2147483647"},
        {"toText smallest", toText(INT_MIN_VALUE), "-2147483648"},
        {"toText bytes cut at zero", toText(hexBytes("61 62 00 63")), "ab"},
        {"toText bytes leading zero", toText(hexBytes("00 61")), ""},
        {"toText bytes without zero", toText(hexBytes("36 D4 C2")), hexText("36 D4 C2")},
        {"toText empty bytes", toText(ByteString()), ""},
    });
    expectAll<ByteString>({
        {"toBytes", toBytes(hexText("61 B0 A1")), hexBytes("61 B0 A1")},
        {"toBytes of empty", toBytes(""), ByteString()},
        {"blankBytes 3", blankBytes(3), hexBytes("00 00 00")},
        {"blankBytes 0", blankBytes(0), ByteString()},
        {"blankBytes negative", blankBytes(-1), ByteString()},
    });
    EXPECT_EQ(bytesLength(blankBytes(3)), 3);
    expectAll<int>({
        {"toByte 65", toByte(65), 65},
        {"toByte 256", toByte(256), 0},
        {"toByte 0x1FF", toByte(0x1FF), 255},
        {"toByte -1", toByte(-1), 255},
        {"toByte -128", toByte(-128), 128},
    });
}

// --- Comparing and joining ---

TEST(Comparing, EqualityOfTextsAndBytes) {
    expectAll<bool>({
        {"same text", textEquals("abc", "abc"), true},
        {"case matters", textEquals("abc", "ABC"), false},
        {"prefix is not equal", textEquals("ab", "abc"), false},
        {"empty texts", textEquals(TextValue(), ""), true},
        {"empty and non-empty", textEquals("", " "), false},
        {"two-byte texts", textEquals(hexText("B0 A1"), hexText("B0 A1")), true},
        {"same bytes", bytesEqual(hexBytes("00 01"), hexBytes("00 01")), true},
        {"zero bytes count", bytesEqual(hexBytes("00"), hexBytes("00 00")), false},
        {"different bytes", bytesEqual(hexBytes("01"), hexBytes("02")), false},
        {"empty byte strings", bytesEqual(ByteString(), ByteString(std::string_view())), true},
        {"empty and zero byte", bytesEqual(ByteString(), hexBytes("00")), false},
    });
}

TEST(Joining, ConcatenatesInOrder) {
    expectAll<TextValue>({
        {"two", concatText("ab", "cd"), "abcd"},
        {"three with an empty one", concatText("a", "", "b"), "ab"},
        {"all empty", concatText(TextValue(), TextValue("")), ""},
        {"many", concatText("1", "2", "3", "4", "5"), "12345"},
        {"936 bytes", concatText(hexText("36"), hexText("D4 C2"), hexText("31 C8 D5")), hexText("36 D4 C2 31 C8 D5")},
    });
    expectAll<ByteString>({
        {"bytes with zeros", concatBytes(hexBytes("00 01"), hexBytes("02 00")), hexBytes("00 01 02 00")},
        {"bytes with empty", concatBytes(ByteString(), hexBytes("05"), ByteString()), hexBytes("05")},
        {"bytes all empty", concatBytes(ByteString(), ByteString()), ByteString()},
    });
}

// --- Arithmetic ---

TEST(Arithmetic, RemainderAndTruncation) {
    expectAll<double>({
        {"7 rem 3", remainder(7, 3), 1},
        {"-7 rem 3", remainder(-7, 3), -1},
        {"7 rem -3", remainder(7, -3), 1},
        {"9 rem 3", remainder(9, 3), 0},
        {"8 rem 3", remainder(8, 3), 2},
        {"2.5 rem 1", remainder(2.5, 1), 0.5},
        {"-0.5 rem 3", remainder(-0.5, 3), -0.5},
    });
    EXPECT_TRUE(std::isnan(remainder(1, 0)));
    expectAll<int>({
        {"2.9", truncateToInt(2.9), 2},
        {"-2.9", truncateToInt(-2.9), -2},
        {"-0.5", truncateToInt(-0.5), 0},
        {"exact", truncateToInt(5.0), 5},
        {"just below the largest", truncateToInt(2147483647.5), INT_MAX_VALUE},
        {"too large saturates", truncateToInt(1e10), INT_MAX_VALUE},
        {"too small saturates", truncateToInt(-1e10), INT_MIN_VALUE},
        {"NaN gives 0", truncateToInt(std::numeric_limits<double>::quiet_NaN()), 0},
        {"remainder as a count", truncateToInt(remainder(10, 3)), 1},
    });
}

TEST(Arithmetic, BitsAndShifts) {
    expectAll<int>({
        {"and", bitAnd(0xFF, 0x0F), 0x0F},
        {"and with -1", bitAnd(-1, 0x1234), 0x1234},
        {"and disjoint", bitAnd(0xF0, 0x0F), 0},
        {"and negatives", bitAnd(-8, -3), -8},
        {"left by 2", shiftLeft(0xFF, 2), 0x3FC},
        {"left by 4", shiftLeft(0xFF, 4), 0xFF0},
        {"left by 6", shiftLeft(0xFF, 6), 0x3FC0},
        {"left by 0", shiftLeft(5, 0), 5},
        {"left into the sign bit", shiftLeft(1, 31), INT_MIN_VALUE},
        {"left past the top", shiftLeft(0x40000000, 2), 0},
        {"right by 2", shiftRight(0xFF, 2), 0x3F},
        {"right by 4", shiftRight(0xFF, 4), 0x0F},
        {"right by 6", shiftRight(0xFF, 6), 3},
        {"right copies the sign", shiftRight(-8, 1), -4},
        {"right of the smallest by 31", shiftRight(INT_MIN_VALUE, 31), -1},
        {"right of -1", shiftRight(-1, 4), -1},
    });
}

// --- Arrays ---

TEST(TextArray, AppendAndMembersFromOne) {
    TextArray array;
    EXPECT_EQ(arraySize(array), 0);
    TextValue text = "first";
    arrayAppend(array, text);
    arrayAppend(array, TextValue());
    arrayAppend(array, hexText("B0 A1"));
    text = "changed";  // the array holds copies
    ASSERT_EQ(arraySize(array), 3);
    EXPECT_EQ(array.member(1), TextValue("first"));
    EXPECT_EQ(array.member(2), TextValue());
    EXPECT_EQ(array.member(3), hexText("B0 A1"));
    // Outside 1..size the array answers the empty text.
    EXPECT_EQ(array.member(0), TextValue());
    EXPECT_EQ(array.member(4), TextValue());
    array.clear();
    EXPECT_EQ(arraySize(array), 0);
}

}  // namespace
}  // namespace lunteva
