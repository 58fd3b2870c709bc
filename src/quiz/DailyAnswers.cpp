#include "quiz/DailyAnswers.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <utility>
#include <vector>

#include "text/Literals.h"
#include "ui/WindowSystem.h"

namespace lunteva {

DateTime dateTimeOf(int year, int month, int day, int hour, int minute, int second) {
    using namespace std::chrono;
    return {year_month_day{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                           std::chrono::day{static_cast<unsigned>(day)}},
            hours{hour} + minutes{minute} + seconds{second}};
}

DateTime currentDateTime() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    // Single-threaded program: the C library's shared result is copied at once.
    const std::tm* local = std::localtime(&now);
    if (local == nullptr) return dateTimeOf(1970, 1, 1);
    return dateTimeOf(local->tm_year + 1900, local->tm_mon + 1, local->tm_mday, local->tm_hour, local->tm_min,
                      std::min(local->tm_sec, 59));
}

DateTime addDays(const DateTime& dateTime, int days) {
    if (days == 0) return dateTime;
    const std::chrono::sys_days moved = std::chrono::sys_days{dateTime.date} + std::chrono::days{days};
    return {std::chrono::year_month_day{moved}, dateTime.timeOfDay};
}

int monthOf(const DateTime& dateTime) { return static_cast<int>(static_cast<unsigned>(dateTime.date.month())); }

int dayOf(const DateTime& dateTime) { return static_cast<int>(static_cast<unsigned>(dateTime.date.day())); }

TextValue dateLabel(const DateTime& dateTime) {
    return concatText({toText(monthOf(dateTime)).view(), gbkLiteral<u8"月">().view(), toText(dayOf(dateTime)).view(),
                       gbkLiteral<u8"日">().view()});
}

void listDailyAnswers(const TextValue& pageText, const AppendOutput& appendOutput) {
    listDailyAnswers(pageText, appendOutput, currentDateTime());
}

namespace {

// Linear listing.
//
// Collecting rows and cells as texts would copy every row, and rows overlap
// when "</tr>" is missing: N date cells of today before one "</tr>" give N
// rows sharing the page's tail, N copies of it and N scans of it for cells.
// Instead the page is read in place: rows and cells are byte ranges of the
// narrowed page, and every search goes through a Finder, which remembers its
// last answer. The searches of the listing come in non-decreasing order of
// start for each Finder (see listDailyAnswers below), so each Finder reads
// every stretch of the page once, and the whole listing costs a few passes
// over the page, however the rows overlap.

using Pos = std::size_t;
constexpr Pos NONE = std::string_view::npos;

constexpr std::string_view ROW_OPEN = "<tr>";
constexpr std::string_view ROW_CLOSE = "</tr>";
constexpr std::string_view CELL_CLOSE = "</td>";

// The first position at or after from where sub lies wholly inside text,
// stepping by characters from from, which is taken as a character boundary
// (findText's rule); NONE if there is none. sub is not empty.
Pos findFrom(std::string_view text, std::string_view sub, Pos from) noexcept {
    if (from >= text.size() || sub.size() > text.size()) return NONE;
    const Pos last = text.size() - sub.size();
    const char first = sub.front();
    constexpr std::uint64_t ONES = 0x0101010101010101u;
    constexpr std::uint64_t HIGHS = 0x8080808080808080u;
    const std::uint64_t firsts = ONES * static_cast<unsigned char>(first);
    for (Pos i = from; i <= last;) {
        // Eight one-byte characters (no byte of 0x80 or above) without the
        // marker's first byte hold no match and end on a boundary.
        if (i + 8 <= text.size()) {
            std::uint64_t word;
            std::memcpy(&word, text.data() + i, 8);
            const std::uint64_t probe = word ^ firsts;
            if ((word & HIGHS) == 0 && ((probe - ONES) & ~probe & HIGHS) == 0) {
                i += 8;
                continue;
            }
        }
        if (text[i] == first && std::memcmp(text.data() + i, sub.data(), sub.size()) == 0) return i;
        i += static_cast<unsigned char>(text[i]) >= 0x80 ? 2 : 1;
    }
    return NONE;
}

// findFrom over one text and marker, remembering its last answer: when a
// search starts between the previous start and the previous answer, that
// answer stands, since nothing was found before it. Valid because all starts
// given to one Finder lie on the same character boundaries: each is a match
// position, or a match position plus the length of a marker made of whole
// characters.
class Finder {
public:
    Finder(std::string_view text, std::string_view sub) noexcept : text_(text), sub_(sub) {}

    Pos next(Pos from) noexcept {
        if (!(known_ && from >= from_ && from <= at_)) {
            from_ = from;
            at_ = findFrom(text_, sub_, from);
            known_ = true;
        }
        return at_;
    }

private:
    std::string_view text_;
    std::string_view sub_;
    bool known_ = false;
    Pos from_ = 0;
    Pos at_ = NONE;
};

// Lets the window keep responding, as collecting one match does.
void afterMatch() {
    for (int pass = 0; pass < 3; ++pass) processPendingEvents();
}

// The cell opening cannot overlap itself (its only '<' is its first byte), so
// searching again from right behind one opening visits every later opening.
static_assert(CELL_OPEN.find('<', 1) == std::string_view::npos);

}  // namespace

void listDailyAnswers(const TextValue& pageText, const AppendOutput& appendOutput, const DateTime& today) {
    const TextValue todayCell = concatText({CELL_OPEN, dateLabel(today).view(), CELL_CLOSE});
    const TextValue yesterdayCell = concatText({CELL_OPEN, dateLabel(addDays(today, -1)).view(), CELL_CLOSE});

    // Narrowing: from right behind the first "<tr>" up to the first date cell
    // of yesterday behind it.
    const std::string_view page = pageText.view();
    // Texts hold at most 2^31 - 1 bytes, so row bounds fit 32 bits.
    if (page.size() > static_cast<Pos>(INT32_MAX)) return;
    const Pos first = findFrom(page, ROW_OPEN, 0);
    if (first == NONE) return;
    const Pos from = first + ROW_OPEN.size();
    const Pos to = findFrom(page, yesterdayCell.view(), from);
    if (to == NONE) return;
    const std::string_view area = page.substr(from, to - from);

    // Rows: each date cell of today up to the next "</tr>", searching on right
    // behind the date cell. The date cell is made of whole characters (digits,
    // 月 and 日), so row starts stay on the character boundaries of the area.
    struct Row {
        std::uint32_t begin;
        std::uint32_t end;
    };
    std::vector<Row> rows;
    {
        Finder dates(area, todayCell.view());
        Finder rowEnds(area, ROW_CLOSE);
        for (Pos pos = 0;;) {
            const Pos date = dates.next(pos);
            if (date == NONE) break;
            pos = date + todayCell.view().size();
            const Pos end = rowEnds.next(pos);
            if (end == NONE) break;
            rows.push_back({static_cast<std::uint32_t>(pos), static_cast<std::uint32_t>(end)});
            afterMatch();
        }
    }

    // Cells. A cell of a row [begin, end) opens at an opening o with
    // o + 31 <= end and closes at the first "</td>" from o + 31, which must end
    // by end; the row's cells are its openings from begin on, up to the first
    // one that fails. Row starts grow and row ends never shrink, so that
    // failing opening never moves back from row to row.
    //
    // Searches, in order of start, for each Finder:
    // - opens: row begin, then opening 1 + 31. Opening 1 of a row lies at or
    //   before the next row's date cell, itself an opening, so opening 1 + 31
    //   is at most the next row's begin.
    // - closes: opening 1 + 31, opening 2 + 31; opening 2 of a row is at most
    //   opening 1 of the next row.
    // - countOpens, countCloses: the openings counted for the events, walked
    //   forward from where the previous row's walk stopped.
    Finder opens(area, CELL_OPEN);
    Finder closes(area, CELL_CLOSE);
    Finder countOpens(area, CELL_OPEN);
    Finder countCloses(area, CELL_CLOSE);
    // The row's cell from an opening, or NONE when the opening does not make one.
    const auto cellEnd = [](Finder& closeFinder, Pos opening, Pos rowEnd) -> Pos {
        if (opening == NONE || opening + CELL_OPEN.size() > rowEnd) return NONE;
        const Pos close = closeFinder.next(opening + CELL_OPEN.size());
        if (close == NONE || close + CELL_CLOSE.size() > rowEnd) return NONE;
        return close;
    };
    // Events. Collecting each row's cells with allTextsBetween gives every
    // cell of every row a round of events, so a cell shared by k overlapping
    // rows gets k rounds: quadratic many on a page without "</tr>". Here each
    // opening gets its round once, in the first row where it makes a cell:
    // at most one round per row and per opening of the page in all, and one
    // round per cell, exactly as collecting them, where rows do not overlap.
    // A row's cells are its openings from its begin up to the first that
    // fails, and rows only move forward, so the openings of a row before
    // walked (where the previous walk stopped) already had their round, and
    // the walk goes on from there.
    Pos walked = 0;
    int number = 0;
    for (const Row& row : rows) {
        ++number;
        Pos opening = countOpens.next(std::max<Pos>(row.begin, walked));
        while (cellEnd(countCloses, opening, row.end) != NONE) {
            afterMatch();
            opening = countOpens.next(opening + CELL_OPEN.size());
        }
        walked = opening;

        std::string_view question;
        std::string_view answer;
        const Pos opening1 = opens.next(row.begin);
        const Pos end1 = cellEnd(closes, opening1, row.end);
        if (end1 != NONE) {
            const Pos begin1 = opening1 + CELL_OPEN.size();
            question = area.substr(begin1, end1 - begin1);
            const Pos opening2 = opens.next(begin1);
            const Pos end2 = cellEnd(closes, opening2, row.end);
            if (end2 != NONE) {
                const Pos begin2 = opening2 + CELL_OPEN.size();
                answer = area.substr(begin2, end2 - begin2);
            }
        }
        appendOutput(concatText({toText(number).view(), gbkLiteral<u8"、">().view(), question, "\r\n"}));
        appendOutput(concatText({gbkLiteral<u8"     答案：">().view(), answer, "\r\n\r\n"}));
    }
}

}  // namespace lunteva
