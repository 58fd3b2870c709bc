// Conversion of downloaded UTF-8 text into the program's code page 936,
// through UTF-16, over the code-page layer of text/CodePage.h.
#pragma once

#include <optional>

#include "text/CodePage.h"
#include "text/Text.h"

namespace lunteva {

// UTF-8 bytes to code page 936. Each invalid UTF-8 sequence comes out as
// "?", and so does a character that 936 lacks (unless the platform has a
// best-fit substitute for it); the empty text gives the empty text.
TextValue utf8ToGbk(const TextValue& text);
// The same, converting within the text's own storage.
TextValue utf8ToGbk(TextValue&& text);

// The text as UTF-16 units, two bytes each, low byte first, followed by one
// zero unit. The code page defaults to CP_UTF8; the empty text gives the
// empty byte string.
ByteString multiByteToUtf16(const TextValue& text, std::optional<unsigned> codePage = std::nullopt);

// UTF-16 units (as multiByteToUtf16 makes them) to a text in the code page,
// default CP_ACP, up to the terminator. The empty byte string gives the empty text.
TextValue utf16ToMultiByte(const ByteString& units, std::optional<unsigned> codePage = std::nullopt);

}  // namespace lunteva
