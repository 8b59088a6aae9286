#include "notifier/service/MailCheckClient.h"

#include "notifier/service/Login.h"
#include "notifier/service/NewMailQuery.h"

namespace {

constexpr DWORD kShutdownWaitMs = 10000;

void WipeAndAssign(std::string& target, const std::string& value) {
    if (!target.empty()) SecureZeroMemory(target.data(), target.size());
    target = value;
}

}  // namespace

struct MailCheckClient::State {
    CriticalSection lock;
    std::string userId;
    std::string password;
    HWND notifyWindow = nullptr;
    UINT notifyMessage = 0;
    std::string sessionCookie;
    std::int32_t newMailCount = 0;
    CheckStatus status = CheckStatus::Ok;
    bool unreachable = false;
    // Manual reset, not signalled until the client goes; null when it cannot be created.
    const KernelHandle stopEvent{CreateEventA(nullptr, TRUE, FALSE, nullptr)};

    State() = default;
    ~State() {
        if (!password.empty()) SecureZeroMemory(password.data(), password.size());
    }
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    void SetStatus(CheckStatus value, bool serviceUnreachable = false) {
        CriticalSectionLock hold(lock);
        status = value;
        unreachable = serviceUnreachable;
    }

    // One pass: a login only without a cookie, then the query whenever a cookie is held.
    void RunCheckPass() {
        std::string user;
        std::string pass;
        std::string cookie;
        {
            CriticalSectionLock hold(lock);
            user = userId;
            pass = password;
            cookie = sessionCookie;
        }
        if (cookie.empty()) {
            bool loginUnreachable = false;
            if (user.empty() || pass.empty()) {
                SetStatus(CheckStatus::LoginRequired);
            } else if (!Login(user, pass, cookie, &loginUnreachable)) {
                SetStatus(CheckStatus::Failed, loginUnreachable);
            } else if (cookie.empty()) {
                SetStatus(CheckStatus::LoginRequired);
            } else {
                CriticalSectionLock hold(lock);
                sessionCookie = cookie;
            }
        }
        SecureZeroMemory(pass.data(), pass.size());
        if (!cookie.empty()) {
            std::int32_t count = 0;
            bool queryUnreachable = false;
            const CheckStatus result = QueryNewMail(cookie, count, stopEvent.Get(), &queryUnreachable);
            SetStatus(result, queryUnreachable);
            CriticalSectionLock hold(lock);
            newMailCount = count;
        }
    }

    void NotifyPassEnded() {
        HWND window;
        UINT message;
        {
            CriticalSectionLock hold(lock);
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
    if (!worker_) return;
    {
        // A late worker must not report to a window that is going away.
        CriticalSectionLock hold(state_->lock);
        state_->notifyWindow = nullptr;
    }
    SetEvent(state_->stopEvent.Get());
    WaitForSingleObject(worker_.Get(), kShutdownWaitMs);
}

bool MailCheckClient::Ready() const { return state_->stopEvent.IsValid(); }

void MailCheckClient::SetUserId(const std::string& userId) {
    CriticalSectionLock hold(state_->lock);
    state_->userId = userId;
    state_->sessionCookie.clear();
}

void MailCheckClient::SetPassword(const std::string& password) {
    CriticalSectionLock hold(state_->lock);
    WipeAndAssign(state_->password, password);
    state_->sessionCookie.clear();
}

void MailCheckClient::SetSessionCookie(const std::string& eid) {
    CriticalSectionLock hold(state_->lock);
    state_->sessionCookie = eid;
}

std::string MailCheckClient::GetSessionCookie() const {
    CriticalSectionLock hold(state_->lock);
    return state_->sessionCookie;
}

void MailCheckClient::SetNotifyTarget(HWND window, UINT message) {
    CriticalSectionLock hold(state_->lock);
    state_->notifyWindow = window;
    state_->notifyMessage = message;
}

CheckStatus MailCheckClient::GetStatus() const {
    CriticalSectionLock hold(state_->lock);
    return state_->status;
}

std::int32_t MailCheckClient::GetNewMailCount() const {
    CriticalSectionLock hold(state_->lock);
    return state_->status == CheckStatus::Ok ? state_->newMailCount : 0;
}

bool MailCheckClient::ServiceUnreachable() const {
    CriticalSectionLock hold(state_->lock);
    return state_->status == CheckStatus::Failed && state_->unreachable;
}

bool MailCheckClient::StartCheck() {
    if (!Ready()) return false;
    if (worker_) {
        if (WaitForSingleObject(worker_.Get(), 0) != WAIT_OBJECT_0) return false;
        worker_.Reset();
    }
    ResetEvent(state_->stopEvent.Get());
    auto parameter = std::make_unique<std::shared_ptr<State>>(state_);
    KernelHandle thread(CreateThread(nullptr, 0, CheckWorker, parameter.get(), CREATE_SUSPENDED, nullptr));
    if (!thread) return false;
    parameter.release();  // the worker owns it now
    ResumeThread(thread.Get());
    worker_ = std::move(thread);
    return true;
}

bool MailCheckClient::WaitForIdle(DWORD milliseconds) {
    return !worker_ || WaitForSingleObject(worker_.Get(), milliseconds) == WAIT_OBJECT_0;
}
