#include "quiz/Extraction.h"

#include <algorithm>

#include "text/Literals.h"
#include "ui/WindowSystem.h"

namespace lunteva {

namespace {

// Markers given to textBetween may write a double quote as this placeholder.
TextValue withQuotes(const TextValue& marker) {
    return replaceSubtext(marker, gbkLiteral<u8"#引号">(), "\"", std::nullopt, std::nullopt, true);
}

}  // namespace

TextValue textBetween(const TextValue& source, const TextValue& frontMarker, const TextValue& backMarker,
                      int startPosition, bool ignoreCase) {
    const TextValue front = withQuotes(frontMarker);
    const TextValue back = withQuotes(backMarker);
    const int f = findText(source, front, startPosition, ignoreCase);
    if (f == -1) return {};
    const int p = f + textLength(front);
    const int b = findText(source, back, p, ignoreCase);
    if (b == -1) return {};
    return textMid(source, p, b - p);
}

int allTextsBetween(const TextValue& source, const TextValue& frontMarker, const TextValue& backMarker,
                    TextArray& results, bool ignoreCase, int maxLength, const TextValue& prefix,
                    const TextValue& suffix, bool keepFrontMarker, bool keepBackMarker, int startPosition) {
    results.clear();
    if (frontMarker.empty()) return 0;
    int pos = startPosition;
    for (;;) {
        const int f = findText(source, frontMarker, pos, ignoreCase);
        if (f == -1) break;
        pos = f + textLength(frontMarker);
        const int b = findText(source, backMarker, pos, ignoreCase);
        if (b == -1) break;
        const TextValue item = concatText({keepFrontMarker ? frontMarker.view() : std::string_view(), prefix.view(),
                                           textMid(source, pos, b - pos).view(), suffix.view(),
                                           keepBackMarker ? backMarker.view() : std::string_view()});
        if (maxLength == 0 || textLength(item) < maxLength) arrayAppend(results, item);
        for (int pass = 0; pass < 3; ++pass) processPendingEvents();
    }
    return arraySize(results);
}

TextValue textBefore(const TextValue& source, const TextValue& separator, int startPosition, bool ignoreCase) {
    int found;
    if (startPosition >= 0) {
        found = findText(source, separator, startPosition, ignoreCase);
    } else {
        long long k = -static_cast<long long>(startPosition);
        if (k == 1) k = 0;
        // Any start of 1 or less looks at no byte; clamping keeps it in range.
        const long long start = std::max<long long>(textLength(source) - k + 1, 0);
        found = findTextReverse(source, separator, static_cast<int>(start), ignoreCase);
    }
    if (found == -1) return {};
    return textLeft(source, found - 1);
}

}  // namespace lunteva
