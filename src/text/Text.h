// Text values and the primitive operations on them.
//
// Every text of the program is a TextValue: bytes in code page 936, where a
// byte of 0x80 or above begins a two-byte character together with the byte
// after it. Lengths, positions and counts are in bytes; positions are 1-based;
// searches answer -1 for "not found". No operation throws or changes its
// arguments (only arrayAppend grows the array it is given). Out-of-range
// positions and counts give the empty text, the empty byte string, 0 or -1 as
// each contract below says.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lunteva {

// A text in code page 936 that holds no zero byte. There is one empty text:
// a default-constructed value and one built from no bytes are equal.
class TextValue {
public:
    TextValue() = default;
    // The bytes before the first zero byte, or all of them if there is none.
    explicit TextValue(std::string_view bytes);
    // The same, taking over the string's storage instead of copying it.
    explicit TextValue(std::string&& bytes) noexcept;
    // For ASCII literals in code. Chinese literals come from gbkLiteral
    // (text/Literals.h), never from the compiler's execution character set.
    TextValue(const char* ascii) : TextValue(std::string_view(ascii ? ascii : "")) {}

    // The bytes, without the terminator.
    std::string_view view() const noexcept { return bytes_; }
    // The bytes followed by one zero byte.
    const char* c_str() const noexcept { return bytes_.c_str(); }
    int length() const noexcept { return static_cast<int>(bytes_.size()); }
    bool empty() const noexcept { return bytes_.empty(); }
    // The unsigned value of the byte at 0-based index i (caller keeps i in range).
    unsigned char byteAt(int i) const noexcept { return static_cast<unsigned char>(bytes_[i]); }
    // Hands the bytes over and leaves this text empty.
    std::string release() && noexcept {
        std::string bytes = std::move(bytes_);
        bytes_.clear();
        return bytes;
    }

    friend bool operator==(const TextValue&, const TextValue&) = default;

private:
    std::string bytes_;
};

// A counted sequence of bytes; zero bytes allowed. Empty and absent are the same.
// Copies share one buffer that nobody changes, so a downloaded body passes
// from owner to owner without its bytes being copied.
class ByteString {
public:
    ByteString() = default;
    explicit ByteString(std::string_view bytes);
    explicit ByteString(std::string&& bytes);
    ByteString(std::initializer_list<unsigned char> bytes);

    // Hands the bytes over and leaves this byte string empty: its own buffer
    // when no copy shares it, a copy of the bytes otherwise.
    std::string release() &&;

    std::string_view view() const noexcept { return bytes_ ? std::string_view(*bytes_) : std::string_view("", 0); }
    const char* data() const noexcept { return view().data(); }
    int length() const noexcept { return static_cast<int>(view().size()); }
    bool empty() const noexcept { return view().empty(); }

    friend bool operator==(const ByteString& a, const ByteString& b) noexcept { return a.view() == b.view(); }

private:
    std::shared_ptr<std::string> bytes_;  // null when empty
};

// An array of texts, members numbered from 1 to size().
class TextArray {
public:
    TextArray() = default;
    TextArray(std::initializer_list<TextValue> members) : members_(members) {}

    int size() const noexcept { return static_cast<int>(members_.size()); }
    // Member i, 1 <= i <= size(). Reading outside that range is a caller's
    // error; it yields the empty text rather than undefined behaviour.
    const TextValue& member(int i) const noexcept;
    void append(TextValue text) { members_.push_back(std::move(text)); }
    void clear() noexcept { members_.clear(); }

    auto begin() const noexcept { return members_.begin(); }
    auto end() const noexcept { return members_.end(); }

    friend bool operator==(const TextArray&, const TextArray&) = default;

private:
    std::vector<TextValue> members_;
};

// --- Measuring and cutting (bytes only; may split a two-byte character) ---

// Number of bytes.
int textLength(const TextValue& text) noexcept;
// The first count bytes; count <= 0 gives the empty text, count >= length the whole text.
TextValue textLeft(const TextValue& text, int count);
// The last count bytes, with the same clamping as textLeft.
TextValue textRight(const TextValue& text, int count);
// count bytes from position start, cut at the end. A start below 1 or beyond
// the last byte, or a count <= 0, gives the empty text (start is not moved to 1).
TextValue textMid(const TextValue& text, int start, int count);

// --- Searching (by characters: a match starts only at a character boundary) ---

// Position of the first occurrence of sub at or after start, or -1. A start
// below 1 counts as 1. An empty sub is found at 1 when at least one byte lies
// at or after start, else -1. ignoreCase folds the ASCII letters only, and
// only in one-byte characters: two-byte characters always match as plain bytes.
int findText(const TextValue& text, const TextValue& sub, int start = 1, bool ignoreCase = false);
// Position of the last occurrence of sub lying wholly within the first
// start - 1 bytes (the whole text when start is absent), or -1. That limit is
// clamped to 0..length; a limit of 0 finds nothing. An empty sub gives 1 when
// the limit is above 0. The scan steps by characters from position 1.
int findTextReverse(const TextValue& text, const TextValue& sub, std::optional<int> start = std::nullopt,
                    bool ignoreCase = false);

// --- Changing ---

// The text without leading and trailing blanks: the space 0x20 and the
// full-width space A1 A1 at a character boundary. Tab, CR and LF are not blanks.
TextValue trimBoth(const TextValue& text);
// Occurrences of sub replaced by replacement, left to right, never
// overlapping, stepping by characters. Bytes before start (absent: 1; below 1
// counts as 1) are copied unchanged; at most count replacements (absent: all).
// An empty text or sub, a count of 0 or less, or start - 1 >= length gives an
// unchanged copy. caseSensitive false folds the ASCII letters as findText does.
TextValue replaceSubtext(const TextValue& text, const TextValue& sub, const TextValue& replacement = {},
                         std::optional<int> start = std::nullopt, std::optional<int> count = std::nullopt,
                         bool caseSensitive = false);
// The pieces between separators (exact bytes, stepping by characters). An
// empty text or maxMembers <= 0 gives the empty array; an empty separator one
// member, the whole text. Empty pieces are kept, except that a text ending in
// the separator has no empty last member. After maxMembers pieces the rest is
// dropped.
TextArray splitText(const TextValue& text, const TextValue& separator = ",",
                    std::optional<int> maxMembers = std::nullopt);
// One-byte characters a-z become A-Z; two-byte characters stay whole.
TextValue toUpper(const TextValue& text);

// --- Conversions ---

// The byte at position as a signed 8-bit value; 0 outside 1..length.
int charCode(const TextValue& text, int position = 1) noexcept;
// The text of the one byte given by the low 8 bits; the empty text when they are 0.
TextValue charFromCode(int code);
// count spaces; count <= 0 gives the empty text.
TextValue blankText(int count);
// The bytes of the text, without the terminator.
ByteString toBytes(const TextValue& text);
// The bytes before the first zero byte (all of them if there is none).
TextValue toText(const ByteString& bytes);
// The same, reusing the byte string's storage.
TextValue toText(ByteString&& bytes);
// Decimal form as "%d" writes it: '-12', '0'.
TextValue toText(int number);
// The low 8 bits, 0 to 255.
int toByte(int value) noexcept;

// --- Texts: comparing and joining ---

// Same length and same bytes; case matters.
bool textEquals(const TextValue& a, const TextValue& b) noexcept;
// The parts joined in order. Parts are texts' bytes; should one hold a zero
// byte, the result ends there, as every text does.
TextValue concatText(std::initializer_list<std::string_view> parts);
// The texts joined in order; two or more. Every argument converts to a
// TextValue, so ASCII literals may stand anywhere in the list.
template <class... More>
TextValue concatText(const TextValue& a, const TextValue& b, const More&... more) {
    return concatText({a.view(), b.view(), static_cast<const TextValue&>(more).view()...});
}

// --- Byte strings ---

int bytesLength(const ByteString& bytes) noexcept;
// count bytes from start, clamped: start below 1 counts as 1, beyond the end
// as one past the end; a negative count as 0; cut at the end.
ByteString bytesMid(const ByteString& bytes, int start, int count);
// count zero bytes; count <= 0 gives the empty byte string.
ByteString blankBytes(int count);
ByteString concatBytes(std::initializer_list<std::string_view> parts);
template <class... More>
ByteString concatBytes(const ByteString& a, const ByteString& b, const More&... more) {
    return concatBytes({a.view(), b.view(), more.view()...});
}
bool bytesEqual(const ByteString& a, const ByteString& b) noexcept;

// --- Arithmetic ---

// a - b * trunc(a / b), with the sign of a. A divisor of 0 gives NaN.
double remainder(double a, double b) noexcept;
// Rounds toward zero; values beyond the 32-bit range saturate, NaN gives 0.
int truncateToInt(double x) noexcept;
int bitAnd(int a, int b) noexcept;
// 32-bit shifts; bits outside 0..31 are taken modulo 32. shiftRight copies the sign bit.
int shiftLeft(int value, int bits) noexcept;
int shiftRight(int value, int bits) noexcept;

// --- Arrays ---

int arraySize(const TextArray& array) noexcept;
// Appends a copy of text as the new last member.
void arrayAppend(TextArray& array, const TextValue& text);

}  // namespace lunteva
