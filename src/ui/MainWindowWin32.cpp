// Win32 backend of the main window (see ui/MainWindowWin32.h):
// - the window class, with the button-face background and the program's
//   icon "DEFAULT_ICON" in its large and small sizes;
// - the window and its controls, placed by the layout of ui/MainWindow.h;
// - the window procedure: button clicks to the handlers, the colours of
//   answerBox, the drawing of contactLabel, and the quit request when the
//   window is destroyed;
// - runProgram, the order of start-up and shut-down.
#include "ui/MainWindowWin32.h"

#include <ole2.h>

#include <string>

#include "ui/WideText.h"

namespace lunteva {
namespace {

constexpr COLORREF BLACK = RGB(0, 0, 0);
constexpr COLORREF WHITE = RGB(255, 255, 255);

Control toControl(HWND window) { return Control{reinterpret_cast<std::uintptr_t>(window)}; }

HICON loadProgramIcon(HINSTANCE instance, int widthMetric, int heightMetric) {
    // Shared: the system owns the icon and frees it with the module.
    return static_cast<HICON>(LoadImageW(instance, L"DEFAULT_ICON", IMAGE_ICON, GetSystemMetrics(widthMetric),
                                         GetSystemMetrics(heightMetric), LR_SHARED));
}

bool registerWindowClass(HINSTANCE instance, WNDPROC windowProc) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = loadProgramIcon(instance, SM_CXICON, SM_CYICON);
    windowClass.hIconSm = loadProgramIcon(instance, SM_CXSMICON, SM_CYSMICON);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = MAIN_WINDOW_CLASS;
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HFONT createControlFont(int pixelHeight) {
    // A negative height asks for the character height, without internal leading.
    return CreateFontW(-pixelHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                       toWide(controlFontFace()).c_str());
}

HWND createControl(HWND parent, HINSTANCE instance, const wchar_t* className, const TextValue& text, DWORD style,
                   const ControlPlace& place, int id) {
    return CreateWindowExW(0, className, toWide(text).c_str(), style, place.left, place.top, place.width,
                           place.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                           nullptr);
}

// OLE for the window thread (a single-threaded apartment), released when the
// scope ends if it was taken.
class OleScope {
public:
    OleScope() : initialised_(SUCCEEDED(OleInitialize(nullptr))) {}
    ~OleScope() {
        if (initialised_) OleUninitialize();
    }
    OleScope(const OleScope&) = delete;
    OleScope& operator=(const OleScope&) = delete;

private:
    bool initialised_;
};

}  // namespace

std::unique_ptr<MainWindowWin32> MainWindowWin32::create(HINSTANCE instance) {
    if (!registerWindowClass(instance, &MainWindowWin32::windowProc)) return nullptr;
    auto self = std::make_unique<MainWindowWin32>(Key{});
    // The whole primary screen, taskbar included.
    const int left = centredOrigin(GetSystemMetrics(SM_CXSCREEN), MAIN_WINDOW_WIDTH);
    const int top = centredOrigin(GetSystemMetrics(SM_CYSCREEN), MAIN_WINDOW_HEIGHT);
    // Without WS_VISIBLE: the window stays hidden until the program shows it.
    const HWND window = CreateWindowExW(MAIN_WINDOW_EX_STYLE, MAIN_WINDOW_CLASS, toWide(windowTitle()).c_str(),
                                        MAIN_WINDOW_STYLE, left, top, MAIN_WINDOW_WIDTH, MAIN_WINDOW_HEIGHT,
                                        nullptr, nullptr, instance, self.get());
    if (window == nullptr) return nullptr;
    self->controls_.window = toControl(window);
    if (!self->createControls(instance)) return nullptr;  // the destructor takes the window down
    return self;
}

bool MainWindowWin32::createControls(HINSTANCE instance) {
    answerFont_.reset(createControlFont(ANSWER_BOX_FONT_HEIGHT));
    labelFont_.reset(createControlFont(CONTACT_LABEL_FONT_HEIGHT));
    if (!answerFont_ || !labelFont_) return false;
    const auto guiFont = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    const HWND parent = window();

    // In the layout's order, each without WS_VISIBLE.
    const HWND copyButton = createControl(parent, instance, L"BUTTON", copyContactCaption(), BUTTON_STYLE,
                                          COPY_CONTACT_BUTTON_PLACE, COPY_CONTACT_BUTTON_ID);
    const HWND label =
        createControl(parent, instance, L"STATIC", {}, CONTACT_LABEL_STYLE, CONTACT_LABEL_PLACE, CONTACT_LABEL_ID);
    const HWND feedbackButton = createControl(parent, instance, L"BUTTON", feedbackCaption(), BUTTON_STYLE,
                                              FEEDBACK_BUTTON_PLACE, FEEDBACK_BUTTON_ID);
    const HWND answerBox =
        createControl(parent, instance, L"EDIT", {}, ANSWER_BOX_STYLE, ANSWER_BOX_PLACE, ANSWER_BOX_ID);
    if (!copyButton || !label || !feedbackButton || !answerBox) return false;
    controls_.copyContactButton = toControl(copyButton);
    controls_.contactLabel = toControl(label);
    controls_.feedbackButton = toControl(feedbackButton);
    controls_.answerBox = toControl(answerBox);

    SendMessageW(copyButton, WM_SETFONT, guiFont, FALSE);
    SendMessageW(feedbackButton, WM_SETFONT, guiFont, FALSE);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(labelFont_.get()), FALSE);
    SendMessageW(answerBox, WM_SETFONT, reinterpret_cast<WPARAM>(answerFont_.get()), FALSE);
    // 0 lifts the box's own default limit to the window system's maximum.
    SendMessageW(answerBox, EM_SETLIMITTEXT, 0, 0);

    // All four are visible by the layout: shown now, inside the hidden window.
    for (const HWND control : {copyButton, label, feedbackButton, answerBox}) ShowWindow(control, SW_SHOWNA);
    return true;
}

MainWindowWin32::~MainWindowWin32() {
    // The controls use the fonts until they are gone, so the window goes first.
    const HWND handle = window();
    if (handle != nullptr && IsWindow(handle)) DestroyWindow(handle);
}

LRESULT CALLBACK MainWindowWin32::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* self = reinterpret_cast<MainWindowWin32*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    return self->handleMessage(window, message, wParam, lParam);
}

LRESULT MainWindowWin32::handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED) {
                if (LOWORD(wParam) == FEEDBACK_BUTTON_ID) {
                    onFeedbackClicked(controls_);
                    return 0;
                }
                if (LOWORD(wParam) == COPY_CONTACT_BUTTON_ID) {
                    onCopyContactClicked(controls_);
                    return 0;
                }
            }
            break;
        case WM_CTLCOLORSTATIC:  // what a read-only edit box asks
        case WM_CTLCOLOREDIT:
            if (reinterpret_cast<HWND>(lParam) == reinterpret_cast<HWND>(controls_.answerBox.native)) {
                const auto dc = reinterpret_cast<HDC>(wParam);
                SetTextColor(dc, BLACK);
                SetBkColor(dc, WHITE);
                return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
            }
            break;
        case WM_DRAWITEM:
            if (wParam == CONTACT_LABEL_ID) {
                drawContactLabel(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
                return TRUE;
            }
            break;
        case WM_DESTROY:
            // The program's last window: the message loop ends with exit code 0.
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void MainWindowWin32::drawContactLabel(const DRAWITEMSTRUCT& item) const {
    // Drawn the same whether enabled or not: button face, then black text on
    // one line, left-aligned, centred vertically, clipped at the label's edges.
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    std::wstring caption(static_cast<std::size_t>(GetWindowTextLengthW(item.hwndItem)) + 1, L'\0');
    const int length = GetWindowTextW(item.hwndItem, caption.data(), static_cast<int>(caption.size()));
    if (length <= 0) return;
    const HGDIOBJ previousFont = SelectObject(item.hDC, labelFont_.get());
    SetTextColor(item.hDC, BLACK);
    SetBkMode(item.hDC, TRANSPARENT);
    RECT area = item.rcItem;
    DrawTextW(item.hDC, caption.c_str(), length, &area, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(item.hDC, previousFont);
}

int runProgram(HINSTANCE instance) {
    const OleScope ole;
    const std::unique_ptr<MainWindowWin32> mainWindow = MainWindowWin32::create(instance);
    if (!mainWindow) return 1;
    onCreated(mainWindow->controls());  // the daily flow runs to completion in here
    ShowWindow(mainWindow->window(), SW_SHOWNORMAL);
    SetForegroundWindow(mainWindow->window());
    UpdateWindow(mainWindow->window());
    runMessageLoop();
    return 0;
}

}  // namespace lunteva
