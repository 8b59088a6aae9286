// The login and new-mail exchanges over real WinINet against the local service simulator:
// their bytes, the replies that count and how much of them is read, and the ends of a broken
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
              std::string::npos) << raw;
    EXPECT_EQ(sim::BodyOf(raw), "u=recent&s=st&v=51");
}

TEST_F(Exchange, TheLoginTakesTheFirstEidCookieOfAnyReplyWithoutFollowingItAndOnlyA200QueryInTimeCountsUpToItsFirstLine) {
    const std::string site = "http://localhost:" + std::to_string(MEWLARK_SIM_HTTP_PORT);
    const std::tuple<int, std::vector<std::string>, std::string> cases[] = {
        {302, {"EID=from-redirect; path=/"}, "from-redirect"},
        {500, {"eid=lower; path=/", "TS=1", "EID=first=part; path=/", "EID=second"}, "first=part"}};
    for (const auto& [status, cookies, expected] : cases) {
        sim::Script("login", {.status = status, .headers = {"Location: " + site + "/elsewhere"}, .cookies = cookies});
        std::string eid = "stale";
        EXPECT_TRUE(Login("user", "pass", eid));
        EXPECT_EQ(eid, expected) << cookies.front();
    }
    EXPECT_EQ(sim::RequestCount("other"), 0) << "no redirect is followed";
    // A connection closed before any reply is no response (WinINet may take it for one).
    sim::Script("login", {.stall = "before-headers", .stallMs = 1});
    std::string eid;
    EXPECT_FALSE(LoginAt((site + "/certify-cgi/login.cgi").c_str(), "user", "pass", eid));

    // Only a 200 reply in time counts, and only as far as its first line, 64 KB at most: the third
    // service says nothing for 40 s (the receive time-out ends the wait), the last ones never end.
    PROCESS_MEMORY_COUNTERS memory{};
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory));
    const SIZE_T before = memory.PeakWorkingSetSize;  // a high-water mark: a buffer freed again counts
    const std::pair<sim::Reply, std::pair<CheckStatus, std::int32_t>> queries[] = {
        {{.status = 500, .body = "12\r\n"}, {CheckStatus::Failed, 0}}, {{.status = 201, .body = "12\r\n"}, {CheckStatus::Failed, 0}},
        {{.body = "12\r\n", .delayMs = 40000}, {CheckStatus::Failed, 0}}, {{.body = "7\r\n", .endless = true}, {CheckStatus::Ok, 7}},
        {{.body = "8\r\n", .dripMs = 1000, .endless = true}, {CheckStatus::Ok, 8}}, {{.fill = "x", .endless = true}, {CheckStatus::Ok, 0}}};
    for (const auto& [reply, expected] : queries) {
        sim::Script("arrival", reply);
        std::int32_t count = -1;
        EXPECT_EQ(std::make_pair(QueryNewMail("cookie", count), count), expected) << reply.status << " " << reply.body;
    }
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory));
    EXPECT_LT(memory.PeakWorkingSetSize - before, SIZE_T{16} << 20) << "a reply held whole";
}

}  // namespace
