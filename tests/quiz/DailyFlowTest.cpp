// The daily flow over the recording fake HTTP object: one request of the
// quiz page, its body converted and listed, nothing on failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "BuildConfig.h"
#include "FakeHttpObject.h"
#include "quiz/DailyFlow.h"

namespace lunteva {
namespace {

using fake::fakeWorld;

std::string utf8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

// Date cell of a day, in UTF-8 as the page is served.
std::string dateCell(const DateTime& day) {
    return std::string(CELL_OPEN) + std::to_string(monthOf(day)) + utf8(u8"月") + std::to_string(dayOf(day)) +
           utf8(u8"日") + "</td>";
}

std::string cell(const std::string& text) { return std::string(CELL_OPEN) + text + "</td>"; }

// A served page: header row, two rows of day, one of the day before.
std::string pageFor(const DateTime& day, const std::string& question1 = "Q1") {
    return "<table><tr><td>head</td></tr>\n<tr>" + dateCell(day) + cell(question1) + cell("A1") + "</tr>\n<tr>" +
           dateCell(day) + cell("Q2") + cell("A2") + "</tr>\n<tr>" + dateCell(addDays(day, -1)) + cell("old") +
           cell("old") + "</tr></table>";
}

// The lines for the page above, in code page 936: "、" A1 A2, "答案：" B4 F0 B0 B8 A3 BA.
std::vector<std::string> expectedLines(const std::string& question1 = "Q1") {
    const std::string answerOpen = "     \xB4\xF0\xB0\xB8\xA3\xBA";
    return {"1\xA1\xA2" + question1 + "\r\n", answerOpen + "A1\r\n\r\n", "2\xA1\xA2Q2\r\n", answerOpen + "A2\r\n\r\n"};
}

class DailyFlowTest : public ::testing::Test {
protected:
    void SetUp() override { fakeWorld().reset(); }

    AppendOutput collector() {
        return [this](const TextValue& text) { lines_.emplace_back(text.view()); };
    }

    long creations() const {
        return std::count_if(fakeWorld().log.begin(), fakeWorld().log.end(),
                             [](const std::string& line) { return line.starts_with("create("); });
    }

    std::vector<std::string> lines_;
};

TEST_F(DailyFlowTest, FetchesTheQuizPageOnceAndListsToday) {
    fakeWorld().script.responseBody = ByteString(pageFor(currentDateTime()));
    fakeWorld().script.status = 200;
    loadDailyAnswers(collector());

    EXPECT_EQ(lines_, expectedLines());
    EXPECT_EQ(creations(), 1);
    const auto& log = fakeWorld().log;
    const std::string open = "Open(\"GET\", " + fake::quoted(QUIZ_PAGE_URL) + ", false)";
    EXPECT_NE(std::find(log.begin(), log.end(), open), log.end()) << "no " << open;
    EXPECT_NE(std::find(log.begin(), log.end(), "Send(text \"\")"), log.end());
}

TEST_F(DailyFlowTest, NothingWhenThePageCannotBeHad) {
    struct Case {
        const char* what;
        bool failCreation;
        ByteString body;
    } cases[] = {
        {"no object", true, ByteString()},
        {"empty body", false, ByteString()},
        {"first byte zero", false, ByteString(std::string(1, '\0') + pageFor(currentDateTime()))},
        {"no rows", false, ByteString(std::string_view("<html><tr>nothing</tr></html>"))},
    };
    for (const auto& c : cases) {
        fakeWorld().reset();
        fakeWorld().failCreation = c.failCreation;
        fakeWorld().script.responseBody = c.body;
        lines_.clear();
        loadDailyAnswers(collector());
        EXPECT_TRUE(lines_.empty()) << c.what;
        EXPECT_EQ(creations(), 1) << c.what << ": fetched once whatever the outcome";
    }
}

TEST_F(DailyFlowTest, OtherAddressAndDayReportStatusAndCount) {
    const DateTime day = dateTimeOf(2024, 3, 1);
    struct Case {
        double status;
        std::string body;
        int handedOut;
    } cases[] = {
        {200, pageFor(day), 4},
        {404, "<html>not found</html>", 0},
        {200, pageFor(addDays(day, 5)), 0},
        {0, "", 0},
    };
    for (const auto& c : cases) {
        fakeWorld().reset();
        fakeWorld().script.status = c.status;
        fakeWorld().script.responseBody = ByteString(c.body);
        lines_.clear();
        const DailyFlowResult result = loadDailyAnswers("https://127.0.0.1:9/dujia/248082.html", day, collector());
        EXPECT_EQ(result.status, static_cast<int>(c.status));
        EXPECT_EQ(result.textsHandedOut, c.handedOut);
        EXPECT_EQ(static_cast<int>(lines_.size()), c.handedOut);
        const auto& log = fakeWorld().log;
        EXPECT_NE(std::find(log.begin(), log.end(), "Open(\"GET\", \"https://127.0.0.1:9/dujia/248082.html\", false)"),
                  log.end());
    }
}

TEST_F(DailyFlowTest, PageBytesConvertedFromUtf8) {
    const DateTime day = dateTimeOf(2021, 1, 1);  // the day before is 31 December 2020
    struct Case {
        std::string question;  // as served, UTF-8
        std::string expected;  // as listed, 936
    } cases[] = {
        {utf8(u8"答案"), "\xB4\xF0\xB0\xB8"},
        {"<b>Q</b>", "<b>Q</b>"},
        {"\xFF" "x", "?x"},  // not UTF-8
    };
    for (const auto& c : cases) {
        lines_.clear();
        EXPECT_EQ(listPageAnswers(ByteString(pageFor(day, c.question)), day, collector()), 4);
        EXPECT_EQ(lines_, expectedLines(c.expected));
    }
}

}  // namespace
}  // namespace lunteva
