// Code-page layer: UTF-8 by hand, other code pages over glibc iconv.
//
// Implements, for Linux: multiByteToWideChar and wideCharToMultiByte of
// text/CodePage.h, with the observable results of the Win32 pair (compared
// with Wine over every 936 code, every BMP unit and 100000 UTF-8 samples):
// - invalid UTF-8 becomes one U+FFFD per bad sequence, counted as Windows
//   counts them (see decodeUtf8). Wine, after a lead byte that has too few
//   bytes left, drops the rest of the input with the terminator; this layer
//   keeps them;
// - in 936, a lead byte with whatever byte follows it, or a lone bad byte,
//   becomes one "?";
// - a UTF-16 unit the target lacks becomes "?", one per unit, so a
//   character outside the BMP (a surrogate pair) becomes "??"; a lone
//   surrogate becomes U+FFFD in UTF-8;
// - 936 as Windows has it: glibc's table plus Windows' private-use mappings
//   (PRIVATE_USE_936), the single byte FF for U+F8F5, and the best-fit
//   substitutes that Windows writes, without WC_NO_BEST_FIT_CHARS, for some
//   characters 936 lacks (BEST_FIT_936: U+00B2 becomes "2", U+00C0 A8 A4);
// - a destination size of 0 asks for the length whatever the destination;
//   a negative size, or a null destination with a size, fails with 0.
// iconv converts between the code page and wchar_t (UCS-4 in glibc) in one
// step, and its cost stays linear however many characters are bad: through
// UTF-16 it takes two steps and re-reads its input after each bad one.
//
// CP_ACP: Linux has no ANSI code page; this layer answers as a Windows whose
// ANSI code page is 936, the program's own (and so do CP_OEMCP and
// CP_THREAD_ACP). The one use of CP_ACP is the length query of
// utf16ToMultiByte, which then is exact, and its doubled buffer has room to
// spare.
#include <errno.h>
#include <iconv.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "text/CodePage.h"

namespace lunteva {
namespace {

static_assert(sizeof(wchar_t) == 4, "glibc's wchar_t holds one UCS-4 character");

class Iconv {
public:
    Iconv(const char* to, const char* from) noexcept : handle_(iconv_open(to, from)) {}
    ~Iconv() {
        if (valid()) iconv_close(handle_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool valid() const noexcept { return handle_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const noexcept { return handle_; }

private:
    iconv_t handle_;
};

// glibc's name of a code page other than UTF-8.
std::string iconvName(unsigned codePage) {
    switch (codePage) {
    case CP_ACP:
    case 1:  // CP_OEMCP
    case 3:  // CP_THREAD_ACP
    case CP_GBK: return "CP936";
    default: return "CP" + std::to_string(codePage);
    }
}

// Where the output of a conversion goes. Both kinds count what they take;
// room(n) takes n more units and returns where to put them (null when there
// is nowhere to put them), and result() is the count, or 0 once the output
// did not fit. The conversions are written once for both kinds, and each kind
// keeps its own loop free of the other's checks.
//
// The length query: counts, and never runs out of room.
template <class Unit>
class Counter {
public:
    Unit* room(std::size_t n) noexcept {
        count_ += n;
        return nullptr;
    }
    void put(Unit) noexcept { ++count_; }
    void put(const Unit*, std::size_t n) noexcept { count_ += n; }
    static constexpr bool full() noexcept { return false; }
    int result() const noexcept { return count_ > static_cast<std::size_t>(INT_MAX) ? 0 : static_cast<int>(count_); }

private:
    std::size_t count_ = 0;
};

// The conversion into a destination of a given capacity; once the output
// does not fit it takes nothing more.
template <class Unit>
class Writer {
public:
    Writer(Unit* destination, int capacity) noexcept
        : dest_(destination), capacity_(static_cast<std::size_t>(capacity)) {}
    Unit* room(std::size_t n) noexcept {
        if (overflow_ || capacity_ - count_ < n) {
            overflow_ = true;
            return nullptr;
        }
        Unit* at = dest_ + count_;
        count_ += n;
        return at;
    }
    void put(Unit unit) noexcept {
        if (Unit* at = room(1)) *at = unit;
    }
    void put(const Unit* units, std::size_t n) noexcept {
        if (Unit* at = room(n)) std::copy(units, units + n, at);
    }
    bool full() const noexcept { return overflow_; }
    int result() const noexcept { return overflow_ ? 0 : static_cast<int>(count_); }

private:
    Unit* dest_;
    std::size_t capacity_;
    std::size_t count_ = 0;
    bool overflow_ = false;
};

// The length of the run of ASCII (units below 0x80) at s, at most n units;
// a 64-bit word at a time, since ASCII is most of any page.
template <class Unit>
std::size_t asciiRun(const Unit* s, std::size_t n) noexcept {
    static_assert(sizeof(Unit) == 1 || sizeof(Unit) == 2);
    constexpr std::size_t PER_WORD = sizeof(std::uint64_t) / sizeof(Unit);
    constexpr std::uint64_t NOT_ASCII = sizeof(Unit) == 1 ? 0x8080808080808080u : 0xFF80FF80FF80FF80u;
    std::size_t i = 0;
    for (; i + PER_WORD <= n; i += PER_WORD) {
        std::uint64_t word;
        std::memcpy(&word, s + i, sizeof word);
        if (word & NOT_ASCII) break;
    }
    while (i < n && s[i] < 0x80) ++i;
    return i;
}

// Widens or narrows a run of ASCII into the sink.
template <class Sink, class From>
void putAscii(Sink& sink, const From* run, std::size_t n) noexcept {
    if (auto* at = sink.room(n))
        for (std::size_t k = 0; k < n; ++k) at[k] = static_cast<std::remove_pointer_t<decltype(at)>>(run[k]);
}

template <class Sink>
void putUtf16(Sink& out, char32_t cp) noexcept {
    if (cp < 0x10000) {
        out.put(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.put(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.put(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

template <class Sink>
void putUtf8(Sink& out, char32_t cp) noexcept {
    if (cp < 0x80) {
        out.put(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.put(static_cast<char>(0xC0 | (cp >> 6)));
        out.put(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.put(static_cast<char>(0xE0 | (cp >> 12)));
        out.put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.put(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.put(static_cast<char>(0xF0 | (cp >> 18)));
        out.put(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.put(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Decodes the UTF-8 sequence at s (left bytes, left >= 1) into cp and returns
// its length. A bad sequence gives U+FFFD and the length that Windows gives
// one U+FFFD: a byte that cannot begin a sequence stands alone; a lead byte
// takes the continuation bytes that follow it while they can still complete
// it, except that a second byte outside the lead's range (overlong,
// surrogate or above U+10FFFF: E0 80, ED A0, F0 80, F4 90) ends the sequence
// with itself.
std::size_t decodeUtf8(const unsigned char* s, std::size_t left, char32_t& cp) noexcept {
    const auto continuation = [](unsigned char b) { return b >= 0x80 && b <= 0xBF; };
    const unsigned char lead = s[0];
    cp = U'\uFFFD';
    if (lead < 0x80) {
        cp = lead;
        return 1;
    }
    std::size_t size = 0;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    char32_t value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        size = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        size = 3;
        value = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        size = 4;
        value = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 1;
    }
    if (left < 2 || !continuation(s[1])) return 1;
    if (s[1] < low || s[1] > high) return 2;
    std::size_t n = 1;
    while (n < size && n < left && continuation(s[n])) value = (value << 6) | (s[n++] & 0x3F);
    if (n < size) return n;
    cp = value;
    return size;
}

// Windows' rule for a destination: size 0 only counts; a negative size, or a
// null destination with a size, is an invalid parameter.
bool validDestination(const void* destination, int size) noexcept {
    return size == 0 || (size > 0 && destination != nullptr);
}

// Runs input through cd, handing each piece of output to emit(bytes, n). At
// a sequence that iconv refuses, onBad(in, left) deals with it and returns
// how many bytes it covers. False on any other failure of iconv.
template <class Emit, class OnBad>
bool runIconv(iconv_t cd, const char* input, std::size_t inputBytes, Emit emit, OnBad onBad) {
    char* in = const_cast<char*>(input);
    std::size_t left = inputBytes;
    alignas(wchar_t) char chunk[1024];
    while (left > 0) {
        char* out = chunk;
        std::size_t room = sizeof chunk;
        const std::size_t rc = iconv(cd, &in, &left, &out, &room);
        const int err = rc == static_cast<std::size_t>(-1) ? errno : 0;
        emit(chunk, sizeof chunk - room);
        if (err == EILSEQ || err == EINVAL) {
            const std::size_t skip = std::min(left, onBad(in, left));
            in += skip;
            left -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        } else if (err != 0 && err != E2BIG) {
            return false;
        }
    }
    return true;
}

// Windows' mappings of 936 codes to private-use characters: its user-defined
// areas and the GBK codes without a character of their own. Each run is
// consecutive codes within one lead byte and consecutive units.
struct PrivateUseRun {
    unsigned short firstCode;
    char16_t firstUnit;
    unsigned short count;
};
constexpr PrivateUseRun PRIVATE_USE_936[] = {
    {0xAAA1, u'\xE000', 94}, {0xABA1, u'\xE05E', 94}, {0xACA1, u'\xE0BC', 94}, {0xADA1, u'\xE11A', 94},
    {0xAEA1, u'\xE178', 94}, {0xAFA1, u'\xE1D6', 94}, {0xF8A1, u'\xE234', 94}, {0xF9A1, u'\xE292', 94},
    {0xFAA1, u'\xE2F0', 94}, {0xFBA1, u'\xE34E', 94}, {0xFCA1, u'\xE3AC', 94}, {0xFDA1, u'\xE40A', 94},
    {0xFEA1, u'\xE468', 94}, {0xA140, u'\xE4C6', 63}, {0xA180, u'\xE505', 33}, {0xA240, u'\xE526', 63},
    {0xA280, u'\xE565', 33}, {0xA340, u'\xE586', 63}, {0xA380, u'\xE5C5', 33}, {0xA440, u'\xE5E6', 63},
    {0xA480, u'\xE625', 33}, {0xA540, u'\xE646', 63}, {0xA580, u'\xE685', 33}, {0xA640, u'\xE6A6', 63},
    {0xA680, u'\xE6E5', 33}, {0xA740, u'\xE706', 63}, {0xA780, u'\xE745', 33}, {0xA2AB, u'\xE766', 6},
    {0xA2E3, u'\xE76C', 2}, {0xA2EF, u'\xE76E', 2}, {0xA2FD, u'\xE770', 2}, {0xA4F4, u'\xE772', 11},
    {0xA5F7, u'\xE77D', 8}, {0xA6B9, u'\xE785', 8}, {0xA6D9, u'\xE78D', 7}, {0xA6EC, u'\xE794', 2},
    {0xA6F3, u'\xE796', 1}, {0xA6F6, u'\xE797', 9}, {0xA7C2, u'\xE7A0', 15}, {0xA7F2, u'\xE7AF', 13},
    {0xA896, u'\xE7BC', 11}, {0xA8BC, u'\xE7C7', 1}, {0xA8BF, u'\xE7C8', 1}, {0xA8C1, u'\xE7C9', 4},
    {0xA8EA, u'\xE7CD', 21}, {0xA958, u'\xE7E2', 1}, {0xA95B, u'\xE7E3', 1}, {0xA95D, u'\xE7E4', 3},
    {0xA989, u'\xE7E7', 13}, {0xA997, u'\xE7F4', 13}, {0xA9F0, u'\xE801', 15}, {0xD7FA, u'\xE810', 5},
    {0xFE50, u'\xE815', 47}, {0xFE80, u'\xE844', 33},
};
constexpr char16_t UNIT_FOR_BYTE_FF = u'\xF8F5';

// Windows' best-fit substitutes in 936, by unit: a code below 0x100 is one
// byte, any other two bytes.
struct BestFit {
    char16_t unit;
    unsigned short code;
};
constexpr BestFit BEST_FIT_936[] = {
    {0x00A2, 0xA1E9}, {0x00A3, 0xA1EA}, {0x00A5, 0xA3A4}, {0x00A6, 0x7C}, {0x00AA, 0x61}, {0x00AD, 0x2D},
    {0x00AF, 0xA1A5}, {0x00B2, 0x32}, {0x00B3, 0x33}, {0x00B4, 0xA1E4}, {0x00B5, 0xA6CC}, {0x00B9, 0x31},
    {0x00BA, 0x6F}, {0x00C0, 0xA8A4}, {0x00C1, 0xA8A2}, {0x00C8, 0xA8A8}, {0x00C9, 0xA8A6}, {0x00CA, 0xA8BA},
    {0x00CC, 0xA8AC}, {0x00CD, 0xA8AA}, {0x00D0, 0x44}, {0x00D2, 0xA8B0}, {0x00D3, 0xA8AE}, {0x00D9, 0xA8B4},
    {0x00DA, 0xA8B2}, {0x00DC, 0xA8B9}, {0x00DD, 0x59}, {0x00DE, 0x54}, {0x00E2, 0x61}, {0x00F0, 0x65},
    {0x00FD, 0x79}, {0x00FE, 0x74}, {0x0100, 0xA8A1}, {0x0112, 0xA8A5}, {0x011A, 0xA8A7}, {0x012A, 0xA8A9},
    {0x014C, 0xA8AD}, {0x016A, 0xA8B1}, {0x01C1, 0xA1CE}, {0x01CD, 0xA8A3}, {0x01CF, 0xA8AB}, {0x01D1, 0xA8AF},
    {0x01D3, 0xA8B3}, {0x01D5, 0xA8B5}, {0x01D7, 0xA8B6}, {0x01D9, 0xA8B7}, {0x01DB, 0xA8B8}, {0x203E, 0xA3FE},
    {0x2218, 0xA1E3}, {0x223C, 0xA1AB}, {0x3192, 0xD2BB}, {0x3193, 0xB6FE}, {0x3194, 0xC8FD}, {0x3195, 0xCBC4},
    {0x3196, 0xC9CF}, {0x3197, 0xD6D0}, {0x3198, 0xCFC2}, {0x3199, 0xBCD7}, {0x319A, 0xD2D2}, {0x319B, 0xB1FB},
    {0x319C, 0xB6A1}, {0x319D, 0xCCEC}, {0x319E, 0xB5D8}, {0x319F, 0xC8CB}, {0x322A, 0xD4C2}, {0x322B, 0xBBF0},
    {0x322C, 0xCBAE}, {0x322D, 0xC4BE}, {0x322E, 0xBDF0}, {0x322F, 0xCDC1}, {0x3230, 0xC8D5}, {0x3232, 0xD3D0},
    {0x3233, 0xC9E7}, {0x3234, 0xC3FB}, {0x3235, 0xCCD8}, {0x3236, 0xB2C6}, {0x3237, 0xD7A3}, {0x3238, 0xC0CD},
    {0x3239, 0xB4FA}, {0x323A, 0xBAF4}, {0x323B, 0xD1A7}, {0x323C, 0xBCE0}, {0x323D, 0xC6F3}, {0x323E, 0xD7CA},
    {0x323F, 0xD0AD}, {0x3240, 0xBCC0}, {0x3241, 0xD0DD}, {0x3242, 0xD7D4}, {0x3243, 0xD6C1}, {0x3280, 0xD2BB},
    {0x3281, 0xB6FE}, {0x3282, 0xC8FD}, {0x3283, 0xCBC4}, {0x3284, 0xCEE5}, {0x3285, 0xC1F9}, {0x3286, 0xC6DF},
    {0x3287, 0xB0CB}, {0x3288, 0xBEC5}, {0x3289, 0xCAAE}, {0x328A, 0xD4C2}, {0x328B, 0xBBF0}, {0x328C, 0xCBAE},
    {0x328D, 0xC4BE}, {0x328E, 0xBDF0}, {0x328F, 0xCDC1}, {0x3290, 0xC8D5}, {0x3291, 0xD6EA}, {0x3292, 0xD3D0},
    {0x3293, 0xC9E7}, {0x3294, 0xC3FB}, {0x3295, 0xCCD8}, {0x3296, 0xB2C6}, {0x3297, 0xD7A3}, {0x3298, 0xC0CD},
    {0x3299, 0xC3D8}, {0x329A, 0xC4D0}, {0x329B, 0xC5AE}, {0x329C, 0xCACA}, {0x329D, 0xD3C5}, {0x329F, 0xD7A2},
    {0x32A0, 0xCFEE}, {0x32A1, 0xD0DD}, {0x32A2, 0xD0B4}, {0x32A9, 0xD2BD}, {0x32AA, 0xD7DA}, {0x32AB, 0xD1A7},
    {0x32AC, 0xBCE0}, {0x32AD, 0xC6F3}, {0x32AE, 0xD7CA}, {0x32AF, 0xD0AD}, {0x32B0, 0xD2B9}, {0xF900, 0xD84D},
    {0xF901, 0xB8FC}, {0xF902, 0xDC87}, {0xF903, 0xD95A}, {0xF904, 0xBBAC}, {0xF905, 0xB4AE}, {0xF906, 0xBEE4},
    {0xF907, 0xFD94}, {0xF908, 0xFD94}, {0xF909, 0xC6F5}, {0xF90A, 0xBDF0}, {0xF90B, 0xC0AE}, {0xF90C, 0xC4CE},
    {0xF90D, 0x91D0}, {0xF90E, 0xB05D}, {0xF90F, 0xC15F}, {0xF910, 0xCC7D}, {0xF911, 0xC2DD}, {0xF912, 0xC2E3},
    {0xF913, 0xDF89}, {0xF914, 0x98B7}, {0xF915, 0xC2E5}, {0xF916, 0xC0D3}, {0xF917, 0xE7F3}, {0xF918, 0xC2E4},
    {0xF919, 0xC0D2}, {0xF91A, 0xF198}, {0xF91B, 0x8179}, {0xF91C, 0xC2D1}, {0xF91D, 0x99DA}, {0xF91E, 0xA080},
    {0xF91F, 0xCC6D}, {0xF920, 0xFB5B}, {0xF921, 0x8DB9}, {0xF922, 0x9E45}, {0xF923, 0xCB7B}, {0xF924, 0xD268},
    {0xF925, 0xC0AD}, {0xF926, 0xC544}, {0xF927, 0xCF9E}, {0xF928, 0xC0C8}, {0xF929, 0xC0CA}, {0xF92A, 0xC0CB},
    {0xF92B, 0xC0C7}, {0xF92D, 0x81ED}, {0xF92E, 0xC0E4}, {0xF92F, 0x84DA}, {0xF930, 0x93EF}, {0xF931, 0x99A9},
    {0xF932, 0xA074}, {0xF933, 0xB152}, {0xF934, 0xC0CF}, {0xF935, 0xCC4A}, {0xF936, 0xCC94}, {0xF937, 0xC2B7},
    {0xF938, 0xC2B6}, {0xF939, 0xF494}, {0xF93A, 0xFA98}, {0xF93B, 0xC2B5}, {0xF93C, 0xB593}, {0xF93D, 0xBE47},
    {0xF93E, 0xC78A}, {0xF93F, 0xE49B}, {0xF940, 0xC2B9}, {0xF941, 0xD593}, {0xF942, 0x89C5}, {0xF943, 0xC5AA},
    {0xF944, 0xBB5C}, {0xF945, 0xC340}, {0xF946, 0xC0CE}, {0xF947, 0xC0DA}, {0xF948, 0xD954}, {0xF949, 0xC0D7},
    {0xF94A, 0x89BE}, {0xF94B, 0x8CD2}, {0xF94C, 0x98C7}, {0xF94D, 0x9C49}, {0xF94E, 0xC2A9}, {0xF94F, 0xC0DB},
    {0xF950, 0xBF7C}, {0xF951, 0xC2AA}, {0xF952, 0xC0D5}, {0xF953, 0xC0DF}, {0xF954, 0x8443}, {0xF955, 0xC1E8},
    {0xF956, 0xB6A0}, {0xF957, 0xBE63}, {0xF958, 0xC1E2}, {0xF959, 0xC1EA}, {0xF95A, 0xD778}, {0xF95B, 0x9282},
    {0xF95C, 0x98B7}, {0xF95D, 0xD65A}, {0xF95E, 0xB5A4}, {0xF95F, 0x8C8E}, {0xF960, 0xC5AD}, {0xF961, 0xC2CA},
    {0xF962, 0xAE90}, {0xF963, 0xB1B1}, {0xF964, 0xB491}, {0xF965, 0xB1E3}, {0xF966, 0x8FCD}, {0xF967, 0xB2BB},
    {0xF968, 0xC3DA}, {0xF969, 0x94B5}, {0xF96A, 0xCBF7}, {0xF96B, 0x85A2}, {0xF96C, 0xC8FB}, {0xF96D, 0xCAA1},
    {0xF96E, 0xC87E}, {0xF96F, 0xD566}, {0xF970, 0x9AA2}, {0xF971, 0xB3BD}, {0xF972, 0xC9F2}, {0xF973, 0xCAB0},
    {0xF974, 0xC8F4}, {0xF975, 0xC2D3}, {0xF976, 0xC2D4}, {0xF977, 0xC1C1}, {0xF978, 0x83C9}, {0xF97A, 0xC1BA},
    {0xF97B, 0xBC5A}, {0xF97C, 0xC1BC}, {0xF97D, 0xD58F}, {0xF97E, 0xC1BF}, {0xF97F, 0x84EE}, {0xF980, 0x85CE},
    {0xF981, 0xC5AE}, {0xF982, 0x8F5D}, {0xF983, 0xC2C3}, {0xF984, 0x9E56}, {0xF985, 0xB55A}, {0xF986, 0xE982},
    {0xF987, 0xF350}, {0xF988, 0xFB90}, {0xF989, 0xC0E8}, {0xF98A, 0xC1A6}, {0xF98B, 0x95D1}, {0xF98C, 0x9A76},
    {0xF98D, 0xDE5D}, {0xF98E, 0xC4EA}, {0xF98F, 0x917A}, {0xF990, 0x91D9}, {0xF991, 0x93D3}, {0xF992, 0x9D69},
    {0xF993, 0x9F92}, {0xF994, 0xAD49}, {0xF996, 0xBE9A}, {0xF997, 0xC293}, {0xF998, 0xDD82}, {0xF999, 0xC98F},
    {0xF99A, 0xDF42}, {0xF99B, 0xE580}, {0xF99C, 0xC1D0}, {0xF99D, 0xC1D3}, {0xF99E, 0xD1CA}, {0xF99F, 0xC1D2},
    {0xF9A0, 0xC1D1}, {0xF9A1, 0xD566}, {0xF9A2, 0xC1AE}, {0xF9A3, 0xC4EE}, {0xF9A4, 0xC4ED}, {0xF9A5, 0x9A9A},
    {0xF9A6, 0xBA9F}, {0xF9A7, 0xAB43}, {0xF9A8, 0xC1EE}, {0xF9A9, 0xE0F2}, {0xF9AA, 0x8C8E}, {0xF9AB, 0x8E58},
    {0xF9AC, 0xC1AF}, {0xF9AD, 0xC1E1}, {0xF9AE, 0xAC93}, {0xF9AF, 0xC1E7}, {0xF9B0, 0xF1F6}, {0xF9B1, 0xE28F},
    {0xF9B2, 0xC1E3}, {0xF9B3, 0xEC60}, {0xF9B4, 0xEE49}, {0xF9B5, 0xC0FD}, {0xF9B6, 0xB659}, {0xF9B7, 0xF5B7},
    {0xF9B8, 0xEB60}, {0xF9B9, 0x90BA}, {0xF9BA, 0xC1CB}, {0xF9BB, 0xC1C5}, {0xF9BC, 0xE5BC}, {0xF9BD, 0xC4F2},
    {0xF9BE, 0xC1CF}, {0xF9BF, 0x98B7}, {0xF9C0, 0xC1C7}, {0xF9C1, 0xAF9F}, {0xF9C2, 0xDEA4}, {0xF9C3, 0xDF7C},
    {0xF9C4, 0xFD88}, {0xF9C5, 0x959E}, {0xF9C6, 0xC8EE}, {0xF9C7, 0x84A2}, {0xF9C8, 0x9683}, {0xF9C9, 0xC1F8},
    {0xF9CA, 0xC1F7}, {0xF9CB, 0xC1EF}, {0xF9CC, 0xC1F0}, {0xF9CD, 0xC1F4}, {0xF9CE, 0xC1F2}, {0xF9CF, 0xBC7E},
    {0xF9D0, 0xEE90}, {0xF9D1, 0xC1F9}, {0xF9D2, 0xC2BE}, {0xF9D3, 0xEA91}, {0xF9D4, 0x8290}, {0xF9D5, 0x8D91},
    {0xF9D6, 0x9C53}, {0xF9D7, 0xDD86}, {0xF9D8, 0xC2C9}, {0xF9D9, 0x90FC}, {0xF9DA, 0xC0F5}, {0xF9DB, 0xC2CA},
    {0xF9DC, 0xC2A1}, {0xF9DD, 0xC0FB}, {0xF9DE, 0xC0F4}, {0xF9DF, 0xC2C4}, {0xF9E0, 0xD2D7}, {0xF9E1, 0xC0EE},
    {0xF9E2, 0xC0E6}, {0xF9E3, 0xC4E0}, {0xF9E4, 0xC0ED}, {0xF9E5, 0xC1A1}, {0xF9E6, 0xEEBE}, {0xF9E8, 0xD165},
    {0xF9E9, 0xC0EF}, {0xF9EA, 0xEB78}, {0xF9EB, 0xC4E4}, {0xF9EC, 0xC4E7}, {0xF9ED, 0xC1DF}, {0xF9EE, 0x9FFB},
    {0xF9EF, 0xAD55}, {0xF9F0, 0xCC41}, {0xF9F2, 0xF75B}, {0xF9F3, 0xF7EB}, {0xF9F4, 0xC1D6}, {0xF9F5, 0xC1DC},
    {0xF9F6, 0xC552}, {0xF9F7, 0xC1A2}, {0xF9F8, 0xF3D2}, {0xF9F9, 0xC1A3}, {0xF9FA, 0xA0EE}, {0xF9FB, 0xD6CB},
    {0xF9FC, 0xD752}, {0xF9FD, 0xCAB2}, {0xF9FE, 0xB2E8}, {0xF9FF, 0xB4CC}, {0xFA00, 0xC7D0}, {0xFA01, 0xB6C8},
    {0xFA02, 0xCDD8}, {0xFA03, 0xCCC7}, {0xFA04, 0xD5AC}, {0xFA05, 0xB6B4}, {0xFA06, 0xB1A9}, {0xFA07, 0xDD97},
    {0xFA08, 0xD0D0}, {0xFA09, 0xBDB5}, {0xFA0A, 0xD28A}, {0xFA0B, 0xC0AA}, {0xFA10, 0x8956}, {0xFA12, 0xC7E7},
    {0xFA15, 0x8444}, {0xFA16, 0xD869}, {0xFA17, 0xD2E6}, {0xFA19, 0xC9F1}, {0xFA1A, 0xCFE9}, {0xFA1B, 0xB8A3},
    {0xFA1C, 0xBEB8}, {0xFA1D, 0xBEAB}, {0xFA1E, 0xD3F0}, {0xFA22, 0xD654}, {0xFA25, 0xD2DD}, {0xFA26, 0xB6BC},
    {0xFA2A, 0xEF88}, {0xFA2B, 0xEF95}, {0xFA2C, 0xF05E}, {0xFA2D, 0xFA51},
};

// Converts the whole input to at most room bytes; the bytes written, or 0
// when iconv refuses any of it.
std::size_t convertOne(iconv_t cd, const char* input, std::size_t size, void* output, std::size_t room) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(input);
    char* out = static_cast<char*>(output);
    const std::size_t before = room;
    if (iconv(cd, &in, &size, &out, &room) == static_cast<std::size_t>(-1) || size != 0) return 0;
    return before - room;
}

// Code page 936 as lookup tables, made from glibc's table through iconv and
// completed with Windows' own mappings. Converting through them costs the
// same for every character, good or bad. Each table is made a row at a time
// (the codes of one lead byte, or 256 units), when a text first needs that
// row: a page in Chinese touches a fraction of them, and most of the cost of
// a whole table lies in rows that only hold characters 936 lacks. A row is
// made under the table's lock and published by its flag, so the tables serve
// any number of threads. The tables are constant-initialised zeros, so the
// memory of a row is only touched when the row is made.
//
// 936 to UTF-16: the unit of every code.
class Gbk936Decoder {
public:
    constexpr Gbk936Decoder() noexcept = default;
    // The unit of a one-byte character other than ASCII (0x80 or 0xFF).
    char16_t single(unsigned char byte) noexcept {
        if (byte != 0x80) return UNIT_FOR_BYTE_FF;
        if (!euroReady_.load(std::memory_order_acquire)) makeEuro();
        return euro_ != 0 ? euro_ : u'?';
    }
    // The unit of a lead byte (0x81 to 0xFE) and a trail byte, or 0 for "?".
    char16_t pair(unsigned char lead, unsigned char trail) noexcept {
        const unsigned row = lead - 0x81u;
        if (!ready_[row].load(std::memory_order_acquire)) makeRow(row);
        return decode_[row * 256u + trail];
    }
    static bool isLead(unsigned char byte) noexcept { return byte >= 0x81 && byte <= 0xFE; }

private:
    static constexpr unsigned ROWS = 0xFE - 0x81 + 1;

    // The converter, opened on first use; call with the lock held.
    const Iconv& toWide() {
        if (!toWide_) toWide_.emplace("WCHAR_T", "CP936");
        return *toWide_;
    }

    void makeEuro() {
        const std::lock_guard lock(mutex_);
        if (euroReady_.load(std::memory_order_relaxed)) return;
        const char euroByte = '\x80';
        wchar_t c = 0;
        if (const Iconv& converter = toWide();
            converter.valid() && convertOne(converter.get(), &euroByte, 1, &c, sizeof c) == sizeof c)
            euro_ = static_cast<char16_t>(c);
        euroReady_.store(true, std::memory_order_release);
    }

    void makeRow(unsigned row) {
        const std::lock_guard lock(mutex_);
        if (ready_[row].load(std::memory_order_relaxed)) return;
        const unsigned lead = 0x81 + row;
        char16_t* units = decode_ + row * 256u;
        // The codes of the lead byte in one run: iconv makes one unit of each
        // pair it takes, and a pair it refuses stops the run and is skipped.
        if (const Iconv& converter = toWide(); converter.valid()) {
            char pairs[255 * 2];
            for (unsigned trail = 0x01; trail <= 0xFF; ++trail) {
                pairs[(trail - 1) * 2] = static_cast<char>(lead);
                pairs[(trail - 1) * 2 + 1] = static_cast<char>(trail);
            }
            char* in = pairs;
            std::size_t inLeft = sizeof pairs;
            while (inLeft >= 2) {
                const unsigned firstTrail = 0x100u - static_cast<unsigned>(inLeft / 2);
                wchar_t made[255];
                char* out = reinterpret_cast<char*>(made);
                std::size_t outLeft = sizeof made;
                iconv(converter.get(), nullptr, nullptr, nullptr, nullptr);
                const bool refused = iconv(converter.get(), &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1);
                const std::size_t count = (sizeof made - outLeft) / sizeof(wchar_t);
                for (std::size_t k = 0; k < count; ++k)
                    if (made[k] < 0x10000) units[firstTrail + k] = static_cast<char16_t>(made[k]);
                if (!refused) break;
                in += 2;  // a refused pair keeps 0 for now
                inLeft -= 2;
            }
        }
        // Windows' private-use mappings, where glibc has none.
        for (const PrivateUseRun& r : PRIVATE_USE_936) {
            if ((r.firstCode >> 8) != lead) continue;
            for (unsigned k = 0; k < r.count; ++k) {
                const unsigned trail = (r.firstCode + k) & 0xFF;
                if (units[trail] == 0) units[trail] = static_cast<char16_t>(r.firstUnit + k);
            }
        }
        ready_[row].store(true, std::memory_order_release);
    }

    std::mutex mutex_;
    std::optional<Iconv> toWide_;
    std::atomic<bool> euroReady_{false};
    std::atomic<bool> ready_[ROWS] = {};
    char16_t decode_[ROWS * 256] = {};
    char16_t euro_ = 0;  // zero until made, so that the tables start as zeros
};

// UTF-16 to 936: the code of every unit.
class Gbk936Encoder {
public:
    constexpr Gbk936Encoder() noexcept = default;
    // The code of a unit (below 0x100: one byte, else two), or 0 for "?".
    unsigned code(char16_t unit) noexcept {
        const unsigned row = unit >> 8;
        if (!ready_[row].load(std::memory_order_acquire)) makeRow(row);
        return encode_[unit];
    }

private:
    // iconv converts the row's units in one call, and the codes are read back
    // one by one: a byte of 0x81 or above begins a two-byte code, any other
    // is a code of its own. A unit iconv refuses stops the run and is skipped.
    void makeRow(unsigned row) {
        const std::lock_guard lock(mutex_);
        if (ready_[row].load(std::memory_order_relaxed)) return;
        const unsigned first = row == 0 ? 1 : row * 256;  // unit 0 is the terminator
        const unsigned end = row * 256 + 256;
        if (!toGbk_) toGbk_.emplace("CP936", "WCHAR_T");  // opened on first use
        if (const Iconv& converter = *toGbk_; converter.valid()) {
            wchar_t units[256];
            for (unsigned u = first; u < end; ++u) units[u - first] = static_cast<wchar_t>(u);
            unsigned char codes[256 * 2];
            char* in = reinterpret_cast<char*>(units);
            std::size_t inLeft = (end - first) * sizeof(wchar_t);
            iconv(converter.get(), nullptr, nullptr, nullptr, nullptr);
            while (inLeft > 0) {
                const std::size_t unitsBefore = inLeft / sizeof(wchar_t);
                char* out = reinterpret_cast<char*>(codes);
                std::size_t outLeft = sizeof codes;
                const bool refused = iconv(converter.get(), &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1);
                const std::size_t converted = unitsBefore - inLeft / sizeof(wchar_t);
                const std::size_t produced = sizeof codes - outLeft;
                const unsigned at0 = end - static_cast<unsigned>(unitsBefore);
                std::size_t at = 0;
                for (std::size_t k = 0; k < converted && at < produced; ++k) {
                    const unsigned char lead = codes[at];
                    const bool two = lead >= 0x81 && at + 1 < produced;
                    encode_[at0 + k] = static_cast<unsigned short>(two ? lead * 256u + codes[at + 1] : lead);
                    at += two ? 2 : 1;
                }
                if (!refused) break;
                in += sizeof(wchar_t);  // the refused unit keeps code 0
                inLeft -= sizeof(wchar_t);
                iconv(converter.get(), nullptr, nullptr, nullptr, nullptr);
            }
        }
        // Where glibc has no code: the byte FF, then Windows' private-use
        // mappings, then its best-fit substitutes.
        const auto fill = [this, row](unsigned unit, unsigned code) {
            if ((unit >> 8) == row && encode_[unit] == 0) encode_[unit] = static_cast<unsigned short>(code);
        };
        fill(UNIT_FOR_BYTE_FF, 0xFF);
        for (const PrivateUseRun& r : PRIVATE_USE_936)
            for (unsigned k = 0; k < r.count; ++k) fill(r.firstUnit + k, r.firstCode + k);
        for (const BestFit& b : BEST_FIT_936) fill(b.unit, b.code);
        ready_[row].store(true, std::memory_order_release);
    }

    std::mutex mutex_;
    std::optional<Iconv> toGbk_;
    std::atomic<bool> ready_[256] = {};
    unsigned short encode_[0x10000] = {};
};

constinit Gbk936Decoder gbk936Decoder;
constinit Gbk936Encoder gbk936Encoder;

// multiByteToWideChar into either kind of sink.
template <class Sink>
int toUtf16(unsigned codePage, const char* source, Sink& sink) {
    const std::size_t length = std::strlen(source) + 1;  // with the terminator
    if (codePage == CP_UTF8) {
        const auto* s = reinterpret_cast<const unsigned char*>(source);
        for (std::size_t i = 0; i < length && !sink.full();) {
            const unsigned char lead = s[i];
            if (lead < 0x80) {  // the terminator included
                const std::size_t run = asciiRun(s + i, length - i);
                putAscii(sink, s + i, run);
                i += run;
                continue;
            }
            // A well-formed three-byte sequence (most Chinese text) with a
            // lead byte that allows any continuation bytes; the terminator
            // is no continuation byte, so nothing is read past it.
            if (((lead >= 0xE1 && lead <= 0xEC) || lead == 0xEE || lead == 0xEF) && (s[i + 1] & 0xC0) == 0x80 &&
                (s[i + 2] & 0xC0) == 0x80) {
                sink.put(static_cast<char16_t>((lead & 0x0F) << 12 | (s[i + 1] & 0x3F) << 6 | (s[i + 2] & 0x3F)));
                i += 3;
                continue;
            }
            char32_t cp = 0;
            i += decodeUtf8(s + i, length - i, cp);
            putUtf16(sink, cp);
        }
        return sink.result();
    }
    const std::string name = iconvName(codePage);
    if (name == "CP936") {
        Gbk936Decoder& gbk = gbk936Decoder;
        const auto* s = reinterpret_cast<const unsigned char*>(source);
        for (std::size_t i = 0; i < length && !sink.full();) {
            const unsigned char b = s[i];
            if (b < 0x80) {
                const std::size_t run = asciiRun(s + i, length - i);
                putAscii(sink, s + i, run);
                i += run;
            } else if (Gbk936Decoder::isLead(b) && s[i + 1] != 0) {  // a lead byte takes any byte but the terminator
                const char16_t unit = gbk.pair(b, s[i + 1]);
                sink.put(unit != 0 ? unit : u'?');
                i += 2;
            } else {
                sink.put(Gbk936Decoder::isLead(b) ? u'?' : gbk.single(b));
                ++i;
            }
        }
        return sink.result();
    }
    const Iconv cd("WCHAR_T", name.c_str());
    if (!cd.valid()) return 0;
    const auto emit = [&sink](const char* bytes, std::size_t n) {
        for (std::size_t i = 0; i + sizeof(wchar_t) <= n; i += sizeof(wchar_t)) {
            wchar_t c = 0;
            std::memcpy(&c, bytes + i, sizeof c);
            putUtf16(sink, static_cast<char32_t>(c));
        }
    };
    const auto onBad = [&sink](const char*, std::size_t) {
        sink.put(u'?');
        return std::size_t{1};
    };
    const bool ok = runIconv(cd.get(), source, length, emit, onBad);
    return ok ? sink.result() : 0;
}

// wideCharToMultiByte into either kind of sink.
template <class Sink>
int fromUtf16(unsigned codePage, const char16_t* source, Sink& sink) {
    const std::string name = codePage == CP_UTF8 ? std::string() : iconvName(codePage);
    // Unit by unit, as Windows converts to a code page other than UTF-8: the
    // halves of a surrogate pair are two units that the target lacks. One
    // pass up to the terminator, which finds the length as it goes.
    if (name == "CP936") {
        Gbk936Encoder& gbk = gbk936Encoder;
        for (const char16_t* unit = source; !sink.full();) {
            if (*unit < 0x80) {  // ASCII is itself in 936
                const char16_t* run = unit;
                while (*unit != u'\0' && *unit < 0x80) ++unit;
                putAscii(sink, run, static_cast<std::size_t>(unit - run));
                if (*unit != u'\0') continue;
                sink.put('\0');
                break;
            }
            const unsigned code = gbk.code(*unit++);
            if (code >= 0x100) {
                if (char* at = sink.room(2)) {
                    at[0] = static_cast<char>(code >> 8);
                    at[1] = static_cast<char>(code & 0xFF);
                }
            } else {
                sink.put(code != 0 ? static_cast<char>(code) : '?');
            }
        }
        return sink.result();
    }
    std::size_t length = 0;
    while (source[length] != u'\0') ++length;
    ++length;  // with the terminator
    if (codePage == CP_UTF8) {
        for (std::size_t i = 0; i < length && !sink.full(); ++i) {
            if (source[i] < 0x80) {
                const std::size_t run = asciiRun(source + i, length - i);
                putAscii(sink, source + i, run);
                i += run - 1;
                continue;
            }
            const char16_t u = source[i];
            if (u >= 0xD800 && u < 0xDC00 && i + 1 < length && source[i + 1] >= 0xDC00 && source[i + 1] < 0xE000) {
                putUtf8(sink, 0x10000 + ((u - 0xD800) << 10) + (source[++i] - 0xDC00));
            } else {
                putUtf8(sink, u >= 0xD800 && u < 0xE000 ? U'\uFFFD' : char32_t{u});
            }
        }
        return sink.result();
    }
    const Iconv cd(name.c_str(), "WCHAR_T");
    if (!cd.valid()) return 0;
    const auto emit = [&sink](const char* bytes, std::size_t n) { sink.put(bytes, n); };
    const auto onBad = [&sink](const char*, std::size_t) {
        sink.put('?');
        return sizeof(wchar_t);
    };
    // Widened a block at a time, so that memory stays flat however long the text.
    wchar_t block[512];
    for (std::size_t done = 0; done < length && !sink.full();) {
        const std::size_t n = std::min(length - done, std::size(block));
        for (std::size_t k = 0; k < n; ++k) block[k] = static_cast<wchar_t>(source[done + k]);
        if (!runIconv(cd.get(), reinterpret_cast<const char*>(block), n * sizeof(wchar_t), emit, onBad)) return 0;
        done += n;
    }
    return sink.result();
}

// Runs convert(sink) with a Counter for a length query (size 0), else with a
// Writer into the destination.
template <class Unit, class Convert>
int intoSink(Unit* destination, int size, Convert convert) {
    if (size == 0) {
        Counter<Unit> sink;
        return convert(sink);
    }
    Writer<Unit> sink(destination, size);
    return convert(sink);
}

}  // namespace

int multiByteToWideChar(unsigned codePage, const char* source, char16_t* destination, int destinationUnits) noexcept {
    if (!source || !validDestination(destination, destinationUnits)) return 0;
    return intoSink(destination, destinationUnits, [&](auto& sink) { return toUtf16(codePage, source, sink); });
}

int wideCharToMultiByte(unsigned codePage, const char16_t* source, char* destination, int destinationBytes) noexcept {
    if (!source || !validDestination(destination, destinationBytes)) return 0;
    return intoSink(destination, destinationBytes, [&](auto& sink) { return fromUtf16(codePage, source, sink); });
}

}  // namespace lunteva
