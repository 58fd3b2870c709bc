// Helpers shared by the fuzz targets: drawing texts from the fuzzer's bytes,
// and a check that aborts with a message, so that libFuzzer records the input.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "text/Text.h"

namespace lunteva::fuzz {

// Stops the run when cond is false; libFuzzer then saves the input.
#define LUNTEVA_FUZZ_CHECK(cond)                                                         \
    do {                                                                                 \
        if (!(cond)) {                                                                   \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                \
        }                                                                                \
    } while (0)

// A text of at most maxBytes bytes from the input; zero bytes in it cut it
// short as TextValue does.
inline TextValue drawText(FuzzedDataProvider& in, std::size_t maxBytes) {
    return TextValue(in.ConsumeRandomLengthString(maxBytes));
}

// A byte string of at most maxBytes bytes, zero bytes kept.
inline ByteString drawBytes(FuzzedDataProvider& in, std::size_t maxBytes) {
    return ByteString(in.ConsumeRandomLengthString(maxBytes));
}

// The invariants of every text value: no zero byte, terminated by one.
inline void checkTextValue(const TextValue& t) {
    LUNTEVA_FUZZ_CHECK(t.view().find('\0') == std::string_view::npos);
    LUNTEVA_FUZZ_CHECK(t.c_str()[t.length()] == '\0');
    LUNTEVA_FUZZ_CHECK(t.length() == static_cast<int>(t.view().size()));
    LUNTEVA_FUZZ_CHECK(t.empty() == (t.length() == 0));
}

// True when t begins or ends with a blank (a space, or the full-width space
// A1 A1 at a character boundary), as trimBoth sees them.
inline bool hasBlankAtEnds(const TextValue& t) {
    const std::string_view v = t.view();
    if (v.empty()) return false;
    if (v[0] == ' ' || v.substr(0, 2) == "\xA1\xA1") return true;
    std::size_t last = 0;
    for (std::size_t i = 0; i < v.size(); i += static_cast<unsigned char>(v[i]) >= 0x80 ? 2 : 1) last = i;
    const std::string_view lastCharacter = v.substr(last);
    return lastCharacter == " " || lastCharacter == "\xA1\xA1";
}

}  // namespace lunteva::fuzz
