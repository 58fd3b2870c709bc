// webRequest over the libcurl object against the real local HTTPS server:
// what actually reaches the server and what comes back.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/TestServer.h"
#include "web/WebRequest.h"

namespace lunteva {
namespace {

using testing::TestServer;

class WebRequestCurlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = std::make_unique<TestServer>(); }
    static void TearDownTestSuite() { server_.reset(); }
    void SetUp() override { ASSERT_TRUE(server_->ok()) << "the test server did not start"; }

    static std::unique_ptr<TestServer> server_;
};

std::unique_ptr<TestServer> WebRequestCurlTest::server_;

// The program's own request: url and method 0, nothing else. The server's
// certificate comes from a CA that the system does not know, which the
// request's certificate flags accept.
TEST_F(WebRequestCurlTest, SystemsOwnRequestReachesTheServerAsSent) {
    const std::string url = server_->url("valid", "/echo");
    WebRequestOptions options;
    options.url = TextValue(url);
    options.method = 0;
    const ByteString body = webRequest(options);

    EXPECT_EQ(std::string(body.view()),
              "GET /echo HTTP/1.1\r\n"
              "Host: 127.0.0.1:" + std::to_string(server_->port("valid")) + "\r\n"
              "Accept: */*\r\n"
              "Referer: " + url + "\r\n"
              "Accept-Language: zh-cn\r\n"
              "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)\r\n"
              "\r\n");
    EXPECT_EQ(options.status, 200);
    EXPECT_NE(std::string(options.responseHeaders.view()).find("Content-Type: text/plain; charset=utf-8\r\n"),
              std::string::npos)
        << options.responseHeaders.view();
}

TEST_F(WebRequestCurlTest, PostSendsTheTextBody) {
    WebRequestOptions options;
    options.url = TextValue(server_->url("valid", "/echo"));
    options.method = 1;
    options.textBody = "a=1&b=2";
    const std::string echoed(webRequest(options).view());
    EXPECT_TRUE(echoed.starts_with("POST /echo HTTP/1.1\r\n")) << echoed;
    EXPECT_NE(echoed.find("\r\nContent-Type: application/x-www-form-urlencoded\r\n"), std::string::npos) << echoed;
    EXPECT_NE(echoed.find("\r\nContent-Length: 7\r\n"), std::string::npos) << echoed;
    EXPECT_TRUE(echoed.ends_with("\r\n\r\na=1&b=2")) << echoed;
}

TEST_F(WebRequestCurlTest, SetCookieLinesGathered) {
    WebRequestOptions options;
    options.url = TextValue(server_->url(
        "valid", "/headers?h=Set-Cookie:a=1;%20path=/&h=X-Other:z&h=Set-Cookie:b=2&h=set-cookie:c=3"));
    webRequest(options);
    EXPECT_EQ(options.status, 200);
    EXPECT_EQ(std::string(options.responseCookies.view()), "a=1; b=2");
}

TEST_F(WebRequestCurlTest, CookiesSentAndMerged) {
    WebRequestOptions options;
    options.url = TextValue(server_->url("valid", "/echo"));
    options.cookies = TextValue("x=9");
    const std::string echoed(webRequest(options).view());
    EXPECT_NE(echoed.find("\r\nCookie: x=9\r\n"), std::string::npos) << echoed;
}

TEST_F(WebRequestCurlTest, RedirectsFollowedUnlessTold) {
    for (bool noRedirects : {false, true}) {
        WebRequestOptions options;
        options.url = TextValue(server_->url("valid", "/redirect/2"));
        options.noRedirects = noRedirects;
        const std::string body(webRequest(options).view());
        EXPECT_EQ(options.status, noRedirects ? 302 : 200);
        EXPECT_EQ(body.starts_with("GET /echo HTTP/1.1\r\n"), !noRedirects) << body;
        EXPECT_EQ(std::string(options.responseHeaders.view()).find("Location: /redirect/1\r\n") != std::string::npos,
                  noRedirects);
    }
}

TEST_F(WebRequestCurlTest, FailedExchangesGiveEmptyResults) {
    const std::string urls[] = {
        "https://127.0.0.1:" + std::to_string(testing::refusedPort()) + "/echo",
        server_->url("valid", "/stall-headers?seconds=60"),
    };
    for (const auto& url : urls) {
        WebRequestOptions options;
        options.url = TextValue(url);
        options.timeoutSeconds = 1;
        options.responseHeaders = "left over";
        options.status = 7;
        const ByteString body = webRequest(options);
        EXPECT_TRUE(body.empty()) << url;
        EXPECT_EQ(options.status, 0) << url;
        EXPECT_EQ(std::string(options.responseHeaders.view()), "") << url;
        EXPECT_EQ(std::string(options.responseCookies.view()), "") << url;
    }
}

}  // namespace
}  // namespace lunteva
