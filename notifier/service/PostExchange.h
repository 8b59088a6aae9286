// One WinINet exchange: owned handles and the reads both service exchanges share.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>
#include <string_view>

#include "common/HandleOwners.h"
#include "notifier/service/ResponseBody.h"

namespace handle_traits {
inline void CloseInternetHandle(HINTERNET handle) { InternetCloseHandle(handle); }
}  // namespace handle_traits

using InternetHandle = UniqueHandle<handle_traits::NullIsNone<HINTERNET, handle_traits::CloseInternetHandle>>;

// Session, connection and request of one POST exchange, closed in reverse order.
struct PostExchange {
    InternetHandle session;
    InternetHandle connection;
    InternetHandle request;  // declared last, so closed first

    // Opens session, connection and request for a POST to url with the given flags.
    // With a stop event, checks it after the session, the connection and the request
    // are opened; found signalled, the exchange fails. Returns false on any failure.
    bool Open(const char* url, DWORD flags, HANDLE stopEvent);
};

// The time an exchange has from its start; GetTickCount's wrap does not shorten or stretch it.
class ExchangeDeadline {
public:
    explicit ExchangeDeadline(DWORD milliseconds) : start_(GetTickCount()), span_(milliseconds) {}
    bool Passed() const { return GetTickCount() - start_ >= span_; }

private:
    DWORD start_;
    DWORD span_;
};

// The response's status code, 0 when the platform cannot tell.
DWORD GetStatusCode(HINTERNET request);
BOOL SetReceiveTimeout(HINTERNET handle, DWORD milliseconds);
// Reads the body up to the first of endBytes, at most ResponseBody::kMaxSize bytes; each read
// takes only what has arrived, so no read waits longer than the request's receive time-out, and
// no wait starts once the deadline has passed. True at the body's end (or that of its used
// part) or when stopEvent is found signalled; false when a read failed or the deadline passed.
bool ReadResponseBody(HINTERNET request, ResponseBody& body, std::string_view endBytes, HANDLE stopEvent,
                      const ExchangeDeadline& deadline);
// The index-th Set-Cookie header's first name/value pair; false when it is absent.
bool ReadSetCookie(HINTERNET request, DWORD index, std::string& name, std::string& value);

// True when a failed send's error says the server was never reached: its name did not
// resolve, no connection could be made, or the machine is offline.
bool IsUnreachableError(DWORD error);

// True when the event is given and signalled (checked without waiting).
bool IsStopRequested(HANDLE stopEvent);
