#include "notifier/service/NewMailQuery.h"

#include "notifier/service/ArrivalReply.h"
#include "notifier/service/Endpoints.h"
#include "notifier/service/PostExchange.h"

namespace {

constexpr DWORD kQueryFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_COOKIES;
constexpr DWORD kQueryReceiveTimeoutMs = 15000;

}  // namespace

std::string BuildArrivalHeaders(const std::string& eid) {
    return "Content-type: application/x-www-form-urlencoded\r\nCookie: EID=" + eid + "\r\n";
}

CheckStatus QueryNewMail(const std::string& eid, std::int32_t& count, HANDLE stopEvent, bool* unreachable) {
    return QueryNewMailAt(ArrivalUrl, eid, count, stopEvent, unreachable);
}

CheckStatus QueryNewMailAt(const char* url, const std::string& eid, std::int32_t& count, HANDLE stopEvent,
                           bool* unreachable) {
    count = 0;
    if (unreachable != nullptr) *unreachable = false;
    PostExchange exchange;
    if (!exchange.Open(url, kQueryFlags, stopEvent)) return CheckStatus::Failed;

    const std::string headers = BuildArrivalHeaders(eid);
    SetReceiveTimeout(exchange.request.Get(), kQueryReceiveTimeoutMs);
    char body[] = "u=recent&s=st&v=51";
    if (!HttpSendRequestA(exchange.request.Get(), headers.data(), static_cast<DWORD>(headers.size()), body,
                          sizeof(body) - 1)) {
        if (unreachable != nullptr) *unreachable = IsUnreachableError(GetLastError());
        return CheckStatus::Failed;
    }
    if (GetStatusCode(exchange.request.Get()) != 200) return CheckStatus::Failed;

    // A read that fails part-way still parses what arrived: only the first line matters.
    ResponseBody reply;
    ReadResponseBody(exchange.request.Get(), reply, stopEvent);
    if (reply.Size() == 0) return CheckStatus::Failed;
    // The reply is taken as zero-terminated text.
    return ParseArrivalReply(reply.Data(), count);
}
