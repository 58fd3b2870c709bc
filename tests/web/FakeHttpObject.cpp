#include "FakeHttpObject.h"

#include <cstdio>

namespace lunteva::fake {

std::string quoted(std::string_view bytes) {
    std::string out = "\"";
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        switch (b) {
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            default:
                if (b < 0x20 || b >= 0x7F) {
                    char hex[5];
                    std::snprintf(hex, sizeof hex, "\\x%02X", b);
                    out += hex;
                } else {
                    out += ch;
                }
        }
    }
    return out + "\"";
}

namespace {

std::string hex(int value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%X", static_cast<unsigned>(value));
    return buffer;
}

}  // namespace

FakeHttpObject::~FakeHttpObject() { log_.push_back("release"); }

void FakeHttpObject::SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) {
    log_.push_back("SetTimeouts(" + std::to_string(resolveMs) + ", " + std::to_string(connectMs) + ", " +
                   std::to_string(sendMs) + ", " + std::to_string(receiveMs) + ")");
}

void FakeHttpObject::SetProxy(int setting, const TextValue& server) {
    log_.push_back("SetProxy(" + std::to_string(setting) + ", " + quoted(server.view()) + ")");
}

void FakeHttpObject::Open(const TextValue& verb, const TextValue& url, bool async) {
    log_.push_back("Open(" + quoted(verb.view()) + ", " + quoted(url.view()) + ", " + (async ? "true" : "false") +
                   ")");
}

void FakeHttpObject::Option(int index, int value) {
    log_.push_back("Option(" + std::to_string(index) + ", " + hex(value) + ")");
}

void FakeHttpObject::SetCredentials(const TextValue& user, const TextValue& password, int target) {
    log_.push_back("SetCredentials(" + quoted(user.view()) + ", " + quoted(password.view()) + ", " +
                   std::to_string(target) + ")");
}

void FakeHttpObject::SetRequestHeader(const TextValue& name, const TextValue& value) {
    log_.push_back("SetRequestHeader(" + quoted(name.view()) + ", " + quoted(value.view()) + ")");
}

void FakeHttpObject::Send(const TextValue& body) { log_.push_back("Send(text " + quoted(body.view()) + ")"); }

void FakeHttpObject::Send(const ByteString& body) { log_.push_back("Send(bytes " + quoted(body.view()) + ")"); }

ByteString FakeHttpObject::ResponseBody() {
    log_.push_back("ResponseBody()");
    return script_.responseBody;
}

TextValue FakeHttpObject::GetAllResponseHeaders() {
    log_.push_back("GetAllResponseHeaders()");
    return script_.responseHeaders;
}

double FakeHttpObject::Status() {
    log_.push_back("Status()");
    return script_.status;
}

TextValue FakeHttpObject::StatusText() {
    log_.push_back("StatusText()");
    return script_.statusText;
}

FakeWorld& fakeWorld() {
    static FakeWorld world;
    return world;
}

}  // namespace lunteva::fake
