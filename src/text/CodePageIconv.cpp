// Code-page layer over glibc iconv, with the observable results of the
// Win32 pair (checked against Wine, which follows Windows here):
// - invalid UTF-8 becomes one U+FFFD per bad sequence, counted as Windows
//   counts them (see utf8BadLength);
// - invalid 936 input becomes "?";
// - a UTF-16 unit the target lacks becomes "?", one per unit, so a
//   character outside the BMP (a surrogate pair) becomes "??";
// - a destination size of 0 asks for the length whatever the destination;
//   a negative size, or a null destination with a size, fails with 0.
// Windows' best-fit substitutions (for example "é" to "e" or A8 A6) and its
// private-use mappings of 936 are not reproduced: such characters become "?".
//
// CP_ACP: Linux has no ANSI code page; this layer answers as a Windows whose
// ANSI code page is 936, the program's own (and so do CP_OEMCP and
// CP_THREAD_ACP). The one use of CP_ACP is the length query of
// utf16ToMultiByte, which then is exact, and its doubled buffer has room to
// spare.
#include <errno.h>
#include <iconv.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "text/CodePage.h"

namespace lunteva {
namespace {

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

std::string iconvName(unsigned codePage) {
    switch (codePage) {
    case CP_ACP:
    case 1:  // CP_OEMCP
    case 3:  // CP_THREAD_ACP
    case CP_GBK: return "CP936";
    case CP_UTF8: return "UTF-8";
    default: return "CP" + std::to_string(codePage);
    }
}

// Collects output units up to a capacity; a null destination only counts.
template <class Unit>
class Sink {
public:
    Sink(Unit* destination, int capacity) noexcept : dest_(destination), capacity_(capacity) {}
    bool put(const Unit* units, std::size_t n) noexcept {
        for (std::size_t i = 0; i < n; ++i) {
            if (dest_) {
                if (count_ >= capacity_) return overflow_ = true, false;
                dest_[count_] = units[i];
            }
            ++count_;
        }
        return true;
    }
    int result() const noexcept { return overflow_ ? 0 : count_; }

private:
    Unit* dest_;
    int capacity_;
    int count_ = 0;
    bool overflow_ = false;
};

// Runs the whole input through cd into sink. On a bad input sequence it puts
// replacement and skips badStep(in, left) bytes. False when the sink is full.
template <class Unit, class BadStep>
bool runIconv(iconv_t cd, const char* input, std::size_t inputBytes, Sink<Unit>& sink,
              std::basic_string_view<Unit> replacement, BadStep badStep) {
    char* in = const_cast<char*>(input);
    std::size_t left = inputBytes;
    char chunk[256];
    while (left > 0) {
        char* out = chunk;
        std::size_t room = sizeof chunk;
        const std::size_t rc = iconv(cd, &in, &left, &out, &room);
        const int err = rc == static_cast<std::size_t>(-1) ? errno : 0;
        const std::size_t produced = sizeof chunk - room;
        if (!sink.put(reinterpret_cast<const Unit*>(chunk), produced / sizeof(Unit))) return false;
        if (err == EILSEQ || err == EINVAL) {
            if (!sink.put(replacement.data(), replacement.size())) return false;
            const std::size_t skip = std::min(left, badStep(in, left));
            in += skip;
            left -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        } else if (err != 0 && err != E2BIG) {
            return false;
        }
    }
    return true;
}

// Length of the bad UTF-8 sequence at s that iconv refused, as Windows counts
// it for one U+FFFD: a byte that cannot begin a sequence stands alone; a lead
// byte takes the continuation bytes that follow it while they can still
// complete it, except that a second byte outside the lead's range (overlong,
// surrogate or above U+10FFFF: E0 80, ED A0, F0 80, F4 90) ends the sequence
// with itself.
std::size_t utf8BadLength(const char* at, std::size_t left) noexcept {
    const auto* s = reinterpret_cast<const unsigned char*>(at);
    const auto continuation = [](unsigned char b) { return b >= 0x80 && b <= 0xBF; };
    const unsigned char lead = s[0];
    std::size_t size = 0;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        size = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        size = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        size = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 1;
    }
    if (left < 2 || !continuation(s[1])) return 1;
    if (s[1] < low || s[1] > high) return 2;
    std::size_t n = 2;
    while (n < size && n < left && continuation(s[n])) ++n;
    return n;
}

// Length of the bad sequence at s in a double-byte code page: a lead byte
// (0x81 to 0xFE) takes the byte after it, whatever that is, unless it is the
// terminator; any other byte stands alone.
std::size_t doubleByteBadLength(const char* at, std::size_t left) noexcept {
    const auto lead = static_cast<unsigned char>(at[0]);
    return lead >= 0x81 && lead <= 0xFE && left >= 2 && at[1] != '\0' ? 2 : 1;
}

std::size_t singleBadLength(const char*, std::size_t) noexcept { return 1; }

// Windows' rule for a destination: size 0 only counts; a negative size, or a
// null destination with a size, is an invalid parameter.
bool validDestination(const void* destination, int size) noexcept {
    return size == 0 || (size > 0 && destination != nullptr);
}

}  // namespace

int multiByteToWideChar(unsigned codePage, const char* source, char16_t* destination, int destinationUnits) noexcept {
    if (!source || !validDestination(destination, destinationUnits)) return 0;
    const Iconv cd("UTF-16LE", iconvName(codePage).c_str());
    if (!cd.valid()) return 0;
    Sink<char16_t> sink(destinationUnits == 0 ? nullptr : destination, destinationUnits);
    const std::u16string_view replacement = codePage == CP_UTF8 ? u"\uFFFD" : u"?";
    std::size_t (*badStep)(const char*, std::size_t) = singleBadLength;
    if (codePage == CP_UTF8) badStep = utf8BadLength;
    else if (iconvName(codePage) == "CP936") badStep = doubleByteBadLength;
    const bool ok = runIconv<char16_t>(cd.get(), source, std::strlen(source) + 1, sink, replacement, badStep);
    return ok ? sink.result() : 0;
}

int wideCharToMultiByte(unsigned codePage, const char16_t* source, char* destination, int destinationBytes) noexcept {
    if (!source || !validDestination(destination, destinationBytes)) return 0;
    const Iconv cd(iconvName(codePage).c_str(), "UTF-16LE");
    if (!cd.valid()) return 0;
    std::size_t units = 0;
    while (source[units] != u'\0') ++units;
    Sink<char> sink(destinationBytes == 0 ? nullptr : destination, destinationBytes);
    const std::string_view replacement = codePage == CP_UTF8 ? "\xEF\xBF\xBD" : "?";
    // One "?" per unit the target lacks: a surrogate pair gives two.
    const auto badStep = [](const char*, std::size_t) { return std::size_t{2}; };
    const bool ok = runIconv<char>(cd.get(), reinterpret_cast<const char*>(source), (units + 1) * 2, sink,
                                   replacement, badStep);
    return ok ? sink.result() : 0;
}

}  // namespace lunteva
