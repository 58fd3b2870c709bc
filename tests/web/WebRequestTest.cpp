#include "web/WebRequest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "FakeHttpObject.h"

namespace lunteva {
namespace {

using fake::CallLog;
using fake::fakeWorld;

const std::string URL = "https://127.0.0.1:8443/dujia/248082.html";
const std::string AGENT = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

std::string q(std::string_view text) { return fake::quoted(text); }
std::string header(std::string_view name, std::string_view value) {
    return "SetRequestHeader(" + q(name) + ", " + q(value) + ")";
}
std::string open(std::string_view verb) { return "Open(" + q(verb) + ", " + q(URL) + ", false)"; }
std::string timeouts(int ms) {
    const std::string m = std::to_string(ms);
    return "SetTimeouts(" + m + ", " + m + ", " + m + ", " + m + ")";
}

CallLog join(std::initializer_list<CallLog> parts) {
    CallLog all;
    for (const CallLog& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

const CallLog CREATE = {"CoInitialize", "create(\"WinHttp.WinHttpRequest.5.1\")"};
const CallLog CERTIFICATES = {"Option(4, 0x3300)"};
const CallLog DEFAULT_HEADERS = {header("Accept", "*/*"), header("Referer", URL), header("Accept-Language", "zh-cn"),
                                 header("User-Agent", AGENT)};
const CallLog SEND_EMPTY = {"Send(text \"\")"};
const CallLog READ_AND_RELEASE = {"ResponseBody()", "GetAllResponseHeaders()", "Status()", "StatusText()", "release",
                                  "CoUninitialize"};

// Everything of a GET with the defaults around the calls that a case changes.
CallLog getWith(const CallLog& afterCertificates, const CallLog& headers = DEFAULT_HEADERS,
                const CallLog& send = SEND_EMPTY) {
    return join({CREATE, {timeouts(15000), open("GET")}, CERTIFICATES, afterCertificates, headers, send,
                 READ_AND_RELEASE});
}

WebRequestOptions ownRequest() {
    WebRequestOptions options;
    options.url = TextValue(URL);
    return options;
}

class WebRequestTest : public ::testing::Test {
protected:
    void SetUp() override { fakeWorld().reset(); }

    static void expectComPaired() {
        EXPECT_EQ(fakeWorld().coInitializeCalls, 1);
        EXPECT_EQ(fakeWorld().coUninitializeCalls, 1);
    }
};

// The one request the program makes: url and method 0, all else absent.
TEST_F(WebRequestTest, OwnRequestCallsTheObjectInOrder) {
    WebRequestOptions options = ownRequest();
    webRequest(options);
    const CallLog expected = {
        "CoInitialize",
        "create(\"WinHttp.WinHttpRequest.5.1\")",
        "SetTimeouts(15000, 15000, 15000, 15000)",
        "Open(\"GET\", \"https://127.0.0.1:8443/dujia/248082.html\", false)",
        "Option(4, 0x3300)",
        "SetRequestHeader(\"Accept\", \"*/*\")",
        "SetRequestHeader(\"Referer\", \"https://127.0.0.1:8443/dujia/248082.html\")",
        "SetRequestHeader(\"Accept-Language\", \"zh-cn\")",
        "SetRequestHeader(\"User-Agent\", \"Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)\")",
        "Send(text \"\")",
        "ResponseBody()",
        "GetAllResponseHeaders()",
        "Status()",
        "StatusText()",
        "release",
        "CoUninitialize",
    };
    EXPECT_EQ(fakeWorld().log, expected);
    expectComPaired();
    EXPECT_TRUE(fakeWorld().lastCreated.expired());
    EXPECT_FALSE(options.cookies.has_value());
}

TEST_F(WebRequestTest, OwnRequestReturnsBodyAndReports) {
    fakeWorld().script = {ByteString(std::string("<tr>\0x", 6)),
                          "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nSet-Cookie: s=1; path=/\r\n\r\n", 200,
                          "OK"};
    WebRequestOptions options = ownRequest();
    const ByteString body = webRequest(options);
    EXPECT_EQ(body, ByteString(std::string("<tr>\0x", 6)));
    EXPECT_EQ(options.responseHeaders,
              TextValue("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nSet-Cookie: s=1; path=/\r\n\r\n"));
    EXPECT_EQ(options.status, 200);
    EXPECT_EQ(options.responseCookies, TextValue("s=1"));
    EXPECT_FALSE(options.cookies.has_value());  // gathered, not merged
    EXPECT_EQ(options.url, TextValue(URL));
    EXPECT_TRUE(options.requestHeaders.empty());  // the block is built on a copy
}

struct CallCase {
    const char* name;
    void (*setup)(WebRequestOptions&);
    CallLog expected;
};

void PrintTo(const CallCase& c, std::ostream* os) { *os << c.name; }

class WebRequestCallsTest : public WebRequestTest, public ::testing::WithParamInterface<CallCase> {};

TEST_P(WebRequestCallsTest, CallsTheObjectInOrder) {
    WebRequestOptions options = ownRequest();
    GetParam().setup(options);
    webRequest(options);
    EXPECT_EQ(fakeWorld().log, GetParam().expected);
    expectComPaired();
}

const CallLog POST_HEADERS =
    join({DEFAULT_HEADERS, {header("Content-Type", "application/x-www-form-urlencoded")}});

INSTANTIATE_TEST_SUITE_P(
    Methods, WebRequestCallsTest,
    ::testing::Values(
        CallCase{"Post", [](WebRequestOptions& o) { o.method = 1; },
                 join({CREATE, {timeouts(15000), open("POST")}, CERTIFICATES, POST_HEADERS, SEND_EMPTY,
                       READ_AND_RELEASE})},
        CallCase{"Head", [](WebRequestOptions& o) { o.method = 2; },
                 join({CREATE, {timeouts(15000), open("HEAD")}, CERTIFICATES, DEFAULT_HEADERS, SEND_EMPTY,
                       READ_AND_RELEASE})},
        CallCase{"Connect", [](WebRequestOptions& o) { o.method = 7; },
                 join({CREATE, {timeouts(15000), open("CONNECT")}, CERTIFICATES, DEFAULT_HEADERS, SEND_EMPTY,
                       READ_AND_RELEASE})},
        CallCase{"EightIsGet", [](WebRequestOptions& o) { o.method = 8; }, getWith({})},
        CallCase{"MinusOneIsGet", [](WebRequestOptions& o) { o.method = -1; }, getWith({})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WebRequestTest, VerbTable) {
    const char* verbs[] = {"GET", "POST", "HEAD", "PUT", "OPTIONS", "DELETE", "TRACE", "CONNECT"};
    for (int method = 0; method < 8; ++method) {
        fakeWorld().reset();
        WebRequestOptions options = ownRequest();
        options.method = method;
        webRequest(options);
        ASSERT_GE(fakeWorld().log.size(), 4u);
        EXPECT_EQ(fakeWorld().log[3], open(verbs[method])) << method;
    }
}

CallLog withTimeouts(const CallLog& timeoutCalls) {
    return join({CREATE, timeoutCalls, {open("GET")}, CERTIFICATES, DEFAULT_HEADERS, SEND_EMPTY, READ_AND_RELEASE});
}

INSTANTIATE_TEST_SUITE_P(
    Timeouts, WebRequestCallsTest,
    ::testing::Values(
        CallCase{"MinusOneKeepsTheObjects", [](WebRequestOptions& o) { o.timeoutSeconds = -1; }, withTimeouts({})},
        CallCase{"ZeroIsDefault", [](WebRequestOptions& o) { o.timeoutSeconds = 0; }, withTimeouts({timeouts(15000)})},
        CallCase{"MinusFiveIsDefault", [](WebRequestOptions& o) { o.timeoutSeconds = -5; },
                 withTimeouts({timeouts(15000)})},
        CallCase{"LowestIsDefault", [](WebRequestOptions& o) { o.timeoutSeconds = std::numeric_limits<int>::min(); },
                 withTimeouts({timeouts(15000)})},
        CallCase{"OneSecond", [](WebRequestOptions& o) { o.timeoutSeconds = 1; }, withTimeouts({timeouts(1000)})},
        CallCase{"ThirtySeconds", [](WebRequestOptions& o) { o.timeoutSeconds = 30; },
                 withTimeouts({timeouts(30000)})},
        CallCase{"LargestExact", [](WebRequestOptions& o) { o.timeoutSeconds = 2147483; },
                 withTimeouts({timeouts(2147483000)})},
        // Beyond 32-bit milliseconds: clamped, never wrapped round.
        CallCase{"BeyondIsClamped", [](WebRequestOptions& o) { o.timeoutSeconds = 2147484; },
                 withTimeouts({timeouts(std::numeric_limits<int>::max())})},
        CallCase{"HighestIsClamped", [](WebRequestOptions& o) { o.timeoutSeconds = std::numeric_limits<int>::max(); },
                 withTimeouts({timeouts(std::numeric_limits<int>::max())})}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Bodies, WebRequestCallsTest,
    ::testing::Values(
        CallCase{"BytesWinOverText",
                 [](WebRequestOptions& o) {
                     o.byteBody = ByteString{0x01, 0x00, 0xFF};
                     o.textBody = "t=1";
                 },
                 getWith({}, DEFAULT_HEADERS, {"Send(bytes \"\\x01\\x00\\xFF\")"})},
        CallCase{"TextWhenBytesEmpty", [](WebRequestOptions& o) { o.textBody = "t=1&u=\xB0\xA1"; },
                 getWith({}, DEFAULT_HEADERS, {"Send(text \"t=1&u=\\xB0\\xA1\")"})},
        CallCase{"PostText",
                 [](WebRequestOptions& o) {
                     o.method = 1;
                     o.textBody = "a=1";
                 },
                 join({CREATE, {timeouts(15000), open("POST")}, CERTIFICATES, POST_HEADERS, {"Send(text \"a=1\")"},
                       READ_AND_RELEASE})}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Cookies, WebRequestCallsTest,
    ::testing::Values(
        CallCase{"EmptyIsStillSent", [](WebRequestOptions& o) { o.cookies = TextValue(); },
                 getWith({header("Cookie", "")})},
        CallCase{"PrefixRemovedSpaceKept", [](WebRequestOptions& o) { o.cookies = TextValue("Cookie: a=1"); },
                 getWith({header("Cookie", " a=1")})},
        CallCase{"PrefixRemovedInAnyCase",
                 [](WebRequestOptions& o) { o.cookies = TextValue("COOKIE:a=1; cookie: b=2"); },
                 getWith({header("Cookie", "a=1;  b=2")})},
        CallCase{"AbsentSendsNoCookie", [](WebRequestOptions&) {}, getWith({})}),
    [](const auto& info) { return std::string(info.param.name); });

const std::string PROXY = "127.0.0.1:3128";

CallLog throughProxy(const CallLog& afterCertificates) {
    return join({CREATE, {timeouts(15000), "SetProxy(2, " + q(PROXY) + ")", open("GET")}, CERTIFICATES,
                 afterCertificates, DEFAULT_HEADERS, SEND_EMPTY, READ_AND_RELEASE});
}

void proxyWithUser(WebRequestOptions& o) {
    o.proxy = TextValue(PROXY);
    o.proxyUser = "u";
    o.proxyPassword = "p";
}

INSTANTIATE_TEST_SUITE_P(
    Proxy, WebRequestCallsTest,
    ::testing::Values(
        CallCase{"TargetServer",
                 [](WebRequestOptions& o) {
                     proxyWithUser(o);
                     o.credentialsTarget = 0;
                 },
                 throughProxy({"SetCredentials(\"u\", \"p\", 0)"})},
        CallCase{"TargetAbsentIsProxy", proxyWithUser,
                 throughProxy({"SetCredentials(\"u\", \"p\", 1)", header("Proxy-Authorization", "Basic dTpw")})},
        CallCase{"TargetProxyGiven",
                 [](WebRequestOptions& o) {
                     proxyWithUser(o);
                     o.credentialsTarget = 1;
                 },
                 throughProxy({"SetCredentials(\"u\", \"p\", 1)", header("Proxy-Authorization", "Basic dTpw")})},
        // The credentials go out as stored, in code page 936.
        CallCase{"DoubleByteCredentials",
                 [](WebRequestOptions& o) {
                     o.proxy = TextValue(PROXY);
                     o.proxyUser = "\xD3\xC3";
                     o.proxyPassword = "p\xB0\xA1";
                 },
                 throughProxy({"SetCredentials(\"\\xD3\\xC3\", \"p\\xB0\\xA1\", 1)",
                               header("Proxy-Authorization", "Basic 08M6cLCh")})},
        CallCase{"CredentialsBeforeCookie",
                 [](WebRequestOptions& o) {
                     proxyWithUser(o);
                     o.cookies = TextValue("a=1");
                 },
                 throughProxy({"SetCredentials(\"u\", \"p\", 1)", header("Proxy-Authorization", "Basic dTpw"),
                               header("Cookie", "a=1")})},
        CallCase{"EmptyPasswordStillSent",
                 [](WebRequestOptions& o) {
                     o.proxy = TextValue(PROXY);
                     o.proxyUser = "u";
                 },
                 throughProxy({"SetCredentials(\"u\", \"\", 1)", header("Proxy-Authorization", "Basic dTo=")})},
        CallCase{"ProxyWithoutUser", [](WebRequestOptions& o) { o.proxy = TextValue(PROXY); }, throughProxy({})},
        CallCase{"UserWithoutProxy",
                 [](WebRequestOptions& o) {
                     o.proxyUser = "u";
                     o.proxyPassword = "p";
                     o.credentialsTarget = 1;
                 },
                 getWith({})}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Redirects, WebRequestCallsTest,
    ::testing::Values(CallCase{"NotFollowed", [](WebRequestOptions& o) { o.noRedirects = true; },
                               join({CREATE, {timeouts(15000), open("GET"), "Option(6, 0x0)"}, CERTIFICATES,
                                     DEFAULT_HEADERS, SEND_EMPTY, READ_AND_RELEASE})}),
    [](const auto& info) { return std::string(info.param.name); });

void rawBlock(WebRequestOptions& o, const char* block) {
    o.completeHeaders = false;
    o.normalizeHeaders = false;
    o.requestHeaders = block;
}

INSTANTIATE_TEST_SUITE_P(
    HeaderLines, WebRequestCallsTest,
    ::testing::Values(
        CallCase{"KeepAliveSingleLineSent", [](WebRequestOptions& o) { rawBlock(o, "Connection: keep-alive"); },
                 getWith({}, {header("Connection", "keep-alive")})},
        CallCase{"KeepAliveInBlockSkipped",
                 [](WebRequestOptions& o) { rawBlock(o, "Connection: keep-alive\r\nX-A: 1"); },
                 getWith({}, {header("X-A", "1")})},
        CallCase{"KeepAliveTrimmedStillSkipped",
                 [](WebRequestOptions& o) { rawBlock(o, "X-A: 1\r\n Connection :  keep-alive "); },
                 getWith({}, {header("X-A", "1")})},
        CallCase{"KeepAliveOtherCaseSent",
                 [](WebRequestOptions& o) { rawBlock(o, "Connection: Keep-Alive\r\nX-A: 1"); },
                 getWith({}, {header("Connection", "Keep-Alive"), header("X-A", "1")})},
        CallCase{"KeepAliveOtherCaseSingleLineSent",
                 [](WebRequestOptions& o) { rawBlock(o, "Connection: Keep-Alive"); },
                 getWith({}, {header("Connection", "Keep-Alive")})},
        // With the defaults the block has several lines, so the line is skipped.
        CallCase{"KeepAliveWithDefaultsSkipped",
                 [](WebRequestOptions& o) { o.requestHeaders = "Connection: keep-alive"; }, getWith({})},
        CallCase{"EmptyRawBlockSendsEmptyHeader", [](WebRequestOptions& o) { rawBlock(o, ""); },
                 getWith({}, {header("", "")})},
        CallCase{"RawSingleLineWithoutColon", [](WebRequestOptions& o) { rawBlock(o, "no colon"); },
                 getWith({}, {header("", "")})},
        CallCase{"RawPiecesInOrder",
                 [](WebRequestOptions& o) { rawBlock(o, "x: 1\r\n\r\nno colon\r\n y : a:b \r\n"); },
                 getWith({}, {header("x", "1"), header("", ""), header("y", "a:b")})},
        CallCase{"CallerLinesNormalisedBeforeDefaults",
                 [](WebRequestOptions& o) { o.requestHeaders = "accept: text/html\r\nx-token: 7"; },
                 getWith({}, {header("Accept", "text/html"), header("X-Token", "7"), header("Referer", URL),
                              header("Accept-Language", "zh-cn"), header("User-Agent", AGENT)})},
        CallCase{"CompleteWithoutNormalize",
                 [](WebRequestOptions& o) {
                     o.normalizeHeaders = false;
                     o.requestHeaders = "x-a: 1";
                 },
                 getWith({}, join({{header("x-a", "1")}, DEFAULT_HEADERS}))},
        CallCase{"CompleteWithoutNormalizeEmptyBlock", [](WebRequestOptions& o) { o.normalizeHeaders = false; },
                 getWith({})},
        CallCase{"NormalizeWithoutComplete",
                 [](WebRequestOptions& o) {
                     o.completeHeaders = false;
                     o.requestHeaders = "x-a: 1\r\nno colon\r\ny: 2";
                 },
                 getWith({}, {header("X-A", "1"), header("Y", "2")})},
        CallCase{"NormalizeWithoutCompleteEmptyBlock", [](WebRequestOptions& o) { o.completeHeaders = false; },
                 getWith({}, {header("", "")})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WebRequestTest, PostWithItsOwnContentType) {
    WebRequestOptions options = ownRequest();
    options.method = 1;
    options.requestHeaders = "content-type: text/plain";
    webRequest(options);
    EXPECT_EQ(fakeWorld().log,
              join({CREATE, {timeouts(15000), open("POST")}, CERTIFICATES,
                    {header("Content-Type", "text/plain")}, DEFAULT_HEADERS, SEND_EMPTY, READ_AND_RELEASE}));
    EXPECT_EQ(options.requestHeaders, TextValue("content-type: text/plain"));
}

struct GatherCase {
    const char* name;
    std::string headers;
    std::string responseCookies;
};

void PrintTo(const GatherCase& c, std::ostream* os) { *os << c.name; }

class GatherCookiesTest : public WebRequestTest, public ::testing::WithParamInterface<GatherCase> {};

TEST_P(GatherCookiesTest, CollectsSetCookieLines) {
    fakeWorld().script.responseHeaders = TextValue(GetParam().headers);
    WebRequestOptions options = ownRequest();
    options.responseCookies = "stale=1";
    webRequest(options);
    EXPECT_EQ(options.responseCookies, TextValue(GetParam().responseCookies));
    EXPECT_EQ(options.responseHeaders, TextValue(GetParam().headers));
    EXPECT_FALSE(options.cookies.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GatherCookiesTest,
    ::testing::Values(
        GatherCase{"AttributesDropped",
                   "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\nset-cookie: c=3\r\n\r\n",
                   "a=1; b=2"},
        GatherCase{"NoSetCookie", "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n", ""},
        GatherCase{"NoHeaders", "", ""},
        GatherCase{"NoSpaceAfterColonIgnored", "Set-Cookie:a=1\r\nSet-Cookie: b=2", "b=2"},
        GatherCase{"OtherNameIgnored", "X-Set-Cookie: a=1\r\nSet-Cookies: b=2", ""},
        GatherCase{"RepeatsKeptWithoutMerge", "Set-Cookie: a=1\r\nSet-Cookie: a=2; HttpOnly", "a=1; a=2"},
        GatherCase{"BlanksTrimmed", "Set-Cookie:  \xA1\xA1k=v \xA1\xA1; path=/\r\nSet-Cookie: m=n  ", "k=v; m=n"},
        GatherCase{"EveryPrefixRemovedWithoutSemicolon", "Set-Cookie: x=SET-COOKIE:y", "x=y"},
        GatherCase{"EmptyCookieLeavesSeparator", "Set-Cookie: a=1\r\nSet-Cookie: ; path=/", "a=1; "},
        GatherCase{"OnlyEmptyCookie", "Set-Cookie: ; path=/", ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct MergeCase {
    const char* name;
    std::optional<TextValue> cookies;
    std::optional<bool> autoMerge;
    std::string headers;
    std::optional<TextValue> cookiesAfter;
    std::string responseCookiesAfter;
};

void PrintTo(const MergeCase& c, std::ostream* os) { *os << c.name; }

class MergeResponseCookiesTest : public WebRequestTest, public ::testing::WithParamInterface<MergeCase> {};

TEST_P(MergeResponseCookiesTest, MergesIntoTheCallersCookies) {
    const MergeCase& c = GetParam();
    fakeWorld().script.responseHeaders = TextValue(c.headers);
    WebRequestOptions options = ownRequest();
    options.cookies = c.cookies;
    options.autoMergeCookies = c.autoMerge;
    webRequest(options);
    EXPECT_EQ(options.cookies, c.cookiesAfter);
    EXPECT_EQ(options.responseCookies, TextValue(c.responseCookiesAfter));
}

const std::string TWO_COOKIES = "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, MergeResponseCookiesTest,
    ::testing::Values(
        MergeCase{"NewFirstThenOld", TextValue("b=0; d=4"), std::nullopt, TWO_COOKIES, TextValue("a=1; b=2; d=4"),
                  "a=1; b=2; d=4"},
        MergeCase{"MergeOff", TextValue("b=0; d=4"), false, TWO_COOKIES, TextValue("b=0; d=4"), "a=1; b=2"},
        MergeCase{"MergeOnGiven", TextValue(""), true, TWO_COOKIES, TextValue("a=1; b=2"), "a=1; b=2"},
        MergeCase{"EmptyCookiesMerged", TextValue(""), std::nullopt, TWO_COOKIES, TextValue("a=1; b=2"),
                  "a=1; b=2"},
        MergeCase{"PrefixRemovedThenTrimmedByMerge", TextValue("Cookie: a=1"), std::nullopt, "", TextValue("a=1"),
                  "a=1"},
        MergeCase{"PrefixRemovedNotTrimmedWithoutMerge", TextValue("Cookie: a=1"), false, "", TextValue(" a=1"), ""},
        MergeCase{"DeletedByServer", TextValue("a=1; b=2"), std::nullopt, "Set-Cookie: a=deleted; path=/",
                  TextValue("b=2"), "b=2"},
        MergeCase{"RepeatsReduced", TextValue(""), std::nullopt, "Set-Cookie: x=1\r\nSet-Cookie: x=1",
                  TextValue("x=1"), "x=1"},
        MergeCase{"AbsentCookiesNotMerged", std::nullopt, true, TWO_COOKIES, std::nullopt, "a=1; b=2"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WebRequestTest, StatusCutTowardZero) {
    const std::pair<double, int> cases[] = {
        {200.9, 200}, {404, 404}, {-3.7, -3}, {1e12, std::numeric_limits<int>::max()}, {std::nan(""), 0}};
    for (const auto& [reported, status] : cases) {
        fakeWorld().reset();
        fakeWorld().script.status = reported;
        WebRequestOptions options = ownRequest();
        options.status = 7;
        webRequest(options);
        EXPECT_EQ(options.status, status) << reported;
    }
}

TEST_F(WebRequestTest, FailedCreationLeavesEveryFieldAsItWas) {
    fakeWorld().failCreation = true;
    WebRequestOptions options = ownRequest();
    options.method = 1;
    options.textBody = "t";
    options.cookies = TextValue("Cookie: a=1");
    options.responseCookies = "r=1";
    options.requestHeaders = "x-a: 1";
    options.responseHeaders = "H: 1";
    options.status = 42;
    options.noRedirects = true;
    options.byteBody = ByteString{1, 2};
    options.proxy = TextValue(PROXY);
    options.timeoutSeconds = 9;
    options.proxyUser = "u";
    options.proxyPassword = "p";
    options.credentialsTarget = 0;
    options.autoMergeCookies = true;
    options.completeHeaders = false;
    options.normalizeHeaders = false;

    const ByteString body = webRequest(options);

    EXPECT_TRUE(body.empty());
    EXPECT_EQ(fakeWorld().log, (CallLog{"CoInitialize", "create(\"WinHttp.WinHttpRequest.5.1\")", "CoUninitialize"}));
    expectComPaired();
    EXPECT_EQ(options.url, TextValue(URL));
    EXPECT_EQ(options.method, 1);
    EXPECT_EQ(options.textBody, TextValue("t"));
    EXPECT_EQ(options.cookies, TextValue("Cookie: a=1"));
    EXPECT_EQ(options.responseCookies, TextValue("r=1"));
    EXPECT_EQ(options.requestHeaders, TextValue("x-a: 1"));
    EXPECT_EQ(options.responseHeaders, TextValue("H: 1"));
    EXPECT_EQ(options.status, 42);
    EXPECT_TRUE(options.noRedirects);
    EXPECT_EQ(options.byteBody, (ByteString{1, 2}));
    EXPECT_EQ(options.proxy, TextValue(PROXY));
    EXPECT_EQ(options.timeoutSeconds, 9);
    EXPECT_EQ(options.proxyUser, TextValue("u"));
    EXPECT_EQ(options.proxyPassword, TextValue("p"));
    EXPECT_EQ(options.credentialsTarget, 0);
    EXPECT_FALSE(options.requestObject);
    EXPECT_EQ(options.autoMergeCookies, true);
    EXPECT_EQ(options.completeHeaders, false);
    EXPECT_EQ(options.normalizeHeaders, false);
}

TEST_F(WebRequestTest, FailedCreationOfOwnRequest) {
    fakeWorld().failCreation = true;
    WebRequestOptions options = ownRequest();
    EXPECT_TRUE(webRequest(options).empty());
    EXPECT_EQ(fakeWorld().log, (CallLog{"CoInitialize", "create(\"WinHttp.WinHttpRequest.5.1\")", "CoUninitialize"}));
    EXPECT_FALSE(options.cookies.has_value());
    EXPECT_TRUE(options.responseCookies.empty());
    EXPECT_TRUE(options.responseHeaders.empty());
    EXPECT_EQ(options.status, 0);
}

// An object that answers nothing, as one does when no network is there.
TEST_F(WebRequestTest, NoNetworkGivesEmptyResults) {
    WebRequestOptions options = ownRequest();
    options.cookies = TextValue(" a=1; a=2 ");
    options.responseCookies = "r=1";
    options.responseHeaders = "H: 1";
    options.status = 42;
    const ByteString body = webRequest(options);
    EXPECT_TRUE(body.empty());
    EXPECT_EQ(options.status, 0);
    EXPECT_TRUE(options.responseHeaders.empty());
    EXPECT_EQ(options.cookies, TextValue("a=1"));
    EXPECT_EQ(options.responseCookies, TextValue("a=1"));
    expectComPaired();
}

TEST_F(WebRequestTest, CallersObjectIsUsedAndLivesOn) {
    CallLog callerLog;  // outlives the caller's object
    auto object = std::make_shared<fake::FakeHttpObject>(
        callerLog, fake::FakeScript{ByteString(std::string_view("body")), "Set-Cookie: a=1; path=/", 201, "Created"});
    {
        WebRequestOptions options = ownRequest();
        options.requestObject = object;
        options.cookies = TextValue();
        EXPECT_EQ(webRequest(options), ByteString(std::string_view("body")));
        EXPECT_EQ(options.status, 201);
        EXPECT_EQ(options.cookies, TextValue("a=1"));
        EXPECT_EQ(options.requestObject, object);
        // The routine's own reference is gone; the caller's two remain.
        EXPECT_EQ(object.use_count(), 2);
    }
    EXPECT_EQ(fakeWorld().log, (CallLog{"CoInitialize", "CoUninitialize"}));  // nothing created
    const CallLog exchange = {timeouts(15000), open("GET"), CERTIFICATES[0], header("Cookie", ""),
                              DEFAULT_HEADERS[0], DEFAULT_HEADERS[1], DEFAULT_HEADERS[2], DEFAULT_HEADERS[3],
                              SEND_EMPTY[0], "ResponseBody()", "GetAllResponseHeaders()", "Status()",
                              "StatusText()"};
    EXPECT_EQ(callerLog, exchange);
    EXPECT_EQ(object.use_count(), 1);

    // A second call goes through the same object, which is still usable.
    WebRequestOptions again = ownRequest();
    again.requestObject = object;
    EXPECT_EQ(webRequest(again), ByteString(std::string_view("body")));
    EXPECT_EQ(callerLog.size(), 2 * exchange.size() - 1);  // no Cookie header the second time
    EXPECT_EQ(fakeWorld().coInitializeCalls, 2);
    EXPECT_EQ(fakeWorld().coUninitializeCalls, 2);
    again.requestObject.reset();
    object.reset();
    EXPECT_EQ(callerLog.back(), "release");
}

TEST_F(WebRequestTest, CreatedObjectReleasedBeforeComAndReturn) {
    WebRequestOptions options = ownRequest();
    webRequest(options);
    EXPECT_TRUE(fakeWorld().lastCreated.expired());
    const CallLog& log = fakeWorld().log;
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "release");
    EXPECT_EQ(log.back(), "CoUninitialize");
}

struct Base64Case {
    std::string bytes;
    std::string text;
};

TEST(Base64Encode, Rfc4648) {
    const Base64Case cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {std::string("\0\xFF\xFE", 3), "AP/+"},
        {"\xFB\xFF", "+/8="},
        {std::string("\0", 1), "AA=="},
        {"u:p", "dTpw"},
    };
    for (const Base64Case& c : cases) {
        EXPECT_EQ(base64Encode(ByteString(c.bytes)), TextValue(c.text)) << c.text;
    }
}

}  // namespace
}  // namespace lunteva
