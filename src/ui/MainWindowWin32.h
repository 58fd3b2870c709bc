// Win32 backend of the main window:
// - MainWindowWin32: the window class, the window, its four controls, their
//   fonts and colours, and the window procedure that routes the button clicks
//   to the portable handlers of ui/MainWindow.h.
// - runProgram: the program's whole life on the window thread.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

#include "ui/MainWindow.h"

namespace lunteva {

// The class name of the main window, for programs that look for it.
inline constexpr wchar_t MAIN_WINDOW_CLASS[] = L"LuntevaMainWindow";

// Window styles of the main window and its controls.
inline constexpr DWORD MAIN_WINDOW_STYLE = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
inline constexpr DWORD MAIN_WINDOW_EX_STYLE = WS_EX_CLIENTEDGE;
inline constexpr DWORD BUTTON_STYLE =
    WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | BS_MULTILINE;
// Owner-drawn, because a disabled static control greys its text: the window
// draws the caption itself, black, single line, centred vertically and
// clipped at the edges, with no prefix processing.
inline constexpr DWORD CONTACT_LABEL_STYLE = WS_CHILD | WS_DISABLED | SS_OWNERDRAW | SS_NOPREFIX;
// No ES_AUTOHSCROLL, so long lines wrap; no scroll bars; no ES_NOHIDESEL.
inline constexpr DWORD ANSWER_BOX_STYLE =
    WS_CHILD | WS_TABSTOP | WS_BORDER | ES_MULTILINE | ES_READONLY | ES_LEFT | ES_AUTOVSCROLL;

// Command identifiers of the controls. Dialog keyboard handling sends IDOK
// (1) and IDCANCEL (2) for Enter and Esc, so these stay clear of both.
inline constexpr int COPY_CONTACT_BUTTON_ID = 101;
inline constexpr int CONTACT_LABEL_ID = 102;
inline constexpr int FEEDBACK_BUTTON_ID = 103;
inline constexpr int ANSWER_BOX_ID = 104;

class MainWindowWin32 {
public:
    // Registers the window class (once per process), creates the window
    // hidden at its centred place, then its four controls in the layout's
    // order, each hidden at first, and then shows the controls inside the
    // still hidden window. Runs no handler. Null when the window system
    // refused any part of it.
    static std::unique_ptr<MainWindowWin32> create(HINSTANCE instance);

    // Only create() can make the key, and so the object.
    class Key {
        friend class MainWindowWin32;
        Key() = default;
    };
    explicit MainWindowWin32(Key) {}

    // Destroys the window if it still exists, then the fonts.
    ~MainWindowWin32();
    MainWindowWin32(const MainWindowWin32&) = delete;
    MainWindowWin32& operator=(const MainWindowWin32&) = delete;

    // The window and its controls; the handles stay as they are after the
    // window has been destroyed (windowHandle then answers 0).
    const MainWindow& controls() const noexcept { return controls_; }
    HWND window() const noexcept { return reinterpret_cast<HWND>(controls_.window.native); }

private:
    struct FontDeleter {
        void operator()(HFONT font) const noexcept { DeleteObject(font); }
    };
    using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

    bool createControls(HINSTANCE instance);
    LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void drawContactLabel(const DRAWITEMSTRUCT& item) const;
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    MainWindow controls_;
    UniqueFont answerFont_;
    UniqueFont labelFont_;
};

// Starts the program and runs it until its window has been closed: OLE for
// the thread, the window hidden, onCreated to completion, the window shown
// normal and active, the message loop, OLE released. Returns the exit code:
// 0, or 1 when the window could not be created.
int runProgram(HINSTANCE instance);

}  // namespace lunteva
