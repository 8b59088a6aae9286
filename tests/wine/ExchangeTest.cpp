// The login and new-mail exchanges over real WinINet against the local service simulator:
// their bytes, the replies that count, how much of a reply is read, and the ends of a broken
// exchange.
#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "mewlark_config.h"
#include "notifier/service/Endpoints.h"
#include "notifier/service/Login.h"
#include "notifier/service/NewMailQuery.h"
#include "tools/simulator/SimulatorClient.h"

namespace {

// The process's peak working set, which a reply held whole raises even after it is freed.
SIZE_T PeakWorkingSet() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters.PeakWorkingSetSize;
}

class Exchange : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Reset();
        sim::AddAccount("user", "pass", 3);
        sim::AddSession("cookie", "user");
    }
};

TEST_F(Exchange, TheLoginPostsTheFormByteExactAndTakesTheSessionWhichTheQuerySendsByteExact) {
    // A password with every awkward byte: & = % + blank and a Shift-JIS character whose trail
    // byte is 0x5C.
    const std::string password = "a&b=c%d+e f\x95\x5C";
    sim::AddAccount("tarn user", password, 4);
    std::string eid;
    ASSERT_TRUE(Login("tarn user", password, eid));
    std::string raw = sim::Request("login");
    EXPECT_EQ(raw.substr(0, raw.find("\r\n")), "POST /certify-cgi/login.cgi HTTP/1.1");
    EXPECT_NE(sim::HeadersOf(raw).find("Content-Type: application/x-www-form-urlencoded\r\n"), std::string::npos);
    EXPECT_EQ(sim::BodyOf(raw), "success=" + sim::Encode(MailTopUrl) + "&site=" + sim::Encode(MailSiteHost) +
                                    "&auto=1&uname=tarn+user&pass=a%26b%3Dc%25d%2Be+f%95%5C");

    std::int32_t count = -1;
    EXPECT_EQ(std::make_pair(QueryNewMail(eid, count), count), std::make_pair(CheckStatus::Ok, 4));
    raw = sim::Request("arrival");
    EXPECT_EQ(raw.substr(0, raw.find("\r\n")), "POST /recent/arrival.ghtml/checker1.1/ HTTP/1.1");
    EXPECT_NE(sim::HeadersOf(raw).find("Content-type: application/x-www-form-urlencoded\r\nCookie: EID=" + eid + "\r\n"),
              std::string::npos)
        << raw;
    EXPECT_EQ(sim::BodyOf(raw), "u=recent&s=st&v=51");
}

TEST_F(Exchange, TheLoginTakesTheFirstEidCookieOfAnyReplyWithoutFollowingItAndOnlyA200QueryInTimeCounts) {
    const std::tuple<int, std::vector<std::string>, std::string> cases[] = {
        {302, {"EID=from-redirect; path=/"}, "from-redirect"},
        {500, {"eid=lower; path=/", "TS=1", "EID=first=part; path=/", "EID=second"}, "first=part"}};
    for (const auto& [status, cookies, expected] : cases) {
        sim::Script("login", {.status = status,
                              .headers = {"Location: http://localhost:" + std::to_string(MEWLARK_SIM_HTTP_PORT) + "/elsewhere"},
                              .cookies = cookies});
        std::string eid = "stale";
        EXPECT_TRUE(Login("user", "pass", eid));
        EXPECT_EQ(eid, expected) << cookies.front();
    }
    EXPECT_EQ(sim::RequestCount("other"), 0) << "no redirect is followed";
    // A connection closed before any reply is no response (WinINet may take it for one).
    sim::Script("login", {.stall = "before-headers", .stallMs = 1});
    const std::string plain = "http://localhost:" + std::to_string(MEWLARK_SIM_HTTP_PORT) + "/certify-cgi/login.cgi";
    std::string eid;
    EXPECT_FALSE(LoginAt(plain.c_str(), "user", "pass", eid));

    // The last service takes the query and then says nothing for 40 s: the receive time-out ends
    // the wait before that reply comes.
    for (const sim::Reply& reply : {sim::Reply{.status = 500, .body = "12\r\n"}, sim::Reply{.status = 201, .body = "12\r\n"},
                                    sim::Reply{.body = "12\r\n", .delayMs = 40000}}) {
        sim::Script("arrival", reply);
        std::int32_t count = -1;
        EXPECT_EQ(std::make_pair(QueryNewMail("cookie", count), count), std::make_pair(CheckStatus::Failed, 0)) << reply.status;
    }
}

TEST_F(Exchange, AReplyThatNeverEndsIsReadUpToItsFirstLineOr64KBAndNeverHeldWhole) {
    std::int32_t count = -1;
    ASSERT_EQ(QueryNewMail("cookie", count), CheckStatus::Ok);  // WinINet's own memory is in place
    const SIZE_T before = PeakWorkingSet();
    const std::pair<sim::Reply, std::int32_t> endless[] = {
        {{.body = "7\r\n", .endless = true}, 7}, {{.body = "8\r\n", .dripMs = 1000, .endless = true}, 8},
        {{.fill = "x", .endless = true}, 0}};
    for (const auto& [reply, expected] : endless) {
        sim::Script("arrival", reply);
        EXPECT_EQ(std::make_pair(QueryNewMail("cookie", count), count), std::make_pair(CheckStatus::Ok, expected)) << expected;
    }
    EXPECT_LT(PeakWorkingSet() - before, SIZE_T{16} << 20);
}

}  // namespace
