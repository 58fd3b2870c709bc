// libcurl backend of the HTTP object (web/HttpObject.h, web/HttpObjectCurl.h).
//
// Implements:
// - CurlHttpObject: every operation of HttpObject, one libcurl easy handle per exchange.
// - createHttpObject: "WinHttp.WinHttpRequest.5.1" gives a CurlHttpObject; any other ProgID null.
// - createCurlHttpObject: the same object with a CA file of the caller's.
// - coInitialize, coUninitialize: nothing; there is no COM here.
//
// How the object behaves where libcurl and the platform's object differ:
// - Time-outs (SetTimeouts; a value of 0 or below means no limit for that
//   phase, as on the platform): resolving plus connecting, TLS handshake
//   included, is bounded by the sum of the first two values; once the request
//   is on its way, the exchange is given up when no byte moves for the send
//   time-out (while the body is going out) or the receive time-out (after);
//   when all four are limited, the whole exchange, redirects included, never
//   takes longer than their sum. libcurl checks inactivity about once a
//   second, so a stall is noticed up to a second late, still within the sum.
//   With neither resolve nor connect limited, libcurl's own 300 s connect
//   bound stays. Without SetTimeouts the platform's defaults hold: no resolve limit,
//   60 s connect, 30 s send, 30 s receive.
// - A text body goes on the wire as UTF-8, converted from code page 936, as
//   the platform's object sends a text body; a byte body goes as it is.
// - Header names and values, user names and passwords go on the wire as
//   their 936 bytes. A header with an empty name, a name that is no HTTP
//   token, or a CR or LF anywhere is rejected (skipped). A header set to the
//   empty value is not sent. libcurl's own "Accept", "Expect" and default
//   "Content-Type" lines are left out unless the caller sets them.
// - Certificates are verified against the system's store (or the caller's
//   CA file). Option 4 forgives exactly the mapped OpenSSL verification errors
//   through a verify callback on each TLS context; the host-name check is
//   libcurl's and is switched off only by 0x1000. TLS sessions are not
//   resumed and connections not reused between exchanges, so a certificate
//   accepted under relaxed flags never carries over to a stricter exchange.
// - HTTP/1.1 only, so header names keep the server's spelling. Redirects: up
//   to 10 (more is a failure), never from HTTPS to HTTP: such a redirect is
//   itself the final response; only http and https addresses are accepted. Proxies come only from SetProxy: the environment's proxy
//   variables are ignored.
// - Every failure (of setting up, of the exchange, a body over
//   MAX_BODY_BYTES) leaves the results empty: no body, no headers, status 0.
#include "web/HttpObjectCurl.h"

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/Conversion.h"

namespace lunteva {
namespace {

constexpr std::string_view PROG_ID = "WinHttp.WinHttpRequest.5.1";

// Indices of the Option property, and the certificate errors of option 4.
constexpr int OPTION_SSL_ERROR_IGNORE_FLAGS = 4;
constexpr int OPTION_ENABLE_REDIRECTS = 6;
constexpr int IGNORE_UNKNOWN_CA = 0x0100;
constexpr int IGNORE_WRONG_USAGE = 0x0200;
constexpr int IGNORE_NAME_MISMATCH = 0x1000;
constexpr int IGNORE_INVALID_DATE = 0x2000;

constexpr int PROXY_SETTING_NAMED = 2;
constexpr int CREDENTIALS_FOR_SERVER = 0;
constexpr int CREDENTIALS_FOR_PROXY = 1;
constexpr long MAX_REDIRECTS = 10;

// The platform object's time-outs before SetTimeouts; 0 is no limit.
constexpr int DEFAULT_RESOLVE_MS = 0;
constexpr int DEFAULT_CONNECT_MS = 60000;
constexpr int DEFAULT_SEND_MS = 30000;
constexpr int DEFAULT_RECEIVE_MS = 30000;

// libcurl's global state, set up once for the process; false when it failed.
bool curlReady() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ready;
}

struct EasyDeleter {
    void operator()(CURL* handle) const noexcept { curl_easy_cleanup(handle); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

struct SlistDeleter {
    void operator()(curl_slist* list) const noexcept { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, SlistDeleter>;

bool appendLine(HeaderList& list, const std::string& line) {
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (grown == nullptr) return false;  // the list is unchanged
    (void)list.release();
    list.reset(grown);
    return true;
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

bool startsWithIgnoreCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

// An HTTP token (RFC 9110): what a method or a header name may be made of.
bool isToken(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        const bool alnum = (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
        if (!alnum && std::string_view("!#$%&'*+-.^_`|~").find(c) == std::string_view::npos) return false;
    }
    return true;
}

bool hasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

// 936 text to UTF-8; the empty text gives no bytes.
std::string gbkToUtf8(const TextValue& text) {
    if (text.empty()) return {};
    return std::string(utf16ToMultiByte(multiByteToUtf16(text, CP_GBK), CP_UTF8).view());
}

// --- Certificate checks ---------------------------------------------------

// Index of the TLS-context slot that points at the object's ignore flags.
int flagsSlot() {
    static const int slot = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return slot;
}

// Whether an OpenSSL verification error is one that the ignore flags forgive.
bool isForgiven(int error, int ignoreFlags) {
    switch (error) {
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        case X509_V_ERR_CERT_UNTRUSTED:
            return (ignoreFlags & IGNORE_UNKNOWN_CA) != 0;
        case X509_V_ERR_INVALID_PURPOSE:
            return (ignoreFlags & IGNORE_WRONG_USAGE) != 0;
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
            return (ignoreFlags & IGNORE_NAME_MISMATCH) != 0;
        case X509_V_ERR_CERT_NOT_YET_VALID:
        case X509_V_ERR_CERT_HAS_EXPIRED:
            return (ignoreFlags & IGNORE_INVALID_DATE) != 0;
        default:
            return false;  // bad signatures, revoked, malformed...: never
    }
}

// OpenSSL calls this for every error it finds in the chain. A forgiven error
// is cleared, so the verification result that libcurl reads afterwards stays
// "ok" unless an error that is not forgiven comes up (which ends the handshake).
int verifyCertificate(int preverifyOk, X509_STORE_CTX* store) noexcept {
    if (preverifyOk == 1) return 1;
    auto* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    SSL_CTX* context = ssl != nullptr ? SSL_get_SSL_CTX(ssl) : nullptr;
    const auto* flags = context != nullptr ? static_cast<const int*>(SSL_CTX_get_ex_data(context, flagsSlot())) : nullptr;
    if (flags == nullptr || !isForgiven(X509_STORE_CTX_get_error(store), *flags)) return 0;
    X509_STORE_CTX_set_error(store, X509_V_OK);
    return 1;
}

// libcurl's hook on each new TLS context, after it has set up verification.
CURLcode prepareTlsContext(CURL*, void* tlsContext, void* ignoreFlags) noexcept {
    auto* context = static_cast<SSL_CTX*>(tlsContext);
    if (flagsSlot() < 0 || SSL_CTX_set_ex_data(context, flagsSlot(), ignoreFlags) != 1) return CURLE_SSL_CONNECT_ERROR;
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, verifyCertificate);
    return CURLE_OK;
}

// --- One exchange -----------------------------------------------------------

using Clock = std::chrono::steady_clock;

// What one Send collects while libcurl runs.
struct Exchange {
    CURL* handle = nullptr;
    long long sendIdleMs = 0;  // 0: no limit
    long long receiveIdleMs = 0;
    Clock::time_point lastActivity = Clock::now();
    curl_off_t lastDown = -1;
    curl_off_t lastUp = -1;

    std::string body;
    std::string statusLine;                // of the latest response
    std::vector<std::string> headerLines;  // of the latest response
};

size_t onBody(char* data, size_t size, size_t count, void* user) noexcept {
    auto& exchange = *static_cast<Exchange*>(user);
    const size_t bytes = size * count;
    if (static_cast<long long>(exchange.body.size() + bytes) > MAX_BODY_BYTES) return 0;  // fails the transfer
    try {
        // Room for the announced length at once: growing step by step would
        // copy the body into ever new memory.
        curl_off_t announced = -1;
        if (exchange.body.empty() && exchange.handle != nullptr &&
            curl_easy_getinfo(exchange.handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) == CURLE_OK &&
            announced > 0 && announced <= MAX_BODY_BYTES)
            exchange.body.reserve(static_cast<std::size_t>(announced));
        exchange.body.append(data, bytes);
    } catch (...) {  // no exception may cross libcurl's C frames
        return 0;
    }
    return bytes;
}

// libcurl hands over every header line of every response (interim ones,
// redirects, a proxy's CONNECT answer); a status line starts a new set, so
// the last set is the final response's.
void keepHeaderLine(Exchange& exchange, std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (line.starts_with("HTTP/")) {
        exchange.statusLine = line;
        exchange.headerLines.clear();
    } else if (!line.empty() && (line.front() == ' ' || line.front() == '\t') && !exchange.headerLines.empty()) {
        // An obsolete folded continuation belongs to the line before it.
        const auto start = line.find_first_not_of(" \t");
        if (start != std::string_view::npos) exchange.headerLines.back().append(" ").append(line.substr(start));
    } else if (!line.empty()) {
        exchange.headerLines.emplace_back(line);
    }
}

size_t onHeader(char* data, size_t size, size_t count, void* user) noexcept {
    try {
        keepHeaderLine(*static_cast<Exchange*>(user), std::string_view(data, size * count));
    } catch (...) {  // no exception may cross libcurl's C frames
        return 0;
    }
    return size * count;
}

// Gives up an exchange in which nothing has moved for too long. The connect
// phase has its own bound (CURLOPT_CONNECTTIMEOUT_MS), so the idle clock
// runs only once the request is about to go out.
int onProgress(void* user, curl_off_t, curl_off_t downNow, curl_off_t upTotal, curl_off_t upNow) noexcept {
    auto& exchange = *static_cast<Exchange*>(user);
    const auto now = Clock::now();
    curl_off_t pretransfer = 0;
    if (curl_easy_getinfo(exchange.handle, CURLINFO_PRETRANSFER_TIME_T, &pretransfer) != CURLE_OK || pretransfer == 0) {
        exchange.lastActivity = now;
        return 0;
    }
    if (downNow != exchange.lastDown || upNow != exchange.lastUp) {
        exchange.lastDown = downNow;
        exchange.lastUp = upNow;
        exchange.lastActivity = now;
        return 0;
    }
    const bool sending = upTotal > 0 && upNow < upTotal;
    const long long limit = sending ? exchange.sendIdleMs : exchange.receiveIdleMs;
    const auto idleMs = std::chrono::duration_cast<std::chrono::milliseconds>(now - exchange.lastActivity).count();
    return (limit > 0 && idleMs >= limit) ? 1 : 0;  // non-zero aborts the transfer
}

// "HTTP/1.1 404 Not Found" gives "Not Found"; no reason phrase, the empty text.
std::string_view reasonPhrase(std::string_view statusLine) {
    const auto codeStart = statusLine.find(' ');
    if (codeStart == std::string_view::npos) return {};
    const auto reasonStart = statusLine.find(' ', codeStart + 1);
    if (reasonStart == std::string_view::npos) return {};
    return statusLine.substr(reasonStart + 1);
}

long long limitOrNone(int ms) { return ms > 0 ? ms : 0; }

class CurlHttpObject final : public HttpObject {
public:
    explicit CurlHttpObject(CurlTrust trust) : trust_(std::move(trust)) {}

    void SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) override {
        resolveMs_ = resolveMs;
        connectMs_ = connectMs;
        sendMs_ = sendMs;
        receiveMs_ = receiveMs;
    }

    void SetProxy(int setting, const TextValue& server) override {
        proxy_ = (setting == PROXY_SETTING_NAMED) ? std::string(server.view()) : std::string();
    }

    void Open(const TextValue& verb, const TextValue& url, bool async) override {
        clearResponse();
        headers_.clear();
        serverUser_.reset();
        proxyUser_.reset();
        // Only synchronous requests are made; a verb that cannot go into a
        // request line is refused, and Send then fails.
        opened_ = !async && isToken(verb.view()) && !url.empty() && !hasLineBreak(url.view());
        verb_ = std::string(verb.view());
        url_ = std::string(url.view());
    }

    void Option(int index, int value) override {
        if (index == OPTION_ENABLE_REDIRECTS) followRedirects_ = value != 0;
        if (index == OPTION_SSL_ERROR_IGNORE_FLAGS) ignoreFlags_ = value;
        // Other options of the platform object have no counterpart here.
    }

    void SetCredentials(const TextValue& user, const TextValue& password, int target) override {
        auto credentials = std::make_pair(std::string(user.view()), std::string(password.view()));
        if (target == CREDENTIALS_FOR_SERVER) serverUser_ = std::move(credentials);
        if (target == CREDENTIALS_FOR_PROXY) proxyUser_ = std::move(credentials);
    }

    void SetRequestHeader(const TextValue& name, const TextValue& value) override {
        if (!isToken(name.view()) || hasLineBreak(value.view())) return;  // rejected
        for (auto& [existingName, existingValue] : headers_) {
            if (equalsIgnoreCase(existingName, name.view())) {
                existingValue = value.view();
                return;
            }
        }
        headers_.emplace_back(std::string(name.view()), std::string(value.view()));
    }

    // Running out of memory, too, ends in empty results.
    void Send(const TextValue& body) override {
        try {
            exchange(gbkToUtf8(body));
        } catch (...) {
            clearResponse();
        }
    }
    void Send(const ByteString& body) override {
        try {
            exchange(std::string(body.view()));
        } catch (...) {
            clearResponse();
        }
    }

    ByteString ResponseBody() override { return body_; }  // shares the bytes

    TextValue GetAllResponseHeaders() override { return TextValue(headerText_); }

    double Status() override { return status_; }

    TextValue StatusText() override { return TextValue(statusText_); }

private:
    void clearResponse() {
        body_ = ByteString();
        headerText_.clear();
        statusText_.clear();
        status_ = 0;
    }

    bool isSet(std::string_view name) const {
        for (const auto& header : headers_)
            if (equalsIgnoreCase(header.first, name) && !header.second.empty()) return true;
        return false;
    }

    // The request header lines, libcurl's unwanted defaults switched off.
    // Proxy-Authorization goes to the proxy only: through an HTTPS tunnel the
    // server's lines reach the server, which must never see the proxy's
    // credentials.
    bool buildHeaders(HeaderList& list, HeaderList& proxyList, bool withBody) const {
        for (const auto& [name, value] : headers_) {
            if (value.empty()) continue;
            HeaderList& target = equalsIgnoreCase(name, "Proxy-Authorization") ? proxyList : list;
            if (!appendLine(target, name + ": " + value)) return false;
        }
        // "Name:" tells libcurl to leave out its own line of that name.
        if (!isSet("Accept") && !appendLine(list, "Accept:")) return false;
        if (!isSet("Expect") && !appendLine(list, "Expect:")) return false;
        if (withBody && !isSet("Content-Type") && !appendLine(list, "Content-Type:")) return false;
        return true;
    }

    void exchange(std::string requestBody) {
        clearResponse();
        if (!opened_ || !curlReady()) return;
        EasyHandle handle(curl_easy_init());
        if (!handle) return;
        Exchange state;
        state.handle = handle.get();
        HeaderList headerList;       // both lists must outlive the transfer
        HeaderList proxyHeaderList;
        if (!configure(handle.get(), state, requestBody, headerList, proxyHeaderList)) return;
        const CURLcode result = curl_easy_perform(handle.get());
        long code = 0;
        if (curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &code) != CURLE_OK) return;
        // A redirect from HTTPS to HTTP is not followed: the redirect itself is
        // the answer, as under the platform's redirect policy.
        const bool downgradeRefused = result == CURLE_UNSUPPORTED_PROTOCOL && code >= 300 && code < 400 &&
                                      !state.statusLine.empty();
        if (result != CURLE_OK && !downgradeRefused) return;  // every other failure: empty results
        if (downgradeRefused) state.body.clear();
        status_ = static_cast<double>(code);
        statusText_ = reasonPhrase(state.statusLine);
        for (const auto& line : state.headerLines) headerText_.append(line).append("\r\n");
        body_ = ByteString(std::move(state.body));
    }

    bool configure(CURL* h, Exchange& state, const std::string& requestBody, HeaderList& headerList,
                   HeaderList& proxyHeaderList) {
        bool ok = true;
        auto set = [&](CURLoption option, auto value) { ok = ok && curl_easy_setopt(h, option, value) == CURLE_OK; };

        set(CURLOPT_URL, url_.c_str());
        set(CURLOPT_PROTOCOLS_STR, "http,https");
        // Redirects never lead from HTTPS down to HTTP.
        set(CURLOPT_REDIR_PROTOCOLS_STR, startsWithIgnoreCase(url_, "https:") ? "https" : "http,https");
        set(CURLOPT_FOLLOWLOCATION, followRedirects_ ? 1L : 0L);
        set(CURLOPT_MAXREDIRS, MAX_REDIRECTS);
        set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
        set(CURLOPT_NOSIGNAL, 1L);
        // Only SetProxy names a proxy: "" also keeps libcurl from reading the
        // environment's proxy and no-proxy variables.
        set(CURLOPT_PROXY, proxy_.c_str());
        set(CURLOPT_NOPROXY, "");

        // Time-outs.
        const long long resolve = limitOrNone(resolveMs_), connect = limitOrNone(connectMs_);
        const long long send = limitOrNone(sendMs_), receive = limitOrNone(receiveMs_);
        if (resolve + connect > 0) set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(resolve + connect));
        if (resolve > 0 && connect > 0 && send > 0 && receive > 0)
            set(CURLOPT_TIMEOUT_MS, static_cast<long>(resolve + connect + send + receive));
        state.sendIdleMs = send;
        state.receiveIdleMs = receive;
        set(CURLOPT_XFERINFOFUNCTION, onProgress);
        set(CURLOPT_XFERINFODATA, static_cast<void*>(&state));
        set(CURLOPT_NOPROGRESS, 0L);

        // Method and body.
        const bool head = verb_ == "HEAD";
        const bool alwaysCounted = verb_ == "POST" || verb_ == "PUT";
        const bool withBody = !head && (!requestBody.empty() || alwaysCounted);
        if (verb_ == "GET" && !withBody) {
            set(CURLOPT_HTTPGET, 1L);
        } else if (head) {
            set(CURLOPT_NOBODY, 1L);
        } else {
            set(CURLOPT_CUSTOMREQUEST, verb_.c_str());
        }
        if (withBody) {
            set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(requestBody.size()));
            set(CURLOPT_POSTFIELDS, requestBody.c_str());
        }
        ok = ok && buildHeaders(headerList, proxyHeaderList, withBody);
        set(CURLOPT_HTTPHEADER, headerList.get());
        set(CURLOPT_PROXYHEADER, proxyHeaderList.get());
        set(CURLOPT_HEADEROPT, static_cast<long>(CURLHEADER_SEPARATE));

        // Credentials, used when the server or proxy asks for them.
        if (serverUser_) {
            set(CURLOPT_USERNAME, serverUser_->first.c_str());
            set(CURLOPT_PASSWORD, serverUser_->second.c_str());
            set(CURLOPT_HTTPAUTH, static_cast<unsigned long>(CURLAUTH_ANY));
        }
        if (proxyUser_) {
            set(CURLOPT_PROXYUSERNAME, proxyUser_->first.c_str());
            set(CURLOPT_PROXYPASSWORD, proxyUser_->second.c_str());
            set(CURLOPT_PROXYAUTH, static_cast<unsigned long>(CURLAUTH_ANY));
        }

        // Certificates.
        set(CURLOPT_SSL_VERIFYPEER, 1L);
        set(CURLOPT_SSL_VERIFYHOST, (ignoreFlags_ & IGNORE_NAME_MISMATCH) != 0 ? 0L : 2L);
        set(CURLOPT_SSL_CTX_FUNCTION, prepareTlsContext);
        set(CURLOPT_SSL_CTX_DATA, static_cast<void*>(&ignoreFlags_));
        set(CURLOPT_SSL_SESSIONID_CACHE, 0L);
        if (!trust_.caFile.empty()) set(CURLOPT_CAINFO, trust_.caFile.c_str());

        // Response.
        set(CURLOPT_WRITEFUNCTION, onBody);
        set(CURLOPT_WRITEDATA, static_cast<void*>(&state));
        set(CURLOPT_HEADERFUNCTION, onHeader);
        set(CURLOPT_HEADERDATA, static_cast<void*>(&state));
        return ok;
    }

    const CurlTrust trust_;

    int resolveMs_ = DEFAULT_RESOLVE_MS;
    int connectMs_ = DEFAULT_CONNECT_MS;
    int sendMs_ = DEFAULT_SEND_MS;
    int receiveMs_ = DEFAULT_RECEIVE_MS;
    std::string proxy_;
    bool followRedirects_ = true;
    int ignoreFlags_ = 0;  // read by the TLS verify callback during Send

    bool opened_ = false;
    std::string verb_;
    std::string url_;
    std::vector<std::pair<std::string, std::string>> headers_;  // in the order first set
    std::optional<std::pair<std::string, std::string>> serverUser_;
    std::optional<std::pair<std::string, std::string>> proxyUser_;

    ByteString body_;
    std::string headerText_;
    std::string statusText_;
    double status_ = 0;
};

}  // namespace

HttpRequestObject createCurlHttpObject(const CurlTrust& trust) { return std::make_shared<CurlHttpObject>(trust); }

HttpRequestObject createHttpObject(const TextValue& progId) {
    if (progId.view() != PROG_ID) return nullptr;
    return createCurlHttpObject({});
}

void coInitialize() {}
void coUninitialize() {}

}  // namespace lunteva
