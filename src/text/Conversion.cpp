#include "text/Conversion.h"

#include <bit>
#include <cstring>
#include <string>

namespace lunteva {

static_assert(std::endian::native == std::endian::little, "UTF-16 byte strings are stored low byte first");

TextValue utf8ToGbk(const TextValue& text) { return utf16ToMultiByte(multiByteToUtf16(text), CP_GBK); }

ByteString multiByteToUtf16(const TextValue& text, std::optional<unsigned> codePage) {
    const unsigned cp = codePage.value_or(CP_UTF8);
    if (text.empty()) return {};
    const int units = multiByteToWideChar(cp, text.c_str(), nullptr, 0);
    if (units <= 0) return {};
    std::u16string buffer(static_cast<std::size_t>(units), u'\0');
    multiByteToWideChar(cp, text.c_str(), buffer.data(), units);
    std::string bytes(buffer.size() * 2, '\0');
    std::memcpy(bytes.data(), buffer.data(), bytes.size());
    return ByteString(std::move(bytes));
}

TextValue utf16ToMultiByte(const ByteString& units, std::optional<unsigned> codePage) {
    const unsigned cp = codePage.value_or(CP_ACP);
    if (units.empty()) return {};
    // A private, terminated copy: the source is read up to its zero unit, and
    // a byte string without one (or of odd length) must not be read past.
    std::u16string source(static_cast<std::size_t>(units.length()) / 2, u'\0');
    std::memcpy(source.data(), units.data(), source.size() * 2);
    // Sized by the ANSI code page; every unit takes at least one byte there and
    // at most two in 936, so twice that count always holds the result.
    const int ansiBytes = wideCharToMultiByte(CP_ACP, source.c_str(), nullptr, 0);
    if (ansiBytes <= 0) return {};
    std::string buffer(static_cast<std::size_t>(ansiBytes) * 2, ' ');
    wideCharToMultiByte(cp, source.c_str(), buffer.data(), static_cast<int>(buffer.size()));
    return TextValue(buffer);  // up to the terminator the conversion wrote
}

}  // namespace lunteva
