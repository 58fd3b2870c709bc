// Checks of Win32 windows shared by the in-process window tests and the
// end-to-end driver, which looks at the program from another process.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace lunteva {

inline std::wstring classOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

inline LONG_PTR styleOf(HWND window) { return GetWindowLongPtrW(window, GWL_STYLE); }

// The main window's frame: 553 x 287 outside, centred on the screen, a
// caption with the system menu and minimize box only, no resizing border,
// the sunken client edge, not topmost, no menu bar.
inline void expectCentredFixedFrame(HWND window) {
    RECT outer{};
    ASSERT_TRUE(GetWindowRect(window, &outer));
    EXPECT_EQ(outer.right - outer.left, 553);
    EXPECT_EQ(outer.bottom - outer.top, 287);
    EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - 553) / 2);
    EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - 287) / 2);

    const LONG_PTR style = styleOf(window);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);  // the user cannot resize it
    EXPECT_FALSE(style & WS_CHILD);
    const LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_CLIENTEDGE);
    EXPECT_FALSE(exStyle & WS_EX_TOPMOST);
    EXPECT_EQ(GetMenu(window), nullptr);
}

// The clipboard's text in one format; nullopt when the clipboard cannot be
// opened, empty when it holds no such text.
template <class Char>
std::optional<std::basic_string<Char>> clipboardText(UINT format) {
    if (!OpenClipboard(nullptr)) return std::nullopt;
    std::basic_string<Char> text;
    if (const HANDLE data = GetClipboardData(format)) {
        if (const auto* units = static_cast<const Char*>(GlobalLock(data))) {
            text = units;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

inline std::optional<std::wstring> clipboardUnicode() { return clipboardText<wchar_t>(CF_UNICODETEXT); }
inline std::optional<std::string> clipboardAnsi() { return clipboardText<char>(CF_TEXT); }

}  // namespace lunteva
