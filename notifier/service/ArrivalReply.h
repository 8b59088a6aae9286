// Grammar of the new-mail query's reply.
#pragma once

#include <cstdint>
#include <string_view>

#include "notifier/service/CheckStatus.h"

// The bytes that end the reply's first line; nothing after it counts.
inline constexpr std::string_view kReplyLineEnds = "\r\n";

// Parses the first line of the reply (up to the first CR or LF) into a status and a count.
// The count is 0 unless the status is Ok.
CheckStatus ParseArrivalReply(std::string_view text, std::int32_t& count);
