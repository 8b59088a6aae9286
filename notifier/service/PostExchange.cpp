#include "notifier/service/PostExchange.h"

#include <algorithm>
#include <vector>

#include "notifier/service/SetCookie.h"
#include "notifier/service/UrlParts.h"

DWORD GetStatusCode(HINTERNET request) {
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) return 0;
    return status;
}

bool IsUnreachableError(DWORD error) {
    return error == ERROR_INTERNET_NAME_NOT_RESOLVED || error == ERROR_INTERNET_CANNOT_CONNECT ||
           error == ERROR_INTERNET_DISCONNECTED;
}

bool IsStopRequested(HANDLE stopEvent) {
    return stopEvent != nullptr && WaitForSingleObject(stopEvent, 0) == WAIT_OBJECT_0;
}

bool PostExchange::Open(const char* url, DWORD flags, HANDLE stopEvent) {
    session.Reset(InternetOpenA(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session || IsStopRequested(stopEvent)) return false;

    UrlParts parts;
    if (!SplitUrl(url, parts)) return false;
    connection.Reset(InternetConnectA(session.Get(), parts.host.c_str(), parts.port,
                                      parts.userName.empty() ? nullptr : parts.userName.c_str(),
                                      parts.password.empty() ? nullptr : parts.password.c_str(),
                                      INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection || IsStopRequested(stopEvent)) return false;

    request.Reset(HttpOpenRequestA(connection.Get(), "POST", parts.path.c_str(), nullptr, nullptr,
                                   nullptr, flags, 0));
    return request && !IsStopRequested(stopEvent);
}

BOOL SetReceiveTimeout(HINTERNET handle, DWORD milliseconds) {
    return InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &milliseconds, sizeof(milliseconds));
}

bool ReadResponseBody(HINTERNET request, ResponseBody& body, std::string_view endBytes, HANDLE stopEvent,
                      const ExchangeDeadline& deadline) {
    return body.ReadUpTo(
        endBytes,
        [request, &deadline](char* into, std::size_t maxBytes, std::size_t& bytesRead) {
            bytesRead = 0;
            if (deadline.Passed()) return false;
            // Waits until something has arrived (or the receive time-out), then reads no more
            // than that: a synchronous InternetReadFile waits until it has filled its buffer.
            DWORD available = 0;
            if (!InternetQueryDataAvailable(request, &available, 0, 0)) return false;
            if (available == 0) return true;  // the body's end
            DWORD got = 0;
            const BOOL ok = InternetReadFile(request, into, std::min<DWORD>(available, maxBytes), &got);
            bytesRead = got;
            return ok != FALSE;
        },
        [stopEvent] { return IsStopRequested(stopEvent); });
}

bool ReadSetCookie(HINTERNET request, DWORD index, std::string& name, std::string& value) {
    name.clear();
    value.clear();
    DWORD length = 0;
    DWORD probeIndex = index;
    HttpQueryInfoA(request, HTTP_QUERY_SET_COOKIE, nullptr, &length, &probeIndex);
    if (length == 0) return false;

    std::vector<char> buffer(length + 1, '\0');
    DWORD fetched = length + 1;
    DWORD fetchIndex = index;
    const bool ok = HttpQueryInfoA(request, HTTP_QUERY_SET_COOKIE, buffer.data(), &fetched, &fetchIndex) != FALSE;
    if (!ok) return false;
    if (fetched > length) fetched = length;
    SplitSetCookiePair(std::string_view(buffer.data(), fetched), name, value);
    return true;
}
