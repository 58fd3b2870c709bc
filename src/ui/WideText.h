// The program's texts (code page 936) as UTF-16 for the W functions of the
// Win32 backends, and back. The Win32 front end converts explicitly at this
// boundary, so its Chinese texts show right whatever the system's ANSI code
// page is. Pure conversions over text/CodePage.h; Windows builds only
// (wchar_t is a UTF-16 unit there).
#pragma once

#include <string>
#include <string_view>

#include "text/CodePage.h"
#include "text/Text.h"

namespace lunteva {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t must be a UTF-16 unit");

// The text as UTF-16, without a terminator. The empty text gives the empty
// string; bytes that are not valid 936 become U+FFFD.
inline std::wstring toWide(const TextValue& text) {
    if (text.empty()) return {};
    const int units = multiByteToWideChar(CP_GBK, text.c_str(), nullptr, 0);
    if (units <= 1) return {};
    std::u16string buffer(static_cast<std::size_t>(units), u'\0');
    if (multiByteToWideChar(CP_GBK, text.c_str(), buffer.data(), units) != units) return {};
    return std::wstring(buffer.begin(), buffer.end() - 1);  // without the terminator
}

// The UTF-16 text up to its first zero unit, in code page 936; characters
// that 936 lacks become "?". The empty string gives the empty text.
inline TextValue fromWide(std::wstring_view text) {
    const std::u16string source(text.begin(), text.end());  // c_str() adds the terminator
    const int bytes = wideCharToMultiByte(CP_GBK, source.c_str(), nullptr, 0);
    if (bytes <= 1) return {};
    std::string buffer(static_cast<std::size_t>(bytes), '\0');
    if (wideCharToMultiByte(CP_GBK, source.c_str(), buffer.data(), bytes) != bytes) return {};
    return TextValue(buffer);  // stops at the terminator
}

}  // namespace lunteva
