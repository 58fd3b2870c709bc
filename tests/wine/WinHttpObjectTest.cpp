// The HTTP object over the platform's COM object, on a real Windows (or Wine).
//
// WinHttpObject.*: no server needed; failures must come back as empty results.
// *OverHttps.*: against the loopback HTTPS server that https_fixture.py
// runs, whose address arrives in LUNTEVA_TEST_HTTPS_BASE.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "text/Text.h"
#include "web/HttpObject.h"
#include "web/WebRequest.h"

namespace lunteva {

// Failures show bytes as hex, texts as their bytes.
void PrintTo(const ByteString& bytes, std::ostream* out) {
    *out << "bytes{";
    for (unsigned char b : bytes.view()) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", b);
        *out << hex;
    }
    *out << " }";
}
void PrintTo(const TextValue& text, std::ostream* out) { *out << '\'' << text.view() << '\''; }

namespace {

constexpr const char* PROG_ID = "WinHttp.WinHttpRequest.5.1";
// What the fixture server answers on /body.
const ByteString BODY{std::string_view("lunteva\x00\xd6\xd0\xff\r\nend", 16)};

class ComScope : public ::testing::Test {
protected:
    void SetUp() override { coInitialize(); }
    void TearDown() override { coUninitialize(); }
};

// A loopback port on which nothing listens: bound once, then closed.
int closedLoopbackPort() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return 0;
    int port = 0;
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s != INVALID_SOCKET) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int size = sizeof address;
        if (bind(s, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port = ntohs(address.sin_port);
        closesocket(s);
    }
    WSACleanup();
    return port;
}

ByteString bytes(std::string_view text) { return ByteString(text); }

// The header lines of a GetAllResponseHeaders text.
TextArray headerLines(const TextValue& headers) { return splitText(headers, "\r\n"); }

bool hasLine(const TextArray& lines, const TextValue& line) {
    for (const TextValue& member : lines)
        if (member == line) return true;
    return false;
}

using WinHttpObject = ComScope;

TEST_F(WinHttpObject, UnknownProgIdGivesNoObject) {
    for (const char* progId : {"Lunteva.NoSuchObject.1", "", "not a ProgID"}) {
        EXPECT_EQ(createHttpObject(progId), nullptr) << progId;
    }
}

TEST_F(WinHttpObject, ReadsBeforeAnyRequestGiveEmptyResults) {
    const HttpRequestObject http = createHttpObject(PROG_ID);
    ASSERT_NE(http, nullptr);
    EXPECT_TRUE(http->ResponseBody().empty());
    EXPECT_TRUE(http->GetAllResponseHeaders().empty());
    EXPECT_EQ(http->Status(), 0.0);
    EXPECT_TRUE(http->StatusText().empty());
}

TEST_F(WinHttpObject, FailedExchangeGivesEmptyResults) {
    const int port = closedLoopbackPort();
    ASSERT_NE(port, 0);
    const std::string refused = "https://127.0.0.1:" + std::to_string(port) + "/";
    for (const std::string& url : {refused, std::string("not a url"), std::string("ftp://127.0.0.1/")}) {
        const HttpRequestObject http = createHttpObject(PROG_ID);
        ASSERT_NE(http, nullptr);
        http->SetTimeouts(5000, 5000, 5000, 5000);
        http->Open("GET", TextValue(url), false);
        http->Option(4, 0x3300);
        http->SetRequestHeader("Accept", "*/*");
        http->Send(TextValue{});
        EXPECT_TRUE(http->ResponseBody().empty()) << url;
        EXPECT_TRUE(http->GetAllResponseHeaders().empty()) << url;
        EXPECT_EQ(http->Status(), 0.0) << url;
        EXPECT_TRUE(http->StatusText().empty()) << url;
    }
}

TEST_F(WinHttpObject, WebRequestToARefusingServerGivesEmptyResults) {
    const int port = closedLoopbackPort();
    ASSERT_NE(port, 0);
    WebRequestOptions options;
    options.url = TextValue("https://127.0.0.1:" + std::to_string(port) + "/");
    options.status = 7;
    options.cookies = TextValue("b=2");
    EXPECT_TRUE(webRequest(options).empty());
    EXPECT_EQ(options.status, 0);
    EXPECT_TRUE(options.responseHeaders.empty());
    // The merge still runs, with no cookies from the response.
    EXPECT_EQ(options.cookies, TextValue("b=2"));
    EXPECT_EQ(options.responseCookies, TextValue("b=2"));
}

class WinHttpOverHttps : public ComScope {
protected:
    void SetUp() override {
        ComScope::SetUp();
        const char* base = std::getenv("LUNTEVA_TEST_HTTPS_BASE");
        ASSERT_NE(base, nullptr) << "run through tests/wine/https_fixture.py";
        base_ = base;
        http_ = createHttpObject(PROG_ID);
        ASSERT_NE(http_, nullptr);
        http_->SetTimeouts(15000, 15000, 15000, 15000);
    }
    void TearDown() override {
        http_.reset();  // before COM goes
        ComScope::TearDown();
    }
    // Open as webRequest does it: synchronous, certificate errors ignored
    // where the object allows it.
    void open(const char* verb, const char* path) {
        http_->Open(verb, TextValue(base_ + path), false);
        http_->Option(4, 0x3300);
    }

    std::string base_;
    HttpRequestObject http_;
};

TEST_F(WinHttpOverHttps, GetGivesBodyHeadersAndStatus) {
    open("GET", "/body");
    http_->SetRequestHeader("Accept", "*/*");
    http_->Send(TextValue{});
    EXPECT_EQ(http_->ResponseBody(), BODY);
    EXPECT_EQ(http_->Status(), 200.0);
    EXPECT_EQ(http_->StatusText(), TextValue("OK"));
    const TextValue headers = http_->GetAllResponseHeaders();
    const TextArray lines = headerLines(headers);
    EXPECT_TRUE(hasLine(lines, "X-Lunteva-Test: 1")) << headers.view();
    EXPECT_TRUE(hasLine(lines, "Set-Cookie: a=1; path=/")) << headers.view();
    EXPECT_TRUE(hasLine(lines, "Content-Length: 16")) << headers.view();
}

TEST_F(WinHttpOverHttps, RedirectOptionDecidesWhetherTheRedirectIsFollowed) {
    struct Case {
        bool noRedirects;
        double status;
        ByteString body;
    };
    for (const Case& c : {Case{false, 200.0, BODY}, Case{true, 302.0, bytes("moved")}}) {
        open("GET", "/redirect");
        if (c.noRedirects) http_->Option(6, 0);
        http_->Send(TextValue{});
        EXPECT_EQ(http_->Status(), c.status) << c.noRedirects;
        EXPECT_EQ(http_->ResponseBody(), c.body) << c.noRedirects;
    }
}

TEST_F(WinHttpOverHttps, ByteBodyArrivesByteForByte) {
    const ByteString sent{0x00, 0x01, 0x7F, 0x80, 0xD6, 0xD0, 0xFF, 0x00};
    open("POST", "/echo");
    http_->Send(sent);
    EXPECT_EQ(http_->Status(), 200.0);
    EXPECT_EQ(http_->ResponseBody(), sent);
}

TEST_F(WinHttpOverHttps, TextBodyIsReadAsCodePage936) {
    // D6 D0 is U+4E2D in 936; the object puts a text body on the wire as UTF-8.
    open("POST", "/echo");
    http_->Send(TextValue("\xD6\xD0" "abc"));
    EXPECT_EQ(http_->Status(), 200.0);
    EXPECT_EQ(http_->ResponseBody(), (ByteString{0xE4, 0xB8, 0xAD, 'a', 'b', 'c'}));
}

TEST_F(WinHttpOverHttps, RequestHeaderReachesTheServer) {
    open("GET", "/headers");
    http_->SetRequestHeader("X-Echo", "lunteva-42");
    http_->Send(TextValue{});
    EXPECT_EQ(http_->ResponseBody(), bytes("lunteva-42"));
    EXPECT_TRUE(hasLine(headerLines(http_->GetAllResponseHeaders()), "X-Seen: lunteva-42"));
}

TEST_F(WinHttpOverHttps, ErrorStatusIsReported) {
    open("GET", "/missing");
    http_->Send(TextValue{});
    EXPECT_EQ(http_->Status(), 404.0);
    EXPECT_EQ(http_->ResponseBody(), bytes("not here"));
}

}  // namespace
}  // namespace lunteva
