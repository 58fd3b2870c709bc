// Cost of the daily answer listing on realistic and on hostile quiz pages.
//
// Reports bytes per second of page, the peak of live heap memory during one
// listing (the page itself included), and the process's peak resident set.
// Run one case per process for a meaningful peak resident set, for example:
//   lunteva_listing_bench --benchmark_filter='InPlace/RowsWithoutRowClose/16'
// The StepByStep cases collect rows and cells as texts with allTextsBetween,
// as the listing's steps read, and show what the in-place listing avoids.
#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include <benchmark/benchmark.h>

#if __has_include(<sys/resource.h>)
#include <sys/resource.h>
#define LUNTEVA_HAVE_RUSAGE 1
#endif

#include "quiz/DailyAnswers.h"
#include "quiz/Extraction.h"
#include "text/Literals.h"

// --- Live heap accounting: every allocation carries its size in front. ---

namespace {

std::atomic<long long> liveBytes{0};
std::atomic<long long> peakBytes{0};
constexpr std::size_t HEADER = alignof(std::max_align_t);

void* allocate(std::size_t size) {
    void* block = std::malloc(size + HEADER);
    if (block == nullptr) return nullptr;
    *static_cast<std::size_t*>(block) = size;
    const long long now = liveBytes += static_cast<long long>(size);
    long long peak = peakBytes.load();
    while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
    }
    return static_cast<char*>(block) + HEADER;
}

void release(void* p) noexcept {
    if (p == nullptr) return;
    void* block = static_cast<char*>(p) - HEADER;
    liveBytes -= static_cast<long long>(*static_cast<std::size_t*>(block));
    std::free(block);
}

}  // namespace

void* operator new(std::size_t size) {
    if (void* p = allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }

namespace lunteva {
namespace {

constexpr double MIB = 1024.0 * 1024.0;

const DateTime TODAY = dateTimeOf(2026, 9, 1, 8, 0, 0);

std::string dateCell(const DateTime& day) {
    return std::string(CELL_OPEN) + std::string(dateLabel(day).view()) + "</td>";
}

std::string cell(std::string_view content) { return std::string(CELL_OPEN) + std::string(content) + "</td>"; }

// Repeats unit behind head until the page is about size bytes, then adds tail.
TextValue pageOf(std::string_view head, std::string_view unit, std::string_view tail, std::size_t size) {
    std::string page;
    page.reserve(size + unit.size() + tail.size());
    page += head;
    while (page.size() + unit.size() + tail.size() <= size) page += unit;
    page += tail;
    return TextValue(page);
}

// Many of today's rows and no "</tr>" before the end: every row runs to the end.
TextValue rowsWithoutRowClose(std::size_t size) {
    return pageOf("<tr>", dateCell(TODAY) + cell("Q") + cell("A"), "</tr>" + dateCell(addDays(TODAY, -1)), size);
}

// One row of today whose cell openings abound, with "</td>" only at its end.
TextValue openingsWithoutCellClose(std::size_t size) {
    return pageOf("<tr>" + dateCell(TODAY), std::string(CELL_OPEN) + "x",
                  "</td></tr>" + dateCell(addDays(TODAY, -1)), size);
}

// Many rows of today, each full of cell openings, one "</tr>" at the end.
TextValue rowsOfOpenings(std::size_t size) {
    std::string unit = dateCell(TODAY);
    for (int i = 0; i < 20; ++i) unit += CELL_OPEN;
    return pageOf("<tr>", unit, "</td></tr>" + dateCell(addDays(TODAY, -1)), size);
}

// A quiz page of 30 days with 5 questions each, about 1 MiB, today first.
TextValue realisticPage() {
    const TextValue& month = gbkLiteral<u8"月">();
    std::string words;  // two-byte text with a little markup, as cells hold
    for (int i = 0; i < 420; ++i) words += std::string(month.view()) + (i % 9 == 0 ? "<br/>&nbsp;" : "");
    std::string page = "<html><head><title>quiz</title></head><body><table>\r\n<tr><th>date</th><th>Q</th><th>A</th></tr>\r\n";
    for (int day = 0; day < 30; ++day) {
        for (int question = 0; question < 5; ++question) {
            page += "<tr>" + dateCell(addDays(TODAY, -day)) + cell("<p>" + words + words + words + "?</p>") +
                    cell("<b>" + words + words + "</b>") + "</tr>\r\n";
        }
    }
    page += "</table></body></html>\r\n";
    return TextValue(page);
}

// The listing as its steps read, collecting rows and cells as texts.
void stepByStepListing(const TextValue& pageText, const AppendOutput& appendOutput, const DateTime& today) {
    const TextValue todayCell(dateCell(today));
    const TextValue yesterdayCell(dateCell(addDays(today, -1)));
    const TextValue narrowed = textBetween(pageText, "<tr>", yesterdayCell);
    TextArray rows;
    TextArray cells;
    const int count = allTextsBetween(narrowed, todayCell, "</tr>", rows);
    for (int number = 1; number <= count; ++number) {
        allTextsBetween(rows.member(number), TextValue(CELL_OPEN), "</td>", cells);
        appendOutput(concatText({toText(number).view(), gbkLiteral<u8"、">().view(), cells.member(1).view(), "\r\n"}));
        appendOutput(concatText({gbkLiteral<u8"     答案：">().view(), cells.member(2).view(), "\r\n\r\n"}));
    }
}

using Listing = void (*)(const TextValue&, const AppendOutput&, const DateTime&);

void inPlaceListing(const TextValue& pageText, const AppendOutput& appendOutput, const DateTime& today) {
    listDailyAnswers(pageText, appendOutput, today);
}

void run(benchmark::State& state, Listing listing, TextValue (*makePage)(std::size_t)) {
    const TextValue page = makePage(static_cast<std::size_t>(state.range(0)) * 1024);
    long long handedOut = 0;
    long long lines = 0;
    const AppendOutput sink = [&](const TextValue& line) {
        handedOut += line.length();
        ++lines;
    };
    long long heapPeak = 0;
    for (auto _ : state) {
        handedOut = 0;
        lines = 0;
        peakBytes = liveBytes.load();
        listing(page, sink, TODAY);
        heapPeak = std::max(heapPeak, peakBytes.load());
        benchmark::DoNotOptimize(handedOut);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * page.length());
    state.counters["page_MiB"] = page.length() / MIB;
    state.counters["lines"] = static_cast<double>(lines);
    state.counters["out_MiB"] = handedOut / MIB;
    state.counters["heap_peak_MiB"] = heapPeak / MIB;
#ifdef LUNTEVA_HAVE_RUSAGE
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["max_rss_MiB"] = usage.ru_maxrss / 1024.0;  // kilobytes on Linux
#endif
}

TextValue realistic(std::size_t) { return realisticPage(); }

// Sizes in KiB.
BENCHMARK_CAPTURE(run, InPlace/Realistic30Days, &inPlaceListing, &realistic)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run, InPlace/RowsWithoutRowClose, &inPlaceListing, &rowsWithoutRowClose)
    ->Arg(1024)->Arg(16 * 1024)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, InPlace/OpeningsWithoutCellClose, &inPlaceListing, &openingsWithoutCellClose)
    ->Arg(1024)->Arg(16 * 1024)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, InPlace/RowsOfOpenings, &inPlaceListing, &rowsOfOpenings)
    ->Arg(1024)->Arg(16 * 1024)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, StepByStep/Realistic30Days, &stepByStepListing, &realistic)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run, StepByStep/RowsWithoutRowClose, &stepByStepListing, &rowsWithoutRowClose)
    ->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, StepByStep/OpeningsWithoutCellClose, &stepByStepListing, &openingsWithoutCellClose)
    ->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, StepByStep/RowsOfOpenings, &stepByStepListing, &rowsOfOpenings)
    ->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lunteva

BENCHMARK_MAIN();
