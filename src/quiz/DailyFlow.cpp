#include "quiz/DailyFlow.h"

#include <string_view>

#include "BuildConfig.h"
#include "text/Conversion.h"
#include "web/WebRequest.h"

namespace lunteva {

void loadDailyAnswers(const AppendOutput& appendOutput) {
    WebRequestOptions request;
    request.url = TextValue(QUIZ_PAGE_URL);
    request.method = 0;
    const ByteString body = webRequest(request);
    const TextValue pageText = utf8ToGbk(toText(body));
    listDailyAnswers(pageText, appendOutput);
}

int listPageAnswers(const ByteString& pageBytes, const DateTime& day, const AppendOutput& appendOutput) {
    int handedOut = 0;
    const TextValue pageText = utf8ToGbk(toText(pageBytes));
    listDailyAnswers(
        pageText,
        [&](const TextValue& text) {
            ++handedOut;
            appendOutput(text);
        },
        day);
    return handedOut;
}

DailyFlowResult loadDailyAnswers(const TextValue& url, const DateTime& day, const AppendOutput& appendOutput) {
    WebRequestOptions request;
    request.url = url;
    request.method = 0;
    const ByteString body = webRequest(request);
    DailyFlowResult result;
    result.status = request.status;
    result.textsHandedOut = listPageAnswers(body, day, appendOutput);
    return result;
}

}  // namespace lunteva
