#include "notifier/service/mail_check_client.h"

#include <system_error>

#include "notifier/service/login.h"
#include "notifier/service/new_mail_query.h"

namespace {

constexpr DWORD kShutdownWaitMs = 10000;

void WipeAndAssign(std::string& target, const std::string& value) {
    if (!target.empty()) SecureZeroMemory(target.data(), target.size());
    target = value;
}

// Holds the client's critical section for one scope.
class Lock {
public:
    explicit Lock(CRITICAL_SECTION& section) : section_(section) { EnterCriticalSection(&section_); }
    ~Lock() { LeaveCriticalSection(&section_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    CRITICAL_SECTION& section_;
};

}  // namespace

struct MailCheckClient::State {
    CRITICAL_SECTION lock;
    std::string userId;
    std::string password;
    HWND notifyWindow = nullptr;
    UINT notifyMessage = 0;
    std::string sessionCookie;
    std::int32_t newMailCount = 0;
    CheckStatus status = CheckStatus::Ok;
    HANDLE stopEvent = nullptr;

    State() {
        InitializeCriticalSection(&lock);
        stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (stopEvent == nullptr) {
            const DWORD error = GetLastError();
            DeleteCriticalSection(&lock);
            throw std::system_error(static_cast<int>(error), std::system_category(), "CreateEvent");
        }
    }
    ~State() {
        CloseHandle(stopEvent);
        if (!password.empty()) SecureZeroMemory(password.data(), password.size());
        DeleteCriticalSection(&lock);
    }
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    void SetStatus(CheckStatus value) {
        Lock hold(lock);
        status = value;
    }

    // One pass: a login only without a cookie, then the query whenever a cookie is held.
    void RunCheckPass() {
        std::string user;
        std::string pass;
        std::string cookie;
        {
            Lock hold(lock);
            user = userId;
            pass = password;
            cookie = sessionCookie;
        }
        if (cookie.empty()) {
            if (user.empty() || pass.empty()) {
                SetStatus(CheckStatus::LoginRequired);
            } else if (!Login(user, pass, cookie)) {
                SetStatus(CheckStatus::Failed);
            } else if (cookie.empty()) {
                SetStatus(CheckStatus::LoginRequired);
            } else {
                Lock hold(lock);
                sessionCookie = cookie;
            }
        }
        SecureZeroMemory(pass.data(), pass.size());
        if (!cookie.empty()) {
            std::int32_t count = 0;
            const CheckStatus result = QueryNewMail(cookie, count, stopEvent);
            SetStatus(result);
            Lock hold(lock);
            newMailCount = count;
        }
    }

    void NotifyPassEnded() {
        HWND window;
        UINT message;
        {
            Lock hold(lock);
            window = notifyWindow;
            message = notifyMessage;
        }
        if (window != nullptr) SendMessageA(window, message, 0, 0);
    }
};

namespace {

DWORD WINAPI CheckWorker(LPVOID parameter) {
    // The thread holds its own reference to the shared state.
    std::unique_ptr<std::shared_ptr<MailCheckClient::State>> state(
        static_cast<std::shared_ptr<MailCheckClient::State>*>(parameter));
    (*state)->RunCheckPass();
    (*state)->NotifyPassEnded();
    return 0;
}

}  // namespace

MailCheckClient::MailCheckClient() : state_(std::make_shared<State>()) {}

MailCheckClient::~MailCheckClient() {
    if (worker_ != nullptr) {
        {
            // A late worker must not report to a window that is going away.
            Lock hold(state_->lock);
            state_->notifyWindow = nullptr;
        }
        SetEvent(state_->stopEvent);
        if (WaitForSingleObject(worker_, 0) == WAIT_TIMEOUT) WaitForSingleObject(worker_, kShutdownWaitMs);
        CloseHandle(worker_);
    }
}

void MailCheckClient::SetUserId(const std::string& userId) {
    Lock hold(state_->lock);
    state_->userId = userId;
    state_->sessionCookie.clear();
}

void MailCheckClient::SetPassword(const std::string& password) {
    Lock hold(state_->lock);
    WipeAndAssign(state_->password, password);
    state_->sessionCookie.clear();
}

void MailCheckClient::SetSessionCookie(const std::string& eid) {
    Lock hold(state_->lock);
    state_->sessionCookie = eid;
}

std::string MailCheckClient::GetSessionCookie() const {
    Lock hold(state_->lock);
    return state_->sessionCookie;
}

void MailCheckClient::SetNotifyTarget(HWND window, UINT message) {
    Lock hold(state_->lock);
    state_->notifyWindow = window;
    state_->notifyMessage = message;
}

CheckStatus MailCheckClient::GetStatus() const {
    Lock hold(state_->lock);
    return state_->status;
}

std::int32_t MailCheckClient::GetNewMailCount() const {
    Lock hold(state_->lock);
    return state_->status == CheckStatus::Ok ? state_->newMailCount : 0;
}

bool MailCheckClient::StartCheck() {
    if (worker_ != nullptr) {
        if (WaitForSingleObject(worker_, 0) != WAIT_OBJECT_0) return false;
        CloseHandle(worker_);
        worker_ = nullptr;
    }
    ResetEvent(state_->stopEvent);
    auto parameter = std::make_unique<std::shared_ptr<State>>(state_);
    HANDLE thread = CreateThread(nullptr, 0, CheckWorker, parameter.get(), CREATE_SUSPENDED, nullptr);
    if (thread == nullptr) return false;
    parameter.release();  // the worker owns it now
    worker_ = thread;
    ResumeThread(thread);
    return true;
}

bool MailCheckClient::WaitForIdle(DWORD milliseconds) {
    return worker_ == nullptr || WaitForSingleObject(worker_, milliseconds) == WAIT_OBJECT_0;
}
