// The daily flow: download the quiz page once, convert it to code page 936
// and list the day's questions and answers through an output operation.
#pragma once

#include "quiz/DailyAnswers.h"
#include "text/Text.h"

namespace lunteva {

// The program's own run: one GET of QUIZ_PAGE_URL through webRequest with
// every other option absent, the body's text (up to its first zero byte)
// converted from UTF-8 to 936, then listDailyAnswers for the local date now.
// A failed download appends nothing; nothing is reported or retried.
void loadDailyAnswers(const AppendOutput& appendOutput);

// What one run of the flow saw, for callers that report it.
struct DailyFlowResult {
    int status = 0;         // status of the response; 0 when none came
    int textsHandedOut = 0; // calls of appendOutput: two per question
};

// The same flow for another address and day: one GET of url (webRequest,
// method 0, every other option absent), then listPageAnswers of the body for
// day, whatever the status. Returns the status and the number of texts handed out.
DailyFlowResult loadDailyAnswers(const TextValue& url, const DateTime& day, const AppendOutput& appendOutput);

// Lists day's questions of a page as served (UTF-8 bytes): the bytes up to
// the first zero byte, converted to 936, then listDailyAnswers. Returns the
// number of texts handed to appendOutput (two per question). The bytes are
// taken by value, so that a caller done with them can move them in.
int listPageAnswers(ByteString pageBytes, const DateTime& day, const AppendOutput& appendOutput);

}  // namespace lunteva
