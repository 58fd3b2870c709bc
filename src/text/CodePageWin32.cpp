// Code-page layer over the platform's own pair.
//
// Implements, for Windows: multiByteToWideChar over MultiByteToWideChar and
// wideCharToMultiByte over WideCharToMultiByte, both with flags 0, a source
// length of -1 and no default character. char16_t and wchar_t are both one
// UTF-16 unit on Windows, so the buffers pass through unchanged.
#include <windows.h>

#include "text/CodePage.h"

namespace lunteva {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 units");

int multiByteToWideChar(unsigned codePage, const char* source, char16_t* destination, int destinationUnits) noexcept {
    return MultiByteToWideChar(codePage, 0, source, -1, reinterpret_cast<wchar_t*>(destination), destinationUnits);
}

int wideCharToMultiByte(unsigned codePage, const char16_t* source, char* destination, int destinationBytes) noexcept {
    return WideCharToMultiByte(codePage, 0, reinterpret_cast<const wchar_t*>(source), -1, destination,
                               destinationBytes, nullptr, nullptr);
}

}  // namespace lunteva
