// lunteva-cli: the console companion of the program. It runs the daily flow
// and prints the lines that the window would show, as UTF-8 (on POSIX with
// LF line ends), and reports through its exit code what it found.
//
// Exit codes: 0 questions printed; 1 the page was read but holds no rows for
// the day; 2 the page could not be had (download failed, or the file could
// not be read); 64 a usage error (unknown option, missing or bad argument);
// 74 the output could not be written.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "BuildConfig.h"
#include "quiz/DailyFlow.h"
#include "text/Text.h"
#include "ui/ConsoleOutput.h"

namespace lunteva {
namespace {

constexpr int EXIT_PRINTED = 0;
constexpr int EXIT_NO_ROWS = 1;
constexpr int EXIT_NO_PAGE = 2;
constexpr int EXIT_USAGE = 64;
constexpr int EXIT_OUTPUT_FAILED = 74;

constexpr std::string_view PROGRAM = "lunteva-cli";

constexpr std::string_view HELP =
    "Usage: lunteva-cli [--date YYYY-MM-DD] [--url URL | --file PATH]\n"
    "Prints the day's quiz questions and answers, as the Lunteva window lists them.\n"
    "\n"
    "  --date YYYY-MM-DD  the day to list (default: today, by the local clock)\n"
    "  --url URL          fetch the page from URL (default: the built-in quiz page)\n"
    "  --file PATH        read a saved page (UTF-8, as served); '-' reads standard input\n"
    "  --help             show this help and exit\n"
    "  --version          show the version and exit\n"
    "\n"
    "Exit status: 0 questions printed; 1 no questions for the day on the page;\n"
    "2 the page could not be had; 64 usage error.\n";

void printError(std::string_view message) {
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(PROGRAM.size()), PROGRAM.data(),
                 static_cast<int>(message.size()), message.data());
}

int usageError(std::string_view message) {
    printError(message);
    std::fprintf(stderr, "Try '%.*s --help'.\n", static_cast<int>(PROGRAM.size()), PROGRAM.data());
    return EXIT_USAGE;
}

// "YYYY-MM-DD" with a real calendar date; nothing else.
std::optional<DateTime> parseDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    int fields[3] = {0, 0, 0};
    const std::size_t starts[3] = {0, 5, 8}, lengths[3] = {4, 2, 2};
    for (int f = 0; f < 3; ++f) {
        for (std::size_t i = starts[f]; i < starts[f] + lengths[f]; ++i) {
            if (text[i] < '0' || text[i] > '9') return std::nullopt;
            fields[f] = fields[f] * 10 + (text[i] - '0');
        }
    }
    const DateTime day = dateTimeOf(fields[0], fields[1], fields[2]);
    if (!day.date.ok() || fields[0] < 1) return std::nullopt;
    return day;
}

// The whole content of a file ('-': standard input), or the reason it could not be read.
struct FileContent {
    std::string bytes;
    std::string error;  // empty when read
};

FileContent readPage(const std::string& path) {
    FileContent content;
    std::FILE* file = nullptr;
    if (path == "-") {
        useBinaryStandardInput();
        file = stdin;
    } else {
        file = std::fopen(path.c_str(), "rb");
        if (file == nullptr) {
            content.error = "cannot open '" + path + "': " + std::strerror(errno);
            return content;
        }
    }
    char buffer[65536];
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file);
        content.bytes.append(buffer, got);
        if (got < sizeof buffer) break;
    }
    if (std::ferror(file)) {
        content.error = "cannot read '" + path + "': " + std::strerror(errno);
        content.bytes.clear();
    }
    if (file != stdin) std::fclose(file);
    return content;
}

struct Arguments {
    std::optional<std::string> date;
    std::optional<std::string> url;
    std::optional<std::string> file;
    bool help = false;
    bool version = false;
};

// Parses argv into arguments; on a usage error returns its message.
std::optional<std::string> parseArguments(int argc, char** argv, Arguments& arguments) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        std::optional<std::string>* target = nullptr;
        if (arg == "--help" || arg == "-h") {
            arguments.help = true;
            continue;
        }
        if (arg == "--version") {
            arguments.version = true;
            continue;
        }
        if (arg == "--date") target = &arguments.date;
        if (arg == "--url") target = &arguments.url;
        if (arg == "--file") target = &arguments.file;
        if (target == nullptr) return "unknown option '" + std::string(arg) + "'";
        if (i + 1 >= argc) return "option " + std::string(arg) + " needs a value";
        if (target->has_value()) return "option " + std::string(arg) + " given twice";
        *target = std::string(argv[++i]);
    }
    if (arguments.url && arguments.file) return "--url and --file exclude each other";
    return std::nullopt;
}

int run(int argc, char** argv) {
    Arguments arguments;
    if (const auto error = parseArguments(argc, argv, arguments)) return usageError(*error);
    if (arguments.help) {
        std::fwrite(HELP.data(), 1, HELP.size(), stdout);
        return EXIT_PRINTED;
    }
    if (arguments.version) {
        std::printf("%.*s %.*s\n", static_cast<int>(PROGRAM.size()), PROGRAM.data(),
                    static_cast<int>(LUNTEVA_VERSION.size()), LUNTEVA_VERSION.data());
        return EXIT_PRINTED;
    }
    DateTime day = currentDateTime();
    if (arguments.date) {
        const auto parsed = parseDate(*arguments.date);
        if (!parsed) return usageError("invalid date '" + *arguments.date + "' (expected YYYY-MM-DD)");
        day = *parsed;
    }

    std::string lines;  // 936, as the window would get them
    const AppendOutput append = [&lines](const TextValue& text) { lines.append(text.view()); };
    int handedOut = 0;
    if (arguments.file) {
        FileContent page = readPage(*arguments.file);
        if (!page.error.empty()) {
            printError(page.error);
            return EXIT_NO_PAGE;
        }
        handedOut = listPageAnswers(ByteString(std::move(page.bytes)), day, append);
    } else {
        const TextValue url(arguments.url ? std::string_view(*arguments.url) : QUIZ_PAGE_URL);
        const DailyFlowResult result = loadDailyAnswers(url, day, append);
        if (result.status == 0) {
            printError("download failed: no connection or time-out");
            return EXIT_NO_PAGE;
        }
        if (result.status < 200 || result.status > 299) {
            printError("download failed: HTTP status " + std::to_string(result.status));
            return EXIT_NO_PAGE;
        }
        handedOut = result.textsHandedOut;
    }

    if (handedOut == 0) {
        char label[16];
        std::snprintf(label, sizeof label, "%04d-%02d-%02d", static_cast<int>(day.date.year()),
                      static_cast<unsigned>(day.date.month()), static_cast<unsigned>(day.date.day()));
        printError(std::string("the page holds no questions for ") + label);
        return EXIT_NO_ROWS;
    }
    std::fflush(stdout);
    if (!writeConsoleText(TextValue(std::move(lines)))) {
        printError("cannot write the output");
        return EXIT_OUTPUT_FAILED;
    }
    return EXIT_PRINTED;
}

}  // namespace
}  // namespace lunteva

int main(int argc, char** argv) { return lunteva::run(argc, argv); }
