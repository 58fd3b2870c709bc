#include "web/Cookies.h"

#include <string>

namespace lunteva {

namespace {

const TextValue SEPARATOR = "; ";
const TextValue DELETED = "=deleted";

// Trimmed, and ending in the full separator when it ends in ";".
TextValue prepareCookieText(const TextValue& text) {
    const TextValue trimmed = trimBoth(text);
    if (textRight(trimmed, 1) == TextValue(";")) return concatText(trimmed, TextValue(" "));
    return trimmed;
}

bool isDeleted(const TextValue& item) { return textRight(item, textLength(DELETED)) == DELETED; }

}  // namespace

TextValue mergeCookies(TextValue& old, const TextValue& fresh) {
    const TextArray oldItems = splitText(prepareCookieText(old), SEPARATOR);
    TextArray working = splitText(prepareCookieText(fresh), SEPARATOR);
    for (const TextValue& item : oldItems) {
        if (!hasCookieName(working, cookieName(item))) arrayAppend(working, item);
    }
    std::string out;
    for (const TextValue& item : working) {
        if (isDeleted(item)) continue;
        out += item.view();
        out += SEPARATOR.view();
    }
    if (out.size() >= 2) out.resize(out.size() - 2);
    old = joinUnique(TextValue(out), SEPARATOR, true);
    return old;
}

TextValue cookieName(const TextValue& item) {
    const int equals = findText(item, "=");
    if (equals == -1) return trimBoth(item);
    return trimBoth(textLeft(item, equals - 1));
}

bool hasCookieName(const TextArray& items, const TextValue& name) {
    for (const TextValue& item : items) {
        if (cookieName(item) == name) return true;
    }
    return false;
}

TextValue joinUnique(const TextValue& text, const TextValue& separator, bool bySeparator) {
    TextArray pieces;
    if (bySeparator) {
        pieces = splitText(text, separator);
    } else {
        splitCharacters(text, pieces);
    }
    TextArray seen;
    std::string out;
    for (const TextValue& piece : pieces) {
        if (indexOfText(seen, piece) != -1) continue;
        arrayAppend(seen, piece);
        out += piece.view();
        out += separator.view();
    }
    out.resize(out.size() >= separator.view().size() ? out.size() - separator.view().size() : 0);
    return TextValue(out);
}

int splitCharacters(const TextValue& text, TextArray& pieces) {
    pieces.clear();
    const std::string_view t = text.view();
    for (std::size_t i = 0; i < t.size();) {
        std::size_t width = 1;
        if (i + 1 < t.size()) {
            const unsigned char b = static_cast<unsigned char>(t[i]);
            if (b > 0x80 || (b == '\r' && t[i + 1] == '\n')) width = 2;
        }
        pieces.append(TextValue(t.substr(i, width)));
        i += width;
    }
    return pieces.size();
}

int indexOfText(const TextArray& items, const TextValue& text) {
    int position = 1;
    for (const TextValue& item : items) {
        if (item == text) return position;
        ++position;
    }
    return -1;
}

}  // namespace lunteva
