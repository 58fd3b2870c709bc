// Chinese literals of the program in code page 936.
//
// The literals stay readable in the source as u8"..." (UTF-8 whatever the
// compiler's execution character set), and gbkLiteral<u8"...">() turns them
// into code page 936 bytes at compile time through GBK_TABLE, which lists
// exactly the characters the program uses. A character missing from the table
// stops the build. Tests check every entry against the code-page conversion.
#pragma once

#include <cstddef>

#include "text/Text.h"

namespace lunteva {

struct GbkEntry {
    char32_t codePoint;
    unsigned char lead;
    unsigned char trail;
};

// Code page 936 bytes of every non-ASCII character in the program's literals.
inline constexpr GbkEntry GBK_TABLE[] = {
    {U'月', 0xD4, 0xC2}, {U'日', 0xC8, 0xD5}, {U'、', 0xA1, 0xA2}, {U'答', 0xB4, 0xF0},
    {U'案', 0xB0, 0xB8}, {U'：', 0xA3, 0xBA}, {U'引', 0xD2, 0xFD}, {U'号', 0xBA, 0xC5},
    {U'提', 0xCC, 0xE1}, {U'意', 0xD2, 0xE2}, {U'见', 0xBC, 0xFB}, {U'复', 0xB8, 0xB4},
    {U'制', 0xD6, 0xC6}, {U'请', 0xC7, 0xEB}, {U'加', 0xBC, 0xD3}, {U'成', 0xB3, 0xC9},
    {U'功', 0xB9, 0xA6}, {U'，', 0xA3, 0xAC}, {U'微', 0xCE, 0xA2}, {U'软', 0xC8, 0xED},
    {U'雅', 0xD1, 0xC5}, {U'黑', 0xBA, 0xDA}, {U'添', 0xCC, 0xED}, {U'　', 0xA1, 0xA1},
};

namespace detail {

template <std::size_t N>
struct Utf8Literal {
    char8_t units[N];
    consteval Utf8Literal(const char8_t (&s)[N]) {
        for (std::size_t i = 0; i < N; ++i) units[i] = s[i];
    }
};

template <std::size_t N>
struct GbkBytes {
    char bytes[N]{};  // never longer than the UTF-8 form
    std::size_t size = 0;
};

// constexpr, not consteval: clang 14 rejects a consteval call made from the
// consteval toGbk below. It is only ever evaluated at compile time.
constexpr char32_t decodeUtf8(const char8_t* s, std::size_t& i) {
    const unsigned b = s[i];
    if (b < 0x80) return s[i++];
    int extra = 0;
    char32_t cp = 0;
    if ((b & 0xE0) == 0xC0) {
        extra = 1;
        cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
        extra = 2;
        cp = b & 0x0F;
    } else {
        throw "literal: unsupported UTF-8 sequence";
    }
    ++i;
    for (int k = 0; k < extra; ++k) cp = (cp << 6) | (s[i++] & 0x3F);
    return cp;
}

template <std::size_t N>
consteval GbkBytes<N> toGbk(const Utf8Literal<N>& lit) {
    GbkBytes<N> out;
    for (std::size_t i = 0; i + 1 < N;) {
        const char32_t cp = decodeUtf8(lit.units, i);
        if (cp < 0x80) {
            out.bytes[out.size++] = static_cast<char>(cp);
            continue;
        }
        bool found = false;
        for (const GbkEntry& e : GBK_TABLE) {
            if (e.codePoint == cp) {
                out.bytes[out.size++] = static_cast<char>(e.lead);
                out.bytes[out.size++] = static_cast<char>(e.trail);
                found = true;
                break;
            }
        }
        if (!found) throw "literal: character missing from GBK_TABLE";
    }
    return out;
}

}  // namespace detail

// The code page 936 text of a UTF-8 literal, converted at compile time.
template <detail::Utf8Literal S>
const TextValue& gbkLiteral() {
    static constexpr auto bytes = detail::toGbk(S);
    static const TextValue text(std::string_view(bytes.bytes, bytes.size));
    return text;
}

}  // namespace lunteva
