// POSIX backend of ui/ConsoleOutput.h: writeConsoleText as UTF-8 with LF
// line ends; standard input is binary already.
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>

#include "text/CodePage.h"
#include "ui/ConsoleOutput.h"

namespace lunteva {
namespace {

// 936 -> UTF-16 -> UTF-8 through the code-page layer, each step sized by its
// own length query.
std::string toUtf8(const TextValue& text) {
    const int units = multiByteToWideChar(CP_GBK, text.c_str(), nullptr, 0);
    if (units <= 1) return {};
    std::u16string wide(static_cast<std::size_t>(units), u'\0');
    if (multiByteToWideChar(CP_GBK, text.c_str(), wide.data(), units) != units) return {};
    const int bytes = wideCharToMultiByte(CP_UTF8, wide.c_str(), nullptr, 0);
    if (bytes <= 1) return {};
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    if (wideCharToMultiByte(CP_UTF8, wide.c_str(), utf8.data(), bytes) != bytes) return {};
    utf8.pop_back();  // the terminator
    return utf8;
}

}  // namespace

bool writeConsoleText(const TextValue& text) {
    const std::string bytes = toUtf8(replaceSubtext(text, "\r\n", "\n", std::nullopt, std::nullopt, true));
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t written = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

void useBinaryStandardInput() {}

}  // namespace lunteva
