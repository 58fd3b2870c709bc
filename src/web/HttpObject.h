// The platform's HTTP automation object, as webRequest drives it.
//
// The operations carry the object's own names. None of them throws or stops
// the caller: a failing operation does nothing more, and one with a result
// yields its empty value (no bytes, the empty text, 0).
//
// Backends, each defining createHttpObject, coInitialize and coUninitialize:
// - HttpObjectCurl.cpp: libcurl; "WinHttp.WinHttpRequest.5.1" maps to it.
// - HttpObjectWinHttp.cpp: the COM object of that ProgID, late bound.
#pragma once

#include <memory>

#include "text/Text.h"

namespace lunteva {

class HttpObject {
public:
    virtual ~HttpObject() = default;

    // Milliseconds allowed for resolving the name, connecting, sending and receiving.
    virtual void SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) = 0;
    // setting 2: go through the named proxy server.
    virtual void SetProxy(int setting, const TextValue& server) = 0;
    // Prepares a request; only synchronous requests (async false) are made.
    virtual void Open(const TextValue& verb, const TextValue& url, bool async) = 0;
    // Writes the indexed property Option: 6 follows redirects (0 turns it off),
    // 4 holds the certificate errors to ignore (0x0100 unknown CA, 0x0200 wrong
    // usage, 0x1000 name mismatch, 0x2000 invalid date).
    virtual void Option(int index, int value) = 0;
    // target 0: the server, 1: the proxy.
    virtual void SetCredentials(const TextValue& user, const TextValue& password, int target) = 0;
    virtual void SetRequestHeader(const TextValue& name, const TextValue& value) = 0;
    // Sends the request with a text body or a byte body; returns once the
    // response has arrived or the exchange has failed.
    virtual void Send(const TextValue& body) = 0;
    virtual void Send(const ByteString& body) = 0;
    virtual ByteString ResponseBody() = 0;
    // The response header lines, separated by CR LF.
    virtual TextValue GetAllResponseHeaders() = 0;
    virtual double Status() = 0;
    virtual TextValue StatusText() = 0;
};

// A counted reference to an HTTP object.
using HttpRequestObject = std::shared_ptr<HttpObject>;

// Creates the object that a ProgID names; null when it cannot be created.
HttpRequestObject createHttpObject(const TextValue& progId);

// COM's CoInitialize (reserved argument null) and CoUninitialize, for the
// calling thread; nothing where the object needs no COM.
void coInitialize();
void coUninitialize();

}  // namespace lunteva
