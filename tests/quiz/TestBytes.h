// Building code page 936 test texts from hex bytes and ASCII pieces.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "text/Text.h"

namespace lunteva::testing {

// One piece of a test text: ASCII characters or explicit bytes.
struct Piece {
    std::string bytes;
    Piece(const char* ascii) : bytes(ascii) {}
    Piece(std::string_view ascii) : bytes(ascii) {}
    Piece(const std::string& ascii) : bytes(ascii) {}
    Piece(const TextValue& text) : bytes(text.view()) {}
    Piece(std::initializer_list<unsigned char> raw) : bytes(raw.begin(), raw.end()) {}
};

// The pieces joined into one text.
inline TextValue text(std::initializer_list<Piece> pieces) {
    std::string all;
    for (const Piece& p : pieces) all += p.bytes;
    return TextValue(all);
}

inline std::vector<TextValue> members(const TextArray& array) { return {array.begin(), array.end()}; }

}  // namespace lunteva::testing
