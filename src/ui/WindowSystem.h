// The window-system operations the rest of the program relies on.
//
// Backends implement all of them, on the window thread only, and each
// operation returns once its effect has taken place:
// - WindowSystemHeadless.cpp: console programs and tests; no windows, and
//   nothing is ever pending (it defines processPendingEvents only).
// - WindowSystemWin32.cpp: Win32, W functions, texts 936 <-> UTF-16 here.
// - WindowSystemGtk.cpp: GTK 3, texts 936 -> UTF-8 here.
#pragma once

#include <cstdint>

#include "text/Text.h"

namespace lunteva {

// A window or control of the window system (an HWND, a GtkWidget*); 0 is none.
struct Control {
    std::uintptr_t native = 0;
    friend bool operator==(Control, Control) = default;
};

// Dispatches, one by one, the window messages already waiting for the calling
// thread, and returns when none is left or the next one is the request to
// quit, which stays queued. Never waits for new messages.
void processPendingEvents();

// Puts the caret at the end of the edit box's text, scrolls it into view and
// inserts text there without an undo record. Works on a read-only box and on
// one whose window is not yet shown. The empty text inserts nothing.
void appendText(Control editBox, const TextValue& text);

// The label shows text from now on and redraws at once.
void setCaption(Control label, const TextValue& text);

// Shows (true) or hides (false) the control at once, also while its window is hidden.
void setVisible(Control control, bool visible);

// The window system's handle of the window; 0 when it does not exist.
std::uintptr_t windowHandle(Control window);

// Empties the clipboard and places text as plain text (code page 936 as the
// program holds it; every program on the desktop can paste it). True when placed.
bool setClipboardText(const TextValue& text);

// Shows a modal box and returns the number of the button pressed once the
// user has closed it. Style 0: one OK button, no icon. The owner (a window
// handle, or 0) takes no input while the box is open.
int showMessageBox(const TextValue& text, int style, const TextValue& title, std::uintptr_t owner);

// Waits for window messages and dispatches them until the program's last
// window has been destroyed, then returns.
void runMessageLoop();

}  // namespace lunteva
