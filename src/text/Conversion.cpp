#include "text/Conversion.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <string>
#include <string_view>

namespace lunteva {

static_assert(std::endian::native == std::endian::little, "UTF-16 byte strings are stored low byte first");

namespace {

// Where the piece that starts at from ends: the first place at or after from
// plus PIECE_BYTES that lies between two ASCII bytes, or the end. Neither
// conversion carries anything across an ASCII byte (an unfinished UTF-8
// sequence ends there, and each UTF-16 unit becomes 936 bytes of its own), so
// the pieces convert exactly as the whole text would. The ASCII byte before
// the cut keeps a piece from ending in an unfinished sequence, which Wine's
// conversion handles differently at the very end of its input.
constexpr std::size_t PIECE_BYTES = 16 * 1024;

std::size_t pieceEnd(std::string_view text, std::size_t from) noexcept {
    const auto ascii = [&](std::size_t i) { return static_cast<unsigned char>(text[i]) < 0x80; };
    std::size_t end = from + PIECE_BYTES;
    while (end < text.size() && !(ascii(end - 1) && ascii(end))) ++end;
    return std::min(end, text.size());
}

}  // namespace

TextValue utf8ToGbk(const TextValue& text) { return utf8ToGbk(TextValue(text)); }

// utf16ToMultiByte(multiByteToUtf16(text), CP_GBK), a piece at a time, with
// the 936 bytes written over the UTF-8 bytes already read: a page of any size
// needs no second buffer, only the UTF-16 units of one piece.
//
// A piece is terminated in place for the conversion (the byte after it is
// kept aside meanwhile). Its 936 bytes never outnumber its UTF-8 bytes:
// ASCII stays one byte, any other character took two bytes or more and
// becomes one or two, and a bad sequence becomes the one byte "?". So they
// and their terminator fit between the end of the 936 bytes so far and the
// end of the piece, and the room given to the conversion says so: should a
// platform ever write more, the conversion fails rather than overwrite
// unread bytes, and the result is the empty text.
TextValue utf8ToGbk(TextValue&& text) {
    std::string bytes = std::move(text).release();
    std::u16string units;
    std::size_t at = 0;  // end of the 936 bytes so far
    for (std::size_t from = 0; from < bytes.size();) {
        const std::size_t end = pieceEnd(bytes, from);
        if (end - from >= static_cast<std::size_t>(INT_MAX / 2)) return {};
        // At most one UTF-16 unit per UTF-8 byte, terminator included.
        units.resize(end - from + 1);
        const char next = bytes[end];
        bytes[end] = '\0';
        const int unitCount =
            multiByteToWideChar(CP_UTF8, bytes.data() + from, units.data(), static_cast<int>(units.size()));
        const int written = unitCount <= 0 ? 0
                                           : wideCharToMultiByte(CP_GBK, units.data(), bytes.data() + at,
                                                                 static_cast<int>(end - at + 1));
        bytes[end] = next;
        if (written <= 0) return {};
        // Up to the terminator the conversion wrote; a zero byte before it
        // ends the whole text there.
        const std::size_t kept = std::string_view(bytes.data() + at, static_cast<std::size_t>(written)).find('\0');
        if (kept == std::string_view::npos) return {};
        at += kept;
        if (kept + 1 < static_cast<std::size_t>(written)) break;
        from = end;
    }
    bytes.resize(at);
    return TextValue(std::move(bytes));
}

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
