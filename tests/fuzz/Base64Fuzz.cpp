// Fuzzes base64Encode on arbitrary bytes: the form of the output, and that a
// small independent decoder gives the input back.
#include <cstdint>
#include <optional>
#include <string>

#include "FuzzSupport.h"
#include "web/WebRequest.h"

using namespace lunteva;

namespace lunteva {
// This program only encodes: it has no HTTP object to create.
HttpRequestObject createHttpObject(const TextValue&) { return nullptr; }
void coInitialize() {}
void coUninitialize() {}
}  // namespace lunteva

namespace {

int sextet(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// Strict decoder: whole groups of four, "=" only as padding at the very end,
// and no bits set in the padding's place.
std::optional<std::string> decode(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool lastGroup = i + 4 == text.size();
        const int pad = lastGroup ? (text[i + 3] == '=') + (text[i + 2] == '=') : 0;
        if (pad == 1 && text[i + 2] == '=') return std::nullopt;
        std::uint32_t group = 0;
        for (int k = 0; k < 4; ++k) {
            const int v = k >= 4 - pad ? 0 : sextet(text[i + k]);
            if (v < 0) return std::nullopt;
            group = group << 6 | static_cast<std::uint32_t>(v);
        }
        if ((pad == 1 && (group & 0xFF) != 0) || (pad == 2 && (group & 0xFFFF) != 0)) return std::nullopt;
        out += static_cast<char>(group >> 16 & 0xFF);
        if (pad < 2) out += static_cast<char>(group >> 8 & 0xFF);
        if (pad < 1) out += static_cast<char>(group & 0xFF);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ByteString bytes(std::string_view(reinterpret_cast<const char*>(data), size));
    const TextValue encoded = base64Encode(bytes);
    lunteva::fuzz::checkTextValue(encoded);
    LUNTEVA_FUZZ_CHECK(static_cast<std::size_t>(encoded.length()) == (size + 2) / 3 * 4);
    const std::size_t padding = size % 3 == 0 ? 0 : 3 - size % 3;
    LUNTEVA_FUZZ_CHECK(encoded.view().ends_with(std::string(padding, '=')));
    LUNTEVA_FUZZ_CHECK(encoded.view().find('=') == std::string_view::npos ||
                       encoded.view().find('=') == encoded.view().size() - padding);
    const std::optional<std::string> decoded = decode(encoded.view());
    LUNTEVA_FUZZ_CHECK(decoded && *decoded == bytes.view());
    return 0;
}
