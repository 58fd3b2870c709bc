// The libcurl HTTP object against the real local HTTPS server.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

#include "support/TestServer.h"
#include "text/Conversion.h"
#include "web/HttpObjectCurl.h"

namespace lunteva {
namespace {

using testing::TestServer;

constexpr std::string_view PROG_ID = "WinHttp.WinHttpRequest.5.1";
constexpr int IGNORE_UNKNOWN_CA = 0x0100;
constexpr int IGNORE_WRONG_USAGE = 0x0200;
constexpr int IGNORE_NAME_MISMATCH = 0x1000;
constexpr int IGNORE_INVALID_DATE = 0x2000;
constexpr int IGNORE_ALL = 0x3300;

class CurlObjectTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = std::make_unique<TestServer>(); }
    static void TearDownTestSuite() { server_.reset(); }

    void SetUp() override { ASSERT_TRUE(server_->ok()) << "the test server did not start"; }

    // An object that trusts the test CA, with short time-outs.
    static HttpRequestObject trustingObject() {
        HttpRequestObject object = createCurlHttpObject({server_->caFile()});
        object->SetTimeouts(5000, 5000, 5000, 5000);
        return object;
    }

    static std::string body(const HttpRequestObject& object) { return std::string(object->ResponseBody().view()); }
    static std::string headers(const HttpRequestObject& object) {
        return std::string(object->GetAllResponseHeaders().view());
    }

    // GET of path on the listener through a fresh object; returns it for inspection.
    static HttpRequestObject get(std::string_view listener, std::string_view path, int ignoreFlags = 0,
                                 bool trustCa = true) {
        HttpRequestObject object = trustCa ? trustingObject() : createCurlHttpObject({});
        object->SetTimeouts(5000, 5000, 5000, 5000);
        object->Open("GET", TextValue(server_->url(listener, path)), false);
        object->Option(4, ignoreFlags);
        object->Send(TextValue());
        return object;
    }

    static void expectFailed(const HttpRequestObject& object) {
        EXPECT_EQ(object->Status(), 0);
        EXPECT_EQ(body(object), "");
        EXPECT_EQ(headers(object), "");
        EXPECT_EQ(std::string(object->StatusText().view()), "");
    }

    static std::unique_ptr<TestServer> server_;
};

std::unique_ptr<TestServer> CurlObjectTest::server_;

TEST(CurlFactory, MapsExactlyTheOneProgId) {
    EXPECT_NE(createHttpObject(TextValue(PROG_ID)), nullptr);
    for (const char* other : {"", "winhttp.winhttprequest.5.1", "WinHttp.WinHttpRequest.5", "Msxml2.XMLHTTP.6.0",
                              "WinHttp.WinHttpRequest.5.1 "})
        EXPECT_EQ(createHttpObject(TextValue(other)), nullptr) << other;
}

TEST_F(CurlObjectTest, GetReturnsStatusReasonAndBody) {
    const auto object = get("valid", "/echo");
    EXPECT_EQ(object->Status(), 200);
    EXPECT_EQ(std::string(object->StatusText().view()), "OK");
    EXPECT_TRUE(body(object).starts_with("GET /echo HTTP/1.1\r\n")) << body(object);
}

TEST_F(CurlObjectTest, EveryVerbGoesOnTheRequestLine) {
    for (const char* verb : {"GET", "POST", "PUT", "OPTIONS", "DELETE", "TRACE", "CONNECT"}) {
        const auto object = trustingObject();
        object->Open(verb, TextValue(server_->url("valid", "/echo")), false);
        object->Send(TextValue());
        EXPECT_EQ(object->Status(), 200) << verb;
        EXPECT_TRUE(body(object).starts_with(std::string(verb) + " /echo HTTP/1.1\r\n")) << body(object);
    }
}

TEST_F(CurlObjectTest, HeadReadsHeadersWithoutBody) {
    const auto object = trustingObject();
    object->Open("HEAD", TextValue(server_->url("valid", "/status/404")), false);
    object->Send(TextValue());
    EXPECT_EQ(object->Status(), 404);
    EXPECT_EQ(body(object), "");
    EXPECT_NE(headers(object).find("Content-Type: text/html; charset=utf-8\r\n"), std::string::npos) << headers(object);
}

TEST_F(CurlObjectTest, TextBodyGoesAsUtf8) {
    // "答案" in code page 936, as the program holds it.
    const TextValue gbk(std::string_view("\xB4\xF0\xB0\xB8 ok"));
    const auto object = trustingObject();
    object->Open("POST", TextValue(server_->url("valid", "/echo")), false);
    object->Send(gbk);
    const std::string echoed = body(object);
    EXPECT_TRUE(echoed.starts_with("POST /echo HTTP/1.1\r\n")) << echoed;
    EXPECT_TRUE(echoed.ends_with("\r\n\r\n\xE7\xAD\x94\xE6\xA1\x88 ok")) << echoed;
    EXPECT_NE(echoed.find("Content-Length: 9\r\n"), std::string::npos) << echoed;
    EXPECT_EQ(echoed.find("Content-Type"), std::string::npos) << "libcurl's form type must not be added";
}

TEST_F(CurlObjectTest, ByteBodyGoesAsItIs) {
    const ByteString bytes{0x00, 0xB4, 0xF0, 0x0D, 0x0A, 0xFF};
    const auto object = trustingObject();
    object->Open("PUT", TextValue(server_->url("valid", "/echo")), false);
    object->Send(bytes);
    const std::string echoed = body(object);
    EXPECT_TRUE(echoed.starts_with("PUT /echo HTTP/1.1\r\n")) << echoed;
    EXPECT_TRUE(echoed.ends_with(std::string("\r\n\r\n") + std::string(bytes.view()))) << echoed;
}

TEST_F(CurlObjectTest, RequestHeadersAsSetSecondCallReplacesFirst) {
    const auto object = trustingObject();
    object->Open("GET", TextValue(server_->url("valid", "/echo")), false);
    object->SetRequestHeader("X-First", "1");
    object->SetRequestHeader("X-Second", "two words");
    object->SetRequestHeader("x-first", "3");
    object->SetRequestHeader("Bad\r\nName", "x");     // rejected
    object->SetRequestHeader("X-Injected", "a\r\nB: c");  // rejected
    object->SetRequestHeader("", "");                  // rejected
    object->SetRequestHeader("X-Empty", "");           // not sent
    object->Send(TextValue());
    EXPECT_EQ(object->Status(), 200);
    const std::string port = std::to_string(server_->port("valid"));
    EXPECT_EQ(body(object), "GET /echo HTTP/1.1\r\nHost: 127.0.0.1:" + port +
                                "\r\nX-First: 3\r\nX-Second: two words\r\n\r\n");
}

TEST_F(CurlObjectTest, OpenStartsAFreshRequest) {
    const auto object = trustingObject();
    object->Open("GET", TextValue(server_->url("valid", "/echo")), false);
    object->SetRequestHeader("X-Old", "1");
    object->Send(TextValue());
    ASSERT_EQ(object->Status(), 200);
    object->Open("GET", TextValue(server_->url("valid", "/echo?second")), false);
    EXPECT_EQ(object->Status(), 0) << "Open clears the previous response";
    object->Send(TextValue());
    EXPECT_EQ(body(object).find("X-Old"), std::string::npos) << body(object);
}

TEST_F(CurlObjectTest, OnlyFinalResponseHeadersWithoutStatusLine) {
    const auto object = get("valid", "/redirect-to?url=/headers%3Fh%3DSet-Cookie:a%3D1%3B%20path%3D/%26h%3DX-Final:yes");
    EXPECT_EQ(object->Status(), 200);
    const std::string text = headers(object);
    EXPECT_NE(text.find("Set-Cookie: a=1; path=/\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("X-Final: yes\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("Location"), std::string::npos) << "headers of the redirect must not be kept";
    EXPECT_EQ(text.find("HTTP/"), std::string::npos) << "no status line";
    EXPECT_TRUE(text.ends_with("\r\n")) << text;
    EXPECT_EQ(text.find("\r\n\r\n"), std::string::npos) << "no empty line";
}

TEST_F(CurlObjectTest, RedirectsFollowedUpToTen) {
    struct Case {
        const char* path;
        int status;
    } cases[] = {{"/redirect/1", 200}, {"/redirect/10", 200}, {"/redirect/11", 0}, {"/redirect-loop", 0}};
    for (const auto& c : cases) {
        const auto object = get("valid", c.path);
        EXPECT_EQ(object->Status(), c.status) << c.path;
        if (c.status == 200) {
            EXPECT_TRUE(body(object).starts_with("GET /echo HTTP/1.1\r\n")) << c.path;
        }
    }
}

TEST_F(CurlObjectTest, RedirectNotFollowedWhenTurnedOff) {
    const auto object = trustingObject();
    object->Open("GET", TextValue(server_->url("valid", "/redirect/3")), false);
    object->Option(6, 0);
    object->Send(TextValue());
    EXPECT_EQ(object->Status(), 302);
    EXPECT_NE(headers(object).find("Location: /redirect/2\r\n"), std::string::npos) << headers(object);
}

TEST_F(CurlObjectTest, NeverFromHttpsDownToHttp) {
    const std::string target = server_->url("http", "/echo");
    const auto object = get("valid", "/redirect-to?url=" + target);
    // The redirect itself is the answer, as the platform's policy gives it.
    EXPECT_EQ(object->Status(), 302);
    EXPECT_NE(headers(object).find("Location: " + target + "\r\n"), std::string::npos) << headers(object);
    EXPECT_EQ(body(object), "");

    // From HTTP, HTTPS is allowed.
    const auto upward = get("http", "/redirect-to?url=" + server_->url("valid", "/echo"), IGNORE_UNKNOWN_CA);
    EXPECT_EQ(upward->Status(), 200);
}

TEST_F(CurlObjectTest, StalledServerGivenUp) {
    // The server answers in full after its silence; only a time-out ends the
    // exchange early with nothing.
    struct Case {
        const char* path;
        int status;
        const char* body;
    } cases[] = {
        {"/stall-headers?seconds=0.2", 200, "late\n"},
        {"/stall-headers?seconds=60", 0, ""},
        {"/stall-body?seconds=0.2", 200, "0123456789abcdefghij"},
        {"/stall-body?seconds=60", 0, ""},
    };
    for (const auto& c : cases) {
        const auto object = trustingObject();
        object->SetTimeouts(2000, 2000, 2000, 2000);
        object->Open("GET", TextValue(server_->url("valid", c.path)), false);
        object->Send(TextValue());
        EXPECT_EQ(object->Status(), c.status) << c.path;
        EXPECT_EQ(body(object), c.body) << c.path;
        if (c.status == 0) {
            EXPECT_EQ(headers(object), "") << c.path;
        }
    }
}

TEST_F(CurlObjectTest, WholeExchangeBoundedBySumOfTimeouts) {
    // A byte every 0.25 s never leaves the line idle, so only the bound on
    // the whole exchange (4 x 1000 ms) can end the 30-second trickle.
    for (const auto& [path, status] : {std::pair{"/trickle?seconds=0.5", 200}, std::pair{"/trickle?seconds=30", 0}}) {
        const auto object = trustingObject();
        object->SetTimeouts(1000, 1000, 1000, 1000);
        object->Open("GET", TextValue(server_->url("valid", path)), false);
        object->Send(TextValue());
        EXPECT_EQ(object->Status(), status) << path;
    }
}

TEST_F(CurlObjectTest, SilentHandshakeBoundedByConnectTimeout) {
    const auto object = trustingObject();
    object->SetTimeouts(500, 500, 0, 0);  // send and receive without limit
    object->Open("GET", TextValue("https://127.0.0.1:" + std::to_string(server_->port("silent")) + "/"), false);
    object->Send(TextValue());
    expectFailed(object);
}

TEST_F(CurlObjectTest, RefusedOrBrokenConnectionGivesEmptyResults) {
    const std::string urls[] = {
        "https://127.0.0.1:" + std::to_string(testing::refusedPort()) + "/echo",
        "http://127.0.0.1:" + std::to_string(testing::refusedPort()) + "/echo",
        "https://127.0.0.1:" + std::to_string(server_->port("garbage")) + "/echo",
        "http://127.0.0.1:" + std::to_string(server_->port("garbage")) + "/echo",
    };
    for (const auto& url : urls) {
        const auto object = trustingObject();
        object->Open("GET", TextValue(url), false);
        object->Send(TextValue());
        expectFailed(object);
    }
}

TEST_F(CurlObjectTest, UnusableRequestsGiveEmptyResults) {
    const std::string echo = server_->url("valid", "/echo");
    struct Case {
        const char* verb;
        std::string url;
        bool async;
    } cases[] = {
        {"GET", echo, true},                     // asynchronous requests are not made
        {"G T", echo, false},                    // not a method
        {"GET", "ftp://127.0.0.1:1/x", false},   // not HTTP
        {"GET", "file:///etc/hostname", false},  // not HTTP
        {"GET", "", false},
        {"GET", "https://127.0.0.1:0/", false},
    };
    for (const auto& c : cases) {
        const auto object = trustingObject();
        object->Open(c.verb, TextValue(c.url), c.async);
        object->Send(TextValue());
        expectFailed(object);
    }
    // Send without Open.
    const auto unopened = trustingObject();
    unopened->Send(ByteString{1, 2});
    expectFailed(unopened);
}

TEST_F(CurlObjectTest, StatusCodesWithTheirBodies) {
    for (int code : {201, 404, 500}) {
        const auto object = get("valid", "/status/" + std::to_string(code));
        EXPECT_EQ(object->Status(), code);
        EXPECT_EQ(body(object), "<html><body><h1>" + std::to_string(code) + "</h1></body></html>\n");
    }
}

TEST_F(CurlObjectTest, BodyBytesKeptAndCapped) {
    const auto zeroFirst = get("valid", "/bytes?hex=00414200ff");
    EXPECT_EQ(zeroFirst->ResponseBody(), (ByteString{0x00, 0x41, 0x42, 0x00, 0xFF}));

    const auto atCap = get("valid", "/zeros?n=" + std::to_string(MAX_BODY_BYTES));
    EXPECT_EQ(atCap->Status(), 200);
    EXPECT_EQ(atCap->ResponseBody().length(), MAX_BODY_BYTES);
    const auto overCap = get("valid", "/zeros?n=" + std::to_string(MAX_BODY_BYTES + 1));
    expectFailed(overCap);
}

TEST_F(CurlObjectTest, ServerCredentials) {
    const std::string url = server_->url("valid", "/auth-basic?user=me&pass=pw");
    struct Case {
        const char* user;
        const char* password;
        int target;
        int status;
    } cases[] = {{"me", "pw", 0, 200}, {"me", "wrong", 0, 401}, {"me", "pw", 1, 401}};
    for (const auto& c : cases) {
        const auto object = trustingObject();
        object->Open("GET", TextValue(url), false);
        object->SetCredentials(c.user, c.password, c.target);
        object->Send(TextValue());
        EXPECT_EQ(object->Status(), c.status) << c.user << ":" << c.password << " target " << c.target;
    }
}

TEST_F(CurlObjectTest, NamedProxyWithCredentials) {
    // The plain HTTP listener plays the proxy; port 1 of the target is never contacted.
    const std::string proxy = "127.0.0.1:" + std::to_string(server_->port("http"));
    struct Case {
        int setting;
        const char* path;
        int target;
        int status;
    } cases[] = {
        {2, "/echo", -1, 200},                       // through the proxy
        {1, "/echo", -1, 0},                         // direct: port 1 refuses
        {2, "/proxy-auth?user=me&pass=pw", 1, 200},  // proxy credentials
        {2, "/proxy-auth?user=me&pass=pw", 0, 407},  // server credentials do not reach the proxy
    };
    for (const auto& c : cases) {
        const auto object = trustingObject();
        object->SetProxy(c.setting, TextValue(proxy));
        object->Open("GET", TextValue(std::string("http://127.0.0.1:1") + c.path), false);
        if (c.target >= 0) object->SetCredentials("me", "pw", c.target);
        object->Send(TextValue());
        EXPECT_EQ(object->Status(), c.status) << c.path << " setting " << c.setting << " target " << c.target;
        if (c.status == 200) {
            EXPECT_TRUE(body(object).starts_with(std::string("GET http://127.0.0.1:1") + c.path + " HTTP/1.1\r\n"))
                << body(object);
        }
    }
}

TEST_F(CurlObjectTest, ProxyAuthorizationStaysWithTheProxyThroughATunnel) {
    const std::string proxy = "127.0.0.1:" + std::to_string(server_->port("http"));
    const auto object = trustingObject();
    object->SetProxy(2, TextValue(proxy));
    object->Open("GET", TextValue(server_->url("valid", "/echo")), false);
    object->SetRequestHeader("Proxy-Authorization", "Basic bWU6cHc=");
    object->SetRequestHeader("X-Probe", "1");
    object->Send(TextValue());
    ASSERT_EQ(object->Status(), 200);
    const std::string received = body(object);
    EXPECT_TRUE(received.starts_with("GET /echo HTTP/1.1\r\n")) << received;  // tunnelled, not proxied
    EXPECT_NE(received.find("X-Probe: 1\r\n"), std::string::npos) << received;
    EXPECT_EQ(received.find("Proxy-Authorization"), std::string::npos) << received;
}

// Each certificate fault is accepted exactly under its own flag.
TEST_F(CurlObjectTest, CertificateFaultsAcceptedOnlyUnderTheirFlag) {
    struct Case {
        const char* listener;
        bool trustCa;
        int acceptingFlag;  // 0: accepted without any flag
    } cases[] = {
        {"valid", true, 0},
        {"valid", false, IGNORE_UNKNOWN_CA},  // the CA is not in the system's store
        {"self-signed", true, IGNORE_UNKNOWN_CA},
        {"wrong-usage", true, IGNORE_WRONG_USAGE},
        {"wrong-name", true, IGNORE_NAME_MISMATCH},
        {"expired", true, IGNORE_INVALID_DATE},
    };
    const int flags[] = {IGNORE_UNKNOWN_CA, IGNORE_WRONG_USAGE, IGNORE_NAME_MISMATCH, IGNORE_INVALID_DATE};
    for (const auto& c : cases) {
        const auto none = get(c.listener, "/echo", 0, c.trustCa);
        EXPECT_EQ(none->Status(), c.acceptingFlag == 0 ? 200 : 0) << c.listener << " without flags";
        for (int flag : flags) {
            const bool accepted = c.acceptingFlag == 0 || flag == c.acceptingFlag;
            const auto object = get(c.listener, "/echo", flag, c.trustCa);
            EXPECT_EQ(object->Status(), accepted ? 200 : 0) << c.listener << " flag " << std::hex << flag;
        }
        const auto others = get(c.listener, "/echo", IGNORE_ALL & ~c.acceptingFlag, c.trustCa);
        EXPECT_EQ(others->Status(), c.acceptingFlag == 0 ? 200 : 0) << c.listener << " all other flags";
        EXPECT_EQ(get(c.listener, "/echo", IGNORE_ALL, c.trustCa)->Status(), 200) << c.listener << " all flags";
    }
}

TEST_F(CurlObjectTest, FaultsCombineAndEachNeedsItsFlag) {
    // An expired leaf from an untrusted CA needs both flags.
    EXPECT_EQ(get("expired", "/echo", IGNORE_UNKNOWN_CA, false)->Status(), 0);
    EXPECT_EQ(get("expired", "/echo", IGNORE_INVALID_DATE, false)->Status(), 0);
    EXPECT_EQ(get("expired", "/echo", IGNORE_UNKNOWN_CA | IGNORE_INVALID_DATE, false)->Status(), 200);
}

TEST_F(CurlObjectTest, RelaxedFlagsDoNotCarryOverToTheNextExchange) {
    const auto object = trustingObject();
    const TextValue url(server_->url("expired", "/echo"));
    object->Open("GET", url, false);
    object->Option(4, IGNORE_INVALID_DATE);
    object->Send(TextValue());
    ASSERT_EQ(object->Status(), 200);
    object->Open("GET", url, false);
    object->Option(4, 0);
    object->Send(TextValue());
    EXPECT_EQ(object->Status(), 0);
}

}  // namespace
}  // namespace lunteva
