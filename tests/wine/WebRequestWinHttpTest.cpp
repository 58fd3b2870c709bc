// webRequest over the platform's own HTTP object, against the loopback HTTPS
// server of https_fixture.py (address in LUNTEVA_TEST_HTTPS_BASE).
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "text/Text.h"
#include "web/WebRequest.h"

namespace lunteva {
namespace {

// What the fixture server answers on /body.
const ByteString BODY{std::string_view("lunteva\x00\xd6\xd0\xff\r\nend", 16)};

bool hasLine(const TextValue& headers, const TextValue& line) {
    for (const TextValue& member : splitText(headers, "\r\n"))
        if (member == line) return true;
    return false;
}

class WebRequestOverHttps : public ::testing::Test {
protected:
    void SetUp() override {
        const char* base = std::getenv("LUNTEVA_TEST_HTTPS_BASE");
        ASSERT_NE(base, nullptr) << "run through tests/wine/https_fixture.py";
        base_ = base;
    }
    TextValue url(const char* path) const { return TextValue(base_ + path); }

    std::string base_;
};

TEST_F(WebRequestOverHttps, TheProgramsOwnRequestGivesBodyStatusHeadersAndCookies) {
    WebRequestOptions options;
    options.url = url("/body");
    const ByteString body = webRequest(options);
    EXPECT_EQ(body, BODY);
    EXPECT_EQ(options.status, 200);
    EXPECT_TRUE(hasLine(options.responseHeaders, "X-Lunteva-Test: 1")) << options.responseHeaders.view();
    // Wine's header text begins with the status line, which holds no cookie.
    EXPECT_EQ(options.responseCookies, TextValue("a=1"));
}

TEST_F(WebRequestOverHttps, PostSendsTheByteBody) {
    WebRequestOptions options;
    options.url = url("/echo");
    options.method = 1;
    options.byteBody = ByteString{0x00, 0xD6, 0xD0, 0xFF};
    options.textBody = "not sent";
    EXPECT_EQ(webRequest(options), options.byteBody);
    EXPECT_EQ(options.status, 200);
}

TEST_F(WebRequestOverHttps, ExtraHeaderLinesReachTheServer) {
    WebRequestOptions options;
    options.url = url("/headers");
    options.requestHeaders = "x-echo: from-webRequest\r\nConnection: keep-alive";
    // Header names are normalised: x-echo goes out as X-Echo, which the server reads either way.
    EXPECT_EQ(webRequest(options), ByteString(std::string_view("from-webRequest")));
    EXPECT_TRUE(hasLine(options.responseHeaders, "X-Seen: from-webRequest")) << options.responseHeaders.view();
}

TEST_F(WebRequestOverHttps, NoRedirectsStopsAtTheRedirect) {
    WebRequestOptions options;
    options.url = url("/redirect");
    options.noRedirects = true;
    EXPECT_EQ(webRequest(options), ByteString(std::string_view("moved")));
    EXPECT_EQ(options.status, 302);
}

}  // namespace
}  // namespace lunteva
