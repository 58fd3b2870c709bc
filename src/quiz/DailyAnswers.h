// The daily quiz answers: today's rows of the quiz page as numbered question
// and answer lines, and the local dates they are chosen by.
#pragma once

#include <chrono>
#include <functional>
#include <string_view>

#include "text/Text.h"

namespace lunteva {

// A local calendar date with a time of day, as the user's clock shows it; no
// time zone is involved.
struct DateTime {
    std::chrono::year_month_day date{};
    std::chrono::seconds timeOfDay{};

    friend bool operator==(const DateTime&, const DateTime&) = default;
};

// The DateTime of a calendar date and a time of day, fields taken as given.
DateTime dateTimeOf(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// The local date and time now, to the second (the C library's local time).
// Should the clock be unreadable, 1 January 1970 at midnight.
DateTime currentDateTime();

// The same time of day days whole calendar days later (earlier when
// negative); 0 returns dateTime unchanged. The date must be a valid one.
DateTime addDays(const DateTime& dateTime, int days);

// The month number, 1 to 12.
int monthOf(const DateTime& dateTime);
// The day of the month, 1 to 31.
int dayOf(const DateTime& dateTime);

// Month, "月", day, "日", numbers without leading zeros: '8月31日', '1月5日'.
TextValue dateLabel(const DateTime& dateTime);

// Opens the date, question and answer cells of the quiz page.
inline constexpr std::string_view CELL_OPEN = "<td style=\"TEXT-ALIGN: center\">";
static_assert(CELL_OPEN.size() == 31);

// Appends one text at the end of an output.
using AppendOutput = std::function<void(const TextValue&)>;

// Lists the questions of the day of the local clock now; see the overload
// below. The clock is read once, so yesterday is always the day before today,
// also when the listing runs across midnight.
void listDailyAnswers(const TextValue& pageText, const AppendOutput& appendOutput);

// Hands out today's questions of the quiz page (code page 936), in page
// order, numbered from 1: for each row, appendOutput(number + "、" + cell 1 +
// "\r\n"), then appendOutput("     答案：" + cell 2 + "\r\n\r\n").
//
// Only the text between the page's first "<tr>" and the first date cell of
// the day before today (CELL_OPEN + dateLabel + "</td>") behind it is read;
// without either nothing is handed out. In it, each date cell of today opens
// a row that runs to the next "</tr>"; rows stop at the first date cell with
// no "</tr>" behind it. Cells are opened by CELL_OPEN and closed by the next
// "</td>" within the row, and the next cell is searched from right behind
// the previous opening (so a cell may contain the next one); cell 1 is the
// question, cell 2 the answer, further cells are ignored. Cell texts are
// copied unchanged. A row with fewer than two such cells is still listed,
// its missing cells as the empty text, so numbers always match rows.
// Every search is case-sensitive and steps by characters.
//
// Time and memory are linear in the page size on any page: rows and cells
// are read in place, never copied, and each stretch of the page is searched a
// bounded number of times, even where rows overlap because "</tr>" is missing.
//
// Pending window events are processed three times after every row found and
// after every cell found in a row, as collecting them with allTextsBetween
// would; where rows overlap, a cell shared by several rows counts once.
void listDailyAnswers(const TextValue& pageText, const AppendOutput& appendOutput, const DateTime& today);

}  // namespace lunteva
