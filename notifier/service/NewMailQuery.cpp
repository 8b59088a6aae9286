#include "notifier/service/NewMailQuery.h"

#include "notifier/service/ArrivalReply.h"
#include "notifier/service/Endpoints.h"
#include "notifier/service/PostExchange.h"

namespace {

constexpr DWORD kQueryFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_COOKIES;
constexpr DWORD kQueryReceiveTimeoutMs = 15000;
// The exchange's time from its start: no wait for the reply starts after it, so a service that
// drips its reply, each byte within the receive time-out, holds the pass one such wait longer
// at most.
constexpr DWORD kQueryDeadlineMs = 15000;

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
    const ExchangeDeadline deadline(kQueryDeadlineMs);
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

    // Only the first line matters: a read that fails part-way still parses what arrived, but
    // a reply whose line is still unfinished at the deadline fails.
    ResponseBody reply;
    if (!ReadResponseBody(exchange.request.Get(), reply, kReplyLineEnds, stopEvent, deadline) && deadline.Passed()) {
        return CheckStatus::Failed;
    }
    if (reply.Size() == 0) return CheckStatus::Failed;
    // The reply is taken as zero-terminated text.
    return ParseArrivalReply(reply.Data(), count);
}
