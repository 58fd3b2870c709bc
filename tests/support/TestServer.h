// The local HTTPS test server (https_server.py) as a test sees it: started
// on construction, ended and cleaned up on destruction, whatever the test did.
// POSIX only.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <string_view>

namespace lunteva::testing {

class TestServer {
public:
    struct Options {
        std::string page;   // page file served at paths that name no mode; empty: none
        std::string today;  // YYYY-MM-DD for the page's date labels; empty: the local date
    };

    // Starts the server and waits until it has written its ports (at most
    // 60 s). ok() tells whether it came up.
    explicit TestServer(const Options& options);
    TestServer() : TestServer(Options{}) {}
    // Ends the server (SIGTERM, then SIGKILL after 5 s) and waits for it.
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    bool ok() const { return !ports_.empty(); }
    // The port of a listener: "http", "valid", "wrong-name", "expired",
    // "wrong-usage", "self-signed"; 0 when unknown.
    int port(std::string_view listener) const;
    // "https://127.0.0.1:PORT" + path ("http://" for the "http" listener).
    std::string url(std::string_view listener, std::string_view path) const;
    // The PEM file of the CA that signed every leaf but the self-signed one.
    const std::string& caFile() const { return caFile_; }

private:
    pid_t pid_ = -1;
    std::string portsFile_;
    std::map<std::string, int, std::less<>> ports_;
    std::string caFile_;
};

// A port on 127.0.0.1 that nothing listens on (bound, then closed again).
int refusedPort();

}  // namespace lunteva::testing
