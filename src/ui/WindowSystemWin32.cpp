// Win32 window system: every operation of ui/WindowSystem.h.
//
// - processPendingEvents, runMessageLoop: one dispatch path, with dialog
//   keyboard handling (Tab between the tab stops) for top-level windows.
// - appendText, setCaption, setVisible, windowHandle: on the HWND in Control.
// - setClipboardText: CF_UNICODETEXT, from which Windows makes CF_TEXT for
//   programs that paste ANSI text.
// - showMessageBox: MessageBoxW.
// Only W functions are used; texts cross from 936 to UTF-16 and back here,
// through ui/WideText.h.
#include <windows.h>

#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

#include "ui/WideText.h"
#include "ui/WindowSystem.h"

namespace lunteva {
namespace {

HWND toHwnd(Control control) { return reinterpret_cast<HWND>(control.native); }

// Translates and dispatches one message taken from the queue. Keyboard
// messages for a top-level window go through IsDialogMessageW first, so Tab
// and Shift+Tab move the focus between the controls that are tab stops.
void dispatch(MSG& message) {
    if (message.hwnd != nullptr) {
        const HWND root = GetAncestor(message.hwnd, GA_ROOT);
        if (root != nullptr && IsDialogMessageW(root, &message)) return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

struct WindowDestroyer {
    void operator()(HWND window) const noexcept { DestroyWindow(window); }
};
using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;

// The owner of what the program puts on the clipboard: SetClipboardData
// fails when the clipboard was opened without an owner window. A hidden
// message-only window, made on first use and kept for the life of the process.
HWND clipboardOwner() {
    static const UniqueWindow owner(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                                    GetModuleHandleW(nullptr), nullptr));
    return owner.get();
}

// The clipboard, open for as long as the object lives.
class OpenClipboardScope {
public:
    explicit OpenClipboardScope(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
    ~OpenClipboardScope() {
        if (open_) CloseClipboard();
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
    bool isOpen() const noexcept { return open_; }

private:
    bool open_;
};

// Moveable global memory, freed unless released to the clipboard.
class GlobalMemory {
public:
    explicit GlobalMemory(SIZE_T bytes) : handle_(GlobalAlloc(GMEM_MOVEABLE, bytes)) {}
    ~GlobalMemory() {
        if (handle_ != nullptr) GlobalFree(handle_);
    }
    GlobalMemory(const GlobalMemory&) = delete;
    GlobalMemory& operator=(const GlobalMemory&) = delete;
    HGLOBAL get() const noexcept { return handle_; }
    // Ownership has passed to the system.
    void release() noexcept { handle_ = nullptr; }

private:
    HGLOBAL handle_;
};

}  // namespace

void processPendingEvents() {
    MSG message;
    // Look before taking: a request to quit must stay queued for the loop
    // that owns it.
    while (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
        if (message.message == WM_QUIT) return;
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return;
        if (message.message == WM_QUIT) {  // arrived between the two looks: put it back
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        dispatch(message);
    }
}

void appendText(Control editBox, const TextValue& text) {
    const HWND box = toHwnd(editBox);
    const std::wstring wide = toWide(text);
    if (box == nullptr || wide.empty()) return;
    const int end = GetWindowTextLengthW(box);
    SendMessageW(box, EM_SETSEL, static_cast<WPARAM>(end), static_cast<LPARAM>(end));
    SendMessageW(box, EM_SCROLLCARET, 0, 0);
    // wParam FALSE: the insertion leaves no undo record.
    SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(wide.c_str()));
    SendMessageW(box, EM_SCROLLCARET, 0, 0);
}

void setCaption(Control label, const TextValue& text) {
    const HWND window = toHwnd(label);
    if (window == nullptr) return;
    SetWindowTextW(window, toWide(text).c_str());
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void setVisible(Control control, bool visible) {
    const HWND window = toHwnd(control);
    if (window == nullptr) return;
    ShowWindow(window, visible ? SW_SHOWNA : SW_HIDE);
    if (visible) UpdateWindow(window);  // drawn before returning when its window is on the screen
}

std::uintptr_t windowHandle(Control window) {
    const HWND handle = toHwnd(window);
    return handle != nullptr && IsWindow(handle) ? window.native : 0;
}

bool setClipboardText(const TextValue& text) {
    const std::wstring wide = toWide(text);
    const SIZE_T bytes = (wide.size() + 1) * sizeof(wchar_t);
    GlobalMemory memory(bytes);
    if (memory.get() == nullptr) return false;
    void* target = GlobalLock(memory.get());
    if (target == nullptr) return false;
    std::memcpy(target, wide.c_str(), bytes);
    GlobalUnlock(memory.get());

    const OpenClipboardScope clipboard(clipboardOwner());
    if (!clipboard.isOpen() || !EmptyClipboard()) return false;
    if (SetClipboardData(CF_UNICODETEXT, memory.get()) == nullptr) return false;
    memory.release();
    return true;
}

int showMessageBox(const TextValue& text, int style, const TextValue& title, std::uintptr_t owner) {
    return MessageBoxW(reinterpret_cast<HWND>(owner), toWide(text).c_str(), toWide(title).c_str(),
                       static_cast<UINT>(style));
}

void runMessageLoop() {
    MSG message;
    // GetMessageW answers 0 for WM_QUIT and -1 when it fails.
    while (GetMessageW(&message, nullptr, 0, 0) > 0) dispatch(message);
}

}  // namespace lunteva
