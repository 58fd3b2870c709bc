// The in-place listing against a straightforward one built from textBetween
// and allTextsBetween step by step, on tricky and on random pages: the lines
// must be the same, and so must the processing of pending events wherever
// rows do not overlap.
#include <random>
#include <set>
#include <string>
#include <ostream>
#include <vector>

#include <gtest/gtest.h>

#include "CountingWindowSystem.h"
#include "QuizPages.h"
#include "quiz/DailyAnswers.h"
#include "quiz/Extraction.h"

namespace lunteva {
namespace {

using testing::answerLine;
using testing::cell;
using testing::dateCell;
using testing::label;
using testing::Piece;
using testing::questionLine;
using testing::text;

// The lines handed out, with the event passes made before each of them.
struct Trace {
    std::vector<TextValue> lines;
    std::vector<long long> passesBefore;
    long long passes = 0;
    friend bool operator==(const Trace&, const Trace&) = default;
};

TextValue todayCellOf(const DateTime& today) { return dateCell(dateLabel(today)); }
TextValue yesterdayCellOf(const DateTime& today) { return dateCell(dateLabel(addDays(today, -1))); }

// The listing as its steps read: narrow, collect the rows, collect each row's cells.
Trace straightforwardListing(const TextValue& page, const DateTime& today) {
    Trace trace;
    testing::resetPendingEventPasses();
    const auto hand = [&trace](const TextValue& line) {
        trace.lines.push_back(line);
        trace.passesBefore.push_back(testing::pendingEventPasses());
    };
    const TextValue narrowed = textBetween(page, "<tr>", yesterdayCellOf(today));
    TextArray rows;
    allTextsBetween(narrowed, todayCellOf(today), "</tr>", rows);
    TextArray cells;
    const int count = arraySize(rows);
    for (int number = 1; number <= count; ++number) {
        allTextsBetween(rows.member(number), TextValue(CELL_OPEN), "</td>", cells);
        const TextValue none;
        hand(questionLine(number, arraySize(cells) >= 1 ? cells.member(1) : none));
        hand(answerLine(arraySize(cells) >= 2 ? cells.member(2) : none));
    }
    trace.passes = testing::pendingEventPasses();
    return trace;
}

Trace inPlaceListing(const TextValue& page, const DateTime& today) {
    Trace trace;
    testing::resetPendingEventPasses();
    listDailyAnswers(
        page,
        [&trace](const TextValue& line) {
            trace.lines.push_back(line);
            trace.passesBefore.push_back(testing::pendingEventPasses());
        },
        today);
    trace.passes = testing::pendingEventPasses();
    return trace;
}

// Where the rows lie in the narrowed page, and which cell openings (by
// position in it) make a cell of at least one row.
struct Layout {
    int rows = 0;
    bool overlapping = false;
    std::set<int> cellOpenings;
};

Layout layoutOf(const TextValue& page, const DateTime& today) {
    Layout layout;
    const TextValue narrowed = textBetween(page, "<tr>", yesterdayCellOf(today));
    const TextValue todayCell = todayCellOf(today);
    const TextValue open(CELL_OPEN);
    int previousEnd = 0;
    for (int pos = 1;;) {
        const int date = findText(narrowed, todayCell, pos);
        if (date == -1) break;
        pos = date + textLength(todayCell);
        const int end = findText(narrowed, "</tr>", pos);
        if (end == -1) break;
        ++layout.rows;
        if (previousEnd > date) layout.overlapping = true;
        previousEnd = end;
        const TextValue row = textMid(narrowed, pos, end - pos);
        for (int at = 1;;) {
            const int opening = findText(row, open, at);
            if (opening == -1) break;
            at = opening + textLength(open);
            if (findText(row, "</td>", at) == -1) break;
            layout.cellOpenings.insert(pos + opening - 1);
        }
    }
    return layout;
}

void expectSameListing(const TextValue& page, const DateTime& today) {
    const Trace expected = straightforwardListing(page, today);
    const Trace actual = inPlaceListing(page, today);
    const Layout layout = layoutOf(page, today);
    EXPECT_EQ(actual.lines, expected.lines);
    // Three passes per row and per distinct cell.
    EXPECT_EQ(actual.passes, 3LL * (layout.rows + static_cast<long long>(layout.cellOpenings.size())));
    if (!layout.overlapping) {
        EXPECT_EQ(actual, expected);
    }
}

const DateTime SEPTEMBER_1 = dateTimeOf(2026, 9, 1, 23, 0, 0);
const TextValue TODAY = dateCell(label(9, 1));
const TextValue YESTERDAY = dateCell(label(8, 31));

struct TrickyPage {
    const char* name;
    TextValue page;
};

void PrintTo(const TrickyPage& c, std::ostream* os) { *os << c.name; }

class ListingEquivalenceTest : public ::testing::TestWithParam<TrickyPage> {};

TEST_P(ListingEquivalenceTest, SameAsStraightforwardListing) { expectSameListing(GetParam().page, SEPTEMBER_1); }

INSTANTIATE_TEST_SUITE_P(
    Pages, ListingEquivalenceTest,
    ::testing::Values(
        TrickyPage{"WorkedExample", text({"<table><tr><th>h</th></tr><tr>", TODAY, cell("Q1"), cell("A1"),
                                          "</tr><tr>", TODAY, cell("Q2"), cell("A2"), "</tr><tr>", YESTERDAY,
                                          cell("Q0"), cell("A0"), "</tr></table>"})},
        TrickyPage{"OverlappingRows", text({"<tr>", TODAY, cell("Q1"), cell("A1"), TODAY, cell("Q2"), cell("A2"),
                                            TODAY, cell("Q3"), cell("A3"), "</tr>", YESTERDAY})},
        TrickyPage{"NoRowCloseAtAll", text({"<tr>", TODAY, cell("Q1"), cell("A1"), TODAY, cell("Q2"), cell("A2"),
                                            YESTERDAY, "</tr>"})},
        TrickyPage{"LastRowCloseMissing", text({"<tr>", TODAY, cell("Q1"), cell("A1"), "</tr>", TODAY, cell("Q2"),
                                                cell("A2"), YESTERDAY})},
        TrickyPage{"ZeroOneThreeCells", text({"<tr>", TODAY, "</tr><tr>", TODAY, cell("Q"), "</tr><tr>", TODAY,
                                              cell("Q"), cell("A"), cell("C"), "</tr>", YESTERDAY})},
        TrickyPage{"OverlapWithFewCells", text({"<tr>", TODAY, TODAY, cell("Q"), TODAY, "</tr>", YESTERDAY})},
        TrickyPage{"MarkersBehindLeadBytes",
                   text({"<tr>", {0xB0}, TODAY, TODAY, {0xB0}, cell("Q"), cell("A"), {0xB0}, "</tr>",
                         cell(text({{0xB0}})), "x</td></tr>", {0xD4}, YESTERDAY, YESTERDAY})},
        TrickyPage{"RowOpeningBehindLeadByte", text({{0xB0}, "<tr>", TODAY, cell("Q"), cell("A"), "</tr><tr>", TODAY,
                                                     cell("Q2"), cell("A2"), "</tr>", YESTERDAY})},
        TrickyPage{"TodayAfterYesterdaysCell", text({"<tr>", TODAY, cell("Q"), cell("A"), "</tr>", YESTERDAY, TODAY,
                                                     cell("Q9"), cell("A9"), "</tr>"})},
        TrickyPage{"LeadingZeros", text({"<tr>", dateCell(text({"09", {0xD4, 0xC2}, "01", {0xC8, 0xD5}})),
                                         cell("Q"), cell("A"), "</tr>", YESTERDAY})},
        TrickyPage{"NestedOpenings", text({"<tr>", TODAY, CELL_OPEN, CELL_OPEN, CELL_OPEN, "Q</td>", CELL_OPEN,
                                           "A</td></tr>", YESTERDAY})},
        TrickyPage{"OpeningsAboundOneCloseAtEnd",
                   text({"<tr>", TODAY, CELL_OPEN, "a", CELL_OPEN, "b", CELL_OPEN, "c", TODAY, CELL_OPEN, "d",
                         CELL_OPEN, "</td></tr>", YESTERDAY})},
        TrickyPage{"EmptyPage", ""}),
    [](const auto& info) { return info.param.name; });

// Q1 A1 and the second date cell are cells of the first row, which runs on
// over the second; Q2 and A2 are cells of both rows but count once.
TEST(ListingEventsTest, SharedCellsOfOverlappingRowsCountOnce) {
    const TextValue page =
        text({"<tr>", TODAY, cell("Q1"), cell("A1"), TODAY, cell("Q2"), cell("A2"), "</tr>", YESTERDAY});
    EXPECT_EQ(straightforwardListing(page, SEPTEMBER_1).passes, 3 * (2 + 5 + 2));
    const Trace actual = inPlaceListing(page, SEPTEMBER_1);
    EXPECT_EQ(actual.passes, 3 * (2 + 5));
    EXPECT_EQ(actual.passesBefore, (std::vector<long long>{3 * (2 + 5), 3 * (2 + 5), 3 * (2 + 5), 3 * (2 + 5)}));
}

TEST(ListingEventsTest, ThreePassesPerRowAndCellBeforeEachRowsLines) {
    const TextValue page = text({"<tr>", TODAY, cell("Q1"), cell("A1"), cell("C1"), "</tr><tr>", TODAY, cell("Q2"),
                                 cell("A2"), "</tr>", YESTERDAY});
    const Trace actual = inPlaceListing(page, SEPTEMBER_1);
    // Both rows first, then the row's cells before its two lines.
    EXPECT_EQ(actual.passesBefore, (std::vector<long long>{3 * (2 + 3), 3 * (2 + 3), 3 * (2 + 3 + 2),
                                                           3 * (2 + 3 + 2)}));
    EXPECT_EQ(actual, straightforwardListing(page, SEPTEMBER_1));
}

TEST(ListingEventsTest, NoPassesWithoutMatches) {
    EXPECT_EQ(inPlaceListing(text({"<tr>", YESTERDAY, TODAY, cell("Q"), "</tr>"}), SEPTEMBER_1).passes, 0);
}

// Pages made of the pieces that matter, in random order.
TEST(ListingEquivalenceRandomTest, SameAsStraightforwardListing) {
    const std::vector<Piece> pieces = {
        "<tr>", "</tr>", TODAY, TODAY, YESTERDAY, CELL_OPEN, CELL_OPEN, "</td>", "</td>", "Q", "<", "x",
        Piece{0xB0}, Piece{0xD4, 0xC2}, cell("A"), cell("B"), dateCell(label(9, 2)),
        text({"<td style=\"TEXT-ALIGN: center\">9", {0xD4}}), "</t", "d>"};
    std::mt19937 random(20261211);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    const auto some = [&](int most) {
        std::string bytes;
        for (int n = std::uniform_int_distribution<int>(0, most)(random); n > 0; --n) bytes += pieces[pick(random)].bytes;
        return bytes;
    };
    for (int round = 0; round < 3000; ++round) {
        const bool shaped = random() % 5 != 0;
        const TextValue page = shaped ? text({some(3), "<tr>", some(40), YESTERDAY, some(6)}) : text({some(60)});
        SCOPED_TRACE(::testing::Message() << "round " << round);
        expectSameListing(page, SEPTEMBER_1);
        if (::testing::Test::HasFailure()) break;
    }
}

}  // namespace
}  // namespace lunteva
