// One WinINet exchange: owned handles and the reads both service exchanges share.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>

#include "notifier/service/response_body.h"

// Owns one WinINet handle; closing is idempotent.
class InternetHandle {
public:
    InternetHandle() = default;
    explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    virtual ~InternetHandle() { Close(); }

    void Reset(HINTERNET handle) {
        Close();
        handle_ = handle;
    }
    void Close() {
        if (handle_ != nullptr) {
            InternetCloseHandle(handle_);
            handle_ = nullptr;
        }
    }
    HINTERNET Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    HINTERNET handle_ = nullptr;
};

// The request of an exchange; it also answers the response's status code.
class RequestHandle : public InternetHandle {
public:
    // The status code, 0 when the platform cannot tell.
    DWORD GetStatusCode() const;
};

// Session, connection and request of one POST exchange, closed in reverse order.
struct PostExchange {
    InternetHandle session;
    InternetHandle connection;
    RequestHandle request;  // declared last, so destroyed first

    // Opens session, connection and request for a POST to url with the given flags.
    // With a stop event, checks it after the session, the connection and the request
    // are opened; found signalled, the exchange fails. Returns false on any failure.
    bool Open(const char* url, DWORD flags, HANDLE stopEvent);
    void Close();
};

BOOL SetReceiveTimeout(HINTERNET handle, DWORD milliseconds);
DWORD GetStatusCode(const RequestHandle& request);
// Reads the whole body; true at its end or when stopEvent is found signalled.
bool ReadResponseBody(HINTERNET request, ResponseBody& body, HANDLE stopEvent);
// The index-th Set-Cookie header's first name/value pair; false when it is absent.
bool ReadSetCookie(HINTERNET request, DWORD index, std::string& name, std::string& value);

// True when the event is given and signalled (checked without waiting).
bool IsStopRequested(HANDLE stopEvent);
