// writeConsoleText with standard output redirected to a pipe: UTF-8 bytes
// with the platform's line ends.
#include "ui/ConsoleOutput.h"

#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace lunteva {
namespace {

// Standard output goes into a pipe while the object lives; read() ends the
// redirection and returns what was written.
class CapturedOutput {
public:
#ifdef _WIN32
    CapturedOutput() : saved_(GetStdHandle(STD_OUTPUT_HANDLE)) {
        CreatePipe(&read_, &write_, nullptr, 1 << 16);
        SetStdHandle(STD_OUTPUT_HANDLE, write_);
    }
    std::string read() {
        SetStdHandle(STD_OUTPUT_HANDLE, saved_);
        CloseHandle(write_);
        std::string bytes;
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(read_, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
        CloseHandle(read_);
        return bytes;
    }

private:
    HANDLE saved_, read_ = nullptr, write_ = nullptr;
#else
    CapturedOutput() : saved_(dup(STDOUT_FILENO)) {
        if (pipe(ends_) == 0) dup2(ends_[1], STDOUT_FILENO);
    }
    std::string read() {
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
        close(ends_[1]);
        std::string bytes;
        char buffer[4096];
        for (ssize_t got; (got = ::read(ends_[0], buffer, sizeof buffer)) > 0;) bytes.append(buffer, got);
        close(ends_[0]);
        return bytes;
    }

private:
    int saved_;
    int ends_[2] = {-1, -1};
#endif
};

struct OutputCase {
    const char* name;
    TextValue text;  // code page 936
    std::string utf8;
};

TEST(ConsoleOutputTest, RedirectedOutputIsUtf8WithThePlatformsLineEnds) {
    const OutputCase cases[] = {
#ifdef _WIN32
        {"ASCII with line ends", TextValue("1\r\n\r\n"), "1\r\n\r\n"},
#else
        {"ASCII with line ends", TextValue("1\r\n\r\n"), "1\n\n"},
        {"a lone CR stays", TextValue("a\rb\n"), "a\rb\n"},
#endif
        // 答案：A  (B4 F0 B0 B8 A3 BA in 936)
        {"Chinese", TextValue("\xB4\xF0\xB0\xB8\xA3\xBA" "A"), "\xE7\xAD\x94\xE6\xA1\x88\xEF\xBC\x9A" "A"},
        {"empty", TextValue(), ""},
    };
    for (const OutputCase& c : cases) {
        SCOPED_TRACE(c.name);
        CapturedOutput captured;
        EXPECT_TRUE(writeConsoleText(c.text));
        EXPECT_EQ(captured.read(), c.utf8);
    }
}

}  // namespace
}  // namespace lunteva
