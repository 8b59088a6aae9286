// The one object through which the notifier talks to the service: credentials, session
// cookie, the result of the last check pass, and a worker thread per pass.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "common/HandleOwners.h"
#include "notifier/service/CheckStatus.h"

class MailCheckClient {
public:
    // Never fails as an exception: a client whose stop event cannot be created is not Ready().
    MailCheckClient();
    MailCheckClient(const MailCheckClient&) = delete;
    MailCheckClient& operator=(const MailCheckClient&) = delete;
    // Sets the stop event and waits at most 10000 ms for a running worker.
    ~MailCheckClient();

    // False when the client could not be set up; it then starts no pass.
    bool Ready() const;

    // Setting the user id or the password empties the session cookie.
    void SetUserId(const std::string& userId);
    void SetPassword(const std::string& password);
    void SetSessionCookie(const std::string& eid);
    std::string GetSessionCookie() const;
    void SetNotifyTarget(HWND window, UINT message);
    CheckStatus GetStatus() const;
    // The count of the last pass when its status is Ok, else 0.
    std::int32_t GetNewMailCount() const;
    // True when the last pass failed because the service could not be reached at all (no
    // name, no connection, offline), which a change of the network may mend.
    bool ServiceUnreachable() const;

    // Starts a pass on a new worker thread. False when a pass is still running (the
    // request is dropped) or the thread cannot be created (the next call tries again).
    bool StartCheck();
    // Waits up to milliseconds for a running worker to end; true when none runs.
    bool WaitForIdle(DWORD milliseconds);

    struct State;

private:
    // Shared with the worker, so that a worker outliving the client's bounded wait
    // still touches live memory.
    std::shared_ptr<State> state_;
    KernelHandle worker_;
};
