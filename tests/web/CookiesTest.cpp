#include "web/Cookies.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace lunteva {
namespace {

struct MergeCase {
    const char* name;
    std::string old;
    std::string fresh;
    std::string expected;
};

void PrintTo(const MergeCase& c, std::ostream* os) { *os << c.name; }

class MergeCookiesTest : public testing::TestWithParam<MergeCase> {};

TEST_P(MergeCookiesTest, ReplacesAndReturns) {
    const MergeCase& c = GetParam();
    TextValue old(c.old);
    const TextValue result = mergeCookies(old, TextValue(c.fresh));
    EXPECT_EQ(result, TextValue(c.expected));
    EXPECT_EQ(old, TextValue(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MergeCookiesTest,
    testing::Values(MergeCase{"NewReplacesOld", "a=1; b=2", "b=3; c=4", "b=3; c=4; a=1"},
                    MergeCase{"DeletedDropped", "a=1", "a=deleted", ""},
                    MergeCase{"TrailingSemicolon", "a=1;", "", "a=1"},
                    MergeCase{"Trimmed", " a=1 ", "", "a=1"},
                    MergeCase{"IdeographicSpacesTrimmed", "\xA1\xA1" "a=1\xA1\xA1", "", "a=1"},
                    MergeCase{"FirstOldOfANameWins", "a=1; a=2", "", "a=1"},
                    MergeCase{"NewKeepsSameNames", "", "x=1; x=2", "x=1; x=2"},
                    MergeCase{"EqualItemsOnce", "", "x=1; x=1", "x=1"},
                    MergeCase{"NamesCaseSensitive", "A=1", "a=2", "a=2; A=1"},
                    MergeCase{"DeletedTestExact", "s=Deleted", "", "s=Deleted"},
                    MergeCase{"SemicolonWithoutSpaceDoesNotDivide", "a=1;b=2", "", "a=1;b=2"},
                    MergeCase{"BothEmpty", "", "", ""},
                    MergeCase{"OldDeletedDropped", "a=deleted; b=1", "", "b=1"},
                    MergeCase{"NewDeletedHidesOld", "a=1; b=2", "a=deleted", "b=2"},
                    MergeCase{"NameTrimmedForComparison", "a=1", " a =2", "a =2"},
                    MergeCase{"ItemWithoutEquals", "flag; a=1", "flag", "flag; a=1"},
                    MergeCase{"FreshTrailingSemicolon", "b=1", "a=1;", "a=1; b=1"},
                    MergeCase{"EmptyItemsOnce", "a=1; ; ; b=2", "", "a=1; ; b=2"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CookieName, FrontOfFirstEqualsTrimmed) {
    const std::pair<std::string, std::string> cases[] = {
        {"a=1", "a"}, {" a = 1", "a"}, {"a=b=c", "a"}, {"flag", "flag"}, {" flag ", "flag"}, {"=v", ""}, {"", ""},
    };
    for (const auto& [item, name] : cases) EXPECT_EQ(cookieName(TextValue(item)), TextValue(name)) << item;
}

TEST(HasCookieName, ComparesNamesByteForByte) {
    const TextArray items{"a=1", " b =2", "c"};
    EXPECT_TRUE(hasCookieName(items, "a"));
    EXPECT_TRUE(hasCookieName(items, "b"));
    EXPECT_TRUE(hasCookieName(items, "c"));
    EXPECT_FALSE(hasCookieName(items, "A"));
    EXPECT_FALSE(hasCookieName(items, "a=1"));
    EXPECT_FALSE(hasCookieName(TextArray{}, ""));
    EXPECT_TRUE(hasCookieName(TextArray{""}, ""));
}

struct JoinCase {
    std::string text;
    std::string separator;
    bool bySeparator;
    std::string expected;
};

TEST(JoinUnique, KeepsFirstOfEqualPieces) {
    const JoinCase cases[] = {
        {"x,y,x", ",", true, "x,y"},
        {"abca", "", false, "abc"},
        {"", ",", true, ""},
        {"", "", false, ""},
        {",,a,,", ",", true, ",a"},  // empty pieces count like any other
        {"a; b; a", "; ", true, "a; b"},
        {"abc", "", true, "abc"},  // an empty separator splits nothing
        {"aba", "-", false, "a-b"},
        {"\xB0\xA1\xB0\xA1x", "", false, "\xB0\xA1x"},
        {"a\r\na\r\n", "", false, "a\r\n"},
    };
    for (const JoinCase& c : cases) {
        EXPECT_EQ(joinUnique(TextValue(c.text), TextValue(c.separator), c.bySeparator), TextValue(c.expected))
            << c.text;
    }
}

struct SplitCase {
    std::string text;
    std::vector<std::string> pieces;
};

TEST(SplitCharacters, CutsIntoCharacters) {
    const SplitCase cases[] = {
        {"a\r\nb\xB0\xA1", {"a", "\r\n", "b", "\xB0\xA1"}},
        {"a\rb", {"a", "\r", "b"}},
        {"a\xB0", {"a", "\xB0"}},            // a lead byte at the end stands alone
        {"\x80" "a", {"\x80", "a"}},         // 0x80 is a one-byte piece
        {"\x81" "a", {"\x81" "a"}},
        {"\r", {"\r"}},
        {"\n\r", {"\n", "\r"}},
        {"", {}},
    };
    for (const SplitCase& c : cases) {
        TextArray pieces{"left over"};
        const int n = splitCharacters(TextValue(c.text), pieces);
        TextArray expected;
        for (const std::string& p : c.pieces) expected.append(TextValue(p));
        EXPECT_EQ(n, static_cast<int>(c.pieces.size())) << c.text;
        EXPECT_EQ(pieces, expected) << c.text;
    }
}

TEST(IndexOfText, FirstEqualMemberOrMinusOne) {
    const TextArray items{"a", "b", "", "b"};
    EXPECT_EQ(indexOfText(items, "a"), 1);
    EXPECT_EQ(indexOfText(items, "b"), 2);
    EXPECT_EQ(indexOfText(items, ""), 3);
    EXPECT_EQ(indexOfText(items, "B"), -1);
    EXPECT_EQ(indexOfText(TextArray{}, ""), -1);
}

}  // namespace
}  // namespace lunteva
