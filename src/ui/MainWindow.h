// The program's one window: its layout, its controls and its three handlers.
//
// The handlers are portable; they work through the operations of
// ui/WindowSystem.h. Each window-system backend builds the window and its
// controls from MAIN_WINDOW_LAYOUT and calls the handlers.
#pragma once

#include "text/Literals.h"
#include "ui/WindowSystem.h"

namespace lunteva {

struct MainWindow {
    Control window;
    Control copyContactButton;
    Control contactLabel;
    Control feedbackButton;
    Control answerBox;
};

inline constexpr int MAIN_WINDOW_WIDTH = 553;  // outer size, frame and title bar included
inline constexpr int MAIN_WINDOW_HEIGHT = 287;

// Where a control stands, in client coordinates of the window.
struct ControlPlace {
    int left, top, width, height;
};

// In the order of creation.
inline constexpr ControlPlace COPY_CONTACT_BUTTON_PLACE{456, 220, 72, 32};
inline constexpr ControlPlace CONTACT_LABEL_PLACE{272, 224, 176, 24};
inline constexpr ControlPlace FEEDBACK_BUTTON_PLACE{193, 220, 72, 32};
inline constexpr ControlPlace ANSWER_BOX_PLACE{8, 8, 512, 208};

inline constexpr int ANSWER_BOX_FONT_HEIGHT = 17;    // pixels
inline constexpr int CONTACT_LABEL_FONT_HEIGHT = 16; // pixels

// Texts of the window, in code page 936.
inline const TextValue& windowTitle() { return gbkLiteral<u8"Lunteva">(); }
inline const TextValue& feedbackCaption() { return gbkLiteral<u8"提意见">(); }
inline const TextValue& copyContactCaption() { return gbkLiteral<u8"复制QQ">(); }
inline const TextValue& contactPrompt() { return gbkLiteral<u8"请加QQ">(); }
inline const TextValue& copiedMessage() { return gbkLiteral<u8"复制QQ成功，请添加">(); }
inline const TextValue& copiedTitle() { return gbkLiteral<u8"复制成功">(); }
inline const TextValue& controlFontFace() { return gbkLiteral<u8"微软雅黑">(); }

// The window's left or top edge centred on a display of the given extent.
constexpr int centredOrigin(int displayExtent, int windowExtent) { return (displayExtent - windowExtent) / 2; }

// Runs once, when the window and all its controls exist and before the
// window is first shown: hides copyContactButton, then runs the daily flow
// into answerBox to completion.
void onCreated(const MainWindow& window);
// Shows "请加QQ" + CONTACT_NUMBER in contactLabel and reveals copyContactButton.
void onFeedbackClicked(const MainWindow& window);
// Puts CONTACT_NUMBER on the clipboard and confirms it in a modal box.
void onCopyContactClicked(const MainWindow& window);

}  // namespace lunteva
