// The login and new-mail exchanges over real WinINet against the local service simulator,
// well-behaved and broken.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>

#include "mewlark_config.h"
#include "notifier/service/Endpoints.h"
#include "notifier/service/Login.h"
#include "notifier/service/NewMailQuery.h"
#include "notifier/service/PostExchange.h"
#include "tools/simulator/SimulatorClient.h"

namespace {

const std::string kHttpBase = "http://localhost:" + std::to_string(MEWLARK_SIM_HTTP_PORT);

class Exchange : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Reset();
        sim::AddAccount("user", "pass", 3);
        sim::AddSession("cookie", "user");
    }

    // The status and count of a query of the session "cookie" answered with reply.
    static std::pair<CheckStatus, std::int32_t> Answer(const sim::Reply& reply) {
        sim::Script("arrival", reply);
        std::int32_t count = -1;
        const CheckStatus status = QueryNewMail("cookie", count);
        return {status, count};
    }
};

TEST_F(Exchange, LoginPostsTheFormByteExactAndTakesTheSession) {
    EXPECT_EQ(GetACP(), 932u) << "the texts of these tests are code page 932";
    // A password with every awkward byte: & = % + blank and a Shift-JIS character
    // whose trail byte is 0x5C.
    const std::string password = "a&b=c%d+e f\x95\x5C";
    sim::AddAccount("tarn user", password, 4);

    std::string eid;
    ASSERT_TRUE(Login("tarn user", password, eid));
    EXPECT_EQ(eid.size(), 32u);

    const std::string raw = sim::Request("login");
    EXPECT_EQ(raw.substr(0, raw.find("\r\n")), "POST /certify-cgi/login.cgi HTTP/1.1");
    EXPECT_NE(sim::HeadersOf(raw).find("Content-Type: application/x-www-form-urlencoded\r\n"), std::string::npos);
    // The simulator's host names hold only letters, digits and ":", which both encoders escape alike.
    EXPECT_EQ(sim::BodyOf(raw), "success=" + sim::Encode(MailTopUrl) + "&site=" + sim::Encode(MailSiteHost) +
                                    "&auto=1&uname=tarn+user&pass=a%26b%3Dc%25d%2Be+f%95%5C");
    EXPECT_EQ(raw.find("Cookie:"), std::string::npos) << "no cookie store is used";

    std::int32_t count = -1;
    EXPECT_EQ(QueryNewMail(eid, count), CheckStatus::Ok) << "the session works for the query";
    EXPECT_EQ(count, 4);
}

TEST_F(Exchange, LoginFailsOnlyWithoutAResponse) {
    const std::string untrusted =
        "https://localhost:" + std::to_string(MEWLARK_SIM_UNTRUSTED_PORT) + "/certify-cgi/login.cgi";
    std::string eid = "stale";
    EXPECT_FALSE(LoginAt(untrusted.c_str(), "user", "pass", eid));
    EXPECT_EQ(eid, "");
    EXPECT_EQ(sim::RequestCount("login"), 0) << "nothing is sent over a connection that is not trusted";
    EXPECT_TRUE(Login("user", "wrong", eid)) << "a wrong password is a response without a session";
    EXPECT_EQ(eid, "");
}

TEST_F(Exchange, LoginTakesTheFirstEidCookieOfAnyReplyWithoutFollowingIt) {
    const struct {
        int status;
        std::vector<std::string> cookies;
        std::string eid;
    } cases[] = {
        {302, {"EID=from-redirect; path=/"}, "from-redirect"},
        {500, {"eid=lower; path=/", "TS=1", "EID=first=part; path=/", "EID=second"}, "first=part"},
        {404, {"eid=lower; path=/"}, ""},
        {200, {"EID=; path=/", "EID=later"}, ""},  // only the first EID header counts, even when empty
        {302, {"EID=" + std::string(4000, 'e') + "; path=/"}, std::string(4000, 'e')},
    };
    for (const auto& c : cases) {
        sim::Reply reply;
        reply.status = c.status;
        reply.headers = {"Location: " + kHttpBase + "/elsewhere"};
        reply.cookies = c.cookies;
        sim::Script("login", reply);
        std::string eid = "stale";
        EXPECT_TRUE(Login("user", "pass", eid));
        EXPECT_TRUE(eid == c.eid) << c.cookies.front().substr(0, 40) << " gave " << eid.substr(0, 40);
    }
    EXPECT_EQ(sim::RequestCount("other"), 0) << "no redirect is followed";
}

TEST_F(Exchange, QueryIsByteExactAndOnlyA200ReplyCounts) {
    std::int32_t count = -1;
    EXPECT_EQ(QueryNewMail("cookie", count), CheckStatus::Ok);
    EXPECT_EQ(count, 3);
    const std::string raw = sim::Request("arrival");
    EXPECT_EQ(raw.substr(0, raw.find("\r\n")), "POST /recent/arrival.ghtml/checker1.1/ HTTP/1.1");
    EXPECT_NE(sim::HeadersOf(raw).find("Content-type: application/x-www-form-urlencoded\r\nCookie: EID=cookie\r\n"),
              std::string::npos)
        << raw;
    EXPECT_EQ(sim::BodyOf(raw), "u=recent&s=st&v=51");
    for (const int status : {500, 201}) {
        sim::Reply reply;
        reply.status = status;
        reply.body = "12\r\n";
        EXPECT_EQ(Answer(reply), std::make_pair(CheckStatus::Failed, 0)) << status;
    }
}

TEST_F(Exchange, StopEventAndSilenceEndTheQuery) {
    const HANDLE stop = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    std::int32_t count = -1;
    EXPECT_EQ(QueryNewMail("cookie", count, stop), CheckStatus::Failed);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(sim::RequestCount("arrival"), 0) << "a signalled stop sends nothing";
    CloseHandle(stop);

    sim::Reply silent;
    silent.body = "12\r\n";
    silent.stall = "after-headers";
    silent.stallMs = 60000;
    const DWORD start = GetTickCount();
    EXPECT_EQ(Answer(silent).first, CheckStatus::Failed);
    EXPECT_LT(GetTickCount() - start, 40000u) << "the 15 s receive time-out ends it, not the 60 s silence";
}

TEST_F(Exchange, LargeBodyIsReadWhole) {
    sim::Reply reply;
    reply.body = "7\r\n";
    reply.bodySize = 5 * 1024 * 1024 + 17;
    sim::Script("arrival", reply);
    PostExchange exchange;
    ASSERT_TRUE(exchange.Open(ArrivalUrl, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_COOKIES, nullptr));
    ASSERT_TRUE(HttpSendRequestA(exchange.request.Get(), nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetStatusCode(exchange.request.Get()), 200u);
    ResponseBody body;
    ASSERT_TRUE(ReadResponseBody(exchange.request.Get(), body, nullptr));
    EXPECT_EQ(body.Size(), reply.bodySize);
    EXPECT_EQ(std::string(body.Data(), 3), "7\r\n");
    EXPECT_EQ(body.Data()[body.Size()], '\0');
}

}  // namespace
