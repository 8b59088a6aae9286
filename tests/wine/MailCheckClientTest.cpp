// Check passes of MailCheckClient on real worker threads against the local service simulator,
// a broken network and a broken service.
#include "notifier/service/MailCheckClient.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

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
    // Runs one pass to its completion message; whileRunning() right after its start.
    void RunPass(const std::function<void()>& whileRunning = [] {}) {
        const int before = completions;
        ASSERT_TRUE(client->StartCheck());
        whileRunning();
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
    client->SetUserId("user"), RunPass();
    EXPECT_EQ(std::make_pair(seen, sim::RequestCount("login") + sim::RequestCount("arrival")),
              std::make_pair(Result(CheckStatus::LoginRequired, 0), 0)) << "no cookie and no password: no exchange";

    client->SetPassword("pass");  // a login, then the query in the same pass
    RunPass();
    EXPECT_EQ(seen, Result(CheckStatus::Ok, 5));
    sim::Script("arrival", {.body = "2\r\n", .delayMs = 1500});
    RunPass([&] { EXPECT_FALSE(client->StartCheck()) << "a start while a pass runs is dropped"; });
    EXPECT_EQ(seen, Result(CheckStatus::Ok, 2));
    EXPECT_EQ(std::make_pair(sim::RequestCount("login"), sim::RequestCount("arrival")), std::make_pair(1, 2))
        << "the next pass uses the cookie alone, and runs once";
    client->SetPassword("wrong"), RunPass();  // a new password logs in again, and a login without a session asks
    EXPECT_EQ(seen, Result(CheckStatus::LoginRequired, 0));

    // "unknown" asks for a login and keeps the cookie; a new user id empties it.
    client->SetSessionCookie("expired"), RunPass();
    EXPECT_EQ(std::make_pair(seen, client->GetSessionCookie()), std::make_pair(Result(CheckStatus::LoginRequired, 0), std::string("expired")));
    client->SetUserId("user");
    EXPECT_EQ(client->GetSessionCookie(), "");
}

TEST_F(MailCheck, AFailedPassReportsNoOldCountAndWhetherTheServiceWasOutOfReach) {
    const struct { const char* name; sim::Reply reply; bool outOfReach; const char* target; } faults[] = {
        {"connection refused", {}, true, "arrival"},
        {"login connection refused", {}, true, "login"},
        {"empty body, after passes out of reach", {.body = ""}, false, "arrival"},
        // A byte a second, each well within the receive time-out: the query's deadline ends it.
        {"a first line that drips for ever", {.fill = "1", .dripMs = 1000, .endless = true}, false, "arrival"},
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.name);
        client->SetUserId("user"), client->SetPassword("pass");
        RunPass();
        ASSERT_EQ(seen, Result(CheckStatus::Ok, 5));
        if (std::string(fault.target) == "login") client->SetSessionCookie("");
        if (!fault.outOfReach) sim::Script(fault.target, fault.reply);
        std::optional<sim::OutOfReach> offline;
        if (fault.outOfReach) offline.emplace();
        RunPass();
        EXPECT_EQ(seen, Result(CheckStatus::Failed, 0));
        // Only a service out of reach is one that the network's return may bring back.
        EXPECT_EQ(client->ServiceUnreachable(), fault.outOfReach);
    }
}

}  // namespace
