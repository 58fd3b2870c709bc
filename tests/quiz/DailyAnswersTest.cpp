#include "quiz/DailyAnswers.h"

#include <ostream>
#include <vector>

#include <gtest/gtest.h>

#include "QuizPages.h"

namespace lunteva {
namespace {

using namespace std::chrono_literals;
using testing::answerLine;
using testing::cell;
using testing::dateCell;
using testing::label;
using testing::questionLine;
using testing::text;

// --- Dates ---

struct LabelCase {
    const char* name;
    DateTime today;
    TextValue todayLabel;
    TextValue yesterdayLabel;
};

void PrintTo(const LabelCase& c, std::ostream* os) { *os << c.name; }

class DateLabelTest : public ::testing::TestWithParam<LabelCase> {};

TEST_P(DateLabelTest, LabelsTodayAndYesterday) {
    const LabelCase& c = GetParam();
    EXPECT_EQ(dateLabel(c.today), c.todayLabel);
    EXPECT_EQ(dateLabel(addDays(c.today, -1)), c.yesterdayLabel);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DateLabelTest,
    ::testing::Values(LabelCase{"LeapYearMarch", dateTimeOf(2024, 3, 1, 9, 30), label(3, 1), label(2, 29)},
                      LabelCase{"CommonYearMarch", dateTimeOf(2023, 3, 1), label(3, 1), label(2, 28)},
                      LabelCase{"CenturyNotLeap", dateTimeOf(2100, 3, 1), label(3, 1), label(2, 28)},
                      LabelCase{"FourHundredLeap", dateTimeOf(2000, 3, 1), label(3, 1), label(2, 29)},
                      LabelCase{"NewYear", dateTimeOf(2021, 1, 1, 0, 0, 1), label(1, 1), label(12, 31)},
                      LabelCase{"TenthOfOctober", dateTimeOf(2026, 10, 10), label(10, 10), label(10, 9)},
                      LabelCase{"TwoDigitDay", dateTimeOf(2026, 9, 1), label(9, 1), label(8, 31)},
                      LabelCase{"SingleDigits", dateTimeOf(2026, 1, 6), label(1, 6), label(1, 5)},
                      LabelCase{"EndOfYear", dateTimeOf(2026, 12, 31, 23, 59, 59), label(12, 31), label(12, 30)}),
    [](const auto& info) { return info.param.name; });

TEST(DateLabelTest, BytesWithoutLeadingZeros) {
    EXPECT_EQ(dateLabel(dateTimeOf(2026, 8, 31)), text({"8", {0xD4, 0xC2}, "31", {0xC8, 0xD5}}));
    EXPECT_EQ(dateLabel(dateTimeOf(2026, 1, 5)), text({"1", {0xD4, 0xC2}, "5", {0xC8, 0xD5}}));
}

struct AddDaysCase {
    const char* name;
    DateTime from;
    int days;
    DateTime expected;
};

void PrintTo(const AddDaysCase& c, std::ostream* os) { *os << c.name; }

class AddDaysTest : public ::testing::TestWithParam<AddDaysCase> {};

TEST_P(AddDaysTest, MovesWholeDaysKeepingTime) {
    const AddDaysCase& c = GetParam();
    const DateTime moved = addDays(c.from, c.days);
    EXPECT_EQ(moved, c.expected);
    EXPECT_EQ(monthOf(moved), static_cast<int>(static_cast<unsigned>(c.expected.date.month())));
    EXPECT_EQ(dayOf(moved), static_cast<int>(static_cast<unsigned>(c.expected.date.day())));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AddDaysTest,
    ::testing::Values(
        AddDaysCase{"Zero", dateTimeOf(2026, 12, 11, 14, 5, 9), 0, dateTimeOf(2026, 12, 11, 14, 5, 9)},
        AddDaysCase{"BackIntoLeapDay", dateTimeOf(2024, 3, 1, 23, 59, 59), -1, dateTimeOf(2024, 2, 29, 23, 59, 59)},
        AddDaysCase{"BackIntoCommonFebruary", dateTimeOf(2023, 3, 1, 0, 0, 0), -1, dateTimeOf(2023, 2, 28)},
        AddDaysCase{"BackIntoLastYear", dateTimeOf(2021, 1, 1, 12), -1, dateTimeOf(2020, 12, 31, 12)},
        AddDaysCase{"ForwardIntoNewYear", dateTimeOf(2020, 12, 31, 6), 1, dateTimeOf(2021, 1, 1, 6)},
        AddDaysCase{"ForwardOverLeapDay", dateTimeOf(2024, 2, 28), 2, dateTimeOf(2024, 3, 1)},
        AddDaysCase{"BackAWholeLeapYear", dateTimeOf(2025, 1, 1), -366, dateTimeOf(2024, 1, 1)}),
    [](const auto& info) { return info.param.name; });

TEST(DateTimeTest, FieldsOfADate) {
    const DateTime d = dateTimeOf(2026, 10, 9, 8, 7, 6);
    EXPECT_EQ(monthOf(d), 10);
    EXPECT_EQ(dayOf(d), 9);
    EXPECT_EQ(d.timeOfDay, 8h + 7min + 6s);
}

TEST(DateTimeTest, NowIsAValidLocalDateAndTime) {
    const DateTime now = currentDateTime();
    EXPECT_TRUE(now.date.ok());
    EXPECT_GE(now.timeOfDay, 0s);
    EXPECT_LT(now.timeOfDay, 24h);
    EXPECT_GE(static_cast<int>(now.date.year()), 2024);
}

// --- Listing ---

std::vector<TextValue> listed(const TextValue& page, const DateTime& today) {
    std::vector<TextValue> lines;
    listDailyAnswers(page, [&lines](const TextValue& line) { lines.push_back(line); }, today);
    return lines;
}

const DateTime SEPTEMBER_1 = dateTimeOf(2026, 9, 1, 8, 0, 0);
const TextValue TODAY = dateCell(label(9, 1));
const TextValue YESTERDAY = dateCell(label(8, 31));

// The worked example: a header row, two rows of today, then yesterday's.
TextValue workedExample() {
    return text({"<html><table><tr><th>date</th><th>question</th></tr>\r\n",
                 "<tr>", TODAY, cell("Q1"), cell("A1"), "</tr>\r\n",
                 "<tr>", TODAY, cell("Q2"), cell("A2"), "</tr>\r\n",
                 "<tr>", YESTERDAY, cell("Q0"), cell("A0"), "</tr></table></html>"});
}

TEST(ListDailyAnswersTest, WorkedExample) {
    EXPECT_EQ(listed(workedExample(), SEPTEMBER_1),
              (std::vector<TextValue>{questionLine(1, "Q1"), answerLine("A1"), questionLine(2, "Q2"), answerLine("A2")}));
}

TEST(ListDailyAnswersTest, WorkedExampleLineBytes) {
    const std::vector<TextValue> lines = listed(workedExample(), SEPTEMBER_1);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], text({"1", {0xA1, 0xA2}, "Q1", {0x0D, 0x0A}}));
    EXPECT_EQ(lines[1], text({{0x20, 0x20, 0x20, 0x20, 0x20, 0xB4, 0xF0, 0xB0, 0xB8, 0xA3, 0xBA}, "A1",
                              {0x0D, 0x0A, 0x0D, 0x0A}}));
}

TEST(ListDailyAnswersTest, TheClockPicksTheDay) {
    const DateTime now = currentDateTime();
    const TextValue page = text({"<tr>", dateCell(dateLabel(now)), cell("Q"), cell("A"), "</tr>",
                                 dateCell(dateLabel(addDays(now, -1)))});
    std::vector<TextValue> lines;
    listDailyAnswers(page, [&lines](const TextValue& line) { lines.push_back(line); });
    // Around midnight the clock may move on between the two readings.
    if (dateLabel(currentDateTime()) == dateLabel(now)) {
        EXPECT_EQ(lines, (std::vector<TextValue>{questionLine(1, "Q"), answerLine("A")}));
    }
}

struct PageCase {
    const char* name;
    TextValue page;
    std::vector<TextValue> expected;
};

void PrintTo(const PageCase& c, std::ostream* os) { *os << c.name; }

class ListDailyAnswersPageTest : public ::testing::TestWithParam<PageCase> {};

TEST_P(ListDailyAnswersPageTest, HandsOut) {
    const PageCase& c = GetParam();
    EXPECT_EQ(listed(c.page, SEPTEMBER_1), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ListDailyAnswersPageTest,
    ::testing::Values(
        PageCase{"EmptyPage", "", {}},
        PageCase{"NoRowOpening", text({TODAY, cell("Q"), cell("A"), "</tr>", YESTERDAY}), {}},
        PageCase{"RowOpeningInUpperCase", text({"<TR>", TODAY, cell("Q"), cell("A"), "</tr>", YESTERDAY}), {}},
        PageCase{"NoYesterday", text({"<tr>", TODAY, cell("Q"), cell("A"), "</tr>"}), {}},
        PageCase{"YesterdayOnlyBeforeFirstRowOpening",
                 text({YESTERDAY, "<tr>", TODAY, cell("Q"), cell("A"), "</tr>"}), {}},
        PageCase{"TodayAfterYesterdayNotShown",
                 text({"<tr>", TODAY, cell("Q1"), cell("A1"), "</tr><tr>", YESTERDAY, cell("Q0"), cell("A0"),
                       "</tr><tr>", TODAY, cell("Q9"), cell("A9"), "</tr>"}),
                 {questionLine(1, "Q1"), answerLine("A1")}},
        PageCase{"LeadingZerosMatchNothing",
                 text({"<tr>", dateCell(text({"09", {0xD4, 0xC2}, "01", {0xC8, 0xD5}})), cell("Q"), cell("A"),
                       "</tr>", YESTERDAY}),
                 {}},
        PageCase{"OtherCellStyleIsNoDateCell",
                 text({"<tr><td style=\"text-align: center\">", label(9, 1), "</td>", cell("Q"), cell("A"), "</tr>",
                       YESTERDAY}),
                 {}},
        PageCase{"OnlyBehindFirstRowOpening",
                 text({TODAY, cell("X"), cell("Y"), "</tr><tr><th>date</th></tr><tr>", TODAY, cell("Q"), cell("A"),
                       "</tr>", YESTERDAY}),
                 {questionLine(1, "Q"), answerLine("A")}},
        PageCase{"MarkupKept",
                 text({"<tr>", TODAY, cell("<b>Q</b>&nbsp; "), cell(" <i>A</i>\r\n"), "</tr>", YESTERDAY}),
                 {questionLine(1, "<b>Q</b>&nbsp; "), answerLine(" <i>A</i>\r\n")}},
        PageCase{"ThirdCellIgnored",
                 text({"<tr>", TODAY, cell("Q"), cell("A"), cell("note"), "</tr>", YESTERDAY}),
                 {questionLine(1, "Q"), answerLine("A")}},
        PageCase{"OtherCellsNotSeen",
                 text({"<tr>", TODAY, "<td>x</td>", cell("Q"), "<td class=\"a\">y</td>", cell("A"), "</tr>",
                       YESTERDAY}),
                 {questionLine(1, "Q"), answerLine("A")}},
        // A row with fewer than two cells is listed with the missing ones empty.
        PageCase{"RowWithOneCell",
                 text({"<tr>", TODAY, cell("Q"), "</tr><tr>", TODAY, cell("Q2"), cell("A2"), "</tr>", YESTERDAY}),
                 {questionLine(1, "Q"), answerLine(""), questionLine(2, "Q2"), answerLine("A2")}},
        PageCase{"RowWithoutCells", text({"<tr>", TODAY, "</tr>", YESTERDAY}), {questionLine(1, ""), answerLine("")}},
        PageCase{"CellNotClosedInRow",
                 text({"<tr>", TODAY, cell("Q"), CELL_OPEN, "A</tr>x</td>", YESTERDAY}),
                 {questionLine(1, "Q"), answerLine("")}},
        PageCase{"CellContainsNextCell",
                 text({"<tr>", TODAY, CELL_OPEN, "Q", CELL_OPEN, "A</td></tr>", YESTERDAY}),
                 {questionLine(1, text({"Q", CELL_OPEN, "A"})), answerLine("A")}},
        PageCase{"RowWithoutRowCloseEndsRows",
                 text({"<tr>", TODAY, cell("Q1"), cell("A1"), "</tr><tr>", TODAY, cell("Q2"), cell("A2"), YESTERDAY}),
                 {questionLine(1, "Q1"), answerLine("A1")}},
        // Without "</tr>" between them, the first row runs on over the second.
        PageCase{"OverlappingRows",
                 text({"<tr>", TODAY, cell("Q1"), cell("A1"), "<tr>", TODAY, cell("Q2"), cell("A2"), "</tr>",
                       YESTERDAY}),
                 {questionLine(1, "Q1"), answerLine("A1"), questionLine(2, "Q2"), answerLine("A2")}},
        PageCase{"OverlappingRowsWithOneCell",
                 text({"<tr>", TODAY, cell("Q1"), "<tr>", TODAY, cell("Q2"), cell("A2"), "</tr>", YESTERDAY}),
                 {questionLine(1, "Q1"), answerLine(label(9, 1)), questionLine(2, "Q2"), answerLine("A2")}},
        // B0 3C is one character: the '<' behind a lead byte opens nothing.
        PageCase{"OpeningBehindLeadByte",
                 text({"<tr>", TODAY, {0xB0}, cell("Q"), cell("A"), cell("B"), "</tr>", YESTERDAY}),
                 {questionLine(1, "A"), answerLine("B")}},
        PageCase{"DateCellBehindLeadByte",
                 text({"<tr>", {0xB0}, TODAY, cell("Q"), cell("A"), "</tr>", YESTERDAY}), {}},
        PageCase{"RowCloseBehindLeadByte",
                 text({"<tr>", TODAY, cell("Q"), cell("A"), {0xB0}, "</tr>x</tr>", YESTERDAY}),
                 {questionLine(1, "Q"), answerLine("A")}},
        PageCase{"YesterdayBehindLeadByte",
                 text({"<tr>", TODAY, cell("Q"), cell("A"), "</tr>", {0xB0}, YESTERDAY}), {}},
        // The closing behind a lead byte is no closing: the cell runs on.
        PageCase{"TwoByteTextInCells",
                 text({"<tr>", TODAY, cell(text({{0xCE, 0xCA, 0xCC, 0xE2}})), CELL_OPEN, {0xB4, 0xF0, 0xB0},
                       "</td>x</td></tr>", YESTERDAY}),
                 {questionLine(1, text({{0xCE, 0xCA, 0xCC, 0xE2}})),
                  answerLine(text({{0xB4, 0xF0, 0xB0}, "</td>x"}))}}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace lunteva
