// Code-page layer over glibc iconv, with the observable results of the
// Win32 pair: invalid UTF-8 becomes U+FFFD, invalid 936 input "?", and a
// character the target lacks "?", one replacement per bad byte or character.
//
// CP_ACP: Linux has no ANSI code page; this layer answers as a Windows whose
// ANSI code page is 936, the program's own. The one use of CP_ACP is the
// length query of utf16ToMultiByte, which then is exact, and its doubled
// buffer has room to spare.
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

}  // namespace

int multiByteToWideChar(unsigned codePage, const char* source, char16_t* destination, int destinationUnits) noexcept {
    if (!source || (destination && destinationUnits <= 0)) return 0;
    const Iconv cd("UTF-16LE", iconvName(codePage).c_str());
    if (!cd.valid()) return 0;
    Sink<char16_t> sink(destination, destinationUnits);
    const std::u16string_view replacement = codePage == CP_UTF8 ? u"\uFFFD" : u"?";
    const bool ok = runIconv<char16_t>(cd.get(), source, std::strlen(source) + 1, sink, replacement,
                                       [](const char*, std::size_t) { return std::size_t{1}; });
    return ok ? sink.result() : 0;
}

int wideCharToMultiByte(unsigned codePage, const char16_t* source, char* destination, int destinationBytes) noexcept {
    if (!source || (destination && destinationBytes <= 0)) return 0;
    const Iconv cd(iconvName(codePage).c_str(), "UTF-16LE");
    if (!cd.valid()) return 0;
    std::size_t units = 0;
    while (source[units] != u'\0') ++units;
    Sink<char> sink(destination, destinationBytes);
    const std::string_view replacement = codePage == CP_UTF8 ? "\xEF\xBF\xBD" : "?";
    // A surrogate pair is one character, and one "?" stands for it.
    const auto badStep = [](const char* at, std::size_t left) {
        char16_t first = 0, second = 0;
        std::memcpy(&first, at, 2);
        if (left >= 4) std::memcpy(&second, at + 2, 2);
        const bool pair = first >= 0xD800 && first < 0xDC00 && second >= 0xDC00 && second < 0xE000;
        return std::size_t{pair ? 4u : 2u};
    };
    const bool ok = runIconv<char>(cd.get(), reinterpret_cast<const char*>(source), (units + 1) * 2, sink,
                                   replacement, badStep);
    return ok ? sink.result() : 0;
}

}  // namespace lunteva
