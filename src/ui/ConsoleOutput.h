// Standard output of the console program, for texts in code page 936.
//
// Backends:
// - ConsoleOutputWin32.cpp: to a console as Unicode (WriteConsoleW), so the
//   Chinese texts show whatever the console's code page is; to a file or pipe
//   as UTF-8.
// - ConsoleOutputPosix.cpp: as UTF-8.
#pragma once

#include "text/Text.h"

namespace lunteva {

// Writes text to standard output at once, unbuffered, converted as the
// backend says; the empty text writes nothing. True when everything was
// written. Output through stdio buffers must be flushed before a call, or it
// may come out after this text.
bool writeConsoleText(const TextValue& text);

}  // namespace lunteva
