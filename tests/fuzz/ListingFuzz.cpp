// Fuzzes the day's listing on arbitrary page bytes, the way the daily flow
// feeds it: body bytes to text, UTF-8 to code page 936, then the listing for
// a fixed day. The first input byte picks the day; the rest is the body.
//
// The listing reads rows and cells in place; its output must equal that of
// the plain composition of the extraction routines (narrow with textBetween,
// rows and cells with allTextsBetween), which is cheap enough on inputs of a
// few KiB.
#include <iconv.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "quiz/DailyAnswers.h"
#include "quiz/Extraction.h"
#include "text/Conversion.h"
#include "text/Literals.h"

using namespace lunteva;
using lunteva::fuzz::checkTextValue;

namespace {

// Today's date for the run: around the turns of month and year, in leap and
// common years, and a day with two-digit month and day.
const std::array<DateTime, 5> DAYS = {
    dateTimeOf(2026, 12, 11, 9, 30), dateTimeOf(2024, 3, 1), dateTimeOf(2023, 3, 1),
    dateTimeOf(2021, 1, 1, 23, 59, 59), dateTimeOf(2026, 10, 10),
};

TextValue dateCell(const DateTime& day) {
    return concatText(TextValue(CELL_OPEN), dateLabel(day), TextValue("</td>"));
}

std::vector<TextValue> composedListing(const TextValue& page, const DateTime& today) {
    const TextValue narrowed = textBetween(page, "<tr>", dateCell(addDays(today, -1)));
    TextArray rows;
    allTextsBetween(narrowed, dateCell(today), "</tr>", rows);
    std::vector<TextValue> out;
    int number = 1;
    for (const TextValue& row : rows) {
        TextArray cells;
        allTextsBetween(row, TextValue(CELL_OPEN), "</td>", cells);
        out.push_back(concatText(toText(number), gbkLiteral<u8"、">(), cells.member(1), TextValue("\r\n")));
        out.push_back(concatText(gbkLiteral<u8"     答案：">(), cells.member(2), TextValue("\r\n\r\n")));
        ++number;
    }
    return out;
}

}  // namespace

// The code-page layer opens a converter per call; holding one of each kind
// open keeps glibc from loading and unloading its modules on every input.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static const iconv_t keepUtf8 = iconv_open("UTF-16LE", "UTF-8");
    static const iconv_t keepGbk = iconv_open("CP936", "UTF-16LE");
    (void)keepUtf8;
    (void)keepGbk;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const DateTime& today = DAYS[data[0] % DAYS.size()];
    const ByteString body(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));

    const TextValue pageText = utf8ToGbk(toText(body));
    checkTextValue(pageText);

    std::vector<TextValue> lines;
    listDailyAnswers(pageText, [&lines](const TextValue& line) { lines.push_back(line); }, today);

    LUNTEVA_FUZZ_CHECK(lines.size() % 2 == 0);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        checkTextValue(lines[i]);
        LUNTEVA_FUZZ_CHECK(lines[i].length() <= pageText.length() + 16);
    }
    LUNTEVA_FUZZ_CHECK(lines == composedListing(pageText, today));
    return 0;
}
