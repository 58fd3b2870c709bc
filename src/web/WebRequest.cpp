#include "web/WebRequest.h"

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "quiz/Extraction.h"
#include "web/Cookies.h"
#include "web/Headers.h"

namespace lunteva {

namespace {

const TextValue PROG_ID = "WinHttp.WinHttpRequest.5.1";
const TextValue CRLF = "\r\n";
const TextValue COOKIE_SEPARATOR = "; ";

constexpr std::array<const char*, 8> VERBS = {"GET", "POST", "HEAD", "PUT", "OPTIONS", "DELETE", "TRACE", "CONNECT"};

constexpr int KEEP_OBJECT_TIMEOUTS = -1;
constexpr int PROXY_NAMED_SERVER = 2;
constexpr int OPTION_ENABLE_REDIRECTS = 6;
constexpr int OPTION_IGNORE_CERTIFICATE_ERRORS = 4;
// Unknown certificate authority, wrong usage, name mismatch, invalid date.
constexpr int IGNORED_CERTIFICATE_ERRORS = 0x0100 | 0x0200 | 0x1000 | 0x2000;
constexpr int CREDENTIALS_FOR_PROXY = 1;

// Pairs coInitialize with coUninitialize on every way out of webRequest.
class ComScope {
public:
    ComScope() { coInitialize(); }
    ~ComScope() { coUninitialize(); }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
};

// Milliseconds for one phase. The object takes a 32-bit signed count, so
// seconds beyond what it can hold are clamped to its largest value instead of
// wrapping round to a negative or tiny time-out.
int timeoutMilliseconds(int seconds) {
    if (seconds < 1) return DEFAULT_TIMEOUT_MS;
    const std::int64_t ms = static_cast<std::int64_t>(seconds) * 1000;
    constexpr std::int64_t most = std::numeric_limits<int>::max();
    return static_cast<int>(ms < most ? ms : most);
}

// A single line goes out whatever it holds; in a block of several lines empty
// pieces and an exact "Connection: keep-alive" are left to the object.
void sendHeaderLines(HttpObject& http, const TextValue& block) {
    if (findText(block, CRLF) == -1) {
        http.SetRequestHeader(headerName(block), headerValue(block));
        return;
    }
    for (const TextValue& piece : splitText(block, CRLF)) {
        if (piece.empty()) continue;
        const TextValue name = headerName(piece);
        const TextValue value = headerValue(piece);
        if (name == TextValue("Connection") && value == TextValue("keep-alive")) continue;
        http.SetRequestHeader(name, value);
    }
}

// The cookies of the Set-Cookie lines among headers, "; "-separated, each
// without its attributes.
TextValue gatherResponseCookies(const TextValue& headers) {
    std::string out;
    for (const TextValue& line : splitText(headers, CRLF)) {
        if (textBefore(line, ": ") != TextValue("Set-Cookie")) continue;
        const TextValue cookie = findText(line, ";") != -1
                                     ? trimBoth(textBetween(line, "Set-Cookie:", ";"))
                                     : trimBoth(replaceSubtext(line, "Set-Cookie:", {}, std::nullopt,
                                                               std::nullopt, false));
        out += cookie.view();
        out += COOKIE_SEPARATOR.view();
    }
    TextValue gathered(out);
    if (textRight(gathered, 2) == COOKIE_SEPARATOR) gathered = textLeft(gathered, textLength(gathered) - 2);
    return gathered;
}

}  // namespace

ByteString webRequest(WebRequestOptions& options) {
    const bool autoMergeCookies = options.autoMergeCookies.value_or(true);
    const bool completeHeaders = options.completeHeaders.value_or(true);
    const bool normalizeHeaders = options.normalizeHeaders.value_or(true);

    // Declared before the object reference, so that the reference is released
    // before COM is.
    const ComScope com;

    const int methodIndex = options.method < 0 || options.method > 7 ? 0 : options.method;
    const TextValue verb = VERBS[static_cast<std::size_t>(methodIndex)];

    const HttpRequestObject http = options.requestObject ? options.requestObject : createHttpObject(PROG_ID);
    if (!http) return {};

    if (options.timeoutSeconds != KEEP_OBJECT_TIMEOUTS) {
        const int ms = timeoutMilliseconds(options.timeoutSeconds);
        http->SetTimeouts(ms, ms, ms, ms);
    }
    if (!options.proxy.empty()) http->SetProxy(PROXY_NAMED_SERVER, options.proxy);
    http->Open(verb, options.url, false);
    if (options.noRedirects) http->Option(OPTION_ENABLE_REDIRECTS, 0);
    http->Option(OPTION_IGNORE_CERTIFICATE_ERRORS, IGNORED_CERTIFICATE_ERRORS);

    TextValue block = options.requestHeaders;
    if (completeHeaders) block = addDefaultHeaders(block, options.url, methodIndex);
    if (normalizeHeaders) block = normalizeHeaderNames(block);

    if (!options.proxy.empty() && !options.proxyUser.empty()) {
        const int target = options.credentialsTarget.value_or(CREDENTIALS_FOR_PROXY);
        http->SetCredentials(options.proxyUser, options.proxyPassword, target);
        if (target == CREDENTIALS_FOR_PROXY) {
            const TextValue pair = concatText(options.proxyUser, TextValue(":"), options.proxyPassword);
            http->SetRequestHeader("Proxy-Authorization", concatText(TextValue("Basic "), base64Encode(toBytes(pair))));
        }
    }

    if (options.cookies) {
        *options.cookies = replaceSubtext(*options.cookies, "Cookie:", {}, std::nullopt, std::nullopt, false);
        http->SetRequestHeader("Cookie", *options.cookies);
    }

    sendHeaderLines(*http, block);

    if (!options.byteBody.empty()) {
        http->Send(options.byteBody);
    } else {
        http->Send(options.textBody);
    }

    ByteString body = http->ResponseBody();
    options.responseHeaders = http->GetAllResponseHeaders();
    options.status = truncateToInt(http->Status());
    static_cast<void>(http->StatusText());

    options.responseCookies = gatherResponseCookies(options.responseHeaders);
    if (autoMergeCookies && options.cookies) {
        options.responseCookies = mergeCookies(*options.cookies, options.responseCookies);
    }
    return body;
}

TextValue base64Encode(const ByteString& bytes) {
    static constexpr char ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::string_view in = bytes.view();
    std::string out;
    out.reserve((in.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= in.size(); i += 3) {
        const std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(in[i])) << 16 |
                                    static_cast<std::uint32_t>(static_cast<unsigned char>(in[i + 1])) << 8 |
                                    static_cast<unsigned char>(in[i + 2]);
        out += ALPHABET[group >> 18 & 0x3F];
        out += ALPHABET[group >> 12 & 0x3F];
        out += ALPHABET[group >> 6 & 0x3F];
        out += ALPHABET[group & 0x3F];
    }
    const std::size_t left = in.size() - i;
    if (left > 0) {
        std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(in[i])) << 16;
        if (left == 2) group |= static_cast<std::uint32_t>(static_cast<unsigned char>(in[i + 1])) << 8;
        out += ALPHABET[group >> 18 & 0x3F];
        out += ALPHABET[group >> 12 & 0x3F];
        out += left == 2 ? ALPHABET[group >> 6 & 0x3F] : '=';
        out += '=';
    }
    return TextValue(out);
}

}  // namespace lunteva
