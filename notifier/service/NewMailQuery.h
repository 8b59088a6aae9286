// The new-mail query: session cookie in, status and count out.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "notifier/service/CheckStatus.h"

// Headers of the query for a session cookie (both lines end in CR LF).
std::string BuildArrivalHeaders(const std::string& eid);

// Posts the query to ArrivalUrl with the cookie and parses the reply's first line, which is
// all that is read of it; a line still unfinished 15 s after the start fails the query.
// The count is 0 unless the result is Ok. A signalled stop event ends the exchange
// before the send (Failed) or ends the read (the text so far is parsed). *unreachable (if
// given) tells whether a Failed came from a service that could not be reached at all.
CheckStatus QueryNewMail(const std::string& eid, std::int32_t& count, HANDLE stopEvent = nullptr,
                         bool* unreachable = nullptr);

// The same exchange against another query URL.
CheckStatus QueryNewMailAt(const char* url, const std::string& eid, std::int32_t& count, HANDLE stopEvent,
                           bool* unreachable = nullptr);
