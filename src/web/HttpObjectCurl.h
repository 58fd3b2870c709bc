// The libcurl HTTP object, for programs and tests that need more than the
// ProgID factory of web/HttpObject.h gives.
#pragma once

#include <string>

#include "web/HttpObject.h"

namespace lunteva {

// Where the libcurl object looks for trusted certificate authorities.
struct CurlTrust {
    // A PEM file of certificate authorities trusted instead of the system's
    // store; empty keeps the system's store. For tests against private
    // servers: the program's own requests always use the system's store.
    std::string caFile;
};

// A new libcurl object with the given trust; never null. createHttpObject
// ("WinHttp.WinHttpRequest.5.1") is the same as createCurlHttpObject({}).
HttpRequestObject createCurlHttpObject(const CurlTrust& trust);

// Largest response body the object reads, in bytes. A longer body makes the
// exchange fail, so a hostile server cannot make the program hold without bound.
inline constexpr long long MAX_BODY_BYTES = 64LL * 1024 * 1024;

}  // namespace lunteva
