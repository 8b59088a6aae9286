// Check passes of MailCheckClient on real worker threads against the local service simulator,
// a broken network and a broken service.
#include "notifier/service/MailCheckClient.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "tests/support/Registry.h"
#include "tests/support/Waiting.h"
#include "tools/simulator/SimulatorClient.h"

namespace {

constexpr UINT kCheckDone = WM_USER + 2;
using Result = std::pair<CheckStatus, std::int32_t>;

class MailCheck : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Reset();
        sim::AddAccount("user", "pass", 5);
        sim::AddSession("cookie", "user");
        client->SetNotifyTarget(target.Handle(), kCheckDone);
    }
    // Runs one pass to its completion message.
    void RunPass() {
        const int before = completions;
        ASSERT_TRUE(client->StartCheck());
        ASSERT_TRUE(test::WaitFor([&] { return completions > before; }, 40000));
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
        return ++completions, true;
    }};
};

TEST_F(MailCheck, ALoginOnlyWithoutACookieAndTheCookieKeptUntilNewCredentials) {
    client->SetUserId("user");
    RunPass();
    EXPECT_EQ(seen, Result(CheckStatus::LoginRequired, 0)) << "no cookie and no password";
    client->SetUserId("");
    client->SetPassword("pass");
    RunPass();
    EXPECT_EQ(seen, Result(CheckStatus::LoginRequired, 0)) << "no cookie and no user id";
    EXPECT_EQ(sim::RequestCount("login") + sim::RequestCount("arrival"), 0);

    client->SetUserId("user");  // a login, then the query in the same pass
    RunPass();
    EXPECT_EQ(seen, Result(CheckStatus::Ok, 5));
    const std::string cookie = client->GetSessionCookie();
    EXPECT_NE(cookie, "");
    sim::SetCount("user", 2);
    RunPass();
    EXPECT_EQ(seen, Result(CheckStatus::Ok, 2));
    EXPECT_EQ(sim::RequestCount("login"), 1) << "the next pass uses the cookie alone";

    // "unknown" asks for a login and keeps the cookie; a new user id or password empties it.
    client->SetSessionCookie("expired");
    RunPass();
    EXPECT_EQ(seen, Result(CheckStatus::LoginRequired, 0));
    EXPECT_EQ(client->GetSessionCookie(), "expired");
    client->SetUserId("user");
    EXPECT_EQ(client->GetSessionCookie(), "");
    client->SetSessionCookie("expired-again");
    client->SetPassword("wrong");
    EXPECT_EQ(client->GetSessionCookie(), "");
    RunPass();
    EXPECT_EQ(seen, Result(CheckStatus::LoginRequired, 0)) << "a wrong password";
    EXPECT_EQ(std::make_pair(sim::RequestCount("login"), sim::RequestCount("arrival")), std::make_pair(2, 3));

}

TEST_F(MailCheck, EveryFaultEndsThePassWithItsStatusNoOldCountAndWhetherTheServiceWasInReach) {
    const Result failed{CheckStatus::Failed, 0};
    const std::string longCookie(8192, 'h');
    const struct {
        const char* name;
        std::function<void(sim::Reply& reply)> arrange;
        std::vector<Result> outcomes;  // the first is what Windows gives; more where Wine differs
        const char* proxy = nullptr;
        const char* target = "arrival";  // or "login": the pass logs in first
    } faults[] = {
        {"connection refused", {}, {failed}, "127.0.0.1:1"},
        {"name not resolved", {}, {failed}, "mewlark-no-such-host.invalid:8080"},
        {"login connection refused", {}, {failed}, "127.0.0.1:1", "login"},
        // WinINet sends a request again after a reset: drop every attempt.
        {"reset before the headers", [](sim::Reply& r) { r.drop = "before-headers", r.times = 5; }, {failed}},
        // The first line arrived before the reset and is what counts; Wine may lose it.
        {"reset half-way through the body",
         [](sim::Reply& r) { r.body = "12\r\n", r.bodySize = 4000, r.drop = "mid-body"; }, {{CheckStatus::Ok, 12}, failed}},
        {"a body dripped one byte a second", [](sim::Reply& r) { r.body = "3\r\n", r.dripMs = 1000; },
         {{CheckStatus::Ok, 3}}},
        {"empty body", [](sim::Reply&) {}, {failed}},
        {"dberror", [](sim::Reply& r) { r.body = "dberror\r\n"; }, {{CheckStatus::ServiceError, 0}}},
        {"a first line of 100 000 bytes", [](sim::Reply& r) { r.bodySize = 100000, r.fill = "x"; }, {{CheckStatus::Ok, 0}}},
        {"a 50 MB body", [](sim::Reply& r) { r.body = "42\r\n", r.bodySize = 50 * 1024 * 1024; }, {{CheckStatus::Ok, 42}}},
        {"non-ASCII garbage",
         [](sim::Reply& r) {
             for (int c = 0x80; c <= 0xFF; ++c) r.body += static_cast<char>(c);
             r.body += "\r\n5";
         },
         {{CheckStatus::Ok, 0}}},
        // Wine keeps 4095 bytes of a header line: the cut cookie is no session.
        {"a Set-Cookie of 8 KB",
         [&](sim::Reply& r) {
             r.status = 302, r.cookies = {"EID=" + longCookie + "; path=/"};
             sim::AddSession(longCookie, "user");
         },
         {{CheckStatus::Ok, 5}, {CheckStatus::LoginRequired, 0}}, nullptr, "login"},
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.name);
        sim::Reset();
        sim::AddAccount("user", "pass", 5);
        client->SetUserId("user");
        client->SetPassword("pass");
        // A count from an earlier pass is never reported for a failed one.
        RunPass();
        ASSERT_EQ(seen, Result(CheckStatus::Ok, 5));
        if (std::string(fault.target) == "login") client->SetSessionCookie("");
        if (fault.arrange) {
            sim::Reply reply;
            fault.arrange(reply);
            sim::Script(fault.target, reply);
        }
        std::optional<test::SystemProxy> proxy;
        if (fault.proxy) proxy.emplace(fault.proxy);
        RunPass();
        EXPECT_NE(std::find(fault.outcomes.begin(), fault.outcomes.end(), seen), fault.outcomes.end())
            << "status " << static_cast<int>(seen.first) << ", count " << seen.second;
        // Only a service out of reach is one that the network's return may bring back.
        EXPECT_EQ(client->ServiceUnreachable(), fault.proxy != nullptr);
    }
}

TEST_F(MailCheck, AStartWhileAPassRunsIsDroppedPassesLeakNothingAndTheEndWaitsBoundedly) {
    client->SetSessionCookie("cookie");
    sim::Reply slow;
    slow.body = "1\r\n";
    slow.delayMs = 1500;
    sim::Script("arrival", slow);
    ASSERT_TRUE(client->StartCheck());
    EXPECT_FALSE(client->StartCheck());
    ASSERT_TRUE(test::WaitFor([&] { return completions == 1; }, 40000));
    ASSERT_TRUE(client->WaitForIdle(5000));
    DWORD before = 0, after = 0;
    GetProcessHandleCount(GetCurrentProcess(), &before);
    for (int i = 0; i < 20; ++i) RunPass();
    GetProcessHandleCount(GetCurrentProcess(), &after);
    EXPECT_LE(after, before + 2);
    EXPECT_EQ(std::make_pair(completions, sim::RequestCount("arrival")), std::make_pair(21, 21));

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
    EXPECT_EQ(completions, 21);
}

}  // namespace
