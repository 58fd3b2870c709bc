// A recording stand-in for the HTTP automation object, and the state of the
// test-only factory (FakeHttpFactory.cpp) that the unit tests link in place of
// a real backend.
//
// Every operation on a fake object, every creation and every COM call is
// appended to one log, in order, as a line such as
//   Open("GET", "https://127.0.0.1/", false)
// Texts are quoted, with CR, LF, quote, backslash and bytes outside printable
// ASCII written as escapes. The reads return what the script says.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "web/HttpObject.h"

namespace lunteva::fake {

// What the reads of a fake object return.
struct FakeScript {
    ByteString responseBody;
    TextValue responseHeaders;
    double status = 0;
    TextValue statusText;
};

using CallLog = std::vector<std::string>;

// Quoted form of a text, as the log writes it.
std::string quoted(std::string_view bytes);

class FakeHttpObject final : public HttpObject {
public:
    // Logs to log, which must outlive the object; the object logs "release"
    // when the last reference to it goes.
    FakeHttpObject(CallLog& log, FakeScript script) : log_(log), script_(std::move(script)) {}
    ~FakeHttpObject() override;

    void SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) override;
    void SetProxy(int setting, const TextValue& server) override;
    void Open(const TextValue& verb, const TextValue& url, bool async) override;
    void Option(int index, int value) override;
    void SetCredentials(const TextValue& user, const TextValue& password, int target) override;
    void SetRequestHeader(const TextValue& name, const TextValue& value) override;
    void Send(const TextValue& body) override;
    void Send(const ByteString& body) override;
    ByteString ResponseBody() override;
    TextValue GetAllResponseHeaders() override;
    double Status() override;
    TextValue StatusText() override;

private:
    CallLog& log_;
    FakeScript script_;
};

// The factory's state; reset() before each test.
struct FakeWorld {
    CallLog log;
    bool failCreation = false;  // createHttpObject answers null
    FakeScript script;          // given to each object it creates
    int coInitializeCalls = 0;
    int coUninitializeCalls = 0;
    std::weak_ptr<HttpObject> lastCreated;

    void reset() { *this = FakeWorld(); }
};

FakeWorld& fakeWorld();

}  // namespace lunteva::fake
