// Quiz page pieces for tests and benchmarks, in code page 936 bytes.
#pragma once

#include <string>

#include "TestBytes.h"
#include "quiz/DailyAnswers.h"

namespace lunteva::testing {

// 月 and 日 in code page 936.
inline const Piece MONTH{0xD4, 0xC2};
inline const Piece DAY{0xC8, 0xD5};

// The label of a month and day, written out byte by byte.
inline TextValue label(int month, int day) {
    return text({std::to_string(month), MONTH, std::to_string(day), DAY});
}

inline TextValue dateCell(const TextValue& dateLabel) { return text({CELL_OPEN, dateLabel, "</td>"}); }

inline TextValue cell(const TextValue& content) { return text({CELL_OPEN, content, "</td>"}); }

// The two lines handed out for a question.
inline TextValue questionLine(int number, const TextValue& question) {
    return text({std::to_string(number), {0xA1, 0xA2}, question, "\r\n"});
}
inline TextValue answerLine(const TextValue& answer) {
    return text({"     ", {0xB4, 0xF0, 0xB0, 0xB8, 0xA3, 0xBA}, answer, "\r\n\r\n"});
}

}  // namespace lunteva::testing
