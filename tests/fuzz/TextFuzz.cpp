// Fuzzes the text operations with arbitrary texts, positions, counts and
// markers, and checks each result against a plain model of its contract.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "text/Text.h"

using namespace lunteva;
using lunteva::fuzz::checkTextValue;

namespace {

// A position or count: mostly near the text's range, sometimes anywhere.
int drawPosition(FuzzedDataProvider& in, int length) {
    if (in.ConsumeIntegralInRange(0, 7) == 0) return in.ConsumeIntegral<int>();
    return in.ConsumeIntegralInRange(-3, length + 3);
}

unsigned char fold(unsigned char b) { return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b | 0x20) : b; }

// Folding applies to one-byte characters of the text only: the bytes of a
// two-byte character compare exactly, whatever their values.
bool matchesAt(std::string_view t, std::size_t i, std::string_view s, bool foldCase) {
    if (i + s.size() > t.size()) return false;
    bool trailByte = false;
    for (std::size_t k = 0; k < s.size(); ++k) {
        const auto a = static_cast<unsigned char>(t[i + k]);
        const auto b = static_cast<unsigned char>(s[k]);
        const bool folds = foldCase && !trailByte && a < 0x80;
        if (folds ? fold(a) != fold(b) : a != b) return false;
        trailByte = !trailByte && a >= 0x80;
    }
    return true;
}

std::size_t width(std::string_view t, std::size_t i) { return static_cast<unsigned char>(t[i]) >= 0x80 ? 2 : 1; }

int modelFind(std::string_view t, std::string_view s, int start, bool foldCase) {
    const long long from = std::max(start, 1);
    if (from > static_cast<long long>(t.size())) return -1;
    if (s.empty()) return 1;
    for (std::size_t i = static_cast<std::size_t>(from - 1); i + s.size() <= t.size(); i += width(t, i))
        if (matchesAt(t, i, s, foldCase)) return static_cast<int>(i + 1);
    return -1;
}

int modelFindReverse(std::string_view t, std::string_view s, std::optional<int> start, bool foldCase) {
    long long limit = start ? static_cast<long long>(*start) - 1 : static_cast<long long>(t.size());
    limit = std::clamp<long long>(limit, 0, static_cast<long long>(t.size()));
    if (limit == 0) return -1;
    if (s.empty()) return 1;
    int found = -1;
    for (std::size_t i = 0; i + s.size() <= static_cast<std::size_t>(limit); i += width(t, i))
        if (matchesAt(t, i, s, foldCase)) found = static_cast<int>(i + 1);
    return found;
}

std::string modelReplace(std::string_view t, std::string_view s, std::string_view r, std::optional<int> start,
                         std::optional<int> count, bool caseSensitive) {
    if (t.empty() || s.empty() || (count && *count <= 0) ||
        (start && static_cast<long long>(*start) - 1 >= static_cast<long long>(t.size())))
        return std::string(t);
    std::size_t i = start && *start > 1 ? static_cast<std::size_t>(*start - 1) : 0;
    std::string out(t.substr(0, i));
    int made = 0;
    while (i + s.size() <= t.size() && !(count && made >= *count)) {
        if (matchesAt(t, i, s, !caseSensitive)) {
            out += r;
            i += s.size();
            ++made;
        } else {
            const std::size_t w = std::min(width(t, i), t.size() - i);
            out += t.substr(i, w);
            i += w;
        }
    }
    out += t.substr(std::min(i, t.size()));
    return out;
}

std::vector<std::string> modelSplit(std::string_view t, std::string_view sep, std::optional<int> maxMembers) {
    std::vector<std::string> out;
    const long long limit = maxMembers ? std::max(*maxMembers, 0) : LLONG_MAX;
    if (t.empty() || limit == 0) return out;
    if (sep.empty()) return {std::string(t)};
    std::size_t pieceStart = 0;
    std::size_t i = 0;
    while (i + sep.size() <= t.size() && static_cast<long long>(out.size()) < limit) {
        if (matchesAt(t, i, sep, false)) {
            out.emplace_back(t.substr(pieceStart, i - pieceStart));
            i += sep.size();
            pieceStart = i;
        } else {
            i += width(t, i);
        }
    }
    if (static_cast<long long>(out.size()) < limit && pieceStart < t.size()) out.emplace_back(t.substr(pieceStart));
    return out;
}

std::string modelUpper(std::string_view t) {
    std::string out(t);
    for (std::size_t i = 0; i < out.size(); i += width(out, i))
        if (out[i] >= 'a' && out[i] <= 'z') out[i] = static_cast<char>(out[i] - 0x20);
    return out;
}

bool isSubstringAt(std::string_view whole, std::string_view part) {
    return part.empty() || whole.find(part) != std::string_view::npos;
}

void checkCutting(const TextValue& text, FuzzedDataProvider& in) {
    const std::string_view t = text.view();
    const int n = text.length();
    const int count = drawPosition(in, n);
    const int start = drawPosition(in, n);

    const TextValue left = textLeft(text, count);
    checkTextValue(left);
    LUNTEVA_FUZZ_CHECK(left.view() == (count <= 0 ? std::string_view() : t.substr(0, static_cast<std::size_t>(std::min(count, n)))));
    const TextValue right = textRight(text, count);
    checkTextValue(right);
    LUNTEVA_FUZZ_CHECK(right.view() == (count <= 0 ? std::string_view() : t.substr(static_cast<std::size_t>(n - std::min(count, n)))));
    const TextValue mid = textMid(text, start, count);
    checkTextValue(mid);
    if (start < 1 || start > n || count <= 0) {
        LUNTEVA_FUZZ_CHECK(mid.empty());
    } else {
        LUNTEVA_FUZZ_CHECK(mid.view() == t.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(count)));
    }

    const int position = drawPosition(in, n);
    const int code = charCode(text, position);
    LUNTEVA_FUZZ_CHECK(code >= -128 && code <= 127);
    LUNTEVA_FUZZ_CHECK(code == (position >= 1 && position <= n ? static_cast<signed char>(t[position - 1]) : 0));
}

void checkSearching(const TextValue& text, const TextValue& sub, FuzzedDataProvider& in) {
    const int n = text.length();
    const bool ignoreCase = in.ConsumeBool();
    const int start = drawPosition(in, n);
    const int found = findText(text, sub, start, ignoreCase);
    LUNTEVA_FUZZ_CHECK(found == modelFind(text.view(), sub.view(), start, ignoreCase));
    LUNTEVA_FUZZ_CHECK(found == -1 || (found >= 1 && found + sub.length() - 1 <= std::max(n, 1)));

    const std::optional<int> reverseStart = in.ConsumeBool() ? std::optional<int>(drawPosition(in, n)) : std::nullopt;
    const int last = findTextReverse(text, sub, reverseStart, ignoreCase);
    LUNTEVA_FUZZ_CHECK(last == modelFindReverse(text.view(), sub.view(), reverseStart, ignoreCase));
    LUNTEVA_FUZZ_CHECK(last == -1 || (last >= 1 && last + sub.length() - 1 <= n));
    // With no limit, the last occurrence is never before the first.
    if (!reverseStart && !sub.empty()) LUNTEVA_FUZZ_CHECK(last == -1 ? findText(text, sub, 1, ignoreCase) == -1 : last >= findText(text, sub, 1, ignoreCase));
}

void checkChanging(const TextValue& text, const TextValue& sub, const TextValue& replacement, FuzzedDataProvider& in) {
    const int n = text.length();
    const std::optional<int> start = in.ConsumeBool() ? std::optional<int>(drawPosition(in, n)) : std::nullopt;
    const std::optional<int> count = in.ConsumeBool() ? std::optional<int>(drawPosition(in, 4)) : std::nullopt;
    const bool caseSensitive = in.ConsumeBool();
    const TextValue replaced = replaceSubtext(text, sub, replacement, start, count, caseSensitive);
    checkTextValue(replaced);
    LUNTEVA_FUZZ_CHECK(replaced.view() == modelReplace(text.view(), sub.view(), replacement.view(), start, count, caseSensitive));
    // Replacing a text by itself, with case kept, changes nothing.
    LUNTEVA_FUZZ_CHECK(replaceSubtext(text, sub, sub, start, count, true) == text);

    const std::optional<int> maxMembers = in.ConsumeBool() ? std::optional<int>(drawPosition(in, 4)) : std::nullopt;
    const TextArray pieces = splitText(text, sub, maxMembers);
    const std::vector<std::string> expected = modelSplit(text.view(), sub.view(), maxMembers);
    LUNTEVA_FUZZ_CHECK(pieces.size() == static_cast<int>(expected.size()));
    for (int i = 1; i <= pieces.size(); ++i) {
        checkTextValue(pieces.member(i));
        LUNTEVA_FUZZ_CHECK(pieces.member(i).view() == expected[static_cast<std::size_t>(i - 1)]);
    }
    LUNTEVA_FUZZ_CHECK(pieces.member(0).empty() && pieces.member(pieces.size() + 1).empty());
    // Without a limit, joining the pieces again gives the text back, short of
    // a separator at its end.
    if (!maxMembers && !sub.empty()) {
        std::string joined;
        for (int i = 1; i <= pieces.size(); ++i) joined += std::string(pieces.member(i).view()) + (i < pieces.size() ? std::string(sub.view()) : "");
        LUNTEVA_FUZZ_CHECK(joined == text.view() || joined + std::string(sub.view()) == text.view());
    }

    const TextValue trimmed = trimBoth(text);
    checkTextValue(trimmed);
    LUNTEVA_FUZZ_CHECK(isSubstringAt(text.view(), trimmed.view()));
    LUNTEVA_FUZZ_CHECK(trimBoth(trimmed) == trimmed);
    LUNTEVA_FUZZ_CHECK(!lunteva::fuzz::hasBlankAtEnds(trimmed));

    const TextValue upper = toUpper(text);
    checkTextValue(upper);
    LUNTEVA_FUZZ_CHECK(upper.view() == modelUpper(text.view()));
    LUNTEVA_FUZZ_CHECK(toUpper(upper) == upper);
}

void checkConversions(const TextValue& text, const ByteString& bytes, FuzzedDataProvider& in) {
    const int number = in.ConsumeIntegral<int>();
    char decimal[16];
    std::snprintf(decimal, sizeof decimal, "%d", number);
    LUNTEVA_FUZZ_CHECK(toText(number).view() == decimal);

    const TextValue fromBytes = toText(bytes);
    checkTextValue(fromBytes);
    LUNTEVA_FUZZ_CHECK(fromBytes.view() == bytes.view().substr(0, bytes.view().find('\0')));
    LUNTEVA_FUZZ_CHECK(toText(toBytes(text)) == text && bytesLength(toBytes(text)) == text.length());

    const int code = in.ConsumeIntegral<int>();
    const TextValue one = charFromCode(code);
    checkTextValue(one);
    LUNTEVA_FUZZ_CHECK((code & 0xFF) == 0 ? one.empty() : (one.length() == 1 && one.byteAt(0) == (code & 0xFF)));
    LUNTEVA_FUZZ_CHECK(toByte(code) == (code & 0xFF));

    // Sizes stay small: a huge count is a legitimate request for that much memory.
    const int blanks = in.ConsumeIntegralInRange(-70000, 70000);
    const TextValue spaces = blankText(blanks);
    checkTextValue(spaces);
    LUNTEVA_FUZZ_CHECK(spaces.length() == std::max(blanks, 0) && spaces.view().find_first_not_of(' ') == std::string_view::npos);
    const ByteString zeros = blankBytes(blanks);
    LUNTEVA_FUZZ_CHECK(zeros.length() == std::max(blanks, 0) && zeros.view().find_first_not_of('\0') == std::string_view::npos);

    const int n = bytes.length();
    const int start = drawPosition(in, n);
    const int count = drawPosition(in, n);
    const long long from = std::clamp<long long>(start, 1, static_cast<long long>(n) + 1);
    const long long take = std::clamp<long long>(count, 0, n - from + 1);
    LUNTEVA_FUZZ_CHECK(bytesMid(bytes, start, count).view() ==
                       bytes.view().substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(take)));

    const ByteString joinedBytes = concatBytes(bytes, toBytes(text), bytes);
    LUNTEVA_FUZZ_CHECK(joinedBytes.length() == 2 * n + text.length());
    LUNTEVA_FUZZ_CHECK(bytesEqual(bytesMid(joinedBytes, 1, n), bytes));
    const TextValue joinedText = concatText(text, fromBytes, text);
    checkTextValue(joinedText);
    LUNTEVA_FUZZ_CHECK(joinedText.length() == 2 * text.length() + fromBytes.length());
    LUNTEVA_FUZZ_CHECK(textEquals(text, fromBytes) == (text.view() == fromBytes.view()));
}

void checkArithmetic(FuzzedDataProvider& in) {
    const double a = in.ConsumeFloatingPoint<double>();
    const double b = in.ConsumeBool() ? 3.0 : in.ConsumeFloatingPoint<double>();
    const double r = lunteva::remainder(a, b);
    if (std::isfinite(a) && std::isfinite(b) && b != 0.0) {
        LUNTEVA_FUZZ_CHECK(!std::isfinite(r) || std::fabs(r) <= std::fabs(a) || std::fabs(r) < std::fabs(b));
    }
    const double x = in.ConsumeBool() ? in.ConsumeFloatingPoint<double>() : in.ConsumeFloatingPointInRange(-3e9, 3e9);
    const int t = truncateToInt(x);
    if (x > -2147483649.0 && x < 2147483648.0) LUNTEVA_FUZZ_CHECK(t == static_cast<int>(std::trunc(x)));
    const int value = in.ConsumeIntegral<int>();
    const int bits = in.ConsumeIntegral<int>();
    const int left = shiftLeft(value, bits);
    if (bits >= 0 && bits <= 31)
        LUNTEVA_FUZZ_CHECK(left == static_cast<int>(static_cast<std::uint32_t>(value) << bits));
    const int shifted = shiftRight(value, bits);
    if (bits >= 0 && bits <= 31) LUNTEVA_FUZZ_CHECK(shifted == (value >> bits));
    LUNTEVA_FUZZ_CHECK(bitAnd(value, bits) == (value & bits));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const TextValue text = lunteva::fuzz::drawText(in, 256);
    const TextValue sub = lunteva::fuzz::drawText(in, 8);
    const TextValue replacement = lunteva::fuzz::drawText(in, 8);
    const ByteString bytes = lunteva::fuzz::drawBytes(in, 64);
    checkTextValue(text);
    checkCutting(text, in);
    checkSearching(text, sub, in);
    checkChanging(text, sub, replacement, in);
    checkConversions(text, bytes, in);
    checkArithmetic(in);

    TextArray array{text, sub};
    arrayAppend(array, replacement);
    LUNTEVA_FUZZ_CHECK(arraySize(array) == 3 && array.member(3) == replacement);
    return 0;
}
