// Check passes of MailCheckClient on real worker threads against the local service simulator.
#include "notifier/service/mail_check_client.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

#include "tests/support/simulator_client.h"

namespace {

constexpr UINT kCheckDone = WM_USER + 2;

// A message-only window that counts completion messages and records what the client
// reports while the worker waits in its send.
class CompletionWindow {
public:
    CompletionWindow() {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = Proc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "MailCheckClientTestWindow";
        RegisterClassA(&windowClass);
        window_ = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, this);
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~CompletionWindow() { DestroyWindow(window_); }

    HWND Handle() const { return window_; }
    int Completions() const { return completions_; }
    MailCheckClient* client = nullptr;
    CheckStatus statusSeen = CheckStatus::Ok;
    std::int32_t countSeen = -1;

    // Pumps messages until the number of completions reaches target or the deadline passes.
    bool WaitForCompletions(int target, DWORD timeoutMs = 40000) {
        const DWORD start = GetTickCount();
        while (completions_ < target) {
            const DWORD elapsed = GetTickCount() - start;
            if (elapsed >= timeoutMs) return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        }
        return true;
    }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<CompletionWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (message == kCheckDone && self != nullptr) {
            if (self->client != nullptr) {
                self->statusSeen = self->client->GetStatus();
                self->countSeen = self->client->GetNewMailCount();
            }
            ++self->completions_;
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    HWND window_ = nullptr;
    int completions_ = 0;
};

class MailCheck : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Reset();
        client = std::make_unique<MailCheckClient>();
        target.client = client.get();
        client->SetNotifyTarget(target.Handle(), kCheckDone);
    }

    // Runs one pass to its completion message.
    void RunPass() {
        const int before = target.Completions();
        ASSERT_TRUE(client->StartCheck());
        ASSERT_TRUE(target.WaitForCompletions(before + 1));
        ASSERT_TRUE(client->WaitForIdle(5000));
    }

    CompletionWindow target;
    std::unique_ptr<MailCheckClient> client;
};

TEST_F(MailCheck, NoCookieAndNoCredentialsNeedsALoginWithoutAnyRequest) {
    client->SetPassword("secret");
    RunPass();
    EXPECT_EQ(target.statusSeen, CheckStatus::LoginRequired);
    EXPECT_EQ(target.countSeen, 0);
    EXPECT_EQ(sim::RequestCount("login") + sim::RequestCount("arrival"), 0);
}

TEST_F(MailCheck, LoginThenQueryInOnePassKeepsTheCookie) {
    sim::AddAccount("user", "pass", 5);
    client->SetUserId("user");
    client->SetPassword("pass");
    RunPass();
    EXPECT_EQ(target.statusSeen, CheckStatus::Ok);
    EXPECT_EQ(target.countSeen, 5);
    EXPECT_EQ(sim::RequestCount("login"), 1);
    EXPECT_EQ(sim::RequestCount("arrival"), 1);
    const std::string cookie = client->GetSessionCookie();
    EXPECT_FALSE(cookie.empty());

    // The next pass uses the cookie alone.
    sim::SetCount("user", 2);
    RunPass();
    EXPECT_EQ(client->GetNewMailCount(), 2);
    EXPECT_EQ(sim::RequestCount("login"), 1);
    EXPECT_NE(sim::Request("arrival").find("Cookie: EID=" + cookie + "\r\n"), std::string::npos);
}

TEST_F(MailCheck, WrongCredentialsAndFailedLoginsAreToldApart) {
    sim::AddAccount("user", "pass", 1);
    client->SetUserId("user");
    client->SetPassword("wrong");
    RunPass();
    EXPECT_EQ(target.statusSeen, CheckStatus::LoginRequired);
    EXPECT_EQ(sim::RequestCount("arrival"), 0);

    // WinINet may send a request again after a reset: drop every attempt.
    sim::Reply dropped;
    dropped.drop = "before-headers";
    dropped.times = 5;
    sim::Script("login", dropped);
    RunPass();
    EXPECT_EQ(target.statusSeen, CheckStatus::Failed);
    EXPECT_EQ(sim::RequestCount("arrival"), 0);
}

TEST_F(MailCheck, UnknownSessionKeepsTheCookieUntilNewCredentials) {
    sim::AddAccount("user", "pass", 3);
    client->SetUserId("user");
    client->SetPassword("pass");
    client->SetSessionCookie("expired");
    RunPass();
    EXPECT_EQ(target.statusSeen, CheckStatus::LoginRequired);
    EXPECT_EQ(client->GetSessionCookie(), "expired");
    EXPECT_EQ(sim::RequestCount("login"), 0);

    client->SetUserId("user");
    EXPECT_TRUE(client->GetSessionCookie().empty());
    RunPass();
    EXPECT_EQ(target.statusSeen, CheckStatus::Ok);
    EXPECT_EQ(target.countSeen, 3);
    EXPECT_EQ(sim::RequestCount("login"), 1);

    client->SetSessionCookie("expired-again");
    client->SetPassword("pass");
    EXPECT_TRUE(client->GetSessionCookie().empty());
    RunPass();
    EXPECT_EQ(sim::RequestCount("login"), 2);
}

TEST_F(MailCheck, CountOfAFailedPassReadsZero) {
    sim::AddAccount("user", "pass", 4);
    sim::AddSession("cookie", "user");
    client->SetSessionCookie("cookie");
    RunPass();
    EXPECT_EQ(client->GetNewMailCount(), 4);

    sim::Reply failure;
    failure.status = 500;
    failure.body = "9\r\n";
    sim::Script("arrival", failure);
    RunPass();
    EXPECT_EQ(client->GetStatus(), CheckStatus::Failed);
    EXPECT_EQ(client->GetNewMailCount(), 0);
    EXPECT_EQ(target.countSeen, 0);

    sim::AddAccount("broken", "pass", 4, true);
    sim::AddSession("broken-cookie", "broken");
    client->SetSessionCookie("broken-cookie");
    RunPass();
    EXPECT_EQ(client->GetStatus(), CheckStatus::ServiceError);
    EXPECT_EQ(client->GetNewMailCount(), 0);
}

TEST_F(MailCheck, StartWhileAPassRunsIsDropped) {
    sim::AddAccount("user", "pass", 1);
    sim::AddSession("cookie", "user");
    client->SetSessionCookie("cookie");
    sim::Reply slow;
    slow.body = "1\r\n";
    slow.delayMs = 1500;
    sim::Script("arrival", slow);

    ASSERT_TRUE(client->StartCheck());
    EXPECT_FALSE(client->StartCheck());
    ASSERT_TRUE(target.WaitForCompletions(1));
    ASSERT_TRUE(client->WaitForIdle(5000));
    EXPECT_EQ(target.Completions(), 1);
    EXPECT_EQ(sim::RequestCount("arrival"), 1);

    RunPass();
    EXPECT_EQ(target.Completions(), 2);
    EXPECT_EQ(sim::RequestCount("arrival"), 2);
}

TEST_F(MailCheck, ManyPassesLeakNoHandles) {
    sim::AddAccount("user", "pass", 1);
    sim::AddSession("cookie", "user");
    client->SetSessionCookie("cookie");
    RunPass();
    DWORD before = 0;
    GetProcessHandleCount(GetCurrentProcess(), &before);
    for (int i = 0; i < 20; ++i) RunPass();
    DWORD after = 0;
    GetProcessHandleCount(GetCurrentProcess(), &after);
    EXPECT_LE(after, before + 2);
    EXPECT_EQ(target.Completions(), 21);
}

TEST_F(MailCheck, DestroyingTheClientDuringAStalledPassIsBounded) {
    sim::AddAccount("user", "pass", 1);
    sim::AddSession("cookie", "user");
    client->SetSessionCookie("cookie");
    sim::Reply stall;
    stall.stall = "before-headers";
    stall.stallMs = 30000;
    sim::Script("arrival", stall);

    ASSERT_TRUE(client->StartCheck());
    Sleep(500);
    const DWORD start = GetTickCount();
    client.reset();
    target.client = nullptr;
    EXPECT_LT(GetTickCount() - start, 12000u);

    // The worker outlives the client until its receive time-out ends the query; it must
    // neither crash nor report to the window.
    Sleep(9000);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    EXPECT_EQ(target.Completions(), 0);
}

}  // namespace
