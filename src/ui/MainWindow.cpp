#include "ui/MainWindow.h"

#include "BuildConfig.h"
#include "quiz/DailyFlow.h"

namespace lunteva {

void onCreated(const MainWindow& window) {
    setVisible(window.copyContactButton, false);
    loadDailyAnswers([&window](const TextValue& line) { appendText(window.answerBox, line); });
}

void onFeedbackClicked(const MainWindow& window) {
    setCaption(window.contactLabel, concatText(contactPrompt(), TextValue(CONTACT_NUMBER)));
    setVisible(window.contactLabel, true);
    setVisible(window.copyContactButton, true);
}

void onCopyContactClicked(const MainWindow& window) {
    // The box is shown whether or not the clipboard took the number: the user
    // can still read it in the label and type it.
    setClipboardText(TextValue(CONTACT_NUMBER));
    showMessageBox(copiedMessage(), 0, copiedTitle(), windowHandle(window.window));
}

}  // namespace lunteva
