// Windows backend of ui/ConsoleOutput.h: writeConsoleText, Unicode to a
// console, UTF-8 to anything else; standard input through _setmode.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "ui/ConsoleOutput.h"
#include "ui/WideText.h"

namespace lunteva {

bool writeConsoleText(const TextValue& text) {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return false;
    if (text.empty()) return true;
    DWORD mode = 0;
    if (GetConsoleMode(out, &mode)) {
        const std::wstring wide = toWide(text);
        for (std::size_t done = 0; done < wide.size();) {
            DWORD written = 0;
            if (!WriteConsoleW(out, wide.data() + done, static_cast<DWORD>(wide.size() - done), &written, nullptr) ||
                written == 0)
                return false;
            done += written;
        }
        return true;
    }
    const std::wstring wide = toWide(text);
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), size, nullptr, nullptr);
    for (std::size_t done = 0; done < bytes.size();) {
        DWORD written = 0;
        if (!WriteFile(out, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, nullptr) ||
            written == 0)
            return false;
        done += written;
    }
    return true;
}

void useBinaryStandardInput() { _setmode(_fileno(stdin), _O_BINARY); }

}  // namespace lunteva
