#include "web/Headers.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace lunteva {
namespace {

const std::string URL = "https://127.0.0.1:8443/dujia/248082.html";
const std::string ACCEPT = "\r\nAccept: */*";
const std::string REFERER = "\r\nReferer: " + URL;
const std::string LANGUAGE = "\r\nAccept-Language: zh-cn";
const std::string AGENT = "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
const std::string FORM = "\r\nContent-Type: application/x-www-form-urlencoded";

struct AddCase {
    const char* name;
    std::string block;
    int method;
    std::string expected;
};

void PrintTo(const AddCase& c, std::ostream* os) { *os << c.name; }

class AddDefaultHeadersTest : public testing::TestWithParam<AddCase> {};

TEST_P(AddDefaultHeadersTest, CompletesTheBlock) {
    const AddCase& c = GetParam();
    EXPECT_EQ(addDefaultHeaders(TextValue(c.block), TextValue(URL), c.method), TextValue(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AddDefaultHeadersTest,
    testing::Values(
        AddCase{"EmptyGet", "", 0, ACCEPT + REFERER + LANGUAGE + AGENT},
        AddCase{"EmptyPost", "", 1, ACCEPT + REFERER + LANGUAGE + AGENT + FORM},
        AddCase{"OtherMethodsGetNoContentType", "", 2, ACCEPT + REFERER + LANGUAGE + AGENT},
        AddCase{"ContentTypeGivenForPost", "content-type: text/plain", 1,
                "content-type: text/plain" + ACCEPT + REFERER + LANGUAGE + AGENT},
        // The test looks anywhere in the block.
        AddCase{"XAcceptCountsAsAccept", "X-Accept: 1", 0, "X-Accept: 1" + REFERER + LANGUAGE + AGENT},
        // "Accept-Language:" does not contain "Accept:".
        AddCase{"AcceptLanguageIsNotAccept", "accept-language: en", 0,
                "accept-language: en" + ACCEPT + REFERER + AGENT},
        AddCase{"TrailingCrLfGivesEmptyLine", "A: 1\r\n", 0, "A: 1\r\n" + ACCEPT + REFERER + LANGUAGE + AGENT},
        AddCase{"AllPresentInAnyCase", "ACCEPT: a\r\nreferer: b\r\nAccept-LANGUAGE: c\r\nuser-agent: d", 0,
                "ACCEPT: a\r\nreferer: b\r\nAccept-LANGUAGE: c\r\nuser-agent: d"},
        AddCase{"ContentTypeOnlyForPostWhenPresent", "Content-Type: x", 0,
                "Content-Type: x" + ACCEPT + REFERER + LANGUAGE + AGENT}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AddDefaultHeaders, EachTestSeesTheEarlierAppends) {
    // The Referer line carries the url, which here names an "Accept-Language:"
    // field; the next test then finds it and appends nothing.
    const TextValue url = "http://127.0.0.1/?Accept-Language:x";
    EXPECT_EQ(addDefaultHeaders("", url, 0),
              TextValue(ACCEPT + "\r\nReferer: http://127.0.0.1/?Accept-Language:x" + AGENT));
}

TEST(AddDefaultHeaders, UrlGoesInUnchanged) {
    const TextValue url = "http://127.0.0.1/a b?c=\xB0\xA1";
    const TextValue out = addDefaultHeaders("Accept: 1", url, 0);
    EXPECT_NE(findText(out, TextValue("\r\nReferer: http://127.0.0.1/a b?c=\xB0\xA1\r\n")), -1);
}

struct NormalizeCase {
    const char* name;
    std::string block;
    std::string expected;
};

void PrintTo(const NormalizeCase& c, std::ostream* os) { *os << c.name; }

class NormalizeHeaderNamesTest : public testing::TestWithParam<NormalizeCase> {};

TEST_P(NormalizeHeaderNamesTest, CapitalisesNames) {
    const NormalizeCase& c = GetParam();
    EXPECT_EQ(normalizeHeaderNames(TextValue(c.block)), TextValue(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NormalizeHeaderNamesTest,
    testing::Values(
        NormalizeCase{"DefaultsLoseLeadingCrLf", ACCEPT + REFERER + LANGUAGE + AGENT,
                      (ACCEPT + REFERER + LANGUAGE + AGENT).substr(2)},
        NormalizeCase{"WordsCapitalised", "x-forwarded-for: 1\r\ncontent-TYPE:abc",
                      "X-Forwarded-For: 1\r\nContent-TYPE:abc"},
        NormalizeCase{"NoColonDropped", "no colon here", ""},
        NormalizeCase{"NoColonDroppedAmongOthers", "a: 1\r\nno colon here\r\nb: 2", "A: 1\r\nB: 2"},
        NormalizeCase{"EmptyName", ":v", ":v"},
        NormalizeCase{"DoubleDash", "a--b: 1", "A--B: 1"},
        NormalizeCase{"TrailingDash", "x-: 1", "X-: 1"},
        NormalizeCase{"LeadingDash", "-a: 1", "-A: 1"},
        NormalizeCase{"OnlyDashes", "--: 1", "--: 1"},
        NormalizeCase{"SpacesKept", "host:  a ", "Host:  a "},
        NormalizeCase{"ValueUntouched", "a: b-c: d", "A: b-c: d"},
        NormalizeCase{"SpaceBeforeNameKept", " a: 1", " a: 1"},
        NormalizeCase{"TrailingCrLf", "a: 1\r\n", "A: 1"},
        NormalizeCase{"EmptyPiecesDropped", "\r\na: 1\r\n\r\nb: 2", "A: 1\r\nB: 2"},
        NormalizeCase{"DoubleByteFirstCharacterStays", "\xB0\x61-b: 1", "\xB0\x61-B: 1"},
        NormalizeCase{"EmptyBlock", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct CapitalizeCase {
    std::string text;
    std::string expected;
};

TEST(CapitalizeFirst, UpperCasesOnlyAnAsciiFirstByte) {
    const CapitalizeCase cases[] = {
        {"abc", "Abc"}, {"Abc", "Abc"}, {"a", "A"}, {"", ""}, {"1a", "1a"}, {"\xB0\x61", "\xB0\x61"}, {"zZ", "ZZ"},
    };
    for (const CapitalizeCase& c : cases) {
        EXPECT_EQ(capitalizeFirst(TextValue(c.text)), TextValue(c.expected)) << c.text;
    }
}

struct LineCase {
    std::string line;
    std::string name;
    std::string value;
};

TEST(HeaderNameAndValue, SplitAtTheFirstColonAndTrim) {
    const LineCase cases[] = {
        {" Host : a ", "Host", "a"},
        {"Referer: a:b", "Referer", "a:b"},
        {"no colon", "", ""},
        {"", "", ""},
        {":", "", ""},
        {"a:", "a", ""},
        {":b", "", "b"},
        {"\tName\t: \tv\t ", "\tName\t", "\tv\t"},               // a tab is no blank
        {"\xA1\xA1Name\xA1\xA1:\xA1\xA1v\xA1\xA1", "Name", "v"},  // ideographic spaces are
    };
    for (const LineCase& c : cases) {
        EXPECT_EQ(headerName(TextValue(c.line)), TextValue(c.name)) << c.line;
        EXPECT_EQ(headerValue(TextValue(c.line)), TextValue(c.value)) << c.line;
    }
}

}  // namespace
}  // namespace lunteva
