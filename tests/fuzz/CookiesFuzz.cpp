// Fuzzes cookie merging and the text routines it is built from.
#include <cstdint>
#include <set>
#include <string>

#include "FuzzSupport.h"
#include "web/Cookies.h"

using namespace lunteva;
using lunteva::fuzz::checkTextValue;

namespace {

const TextValue SEPARATOR = "; ";

// The items of a cookie text as merging reads them.
std::set<std::string> itemsOf(const TextValue& text) {
    TextValue prepared = trimBoth(text);
    if (prepared.view().ends_with(';')) prepared = concatText(prepared, TextValue(" "));
    std::set<std::string> out;
    for (const TextValue& item : splitText(prepared, SEPARATOR)) out.emplace(item.view());
    return out;
}

bool deleted(std::string_view item) { return item.ends_with("=deleted"); }

bool singleByte(const TextValue& text) {
    for (const char c : text.view())
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const TextValue separator = lunteva::fuzz::drawText(in, 3);
    const TextValue fresh = lunteva::fuzz::drawText(in, 256);
    const TextValue original = lunteva::fuzz::drawText(in, 256);

    TextValue old = original;
    const TextValue merged = mergeCookies(old, fresh);
    checkTextValue(merged);
    LUNTEVA_FUZZ_CHECK(old == merged);
    // Items are read character by character, so a lone lead byte at the end
    // of one item swallows the separator after it; the item-level checks
    // therefore hold for single-byte texts.
    if (singleByte(original) && singleByte(fresh)) {
        const std::set<std::string> oldItems = itemsOf(original);
        const std::set<std::string> freshItems = itemsOf(fresh);
        std::set<std::string> mergedItems;
        for (const TextValue& item : splitText(merged, SEPARATOR)) {
            const std::string bytes(item.view());
            LUNTEVA_FUZZ_CHECK(!deleted(bytes));
            LUNTEVA_FUZZ_CHECK(freshItems.count(bytes) || oldItems.count(bytes));
            LUNTEVA_FUZZ_CHECK(mergedItems.insert(bytes).second);
        }
        // Every non-empty cookie that the response set survives unless deleted.
        for (const std::string& item : freshItems)
            LUNTEVA_FUZZ_CHECK(deleted(item) || item.empty() || mergedItems.count(item));
    }

    const bool bySeparator = in.ConsumeBool();
    const TextValue unique = joinUnique(fresh, separator, bySeparator);
    checkTextValue(unique);
    if (bySeparator) LUNTEVA_FUZZ_CHECK(unique.length() <= fresh.length());

    TextArray pieces{"stale"};
    const int count = splitCharacters(fresh, pieces);
    LUNTEVA_FUZZ_CHECK(count == arraySize(pieces));
    std::string joined;
    for (int i = 1; i <= count; ++i) {
        const TextValue& piece = pieces.member(i);
        checkTextValue(piece);
        LUNTEVA_FUZZ_CHECK(piece.length() == 1 || piece.length() == 2);
        LUNTEVA_FUZZ_CHECK(indexOfText(pieces, piece) >= 1 && indexOfText(pieces, piece) <= i);
        joined += piece.view();
    }
    LUNTEVA_FUZZ_CHECK(joined == fresh.view());
    // Of the characters, each distinct one stays once (a CR kept apart from
    // its LF would pair up again when the result is split once more).
    TextArray uniquePieces;
    splitCharacters(joinUnique(fresh, "", false), uniquePieces);
    std::set<std::string> distinct;
    for (const TextValue& piece : pieces) distinct.emplace(piece.view());
    if (singleByte(fresh) && findText(fresh, "\r") == -1) LUNTEVA_FUZZ_CHECK(arraySize(uniquePieces) == static_cast<int>(distinct.size()));

    const TextValue name = cookieName(fresh);
    checkTextValue(name);
    LUNTEVA_FUZZ_CHECK(name == trimBoth(name) && findText(name, "=") == -1);
    LUNTEVA_FUZZ_CHECK(hasCookieName(TextArray{fresh}, name));
    return 0;
}
