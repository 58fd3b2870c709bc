// The Win32 main window and window-system operations, inside the test
// program: what another process cannot see (fonts, the colours answered to
// the edit box, the drawing of the label) and how the operations behave on a
// window that is not shown. No handler that downloads runs here.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <memory>
#include <string>
#include <vector>

#include "BuildConfig.h"
#include "text/Literals.h"
#include "ui/MainWindowWin32.h"
#include "ui/WideText.h"
#include "Win32Checks.h"

namespace lunteva {
namespace {

HWND hwndOf(Control control) { return reinterpret_cast<HWND>(control.native); }

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// Removes a request to quit that destroying a main window leaves queued.
void discardQuitRequest() {
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

// The digits of CONTACT_NUMBER as UTF-16.
std::wstring contactNumber() { return std::wstring(CONTACT_NUMBER.begin(), CONTACT_NUMBER.end()); }

class MainWindowWin32Test : public ::testing::Test {
protected:
    void SetUp() override {
        mainWindow = MainWindowWin32::create(GetModuleHandleW(nullptr));
        ASSERT_NE(mainWindow, nullptr);
        controls = mainWindow->controls();
    }
    void TearDown() override {
        mainWindow.reset();
        discardQuitRequest();
    }

    std::unique_ptr<MainWindowWin32> mainWindow;
    MainWindow controls;
};

TEST_F(MainWindowWin32Test, WindowIsCreatedHiddenCentredWithItsFixedFrame) {
    const HWND window = mainWindow->window();
    EXPECT_EQ(classOf(window), L"LuntevaMainWindow");
    EXPECT_EQ(windowText(window), L"Lunteva");
    EXPECT_FALSE(IsWindowVisible(window));

    expectCentredFixedFrame(window);

    // The system menu keeps Move and Close.
    const HMENU systemMenu = GetSystemMenu(window, FALSE);
    ASSERT_NE(systemMenu, nullptr);
    EXPECT_NE(GetMenuState(systemMenu, SC_MOVE, MF_BYCOMMAND), static_cast<UINT>(-1));
    EXPECT_NE(GetMenuState(systemMenu, SC_CLOSE, MF_BYCOMMAND), static_cast<UINT>(-1));
}

TEST_F(MainWindowWin32Test, ClassHasButtonFaceBackgroundAndTheProgramIconInTwoSizes) {
    const HWND window = mainWindow->window();
    EXPECT_EQ(GetClassLongPtrW(window, GCLP_HBRBACKGROUND), static_cast<ULONG_PTR>(COLOR_BTNFACE + 1));

    const struct {
        int index, widthMetric;
    } icons[] = {{GCLP_HICON, SM_CXICON}, {GCLP_HICONSM, SM_CXSMICON}};
    for (const auto& icon : icons) {
        const auto handle = reinterpret_cast<HICON>(GetClassLongPtrW(window, icon.index));
        ASSERT_NE(handle, nullptr) << icon.index;
        // Not the system's default icon: the one drawn for this program.
        EXPECT_NE(handle, LoadIconW(nullptr, IDI_APPLICATION));
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(handle, &info));
        BITMAP colour{};
        GetObjectW(info.hbmColor, sizeof colour, &colour);
        EXPECT_EQ(colour.bmWidth, GetSystemMetrics(icon.widthMetric)) << icon.index;
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
}

struct ControlCase {
    const char* name;
    Control MainWindow::*member;
    const wchar_t* windowClass;
    int id;
    ControlPlace place;
    const wchar_t* text;
    bool enabled;
    bool tabStop;
};

const ControlCase CONTROL_CASES[] = {
    {"copyContactButton", &MainWindow::copyContactButton, L"Button", COPY_CONTACT_BUTTON_ID, {456, 220, 72, 32},
     L"复制QQ", true, true},
    {"contactLabel", &MainWindow::contactLabel, L"Static", CONTACT_LABEL_ID, {272, 224, 176, 24}, L"", false, false},
    {"feedbackButton", &MainWindow::feedbackButton, L"Button", FEEDBACK_BUTTON_ID, {193, 220, 72, 32}, L"提意见",
     true, true},
    {"answerBox", &MainWindow::answerBox, L"Edit", ANSWER_BOX_ID, {8, 8, 512, 208}, L"", true, true},
};

TEST_F(MainWindowWin32Test, ControlsStandWhereTheLayoutSaysWithTheirTextsAndStates) {
    for (const ControlCase& c : CONTROL_CASES) {
        SCOPED_TRACE(c.name);
        const HWND control = hwndOf(controls.*c.member);
        ASSERT_TRUE(IsWindow(control));
        EXPECT_EQ(GetParent(control), mainWindow->window());
        EXPECT_EQ(_wcsicmp(classOf(control).c_str(), c.windowClass), 0) << std::string(c.name);
        EXPECT_EQ(GetDlgCtrlID(control), c.id);
        RECT rect{};
        GetWindowRect(control, &rect);
        MapWindowPoints(HWND_DESKTOP, mainWindow->window(), reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_EQ(rect.left, c.place.left);
        EXPECT_EQ(rect.top, c.place.top);
        EXPECT_EQ(rect.right - rect.left, c.place.width);
        EXPECT_EQ(rect.bottom - rect.top, c.place.height);
        EXPECT_EQ(windowText(control), c.text);
        // Shown inside the hidden window: visible as soon as the window is.
        EXPECT_TRUE(styleOf(control) & WS_VISIBLE);
        EXPECT_EQ(IsWindowEnabled(control) != FALSE, c.enabled);
        EXPECT_EQ((styleOf(control) & WS_TABSTOP) != 0, c.tabStop);
    }
}

TEST_F(MainWindowWin32Test, ControlsAreCreatedInTheLayoutOrder) {
    // Siblings stand in the order of their creation, which is also the tab order.
    std::vector<HWND> order;
    for (HWND child = GetWindow(mainWindow->window(), GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT))
        order.push_back(child);
    const std::vector<HWND> expected = {hwndOf(controls.copyContactButton), hwndOf(controls.contactLabel),
                                        hwndOf(controls.feedbackButton), hwndOf(controls.answerBox)};
    EXPECT_EQ(order, expected);
}

TEST_F(MainWindowWin32Test, ButtonsArePlainPushButtonsInTheDefaultGuiFont) {
    for (const HWND button : {hwndOf(controls.copyContactButton), hwndOf(controls.feedbackButton)}) {
        const LONG_PTR style = styleOf(button);
        EXPECT_EQ(style & BS_TYPEMASK, BS_PUSHBUTTON);  // neither is the default button
        EXPECT_EQ(style & BS_CENTER, BS_CENTER);
        EXPECT_EQ(style & BS_VCENTER, BS_VCENTER);
        EXPECT_TRUE(style & BS_MULTILINE);
        EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageW(button, WM_GETFONT, 0, 0)),
                  GetStockObject(DEFAULT_GUI_FONT));
    }
}

TEST_F(MainWindowWin32Test, AnswerBoxIsReadOnlyMultiLineWrappingWithoutScrollBars) {
    const LONG_PTR style = styleOf(hwndOf(controls.answerBox));
    EXPECT_TRUE(style & ES_MULTILINE);
    EXPECT_TRUE(style & ES_READONLY);
    EXPECT_TRUE(style & ES_AUTOVSCROLL);
    EXPECT_EQ(style & (ES_CENTER | ES_RIGHT), 0);  // left-aligned
    EXPECT_FALSE(style & ES_AUTOHSCROLL);          // long lines wrap
    EXPECT_FALSE(style & ES_NOHIDESEL);            // selection hidden without the focus
    EXPECT_FALSE(style & WS_VSCROLL);
    EXPECT_FALSE(style & WS_HSCROLL);
    // The caret stands at 0 in the new box.
    DWORD start = 1, end = 1;
    SendMessageW(hwndOf(controls.answerBox), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 0u);
}

// The control painted by itself, frame included, into a 32-bit bitmap, as
// it paints on the screen (an owner-drawn control asks its parent).
class ControlPicture {
public:
    static constexpr COLORREF MARKER = RGB(255, 0, 255);

    explicit ControlPicture(HWND control) {
        RECT outer{};
        GetWindowRect(control, &outer);
        width_ = outer.right - outer.left;
        height_ = outer.bottom - outer.top;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = -height_;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        const HDC dc = CreateCompatibleDC(nullptr);
        const HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        const HGDIOBJ previous = SelectObject(dc, bitmap);
        // A colour that the control must paint over everywhere it draws.
        const RECT all{0, 0, width_, height_};
        const HBRUSH marker = CreateSolidBrush(MARKER);
        FillRect(dc, &all, marker);
        DeleteObject(marker);
        SendMessageW(control, WM_PRINT, reinterpret_cast<WPARAM>(dc),
                     PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
        GdiFlush();
        const auto* pixels = static_cast<const DWORD*>(bits);
        pixels_.assign(pixels, pixels + width_ * height_);
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    COLORREF at(int x, int y) const {
        const DWORD p = pixels_[static_cast<std::size_t>(y * width_ + x)];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    int width() const { return width_; }
    int height() const { return height_; }
    // Whether any pixel in the rows [top, bottom) is not the given colour.
    bool rowsDifferFrom(int top, int bottom, COLORREF colour) const {
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < width_; ++x)
                if (at(x, y) != colour) return true;
        return false;
    }
    int darkestLevel() const {
        int darkest = 255;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) {
                const COLORREF c = at(x, y);
                darkest = std::min({darkest, int(GetRValue(c)), int(GetGValue(c)), int(GetBValue(c))});
            }
        return darkest;
    }

private:
    int width_ = 0, height_ = 0;
    std::vector<DWORD> pixels_;
};

TEST_F(MainWindowWin32Test, AnswerBoxIsWhiteInsideAThinBorder) {
    // Wine's edit box moves WS_BORDER out of its style and draws the border
    // itself, so the border is judged by what the box paints.
    const ControlPicture picture(hwndOf(controls.answerBox));
    const int middleY = picture.height() / 2, middleX = picture.width() / 2;
    const COLORREF white = RGB(255, 255, 255);
    EXPECT_NE(picture.at(0, middleY), white);
    EXPECT_NE(picture.at(picture.width() - 1, middleY), white);
    EXPECT_NE(picture.at(middleX, 0), white);
    EXPECT_NE(picture.at(middleX, picture.height() - 1), white);
    // Thin: a few pixels in, the white background begins.
    EXPECT_EQ(picture.at(3, middleY), white);
    EXPECT_EQ(picture.at(middleX, 3), white);
    EXPECT_EQ(picture.at(middleX, middleY), white);
    EXPECT_FALSE(GetWindowLongPtrW(hwndOf(controls.answerBox), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
}

struct FontCase {
    const char* name;
    Control MainWindow::*member;
    LONG height;
};

TEST_F(MainWindowWin32Test, AnswerBoxAndLabelUseMicrosoftYaHeiAtTheirPixelHeights) {
    const FontCase cases[] = {{"answerBox", &MainWindow::answerBox, -17},
                              {"contactLabel", &MainWindow::contactLabel, -16}};
    for (const FontCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto font = reinterpret_cast<HFONT>(SendMessageW(hwndOf(controls.*c.member), WM_GETFONT, 0, 0));
        ASSERT_NE(font, nullptr);
        LOGFONTW logFont{};
        ASSERT_EQ(GetObjectW(font, sizeof logFont, &logFont), static_cast<int>(sizeof logFont));
        EXPECT_STREQ(logFont.lfFaceName, L"微软雅黑");
        EXPECT_EQ(logFont.lfHeight, c.height);
        EXPECT_EQ(logFont.lfWeight, FW_NORMAL);
        EXPECT_EQ(logFont.lfCharSet, GB2312_CHARSET);
        EXPECT_FALSE(logFont.lfItalic);
        EXPECT_FALSE(logFont.lfUnderline);
    }
}

TEST_F(MainWindowWin32Test, ReadOnlyAnswerBoxIsAnsweredBlackOnWhite) {
    const HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    for (const UINT message : {WM_CTLCOLORSTATIC, WM_CTLCOLOREDIT}) {
        SetTextColor(dc, RGB(1, 2, 3));
        SetBkColor(dc, RGB(4, 5, 6));
        const auto brush = reinterpret_cast<HBRUSH>(SendMessageW(
            mainWindow->window(), message, reinterpret_cast<WPARAM>(dc), static_cast<LPARAM>(controls.answerBox.native)));
        ASSERT_NE(brush, nullptr) << message;
        LOGBRUSH logBrush{};
        GetObjectW(brush, sizeof logBrush, &logBrush);
        EXPECT_EQ(logBrush.lbStyle, static_cast<UINT>(BS_SOLID));
        EXPECT_EQ(logBrush.lbColor, RGB(255, 255, 255));
        EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
        EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 255));
    }
    DeleteDC(dc);
}

TEST_F(MainWindowWin32Test, DisabledLabelIsDrawnBlackOnButtonFace) {
    const HWND label = hwndOf(controls.contactLabel);
    EXPECT_FALSE(IsWindowEnabled(label));
    EXPECT_TRUE(styleOf(label) & SS_NOPREFIX);

    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    {
        const ControlPicture empty(label);
        // Nothing but the button face: the empty label cannot be seen.
        EXPECT_FALSE(empty.rowsDifferFrom(0, empty.height(), face));
    }
    setCaption(controls.contactLabel, concatText(contactPrompt(), TextValue(CONTACT_NUMBER)));
    const ControlPicture shown(label);
    EXPECT_EQ(shown.at(0, 0), face);
    EXPECT_EQ(shown.at(shown.width() - 1, shown.height() - 1), face);
    // Black text, not the greyed text of a disabled control.
    EXPECT_EQ(shown.darkestLevel(), 0);
}

TEST_F(MainWindowWin32Test, LabelCaptionIsOneLineCentredVerticallyAndCutOff) {
    const HWND label = hwndOf(controls.contactLabel);
    // Far wider than the label, with ampersands that must not become prefixes.
    setCaption(controls.contactLabel, TextValue("&&A&B wider than the label wider than the label wider than it"));
    EXPECT_EQ(windowText(label), L"&&A&B wider than the label wider than the label wider than it");
    const ControlPicture picture(label);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    // Text reaches the right edge (cut off there) ...
    bool atRightEdge = false;
    for (int y = 0; y < picture.height(); ++y) atRightEdge |= picture.at(picture.width() - 2, y) != face;
    EXPECT_TRUE(atRightEdge);
    // ... on a single line centred in the height: the top and bottom rows stay empty.
    EXPECT_FALSE(picture.rowsDifferFrom(0, 2, face));
    EXPECT_FALSE(picture.rowsDifferFrom(picture.height() - 2, picture.height(), face));
}

TEST_F(MainWindowWin32Test, SetCaptionShowsTheChineseTextInUtf16) {
    setCaption(controls.contactLabel, concatText(contactPrompt(), TextValue(CONTACT_NUMBER)));
    EXPECT_EQ(windowText(hwndOf(controls.contactLabel)), L"请加QQ" + contactNumber());
    setCaption(controls.contactLabel, {});
    EXPECT_EQ(windowText(hwndOf(controls.contactLabel)), L"");
}

TEST_F(MainWindowWin32Test, SetVisibleWorksInsideTheHiddenWindow) {
    const HWND button = hwndOf(controls.copyContactButton);
    setVisible(controls.copyContactButton, false);
    EXPECT_FALSE(styleOf(button) & WS_VISIBLE);
    setVisible(controls.copyContactButton, true);
    EXPECT_TRUE(styleOf(button) & WS_VISIBLE);
    EXPECT_FALSE(IsWindowVisible(mainWindow->window()));
}

TEST_F(MainWindowWin32Test, WindowHandleIsTheHwndWhileTheWindowExists) {
    EXPECT_EQ(windowHandle(controls.window), reinterpret_cast<std::uintptr_t>(mainWindow->window()));
    EXPECT_EQ(windowHandle(Control{}), 0u);
    mainWindow.reset();
    EXPECT_EQ(windowHandle(controls.window), 0u);
}

TEST_F(MainWindowWin32Test, FeedbackClickShowsTheContactLineAndTheCopyButton) {
    setVisible(controls.copyContactButton, false);  // as onCreated leaves it
    const auto click = [&] {
        SendMessageW(mainWindow->window(), WM_COMMAND, MAKEWPARAM(FEEDBACK_BUTTON_ID, BN_CLICKED),
                     static_cast<LPARAM>(controls.feedbackButton.native));
    };
    click();
    const std::wstring expected = L"请加QQ" + contactNumber();
    EXPECT_EQ(windowText(hwndOf(controls.contactLabel)), expected);
    EXPECT_TRUE(styleOf(hwndOf(controls.contactLabel)) & WS_VISIBLE);
    EXPECT_TRUE(styleOf(hwndOf(controls.copyContactButton)) & WS_VISIBLE);
    click();
    EXPECT_EQ(windowText(hwndOf(controls.contactLabel)), expected);
    EXPECT_TRUE(styleOf(hwndOf(controls.copyContactButton)) & WS_VISIBLE);
}

TEST_F(MainWindowWin32Test, TabMovesTheFocusAlongTheTabStopsInCreationOrder) {
    setVisible(controls.copyContactButton, false);  // as onCreated leaves it
    ShowWindow(mainWindow->window(), SW_SHOWNORMAL);
    SetForegroundWindow(mainWindow->window());
    SetFocus(mainWindow->window());
    ASSERT_EQ(GetFocus(), mainWindow->window());
    const auto pressTab = [] {
        const HWND focused = GetFocus();
        PostMessageW(focused, WM_KEYDOWN, VK_TAB, 1);
        PostMessageW(focused, WM_KEYUP, VK_TAB, static_cast<LPARAM>(0xC0000001u));
        processPendingEvents();
    };
    // The hidden copy button and the disabled label are passed over. (In the
    // multi-line answerBox, Tab stays, as in every multi-line edit box;
    // Ctrl+Tab leaves it.)
    pressTab();
    EXPECT_EQ(GetFocus(), hwndOf(controls.feedbackButton));
    pressTab();
    EXPECT_EQ(GetFocus(), hwndOf(controls.answerBox));
}

// What the confirmation box showed, read while it was open.
struct SeenBox {
    bool found = false;
    std::wstring text;
    int buttons = 0;
    int icons = 0;
    bool ownerEnabled = true;
};
SeenBox seenBox;
HWND seenOwner = nullptr;

BOOL CALLBACK inspectBoxChild(HWND child, LPARAM) {
    const std::wstring name = classOf(child);
    if (_wcsicmp(name.c_str(), L"Button") == 0 && IsWindowVisible(child)) ++seenBox.buttons;
    if (_wcsicmp(name.c_str(), L"Static") == 0) {
        if ((styleOf(child) & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child)) {
            if (SendMessageW(child, STM_GETICON, 0, 0) != 0) ++seenBox.icons;
        } else if (GetDlgCtrlID(child) == 0xFFFF) {
            seenBox.text = windowText(child);
        }
    }
    return TRUE;
}

// Runs inside the box's modal loop: reads the box, then presses OK.
void CALLBACK closeConfirmationBox(HWND, UINT, UINT_PTR timer, DWORD) {
    const HWND box = FindWindowW(L"#32770", L"复制成功");
    if (box == nullptr) return;  // not open yet
    KillTimer(nullptr, timer);
    seenBox.found = true;
    seenBox.ownerEnabled = IsWindowEnabled(seenOwner) != FALSE;
    EnumChildWindows(box, inspectBoxChild, 0);
    SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

TEST_F(MainWindowWin32Test, CopyClickPutsTheNumberOnTheClipboardAndConfirmsInAModalBox) {
    seenBox = {};
    seenOwner = mainWindow->window();
    setClipboardText(TextValue("something else"));
    ASSERT_NE(SetTimer(nullptr, 0, 10, closeConfirmationBox), 0u);
    SendMessageW(mainWindow->window(), WM_COMMAND, MAKEWPARAM(COPY_CONTACT_BUTTON_ID, BN_CLICKED),
                 static_cast<LPARAM>(controls.copyContactButton.native));
    // The handler has returned, so the box has been closed.
    EXPECT_TRUE(seenBox.found);
    EXPECT_EQ(seenBox.text, L"复制QQ成功，请添加");
    EXPECT_EQ(seenBox.buttons, 1);
    EXPECT_EQ(seenBox.icons, 0);
    EXPECT_FALSE(seenBox.ownerEnabled);  // the main window takes no input meanwhile
    EXPECT_TRUE(IsWindowEnabled(mainWindow->window()));
    EXPECT_EQ(clipboardUnicode(), contactNumber());
    EXPECT_EQ(clipboardAnsi(), std::string(CONTACT_NUMBER));
}

struct ClipboardCase {
    const char* name;
    TextValue text;
    std::wstring unicode;
};

TEST(ClipboardTest, PlacesTheTextAsUnicodeAndAnsiPlainText) {
    const ClipboardCase cases[] = {
        {"digits", TextValue("10000"), L"10000"},
        {"Chinese in 936", TextValue("\xB8\xB4\xD6\xC6QQ"), L"复制QQ"},
        {"empty", TextValue(), L""},
    };
    for (const ClipboardCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(setClipboardText(c.text));
        EXPECT_EQ(clipboardUnicode(), c.unicode);
    }
    ASSERT_TRUE(setClipboardText(TextValue("1234567")));
    EXPECT_EQ(clipboardAnsi(), std::string("1234567"));  // made by the system from the Unicode text
}

TEST(CommonControlsTest, ManifestBringsVersionSixForVisualStyles) {
    // This program carries the same manifest as lunteva.exe, so comctl32
    // comes from the side-by-side assembly of version 6. (Wine's copy of it
    // answers 5 to DllGetVersion, so the file it was loaded from is checked.)
    const HMODULE comctl = LoadLibraryW(L"comctl32.dll");
    ASSERT_NE(comctl, nullptr);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(comctl, path, MAX_PATH);
    std::wstring lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](wchar_t c) { return towlower(c); });
    EXPECT_NE(lower.find(L"microsoft.windows.common-controls_6595b64144ccf1df_6.0."), std::wstring::npos)
        << std::string(lower.begin(), lower.end());
    FreeLibrary(comctl);
}

// --- appendText ---

class AnswerBoxTest : public MainWindowWin32Test {
protected:
    HWND box() const { return hwndOf(controls.answerBox); }
    std::pair<DWORD, DWORD> selection() const {
        DWORD start = 0, end = 0;
        SendMessageW(box(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        return {start, end};
    }
};

TEST_F(AnswerBoxTest, AppendTextAddsAtTheEndWithTheCaretAfterItAndNoUndo) {
    appendText(controls.answerBox, concatText(toText(1), gbkLiteral<u8"、提意见">(), TextValue("\r\n")));
    appendText(controls.answerBox, concatText(gbkLiteral<u8"答案：">(), TextValue("A\r\n")));
    const std::wstring expected = L"1、提意见\r\n答案：A\r\n";
    EXPECT_EQ(windowText(box()), expected);
    const auto end = static_cast<DWORD>(expected.size());
    EXPECT_EQ(selection(), std::make_pair(end, end));
    EXPECT_FALSE(SendMessageW(box(), EM_CANUNDO, 0, 0));
}

TEST_F(AnswerBoxTest, AppendTextGoesToTheEndWhereverTheCaretWas) {
    appendText(controls.answerBox, TextValue("first\r\n"));
    SendMessageW(box(), EM_SETSEL, 0, 3);  // a selection at the start must survive
    appendText(controls.answerBox, TextValue("second"));
    EXPECT_EQ(windowText(box()), L"first\r\nsecond");
}

TEST_F(AnswerBoxTest, EmptyTextInsertsNothing) {
    appendText(controls.answerBox, TextValue("kept"));
    SendMessageW(box(), EM_SETSEL, 0, 0);
    appendText(controls.answerBox, TextValue());
    EXPECT_EQ(windowText(box()), L"kept");
    EXPECT_EQ(selection(), std::make_pair(DWORD{0}, DWORD{0}));  // not even the caret moved
}

TEST_F(AnswerBoxTest, UserCannotTypeDeleteOrPasteButCanCopy) {
    appendText(controls.answerBox, TextValue("answer"));
    setClipboardText(TextValue("pasted"));
    SendMessageW(box(), EM_SETSEL, 0, -1);
    SendMessageW(box(), WM_CHAR, 'x', 0);
    SendMessageW(box(), WM_KEYDOWN, VK_DELETE, 0);
    SendMessageW(box(), WM_CHAR, VK_BACK, 0);
    SendMessageW(box(), WM_PASTE, 0, 0);
    SendMessageW(box(), WM_CUT, 0, 0);
    SendMessageW(box(), WM_CLEAR, 0, 0);
    EXPECT_EQ(windowText(box()), L"answer");
    SendMessageW(box(), EM_SETSEL, 0, 3);
    SendMessageW(box(), WM_COPY, 0, 0);
    EXPECT_EQ(clipboardUnicode(), std::wstring(L"ans"));
}

TEST_F(AnswerBoxTest, LongTextScrollsToItsEndAndLongLinesWrap) {
    for (int i = 1; i <= 40; ++i) appendText(controls.answerBox, concatText(toText(i), TextValue("\r\n")));
    const auto lines = static_cast<int>(SendMessageW(box(), EM_GETLINECOUNT, 0, 0));
    const auto firstVisible = static_cast<int>(SendMessageW(box(), EM_GETFIRSTVISIBLELINE, 0, 0));
    EXPECT_GT(firstVisible, 0);
    // The box shows its end: the last line lies inside the client area.
    RECT client{};
    GetClientRect(box(), &client);
    const auto lastCharPos = SendMessageW(box(), EM_POSFROMCHAR, GetWindowTextLengthW(box()) - 1, 0);
    const int lastY = static_cast<short>(HIWORD(lastCharPos));
    EXPECT_GE(lastY, 0);
    EXPECT_LT(lastY, client.bottom);
    EXPECT_GT(lines, 40);

    // One line wider than the box becomes several visual lines, with no line end added.
    SetWindowTextW(box(), L"");
    const TextValue longLine(
        "a line of words that is much wider than the answer box and so must wrap onto the next visual line");
    appendText(controls.answerBox, longLine);
    EXPECT_GT(SendMessageW(box(), EM_GETLINECOUNT, 0, 0), 1);
    EXPECT_EQ(windowText(box()), toWide(longLine));
}

TEST_F(AnswerBoxTest, HoldsMoreThanAnEditBoxsDefaultLimit) {
    const std::string chunk(999, 'x');
    for (int i = 0; i < 40; ++i) appendText(controls.answerBox, TextValue(chunk + "\n"));
    EXPECT_EQ(GetWindowTextLengthW(box()), 40 * 1000);
}

// --- processPendingEvents ---

int countedMessages = 0;
LRESULT CALLBACK countingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) {
        ++countedMessages;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

class PendingEventsTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = countingProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"LuntevaCountingWindow";
        RegisterClassW(&windowClass);
        window = CreateWindowExW(0, L"LuntevaCountingWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
        countedMessages = 0;
    }
    void TearDown() override {
        DestroyWindow(window);
        discardQuitRequest();
    }
    HWND window = nullptr;
};

TEST_F(PendingEventsTest, DispatchesEverythingWaitingAndReturns) {
    for (int i = 0; i < 5; ++i) PostMessageW(window, WM_APP, 0, 0);
    processPendingEvents();
    EXPECT_EQ(countedMessages, 5);
    MSG message;
    EXPECT_FALSE(PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE));
    processPendingEvents();  // nothing waits: returns at once
    EXPECT_EQ(countedMessages, 5);
}

TEST_F(PendingEventsTest, LeavesTheRequestToQuitQueued) {
    PostMessageW(window, WM_APP, 0, 0);
    PostMessageW(window, WM_APP, 0, 0);
    PostQuitMessage(7);
    processPendingEvents();
    processPendingEvents();
    EXPECT_EQ(countedMessages, 2);
    MSG message;
    ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(message.wParam, 7u);
}

TEST_F(PendingEventsTest, RunMessageLoopEndsWhenTheMainWindowIsDestroyed) {
    auto mainWindow = MainWindowWin32::create(GetModuleHandleW(nullptr));
    ASSERT_NE(mainWindow, nullptr);
    PostMessageW(window, WM_APP, 0, 0);
    PostMessageW(mainWindow->window(), WM_CLOSE, 0, 0);
    runMessageLoop();  // returns once WM_DESTROY has posted the request to quit
    EXPECT_FALSE(IsWindow(mainWindow->window()));
    EXPECT_EQ(countedMessages, 1);
    EXPECT_EQ(windowHandle(mainWindow->controls().window), 0u);
}

}  // namespace
}  // namespace lunteva
