// lunteva-cli as a user runs it: output byte for byte and every exit code,
// over the local HTTPS server and from files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "support/Process.h"
#include "support/TestServer.h"

namespace lunteva {
namespace {

using testing::ProcessResult;
using testing::runProcess;
using testing::TestServer;

std::string utf8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// The sample page with its date placeholders filled as for 1 March 2024.
std::string samplePageOn1March2024() {
    std::string page = readFile(LUNTEVA_SAMPLE_PAGE);
    replaceAll(page, "{{TODAY}}", utf8(u8"3月1日"));
    replaceAll(page, "{{YESTERDAY}}", utf8(u8"2月29日"));
    replaceAll(page, "{{DAY-2}}", utf8(u8"2月28日"));
    return page;
}

const std::string TODAY_LINES = utf8(
    u8"1、一年之中白天最长的节气是哪一个？\n"
    u8"     答案：夏至\n"
    u8"\n"
    u8"2、地球上面积最大的大洋是哪一个？\n"
    u8"     答案：太平洋\n"
    u8"\n"
    u8"3、标准的围棋棋盘横竖各有多少条线？\n"
    u8"     答案：十九条\n"
    u8"\n");

const std::string YESTERDAY_LINES = utf8(
    u8"1、人体最大的器官是什么？\n"
    u8"     答案：皮肤\n"
    u8"\n"
    u8"2、在一个标准大气压下，纯水的沸点是多少摄氏度？\n"
    u8"     答案：100摄氏度\n"
    u8"\n"
    u8"3、古代四大发明中，用来辨别方向的是哪一项？\n"
    u8"     答案：指南针\n"
    u8"\n");

class ConsoleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = std::filesystem::temp_directory_path() / ("lunteva-cli-test-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder_);
        pageFile_ = (folder_ / "page.html").string();
        std::ofstream(pageFile_, std::ios::binary) << samplePageOn1March2024();
        server_ = std::make_unique<TestServer>(TestServer::Options{LUNTEVA_SAMPLE_PAGE, "2024-03-01"});
    }
    static void TearDownTestSuite() {
        server_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    static ProcessResult cli(std::vector<std::string> arguments, const std::string& input = {}) {
        arguments.insert(arguments.begin(), "lunteva-cli");
        return runProcess(LUNTEVA_CLI, arguments, input);
    }

    static std::string pageUrl() { return server_->url("valid", "/dujia/248082.html"); }

    static std::filesystem::path folder_;
    static std::string pageFile_;
    static std::unique_ptr<TestServer> server_;
};

std::filesystem::path ConsoleTest::folder_;
std::string ConsoleTest::pageFile_;
std::unique_ptr<TestServer> ConsoleTest::server_;

TEST_F(ConsoleTest, PrintsTheDaysLinesFromAFile) {
    struct Case {
        const char* date;
        const std::string& lines;
    } cases[] = {{"2024-03-01", TODAY_LINES}, {"2024-02-29", YESTERDAY_LINES}};
    for (const auto& c : cases) {
        const auto run = cli({"--file", pageFile_, "--date", c.date});
        EXPECT_EQ(run.exitCode, 0) << c.date << ": " << run.err;
        EXPECT_EQ(run.out, c.lines) << c.date;
        EXPECT_EQ(run.err, "") << c.date;
    }
}

TEST_F(ConsoleTest, ReadsThePageFromStandardInput) {
    const auto run = cli({"--date", "2024-03-01", "--file", "-"}, samplePageOn1March2024());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, TODAY_LINES);
}

TEST_F(ConsoleTest, PrintsTheDaysLinesOverHttps) {
    ASSERT_TRUE(server_->ok());
    const auto run = cli({"--url", pageUrl(), "--date", "2024-03-01"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, TODAY_LINES);
    EXPECT_EQ(run.err, "");
}

TEST_F(ConsoleTest, NoRowsForTheDayExitsWithOne) {
    ASSERT_TRUE(server_->ok());
    struct Case {
        std::vector<std::string> arguments;
        std::string input;
    } cases[] = {
        {{"--url", pageUrl(), "--date", "2024-05-01"}, ""},
        {{"--file", pageFile_, "--date", "2024-02-28"}, ""},  // the oldest day has no day before it on the page
        {{"--file", "-", "--date", "2024-03-01"}, ""},        // an empty page
        {{"--file", "-", "--date", "2024-03-01"}, std::string(1, '\0') + samplePageOn1March2024()},
    };
    for (const auto& c : cases) {
        const auto run = cli(c.arguments, c.input);
        EXPECT_EQ(run.exitCode, 1) << c.arguments[1];
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "lunteva-cli: the page holds no questions for " + c.arguments[3] + "\n");
    }
}

TEST_F(ConsoleTest, FailedDownloadExitsWithTwoAndSaysWhy) {
    ASSERT_TRUE(server_->ok());
    struct Case {
        std::string url;
        std::string message;
    } cases[] = {
        {"https://127.0.0.1:" + std::to_string(testing::refusedPort()) + "/dujia/248082.html",
         "no connection or time-out"},
        {server_->url("valid", "/status/404"), "HTTP status 404"},
        {server_->url("valid", "/status/500"), "HTTP status 500"},
    };
    for (const auto& c : cases) {
        const auto run = cli({"--url", c.url, "--date", "2024-03-01"});
        EXPECT_EQ(run.exitCode, 2) << c.url;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "lunteva-cli: download failed: " + c.message + "\n");
    }
}

TEST_F(ConsoleTest, UnreadableFileExitsWithTwo) {
    const std::string missing = (folder_ / "no-such-page.html").string();
    struct Case {
        std::string path;
        std::string message;
    } cases[] = {
        {missing, "lunteva-cli: cannot open '" + missing + "': No such file or directory\n"},
        {folder_.string(), "lunteva-cli: cannot read '" + folder_.string() + "': Is a directory\n"},
    };
    for (const auto& c : cases) {
        const auto run = cli({"--file", c.path});
        EXPECT_EQ(run.exitCode, 2) << c.path;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, c.message);
    }
}

TEST_F(ConsoleTest, UsageErrorsExitWithSixtyFourAndAHint) {
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    } cases[] = {
        {{"--frobnicate"}, "unknown option '--frobnicate'"},
        {{"extra"}, "unknown option 'extra'"},
        {{"--date"}, "option --date needs a value"},
        {{"--file"}, "option --file needs a value"},
        {{"--url", "https://127.0.0.1:1/", "--file", "-"}, "--url and --file exclude each other"},
        {{"--date", "2024-03-01", "--date", "2024-03-02"}, "option --date given twice"},
        {{"--date", "2024-02-30"}, "invalid date '2024-02-30' (expected YYYY-MM-DD)"},
        {{"--date", "2023-02-29"}, "invalid date '2023-02-29' (expected YYYY-MM-DD)"},
        {{"--date", "2024-13-01"}, "invalid date '2024-13-01' (expected YYYY-MM-DD)"},
        {{"--date", "2024-3-1"}, "invalid date '2024-3-1' (expected YYYY-MM-DD)"},
        {{"--date", "2024-03-01x"}, "invalid date '2024-03-01x' (expected YYYY-MM-DD)"},
        {{"--date", "+024-03-01"}, "invalid date '+024-03-01' (expected YYYY-MM-DD)"},
        {{"--date", ""}, "invalid date '' (expected YYYY-MM-DD)"},
    };
    for (const auto& c : cases) {
        const auto run = cli(c.arguments);
        EXPECT_EQ(run.exitCode, 64) << c.message;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "lunteva-cli: " + c.message + "\nTry 'lunteva-cli --help'.\n");
    }
}

TEST_F(ConsoleTest, HelpAndVersion) {
    const auto help = cli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.starts_with("Usage: lunteva-cli [--date YYYY-MM-DD] [--url URL | --file PATH]\n")) << help.out;
    for (const char* option : {"--date", "--url", "--file", "--help", "--version"})
        EXPECT_NE(help.out.find(std::string("  ") + option), std::string::npos) << option;
    const auto version = cli({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, std::string("lunteva-cli ") + LUNTEVA_VERSION_TEXT + "\n");
}

}  // namespace
}  // namespace lunteva
