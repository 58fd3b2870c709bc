#include "quiz/DailyFlow.h"

#include <string_view>
#include <utility>

#include "BuildConfig.h"
#include "text/Conversion.h"
#include "web/WebRequest.h"

namespace lunteva {

void loadDailyAnswers(const AppendOutput& appendOutput) {
    WebRequestOptions request;
    request.url = TextValue(QUIZ_PAGE_URL);
    request.method = 0;
    ByteString body = webRequest(request);
    const TextValue pageText = utf8ToGbk(toText(std::move(body)));
    listDailyAnswers(pageText, appendOutput);
}

int listPageAnswers(ByteString pageBytes, const DateTime& day, const AppendOutput& appendOutput) {
    int handedOut = 0;
    const TextValue pageText = utf8ToGbk(toText(std::move(pageBytes)));
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
    ByteString body = webRequest(request);
    DailyFlowResult result;
    result.status = request.status;
    result.textsHandedOut = listPageAnswers(std::move(body), day, appendOutput);
    return result;
}

}  // namespace lunteva
