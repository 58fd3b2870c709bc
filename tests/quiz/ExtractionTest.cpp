#include "quiz/Extraction.h"

#include <climits>
#include <ostream>
#include <vector>

#include <gtest/gtest.h>

#include "CountingWindowSystem.h"
#include "TestBytes.h"
#include "text/Literals.h"

namespace lunteva {
namespace {

using testing::members;
using testing::text;

const TextValue& hashQuote() { return gbkLiteral<u8"#引号">(); }

// --- textBetween ---

struct BetweenCase {
    const char* name;
    TextValue source;
    TextValue front;
    TextValue back;
    int start;
    bool ignoreCase;
    TextValue expected;
};

void PrintTo(const BetweenCase& c, std::ostream* os) { *os << c.name; }

class TextBetweenTest : public ::testing::TestWithParam<BetweenCase> {};

TEST_P(TextBetweenTest, Yields) {
    const BetweenCase& c = GetParam();
    const TextValue source = c.source;
    EXPECT_EQ(textBetween(c.source, c.front, c.back, c.start, c.ignoreCase), c.expected);
    EXPECT_EQ(c.source, source);
}

// Source x, D4 C2, D4 C2, y, C2 D4, q, z: the bytes C2 D4 also appear from
// byte 3, across two characters, where no search may find them.
const TextValue STRADDLED = text({"x", {0xD4, 0xC2, 0xD4, 0xC2}, "y", {0xC2, 0xD4}, "qz"});

INSTANTIATE_TEST_SUITE_P(
    Cases, TextBetweenTest,
    ::testing::Values(
        BetweenCase{"Plain", "x<tr>ab</tr>y", "<tr>", "</tr>", 0, false, "ab"},
        BetweenCase{"BackOnlyBeforeFront", "</tr>x<tr>ab", "<tr>", "</tr>", 0, false, ""},
        BetweenCase{"FrontAtVeryEnd", "ab<tr>", "<tr>", "</tr>", 0, false, ""},
        BetweenCase{"MarkersAdjacent", "<tr></tr>", "<tr>", "</tr>", 0, false, ""},
        BetweenCase{"FrontMissing", "ab</tr>", "<tr>", "</tr>", 0, false, ""},
        BetweenCase{"EmptySource", "", "<tr>", "</tr>", 0, false, ""},
        BetweenCase{"FirstFrontAndNextBack", "<tr>a</tr><tr>b</tr>", "<tr>", "</tr>", 0, false, "a"},
        BetweenCase{"QuotePlaceholder", "<a href=\"x\">", text({"href=", hashQuote()}), hashQuote(), 0, false,
                    "x"},
        BetweenCase{"PlaceholderInSourceIsPlainText", text({"<a href=", hashQuote(), "x\">"}),
                    text({"href=", hashQuote()}), hashQuote(), 0, false, ""},
        BetweenCase{"CaseSensitive", "<TR>ab</TR>", "<tr>", "</tr>", 0, false, ""},
        BetweenCase{"IgnoreCase", "<TR>ab</Tr>", "<tr>", "</tr>", 0, true, "ab"},
        BetweenCase{"StartZero", "[1][2]", "[", "]", 0, false, "1"},
        BetweenCase{"StartNegative", "[1][2]", "[", "]", -5, false, "1"},
        BetweenCase{"StartSkipsFirst", "[1][2]", "[", "]", 2, false, "2"},
        BetweenCase{"StartBeyondEnd", "[1][2]", "[", "]", 7, false, ""},
        BetweenCase{"BackSearchedAfterFront", "]x[a]", "[", "]", 0, false, "a"},
        BetweenCase{"TwoByteMarkerOnBoundaryOnly", STRADDLED, text({{0xC2, 0xD4}}), "z", 0, false, "q"}),
    [](const auto& info) { return info.param.name; });

// --- allTextsBetween ---

struct AllCase {
    const char* name = "";
    TextValue source;
    TextValue front;
    TextValue back;
    bool ignoreCase = false;
    int maxLength = 0;
    TextValue prefix;
    TextValue suffix;
    bool keepFront = false;
    bool keepBack = false;
    int start = 0;
    std::vector<TextValue> expected;
    int matches = 0;  // front markers that found a back marker
};

void PrintTo(const AllCase& c, std::ostream* os) { *os << c.name; }

class AllTextsBetweenTest : public ::testing::TestWithParam<AllCase> {};

TEST_P(AllTextsBetweenTest, CollectsAndProcessesEventsPerMatch) {
    const AllCase& c = GetParam();
    TextArray results{"left", "over"};
    testing::resetPendingEventPasses();
    const int count = allTextsBetween(c.source, c.front, c.back, results, c.ignoreCase, c.maxLength, c.prefix,
                                      c.suffix, c.keepFront, c.keepBack, c.start);
    EXPECT_EQ(members(results), c.expected);
    EXPECT_EQ(count, arraySize(results));
    EXPECT_EQ(testing::pendingEventPasses(), 3LL * c.matches);
}

AllCase all(const char* name, TextValue source, TextValue front, TextValue back, std::vector<TextValue> expected,
            int matches) {
    AllCase c;
    c.name = name;
    c.source = std::move(source);
    c.front = std::move(front);
    c.back = std::move(back);
    c.expected = std::move(expected);
    c.matches = matches;
    return c;
}

AllCase withLimit(AllCase c, int maxLength) {
    c.maxLength = maxLength;
    return c;
}

AllCase decorated(AllCase c, TextValue prefix, TextValue suffix, bool keepFront, bool keepBack) {
    c.prefix = std::move(prefix);
    c.suffix = std::move(suffix);
    c.keepFront = keepFront;
    c.keepBack = keepBack;
    return c;
}

AllCase from(AllCase c, int start, bool ignoreCase = false) {
    c.start = start;
    c.ignoreCase = ignoreCase;
    return c;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AllTextsBetweenTest,
    ::testing::Values(
        all("TwoRows", "<tr>1</tr><tr>2</tr>", "<tr>", "</tr>", {"1", "2"}, 2),
        all("NothingMatches", "no rows here", "<tr>", "</tr>", {}, 0),
        all("EmptySource", "", "<tr>", "</tr>", {}, 0),
        all("FrontWithoutBackEnds", "<tr>1</tr><tr>2", "<tr>", "</tr>", {"1"}, 1),
        all("Overlap", "<tr>a<tr>b</tr>", "<tr>", "</tr>", {"a<tr>b", "b"}, 2),
        all("EmptyMiddle", "<tr></tr>", "<tr>", "</tr>", {""}, 1),
        withLimit(all("LimitKeepsShorter", "<tr>ab</tr><tr>abc</tr>", "<tr>", "</tr>", {"ab"}, 2), 3),
        withLimit(all("NegativeLimitKeepsNone", "<tr>a</tr><tr>b</tr>", "<tr>", "</tr>", {}, 2), -1),
        withLimit(decorated(all("LimitCountsDecoration", "<tr>x</tr><tr>xy</tr>", "<tr>", "</tr>",
                                {"<tr>[x]</tr>"}, 2),
                            "[", "]", true, true),
                  13),
        decorated(all("Decorated", "<tr>x</tr>", "<tr>", "</tr>", {"<tr>[x]</tr>"}, 1), "[", "]", true, true),
        decorated(all("KeepFrontOnly", "<tr>x</tr>", "<tr>", "</tr>", {"<tr>x"}, 1), "", "", true, false),
        decorated(all("KeepBackOnly", "<tr>x</tr>", "<tr>", "</tr>", {"x</tr>"}, 1), "", "", false, true),
        // The second front marker ends at the last byte: nothing is left to search.
        decorated(all("EmptyBackMarker", "a<tr>b<tr>", "<tr>", "", {"[]"}, 1), "[", "]", false, false),
        decorated(all("EmptyBackMarkerKeepsMarkers", "<tr>b<tr>c", "<tr>", "", {"<tr>", "<tr>"}, 2), "", "",
                  true, true),
        from(all("StartPosition", "<tr>1</tr><tr>2</tr>", "<tr>", "</tr>", {"2"}, 1), 2),
        from(all("StartBelowOne", "<tr>1</tr>", "<tr>", "</tr>", {"1"}, 1), -3),
        all("CaseSensitive", "<TR>x</TR>", "<tr>", "</tr>", {}, 0),
        from(all("IgnoreCase", "<TR>x</tR><tr>y</TR>", "<tr>", "</tr>", {"x", "y"}, 2), 0, true),
        all("PlaceholderNotReplaced", text({hashQuote(), "x", hashQuote()}), hashQuote(), hashQuote(), {"x"}, 1),
        all("PlaceholderNotAQuote", "\"x\"", hashQuote(), hashQuote(), {}, 0),
        all("TwoByteMarkerOnBoundaryOnly", STRADDLED, text({{0xC2, 0xD4}}), "z", {"q"}, 1),
        all("EmptyFrontMarkerYieldsNothing", "ab</tr>", "", "</tr>", {}, 0)),
    [](const auto& info) { return info.param.name; });

// --- textBefore ---

struct BeforeCase {
    const char* name;
    TextValue source;
    TextValue separator;
    int start;
    bool ignoreCase;
    TextValue expected;
};

void PrintTo(const BeforeCase& c, std::ostream* os) { *os << c.name; }

class TextBeforeTest : public ::testing::TestWithParam<BeforeCase> {};

TEST_P(TextBeforeTest, Yields) {
    const BeforeCase& c = GetParam();
    EXPECT_EQ(textBefore(c.source, c.separator, c.start, c.ignoreCase), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextBeforeTest,
    ::testing::Values(BeforeCase{"HeaderName", "Set-Cookie: a=1", ": ", 0, false, "Set-Cookie"},
                      BeforeCase{"Missing", "Set-Cookie a=1", ": ", 0, false, ""},
                      BeforeCase{"AtPositionOne", ": a=1", ": ", 0, false, ""},
                      BeforeCase{"EmptySource", "", ".", 0, false, ""},
                      BeforeCase{"FromLeftFirst", "a.b.c", ".", 0, false, "a"},
                      BeforeCase{"FromLeftLater", "a.b.c", ".", 3, false, "a.b"},
                      BeforeCase{"FromLeftBeyondEnd", "a.b.c", ".", 6, false, ""},
                      BeforeCase{"FromRightWhole", "a.b.c", ".", -1, false, "a.b"},
                      BeforeCase{"FromRightShort", "a.b.c", ".", -2, false, "a"},
                      BeforeCase{"FromRightThree", "a.b.c", ".", -3, false, "a"},
                      BeforeCase{"FromRightTooShort", "a.b.c", ".", -4, false, ""},
                      BeforeCase{"FromRightNothingLeft", "a.b.c", ".", -5, false, ""},
                      BeforeCase{"FromRightFarOut", "a.b.c", ".", INT_MIN, false, ""},
                      BeforeCase{"CaseSensitive", "NameXvalue", "x", 0, false, ""},
                      BeforeCase{"IgnoreCase", "NameXvalue", "x", 0, true, "Name"},
                      BeforeCase{"IgnoreCaseFromRight", "aXbxc", "X", -1, true, "aXb"},
                      BeforeCase{"PlaceholderNotReplaced", "a\"b", hashQuote(), 0, false, ""},
                      BeforeCase{"TwoByteSeparatorOnBoundaryOnly", STRADDLED, text({{0xC2, 0xD4}}), 0, false,
                                 text({"x", {0xD4, 0xC2, 0xD4, 0xC2}, "y"})},
                      BeforeCase{"TwoByteSeparatorFromRight", STRADDLED, text({{0xC2, 0xD4}}), -1, false,
                                 text({"x", {0xD4, 0xC2, 0xD4, 0xC2}, "y"})}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace lunteva
