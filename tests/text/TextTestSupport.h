// Helpers for the text tests: code page 936 data written as hex bytes, and
// readable failure output for texts and byte strings.
#pragma once

#include <cstdio>
#include <ostream>
#include <string>
#include <string_view>

#include "text/Text.h"

namespace lunteva {

namespace testing_support {

// The bytes spelled by hex digit pairs, spaces ignored: "B0 41" is B0 41.
inline std::string hexBytes(std::string_view hex) {
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    std::string out;
    int high = -1;
    for (const char c : hex) {
        const int d = digit(c);
        if (d < 0) continue;
        if (high < 0) {
            high = d;
        } else {
            out.push_back(static_cast<char>(high * 16 + d));
            high = -1;
        }
    }
    return out;
}

inline std::string toHex(std::string_view bytes) {
    std::string out;
    char pair[4];
    for (const char c : bytes) {
        std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned char>(c));
        if (!out.empty()) out += ' ';
        out += pair;
    }
    return out;
}

}  // namespace testing_support

// A text or byte string from hex digit pairs.
inline TextValue hexText(std::string_view hex) { return TextValue(testing_support::hexBytes(hex)); }
inline ByteString hexBytes(std::string_view hex) { return ByteString(testing_support::hexBytes(hex)); }

// GoogleTest finds these by argument-dependent lookup.
inline void PrintTo(const TextValue& text, std::ostream* os) {
    *os << "text[" << testing_support::toHex(text.view()) << "]";
}
inline void PrintTo(const ByteString& bytes, std::ostream* os) {
    *os << "bytes[" << testing_support::toHex(bytes.view()) << "]";
}
inline void PrintTo(const TextArray& array, std::ostream* os) {
    *os << "{";
    for (const TextValue& member : array) {
        *os << " ";
        PrintTo(member, os);
    }
    *os << " }";
}

}  // namespace lunteva
