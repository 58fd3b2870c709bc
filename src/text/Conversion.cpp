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

// utf16ToMultiByte(multiByteToUtf16(text), CP_GBK), a piece at a time
// through small buffers that every piece reuses. Hands the 936 bytes of each
// piece to take(bytes, readUpTo), where readUpTo is how much of the text has
// been read so far; take returns false to stop. False when a conversion
// fails, which makes the whole result the empty text.
//
// Each piece gives at most as many 936 bytes as it has UTF-8 bytes: ASCII
// stays one byte, any other character took two bytes or more and becomes
// one or two, and a bad sequence becomes the one byte "?".
template <class Take>
bool convertPieces(std::string_view text, Take take) {
    std::string piece;
    std::u16string units;
    std::string converted;
    for (std::size_t from = 0; from < text.size();) {
        const std::size_t end = pieceEnd(text, from);
        piece.assign(text.substr(from, end - from));
        from = end;
        // Buffers big enough without asking for the lengths first: each
        // UTF-8 byte makes at most one UTF-16 unit, and each unit at most two
        // bytes of 936, terminators included.
        if (piece.size() >= static_cast<std::size_t>(INT_MAX / 2)) return false;
        units.resize(piece.size() + 1);
        const int unitCount = multiByteToWideChar(CP_UTF8, piece.c_str(), units.data(), static_cast<int>(units.size()));
        if (unitCount <= 0) return false;
        converted.resize(static_cast<std::size_t>(unitCount) * 2);
        const int written = wideCharToMultiByte(CP_GBK, units.data(), converted.data(), unitCount * 2);
        if (written <= 0) return false;
        // Up to the terminator the conversion wrote; a zero byte before it
        // would end the whole text there.
        const std::string_view bytes(converted.data(), static_cast<std::size_t>(written));
        const std::size_t kept = bytes.find('\0');
        if (kept == std::string_view::npos) return false;
        if (!take(bytes.substr(0, kept), end)) return true;
        if (kept + 1 < bytes.size()) return true;
    }
    return true;
}

}  // namespace

TextValue utf8ToGbk(const TextValue& text) {
    std::string out;
    out.reserve(text.view().size());
    const bool converted = convertPieces(text.view(), [&out](std::string_view bytes, std::size_t) {
        out.append(bytes);
        return true;
    });
    return converted ? TextValue(std::move(out)) : TextValue();
}

// The 936 bytes go over the UTF-8 bytes already read, which they never
// outgrow, so a page of any size needs no second buffer.
TextValue utf8ToGbk(TextValue&& text) {
    std::string storage = std::move(text).release();
    std::size_t at = 0;
    bool fits = true;
    const bool converted = convertPieces(storage, [&](std::string_view bytes, std::size_t readUpTo) {
        fits = at + bytes.size() <= readUpTo;
        if (!fits) return false;
        std::memcpy(storage.data() + at, bytes.data(), bytes.size());
        at += bytes.size();
        return true;
    });
    if (!converted || !fits) return {};
    storage.resize(at);
    return TextValue(std::move(storage));
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
