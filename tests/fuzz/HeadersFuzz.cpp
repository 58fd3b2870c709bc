// Fuzzes request header preparation with arbitrary header blocks, addresses
// and method indexes.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "web/Headers.h"

using namespace lunteva;
using lunteva::fuzz::checkTextValue;

namespace {

std::string foldedAscii(std::string_view t) {
    std::string out(t);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
    return out;
}

// The block's pieces that hold a colon, joined by CR LF: what normalizing
// keeps, before any letter is changed.
std::string keptPieces(const TextValue& block) {
    std::string out;
    for (const TextValue& piece : splitText(block, "\r\n")) {
        if (findText(piece, ":") == -1) continue;
        if (!out.empty() || piece.length() > 0) out += std::string(piece.view()) + "\r\n";
    }
    if (out.size() >= 2) out.resize(out.size() - 2);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const int methodIndex = in.ConsumeIntegralInRange(-1, 8);
    const TextValue url = lunteva::fuzz::drawText(in, 64);
    const TextValue block = lunteva::fuzz::drawText(in, 1024);

    const TextValue completed = addDefaultHeaders(block, url, methodIndex);
    checkTextValue(completed);
    LUNTEVA_FUZZ_CHECK(completed.view().substr(0, block.view().size()) == block.view());
    for (const char* test : {"Accept:", "Referer:", "Accept-Language:", "User-Agent:"})
        LUNTEVA_FUZZ_CHECK(findText(completed, test, 1, true) != -1);
    LUNTEVA_FUZZ_CHECK(methodIndex != 1 || findText(completed, "Content-Type:", 1, true) != -1);
    // A complete block needs nothing more.
    LUNTEVA_FUZZ_CHECK(addDefaultHeaders(completed, url, methodIndex) == completed);

    for (const TextValue& source : {block, completed}) {
        const TextValue normalized = normalizeHeaderNames(source);
        checkTextValue(normalized);
        LUNTEVA_FUZZ_CHECK(normalized.length() <= source.length());
        LUNTEVA_FUZZ_CHECK(foldedAscii(normalized.view()) == foldedAscii(keptPieces(source)));
        LUNTEVA_FUZZ_CHECK(normalized.view().substr(0, 2) != "\r\n");
        LUNTEVA_FUZZ_CHECK(normalizeHeaderNames(normalized) == normalized);
        for (const TextValue& line : splitText(normalized, "\r\n")) {
            LUNTEVA_FUZZ_CHECK(findText(line, ":") != -1);
            const TextValue name = headerName(line);
            const TextValue value = headerValue(line);
            checkTextValue(name);
            checkTextValue(value);
            LUNTEVA_FUZZ_CHECK(findText(name, ":") == -1 && !lunteva::fuzz::hasBlankAtEnds(name) &&
                               !lunteva::fuzz::hasBlankAtEnds(value));
            LUNTEVA_FUZZ_CHECK(name.length() + value.length() < line.length());
        }
    }

    const TextValue capitalized = capitalizeFirst(block);
    checkTextValue(capitalized);
    LUNTEVA_FUZZ_CHECK(capitalized.length() == block.length());
    LUNTEVA_FUZZ_CHECK(block.empty() || capitalized.view().substr(1) == block.view().substr(1));
    LUNTEVA_FUZZ_CHECK(foldedAscii(capitalized.view()) == foldedAscii(block.view()));

    if (findText(block, ":") == -1) LUNTEVA_FUZZ_CHECK(headerName(block).empty() && headerValue(block).empty());
    return 0;
}
