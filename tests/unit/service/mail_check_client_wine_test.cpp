// Check passes of MailCheckClient on real worker threads against the local service simulator.
#include "notifier/service/MailCheckClient.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <utility>

#include "tests/unit/ui/message_pump.h"
#include "tools/simulator/SimulatorClient.h"

namespace {

constexpr UINT kCheckDone = WM_USER + 2;
using Result = std::pair<CheckStatus, std::int32_t>;

class MailCheck : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Reset();
        client->SetNotifyTarget(target.Handle(), kCheckDone);
    }

    // Runs one pass to its completion message.
    void RunPass() {
        const int before = completions;
        ASSERT_TRUE(client->StartCheck());
        ASSERT_TRUE(test::PumpUntil([&] { return completions > before; }, 40000));
        ASSERT_TRUE(client->WaitForIdle(5000));
    }

    std::unique_ptr<MailCheckClient> client = std::make_unique<MailCheckClient>();
    int completions = 0;
    // Status and count as the completion message's receiver reads them, with the worker
    // waiting in its send: the client's lock must be free by then.
    Result seen{CheckStatus::Ok, -1};
    test::MessageWindow target{[this](UINT message, WPARAM, LPARAM) {
        if (message != kCheckDone) return false;
        if (client) seen = {client->GetStatus(), client->GetNewMailCount()};
        ++completions;
        return true;
    }};
};

TEST_F(MailCheck, LoginOnlyWithoutACookieAndTheCookieKeptUntilNewCredentials) {
    sim::AddAccount("user", "pass", 5);
    client->SetPassword("pass");
    RunPass();
    EXPECT_EQ(seen, Result(CheckStatus::LoginRequired, 0)) << "no cookie and no user id";
    EXPECT_EQ(sim::RequestCount("login") + sim::RequestCount("arrival"), 0);

    // A login, then the query in the same pass.
    client->SetUserId("user");
    RunPass();
    EXPECT_EQ(seen, Result(CheckStatus::Ok, 5));
    EXPECT_EQ(sim::RequestCount("login"), 1);
    EXPECT_EQ(sim::RequestCount("arrival"), 1);
    const std::string cookie = client->GetSessionCookie();
    EXPECT_NE(cookie, "");
    // The next pass uses the cookie alone.
    sim::SetCount("user", 2);
    RunPass();
    EXPECT_EQ(seen, Result(CheckStatus::Ok, 2));
    EXPECT_EQ(sim::RequestCount("login"), 1);
    EXPECT_NE(sim::Request("arrival").find("Cookie: EID=" + cookie + "\r\n"), std::string::npos);

    // "unknown" asks for a login and keeps the cookie; a new user id or password empties it.
    client->SetSessionCookie("expired");
    RunPass();
    EXPECT_EQ(seen, Result(CheckStatus::LoginRequired, 0));
    EXPECT_EQ(client->GetSessionCookie(), "expired");
    EXPECT_EQ(sim::RequestCount("login"), 1);
    client->SetUserId("user");
    EXPECT_EQ(client->GetSessionCookie(), "");
    RunPass();
    EXPECT_EQ(seen, Result(CheckStatus::Ok, 2));
    EXPECT_EQ(sim::RequestCount("login"), 2);
    client->SetSessionCookie("expired-again");
    client->SetPassword("pass");
    EXPECT_EQ(client->GetSessionCookie(), "");
}

TEST_F(MailCheck, PassesWithoutAnOkCountReportZero) {
    sim::AddAccount("user", "pass", 4);
    sim::AddSession("cookie", "user");
    client->SetUserId("user");
    client->SetSessionCookie("cookie");
    RunPass();
    EXPECT_EQ(seen, Result(CheckStatus::Ok, 4));

    // A wrong password asks for the login and sends no query.
    client->SetPassword("wrong");
    RunPass();
    EXPECT_EQ(seen, Result(CheckStatus::LoginRequired, 0));
    EXPECT_EQ(sim::RequestCount("arrival"), 1);

    // A login without any response fails the pass; the count stored before is not reported.
    sim::Reply dropped;
    dropped.drop = "before-headers";
    dropped.times = 5;  // WinINet may send a request again after a reset
    sim::Script("login", dropped);
    client->SetPassword("pass");
    RunPass();
    EXPECT_EQ(seen, Result(CheckStatus::Failed, 0));
    EXPECT_EQ(sim::RequestCount("arrival"), 1);

    sim::Reply failure;
    failure.status = 500;
    failure.body = "9\r\n";
    sim::Script("arrival", failure);
    client->SetSessionCookie("cookie");
    RunPass();
    EXPECT_EQ(seen, Result(CheckStatus::Failed, 0));

    sim::AddAccount("broken", "pass", 4, true);
    sim::AddSession("broken-cookie", "broken");
    client->SetSessionCookie("broken-cookie");
    RunPass();
    EXPECT_EQ(seen, Result(CheckStatus::ServiceError, 0));
}

TEST_F(MailCheck, StartWhileAPassRunsIsDroppedAndPassesLeakNothing) {
    sim::AddAccount("user", "pass", 1);
    sim::AddSession("cookie", "user");
    client->SetSessionCookie("cookie");
    sim::Reply slow;
    slow.body = "1\r\n";
    slow.delayMs = 1500;
    sim::Script("arrival", slow);
    ASSERT_TRUE(client->StartCheck());
    EXPECT_FALSE(client->StartCheck());
    ASSERT_TRUE(test::PumpUntil([&] { return completions == 1; }, 40000));
    ASSERT_TRUE(client->WaitForIdle(5000));
    EXPECT_EQ(sim::RequestCount("arrival"), 1);

    DWORD before = 0;
    GetProcessHandleCount(GetCurrentProcess(), &before);
    for (int i = 0; i < 20; ++i) RunPass();
    DWORD after = 0;
    GetProcessHandleCount(GetCurrentProcess(), &after);
    EXPECT_LE(after, before + 2);
    EXPECT_EQ(completions, 21);
    EXPECT_EQ(sim::RequestCount("arrival"), 21);
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
    EXPECT_LT(GetTickCount() - start, 12000u);

    // The worker outlives the client until its receive time-out ends the query; it must
    // neither crash nor report to the window.
    test::PumpFor(9000);
    EXPECT_EQ(completions, 0);
}

}  // namespace
