// Standard output of the console program, for texts in code page 936.
//
// Backends:
// - ConsoleOutputWin32.cpp: to a console as Unicode (WriteConsoleW), so the
//   Chinese texts show whatever the console's code page is; to a file or pipe
//   as UTF-8.
// - ConsoleOutputPosix.cpp: as UTF-8, lines ending in LF.
#pragma once

#include "text/Text.h"

namespace lunteva {

// Writes text to standard output at once, unbuffered, converted as the
// backend says, with the platform's line ends: CR LF stays on Windows and
// becomes LF on POSIX. The empty text writes nothing. True when everything
// was written. Output through stdio buffers must be flushed before a call,
// or it may come out after this text.
bool writeConsoleText(const TextValue& text);

// Puts standard input in binary mode, so that a page read from it arrives
// byte for byte (Windows would otherwise turn CR LF into LF and stop at
// Ctrl+Z); POSIX has nothing to change.
void useBinaryStandardInput();

}  // namespace lunteva
