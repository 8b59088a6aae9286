#include "notifier/service/ArrivalReply.h"

#include <limits>

CheckStatus ParseArrivalReply(std::string_view text, std::int32_t& count) {
    count = 0;
    const std::size_t end = text.find_first_of(kReplyLineEnds);
    const std::string_view line = text.substr(0, end);
    if (line.empty()) return CheckStatus::Failed;
    if (line == "dberror") return CheckStatus::ServiceError;
    if (line == "unknown") return CheckStatus::LoginRequired;
    if (line.find_first_not_of("0123456789+") != std::string_view::npos) return CheckStatus::Ok;

    std::size_t pos = (line[0] == '+') ? 1 : 0;
    // A digit run beyond the range of the count saturates at the largest count,
    // so a huge number still reads as "many new messages" and never overflows.
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    std::int32_t value = 0;
    for (; pos < line.size() && line[pos] >= '0' && line[pos] <= '9'; ++pos) {
        const int digit = line[pos] - '0';
        if (value > (kMax - digit) / 10) {
            value = kMax;
            break;
        }
        value = value * 10 + digit;
    }
    count = value;
    return CheckStatus::Ok;
}
