// The platform's code-page conversion, as the text conversions use it.
//
// Both functions behave like Win32 MultiByteToWideChar and
// WideCharToMultiByte called with flags 0, a source length of -1 (the source
// runs up to and including its terminator) and no default character:
//
// - Length query (destination size 0; the destination is then not used):
//   the number of units or bytes the conversion needs, terminator included.
// - Conversion: writes the converted text and its terminator into the
//   destination and returns the count written, terminator included. When the
//   destination is too small it returns 0; it never writes past destination
//   plus its size (what it left inside the destination is then unspecified).
// - No error flags: each bad sequence of the source becomes U+FFFD (from
//   UTF-8) or "?" (from 936); a UTF-16 unit that the target code page lacks
//   becomes "?" or the platform's best-fit substitute (Windows writes "2" for
//   U+00B2), so a character outside the BMP that 936 lacks becomes "??".
// - An unknown code page, a null source, a negative size, or a null
//   destination with a size above 0 returns 0 and writes nothing.
//
// Backends: CodePageWin32.cpp (the platform's own pair) and CodePageIconv.cpp
// (UTF-8 by hand, other code pages over glibc iconv).
#pragma once

namespace lunteva {

#ifndef CP_ACP  // <windows.h> defines both, with the same values
inline constexpr unsigned CP_ACP = 0;
inline constexpr unsigned CP_UTF8 = 65001;
#endif
inline constexpr unsigned CP_GBK = 936;

int multiByteToWideChar(unsigned codePage, const char* source, char16_t* destination, int destinationUnits) noexcept;
int wideCharToMultiByte(unsigned codePage, const char16_t* source, char* destination, int destinationBytes) noexcept;

}  // namespace lunteva
