// The login and new-mail exchanges over real WinINet against the local service simulator:
// their bytes, the replies that count, and the ends of a broken exchange.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <tuple>
#include <utility>

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
    // The status and count of a query of the session "cookie".
    static std::pair<CheckStatus, std::int32_t> Query(HANDLE stop = nullptr) {
        std::int32_t count = -1;
        const CheckStatus status = QueryNewMail("cookie", count, stop);
        return {status, count};
    }
};

TEST_F(Exchange, TheLoginPostsTheFormByteExactAndTakesTheSessionWhichTheQuerySendsByteExact) {
    // A password with every awkward byte: & = % + blank and a Shift-JIS character whose trail
    // byte is 0x5C.
    const std::string password = "a&b=c%d+e f\x95\x5C";
    sim::AddAccount("tarn user", password, 4);
    std::string eid;
    ASSERT_TRUE(Login("tarn user", password, eid));
    EXPECT_EQ(eid.size(), 32u);
    std::string raw = sim::Request("login");
    EXPECT_EQ(raw.substr(0, raw.find("\r\n")), "POST /certify-cgi/login.cgi HTTP/1.1");
    EXPECT_NE(sim::HeadersOf(raw).find("Content-Type: application/x-www-form-urlencoded\r\n"), std::string::npos);
    EXPECT_EQ(sim::BodyOf(raw), "success=" + sim::Encode(MailTopUrl) + "&site=" + sim::Encode(MailSiteHost) +
                                    "&auto=1&uname=tarn+user&pass=a%26b%3Dc%25d%2Be+f%95%5C");
    EXPECT_EQ(raw.find("Cookie:"), std::string::npos) << "no cookie store is used";

    std::int32_t count = -1;
    EXPECT_EQ(std::make_pair(QueryNewMail(eid, count), count), std::make_pair(CheckStatus::Ok, 4));
    raw = sim::Request("arrival");
    EXPECT_EQ(raw.substr(0, raw.find("\r\n")), "POST /recent/arrival.ghtml/checker1.1/ HTTP/1.1");
    EXPECT_NE(sim::HeadersOf(raw).find("Content-type: application/x-www-form-urlencoded\r\nCookie: EID=" + eid + "\r\n"),
              std::string::npos)
        << raw;
    EXPECT_EQ(sim::BodyOf(raw), "u=recent&s=st&v=51");
}

TEST_F(Exchange, TheLoginTakesTheFirstEidCookieOfAnyReplyWithoutFollowingItAndFailsOnlyWithoutOne) {
    const std::tuple<int, std::vector<std::string>, std::string> cases[] = {
        {302, {"EID=from-redirect; path=/"}, "from-redirect"},
        {500, {"eid=lower; path=/", "TS=1", "EID=first=part; path=/", "EID=second"}, "first=part"},
        {404, {"eid=lower; path=/"}, ""},
        {200, {"EID=; path=/", "EID=later"}, ""},  // only the first EID header counts, even when empty
    };
    for (const auto& [status, cookies, expected] : cases) {
        sim::Reply reply;
        reply.status = status;
        reply.headers = {"Location: http://localhost:" + std::to_string(MEWLARK_SIM_HTTP_PORT) + "/elsewhere"};
        reply.cookies = cookies;
        sim::Script("login", reply);
        std::string eid = "stale";
        EXPECT_TRUE(Login("user", "pass", eid));
        EXPECT_EQ(eid, expected) << cookies.front();
    }
    EXPECT_EQ(sim::RequestCount("other"), 0) << "no redirect is followed";

    const std::string untrusted =
        "https://localhost:" + std::to_string(MEWLARK_SIM_UNTRUSTED_PORT) + "/certify-cgi/login.cgi";
    std::string eid = "stale";
    EXPECT_FALSE(LoginAt(untrusted.c_str(), "user", "pass", eid));
    EXPECT_EQ(eid, "");
    EXPECT_TRUE(Login("user", "wrong", eid)) << "a wrong password is a response without a session";
    EXPECT_EQ(eid, "");

    // A connection closed before any reply is no response (WinINet may take it for one).
    sim::Reply closed;
    closed.stall = "before-headers", closed.stallMs = 1;
    sim::Script("login", closed);
    const std::string plain = "http://localhost:" + std::to_string(MEWLARK_SIM_HTTP_PORT) + "/certify-cgi/login.cgi";
    EXPECT_FALSE(LoginAt(plain.c_str(), "user", "pass", eid));
}

TEST_F(Exchange, OnlyA200ReplyCountsAndAStopOrSilenceEndsTheQuery) {
    for (const int status : {500, 404, 302, 201}) {
        sim::Reply reply;
        reply.status = status;
        reply.body = "12\r\n";
        sim::Script("arrival", reply);
        EXPECT_EQ(Query(), std::make_pair(CheckStatus::Failed, 0)) << status;
    }
    const HANDLE stop = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    EXPECT_EQ(Query(stop), std::make_pair(CheckStatus::Failed, 0));
    CloseHandle(stop);
    EXPECT_EQ(sim::RequestCount("arrival"), 4) << "a signalled stop sends nothing";

    sim::Reply silent;
    silent.body = "12\r\n";
    silent.stall = "after-headers";
    silent.stallMs = 60000;
    sim::Script("arrival", silent);
    const DWORD start = GetTickCount();
    EXPECT_EQ(Query().first, CheckStatus::Failed);
    EXPECT_LT(GetTickCount() - start, 40000u) << "the 15 s receive time-out ends it, not the 60 s silence";
}

}  // namespace
