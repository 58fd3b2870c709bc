// One HTTP or HTTPS exchange through the platform's HTTP automation object.
#pragma once

#include <optional>

#include "text/Text.h"
#include "web/HttpObject.h"

namespace lunteva {

// The arguments of webRequest, in their order. "out" fields are written by
// the call; "in/out" fields are read and replaced.
struct WebRequestOptions {
    TextValue url;                                // in: address given to Open; also the default Referer
    int method = 0;                               // in: 0 GET, 1 POST, 2 HEAD, 3 PUT, 4 OPTIONS, 5 DELETE,
                                                  //     6 TRACE, 7 CONNECT; others count as 0
    TextValue textBody;                           // in: sent when byteBody is empty
    std::optional<TextValue> cookies;             // in/out: absent means no cookie handling at all
    TextValue responseCookies;                    // out: cookies the response sets, "; "-separated
    TextValue requestHeaders;                     // in: extra header lines, CR LF separated
    TextValue responseHeaders;                    // out: the response header lines
    int status = 0;                               // out: status code, 0 when none was read
    bool noRedirects = false;                     // in: tell the object not to follow redirects
    ByteString byteBody;                          // in: sent as bytes when not empty
    TextValue proxy;                              // in: proxy server, used when not empty
    int timeoutSeconds = 0;                       // in: -1 leaves the object's own; below 1: 15 s;
                                                  //     above 2147483 s: the largest 32-bit ms count
    TextValue proxyUser;                          // in
    TextValue proxyPassword;                      // in
    std::optional<int> credentialsTarget;         // in: 0 server, 1 proxy (absent: 1)
    HttpRequestObject requestObject;              // in: the caller's object; null creates a new one
    std::optional<bool> autoMergeCookies;         // in: absent: true
    std::optional<bool> completeHeaders;          // in: absent: true
    std::optional<bool> normalizeHeaders;         // in: absent: true
};

inline constexpr int DEFAULT_TIMEOUT_MS = 15000;

// Performs one blocking exchange and returns the response body; empty when
// the object could not be created or no body was read. When the object cannot
// be created, every field of options stays as it was. Otherwise cookies (when
// given), responseCookies, responseHeaders and status are written; a failed
// exchange leaves them empty or 0. Nothing is reported or thrown.
ByteString webRequest(WebRequestOptions& options);

// Base64 of RFC 4648: standard alphabet, "=" padding; empty input, empty text.
TextValue base64Encode(const ByteString& bytes);

}  // namespace lunteva
