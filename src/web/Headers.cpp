#include "web/Headers.h"

#include <array>

namespace lunteva {

namespace {

const TextValue CRLF = "\r\n";
const TextValue COLON = ":";
const TextValue DASH = "-";

struct DefaultHeader {
    const char* test;  // present when this occurs anywhere, case folded
    const char* line;  // appended behind CR LF when absent; Referer gets the url too
};

constexpr std::array<DefaultHeader, 4> ALWAYS = {{
    {"Accept:", "Accept: */*"},
    {"Referer:", "Referer: "},
    {"Accept-Language:", "Accept-Language: zh-cn"},
    {"User-Agent:", "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)"},
}};
constexpr DefaultHeader POST_ONLY = {"Content-Type:", "Content-Type: application/x-www-form-urlencoded"};
constexpr int POST_INDEX = 1;

bool present(const TextValue& block, const char* test) { return findText(block, test, 1, true) != -1; }

}  // namespace

TextValue addDefaultHeaders(const TextValue& block, const TextValue& url, int methodIndex) {
    TextValue out = block;
    for (const DefaultHeader& h : ALWAYS) {
        if (present(out, h.test)) continue;
        const bool referer = std::string_view(h.test) == "Referer:";
        out = concatText(out, CRLF, TextValue(h.line), referer ? url : TextValue());
    }
    if (methodIndex == POST_INDEX && !present(out, POST_ONLY.test))
        out = concatText(out, CRLF, TextValue(POST_ONLY.line));
    return out;
}

TextValue normalizeHeaderNames(const TextValue& block) {
    std::string out;
    for (const TextValue& piece : splitText(block, CRLF)) {
        const int colon = findText(piece, COLON);
        if (colon == -1) continue;
        const TextValue name = textLeft(piece, colon - 1);
        TextValue newName;
        if (findText(name, DASH) != -1) {
            // splitText drops a trailing empty part, so a name ending in "-"
            // comes out shorter; the rest below then starts with those dashes.
            std::string joined;
            bool first = true;
            for (const TextValue& part : splitText(name, DASH)) {
                if (!first) joined += '-';
                joined += capitalizeFirst(part).view();
                first = false;
            }
            newName = TextValue(joined);
        } else {
            newName = capitalizeFirst(name);
        }
        const TextValue rest = textRight(piece, textLength(piece) - textLength(newName));
        out += newName.view();
        out += rest.view();
        out += CRLF.view();
    }
    if (out.size() >= 2) out.resize(out.size() - 2);
    return TextValue(out);
}

TextValue capitalizeFirst(const TextValue& text) {
    return concatText(toUpper(textLeft(text, 1)), textMid(text, 2, textLength(text)));
}

TextValue headerName(const TextValue& line) {
    const int colon = findText(line, COLON);
    if (colon == -1) return {};
    return trimBoth(textLeft(line, colon - 1));
}

TextValue headerValue(const TextValue& line) {
    const int colon = findText(line, COLON);
    if (colon == -1) return {};
    return trimBoth(textMid(line, colon + 1, textLength(line)));
}

}  // namespace lunteva
