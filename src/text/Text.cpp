#include "text/Text.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace lunteva {

namespace {

// Width of the character that begins with byte b.
constexpr int charWidth(unsigned char b) noexcept { return b >= 0x80 ? 2 : 1; }

constexpr unsigned char foldAscii(unsigned char b) noexcept {
    return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + ('a' - 'A')) : b;
}

// True when sub occurs in text at 0-based index i (a character boundary;
// caller ensures room). Folding touches one-byte characters only: the bytes
// of a two-byte character of the text, trail byte included, must match as
// they are.
bool occursAt(std::string_view text, std::size_t i, std::string_view sub, bool foldCase) noexcept {
    if (!foldCase) return std::memcmp(text.data() + i, sub.data(), sub.size()) == 0;
    for (std::size_t k = 0; k < sub.size();) {
        const auto t = static_cast<unsigned char>(text[i + k]);
        const auto s = static_cast<unsigned char>(sub[k]);
        if (charWidth(t) == 2) {
            if (t != s || (k + 1 < sub.size() && text[i + k + 1] != sub[k + 1])) return false;
            k += 2;
        } else {
            if (foldAscii(t) != foldAscii(s)) return false;
            ++k;
        }
    }
    return true;
}

// 0-based index of the first occurrence of sub at a character boundary at or
// after from (itself a boundary) that ends at or before limit; npos if none.
std::size_t scanFor(std::string_view text, std::string_view sub, std::size_t from, std::size_t limit,
                    bool foldCase) noexcept {
    const std::size_t m = sub.size();
    if (m > limit) return std::string_view::npos;
    const std::size_t last = limit - m;  // last index where sub still fits
    const unsigned char first = static_cast<unsigned char>(sub[0]);
    const unsigned char firstFolded = foldAscii(first);
    for (std::size_t i = from; i <= last;) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        const bool lead = foldCase ? foldAscii(b) == firstFolded : b == first;
        if (lead && occursAt(text, i, sub, foldCase)) return i;
        i += static_cast<std::size_t>(charWidth(b));
    }
    return std::string_view::npos;
}

}  // namespace

TextValue::TextValue(std::string_view bytes) : bytes_(bytes.substr(0, bytes.find('\0'))) {}

TextValue::TextValue(std::string&& bytes) noexcept : bytes_(std::move(bytes)) {
    const std::size_t zero = bytes_.find('\0');
    if (zero != std::string::npos) bytes_.resize(zero);
}

ByteString::ByteString(std::string_view bytes) : ByteString(std::string(bytes)) {}

ByteString::ByteString(std::string&& bytes) {
    if (!bytes.empty()) bytes_ = std::make_shared<std::string>(std::move(bytes));
}

ByteString::ByteString(std::initializer_list<unsigned char> bytes) : ByteString(std::string(bytes.begin(), bytes.end())) {}

std::string ByteString::release() && {
    if (!bytes_) return {};
    std::string bytes = bytes_.use_count() == 1 ? std::move(*bytes_) : *bytes_;
    bytes_.reset();
    return bytes;
}

const TextValue& TextArray::member(int i) const noexcept {
    static const TextValue none;
    if (i < 1 || i > size()) return none;
    return members_[static_cast<std::size_t>(i - 1)];
}

int textLength(const TextValue& text) noexcept { return text.length(); }

TextValue textLeft(const TextValue& text, int count) {
    if (count <= 0) return {};
    return TextValue(text.view().substr(0, static_cast<std::size_t>(count)));
}

TextValue textRight(const TextValue& text, int count) {
    if (count <= 0) return {};
    if (count >= text.length()) return text;
    return TextValue(text.view().substr(static_cast<std::size_t>(text.length() - count)));
}

TextValue textMid(const TextValue& text, int start, int count) {
    if (start < 1 || start > text.length() || count <= 0) return {};
    return TextValue(text.view().substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(count)));
}

int findText(const TextValue& text, const TextValue& sub, int start, bool ignoreCase) {
    const int from = start < 1 ? 1 : start;
    if (from > text.length()) return -1;
    if (sub.empty()) return 1;
    const std::size_t at = scanFor(text.view(), sub.view(), static_cast<std::size_t>(from - 1),
                                   text.view().size(), ignoreCase);
    return at == std::string_view::npos ? -1 : static_cast<int>(at) + 1;
}

int findTextReverse(const TextValue& text, const TextValue& sub, std::optional<int> start, bool ignoreCase) {
    long long limit = start ? static_cast<long long>(*start) - 1 : text.length();
    if (limit < 0) limit = 0;
    if (limit > text.length()) limit = text.length();
    if (limit == 0) return -1;
    if (sub.empty()) return 1;
    const std::string_view t = text.view();
    const auto lim = static_cast<std::size_t>(limit);
    int found = -1;
    for (std::size_t at = scanFor(t, sub.view(), 0, lim, ignoreCase); at != std::string_view::npos;
         at = scanFor(t, sub.view(), at + charWidth(static_cast<unsigned char>(t[at])), lim, ignoreCase)) {
        found = static_cast<int>(at) + 1;
    }
    return found;
}

TextValue trimBoth(const TextValue& text) {
    const std::string_view t = text.view();
    std::size_t begin = 0;
    // Leading run, walking character by character from the start.
    while (begin < t.size()) {
        if (t[begin] == ' ') {
            ++begin;
        } else if (begin + 1 < t.size() && static_cast<unsigned char>(t[begin]) == 0xA1 &&
                   static_cast<unsigned char>(t[begin + 1]) == 0xA1) {
            begin += 2;
        } else {
            break;
        }
    }
    // The trailing run needs the character boundaries, so walk forward and
    // remember where the last non-blank character ended.
    std::size_t end = begin;
    for (std::size_t i = begin; i < t.size();) {
        const unsigned char b = static_cast<unsigned char>(t[i]);
        const std::size_t w = std::min<std::size_t>(static_cast<std::size_t>(charWidth(b)), t.size() - i);
        const bool blank = b == ' ' || (w == 2 && b == 0xA1 && static_cast<unsigned char>(t[i + 1]) == 0xA1);
        i += w;
        if (!blank) end = i;
    }
    return TextValue(t.substr(begin, end - begin));
}

TextValue replaceSubtext(const TextValue& text, const TextValue& sub, const TextValue& replacement,
                         std::optional<int> start, std::optional<int> count, bool caseSensitive) {
    const int from = start ? (*start < 1 ? 1 : *start) : 1;
    if (text.empty() || sub.empty() || (count && *count <= 0) || (start && static_cast<long long>(*start) - 1 >= text.length()))
        return text;
    const std::string_view t = text.view();
    const std::string_view s = sub.view();
    std::string out;
    out.reserve(t.size());
    std::size_t pos = static_cast<std::size_t>(from - 1);
    out.append(t.substr(0, pos));
    int made = 0;
    while (!(count && made >= *count)) {
        const std::size_t at = scanFor(t, s, pos, t.size(), !caseSensitive);
        if (at == std::string_view::npos) break;
        out.append(t.substr(pos, at - pos));
        out.append(replacement.view());
        pos = at + s.size();
        ++made;
    }
    out.append(t.substr(pos));
    return TextValue(out);
}

TextArray splitText(const TextValue& text, const TextValue& separator, std::optional<int> maxMembers) {
    TextArray result;
    const int most = maxMembers ? *maxMembers : std::numeric_limits<int>::max();
    if (text.empty() || most <= 0) return result;
    if (separator.empty()) {
        result.append(text);
        return result;
    }
    const std::string_view t = text.view();
    const std::string_view s = separator.view();
    std::size_t pos = 0;
    while (result.size() < most) {
        const std::size_t at = scanFor(t, s, pos, t.size(), false);
        if (at == std::string_view::npos) {
            if (pos < t.size()) result.append(TextValue(t.substr(pos)));
            break;
        }
        result.append(TextValue(t.substr(pos, at - pos)));
        pos = at + s.size();
    }
    return result;
}

TextValue toUpper(const TextValue& text) {
    std::string out(text.view());
    for (std::size_t i = 0; i < out.size();) {
        const unsigned char b = static_cast<unsigned char>(out[i]);
        if (b >= 'a' && b <= 'z') out[i] = static_cast<char>(b - ('a' - 'A'));
        i += static_cast<std::size_t>(charWidth(b));
    }
    return TextValue(out);
}

int charCode(const TextValue& text, int position) noexcept {
    if (position < 1 || position > text.length()) return 0;
    return static_cast<int>(static_cast<std::int8_t>(text.byteAt(position - 1)));
}

TextValue charFromCode(int code) {
    const char b = static_cast<char>(code & 0xFF);
    return TextValue(std::string_view(&b, 1));
}

TextValue blankText(int count) { return count <= 0 ? TextValue() : TextValue(std::string(count, ' ')); }

ByteString toBytes(const TextValue& text) { return ByteString(text.view()); }

TextValue toText(const ByteString& bytes) { return TextValue(bytes.view()); }

TextValue toText(ByteString&& bytes) { return TextValue(std::move(bytes).release()); }

TextValue toText(int number) { return TextValue(std::to_string(number)); }

int toByte(int value) noexcept { return value & 0xFF; }

bool textEquals(const TextValue& a, const TextValue& b) noexcept { return a == b; }

TextValue concatText(std::initializer_list<std::string_view> parts) {
    std::size_t total = 0;
    for (auto p : parts) total += p.size();
    std::string out;
    out.reserve(total);
    for (auto p : parts) out.append(p);
    return TextValue(out);
}

int bytesLength(const ByteString& bytes) noexcept { return bytes.length(); }

ByteString bytesMid(const ByteString& bytes, int start, int count) {
    const std::size_t from = static_cast<std::size_t>(std::clamp(start, 1, bytes.length() + 1) - 1);
    if (count <= 0) return {};
    return ByteString(bytes.view().substr(from, static_cast<std::size_t>(count)));
}

ByteString blankBytes(int count) { return count <= 0 ? ByteString() : ByteString(std::string(count, '\0')); }

ByteString concatBytes(std::initializer_list<std::string_view> parts) {
    std::size_t total = 0;
    for (auto p : parts) total += p.size();
    std::string out;
    out.reserve(total);
    for (auto p : parts) out.append(p);
    return ByteString(std::move(out));
}

bool bytesEqual(const ByteString& a, const ByteString& b) noexcept { return a == b; }

double remainder(double a, double b) noexcept { return std::fmod(a, b); }

int truncateToInt(double x) noexcept {
    if (std::isnan(x)) return 0;
    if (x >= 2147483647.0) return std::numeric_limits<int>::max();
    if (x <= -2147483648.0) return std::numeric_limits<int>::min();
    return static_cast<int>(x);
}

int bitAnd(int a, int b) noexcept { return a & b; }

int shiftLeft(int value, int bits) noexcept {
    return static_cast<int>(static_cast<std::uint32_t>(value) << (static_cast<unsigned>(bits) & 31u));
}

int shiftRight(int value, int bits) noexcept { return value >> (static_cast<unsigned>(bits) & 31u); }

int arraySize(const TextArray& array) noexcept { return array.size(); }

void arrayAppend(TextArray& array, const TextValue& text) { array.append(text); }

}  // namespace lunteva
