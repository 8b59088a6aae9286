// The login and new-mail exchanges over real WinINet against the local service simulator.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "mewlark_config.h"
#include "notifier/service/endpoints.h"
#include "notifier/service/http_request.h"
#include "notifier/service/login.h"
#include "notifier/service/new_mail_query.h"
#include "tests/support/simulator_client.h"

namespace {

const std::string kHttpBase = "http://localhost:" + std::to_string(MEWLARK_SIM_HTTP_PORT);
const std::string kUntrustedLogin =
    "https://localhost:" + std::to_string(MEWLARK_SIM_UNTRUSTED_PORT) + "/certify-cgi/login.cgi";

class Exchange : public ::testing::Test {
protected:
    void SetUp() override { sim::Reset(); }
};

TEST_F(Exchange, RunsInAJapaneseCodePage) { EXPECT_EQ(GetACP(), 932u); }

TEST_F(Exchange, LoginPostsTheFormByteExactAndTakesTheSession) {
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

    // The session works for the query.
    std::int32_t count = -1;
    EXPECT_EQ(QueryNewMail(eid, count), CheckStatus::Ok);
    EXPECT_EQ(count, 4);
}

TEST_F(Exchange, WrongPasswordGivesAResponseWithoutSession) {
    sim::AddAccount("user", "right", 1);
    std::string eid = "stale";
    EXPECT_TRUE(Login("user", "wrong", eid));
    EXPECT_TRUE(eid.empty());
}

TEST_F(Exchange, UntrustedCertificateFailsTheLogin) {
    sim::AddAccount("user", "pass", 1);
    std::string eid = "stale";
    EXPECT_FALSE(LoginAt(kUntrustedLogin.c_str(), "user", "pass", eid));
    EXPECT_TRUE(eid.empty());
    EXPECT_EQ(sim::RequestCount("login"), 0);
}

TEST_F(Exchange, LoginOverPlainHttpUsesTheSameExchange) {
    sim::AddAccount("user", "pass", 1);
    std::string eid;
    EXPECT_TRUE(LoginAt((kHttpBase + "/certify-cgi/login.cgi").c_str(), "user", "pass", eid));
    EXPECT_FALSE(eid.empty());
}

TEST_F(Exchange, RedirectCarryingTheCookieIsNotFollowed) {
    sim::Reply reply;
    reply.status = 302;
    reply.headers = {"Location: " + kHttpBase + "/elsewhere"};
    reply.cookies = {"EID=from-redirect; path=/"};
    sim::Script("login", reply);

    std::string eid;
    EXPECT_TRUE(Login("user", "pass", eid));
    EXPECT_EQ(eid, "from-redirect");
    EXPECT_EQ(sim::RequestCount("other"), 0);
}

TEST_F(Exchange, FirstEidCookieWinsAndNamesAreCaseSensitive) {
    sim::Reply reply;
    reply.status = 500;
    reply.cookies = {"eid=lower; path=/", "TS=1", "EID=first=part; path=/", "EID=second"};
    sim::Script("login", reply);
    std::string eid;
    EXPECT_TRUE(Login("user", "pass", eid));
    EXPECT_EQ(eid, "first=part");

    reply.cookies = {"eid=lower; path=/"};
    sim::Script("login", reply);
    EXPECT_TRUE(Login("user", "pass", eid));
    EXPECT_TRUE(eid.empty());

    reply.cookies = {"EID=; path=/", "EID=later"};
    sim::Script("login", reply);
    EXPECT_TRUE(Login("user", "pass", eid));
    EXPECT_TRUE(eid.empty()) << "only the first EID header counts, even when empty";
}

TEST_F(Exchange, QuerySendsTheCookieHeaderAndBodyByteExact) {
    sim::AddAccount("user", "pass", 0);
    sim::AddSession("abc", "user");
    std::int32_t count = -1;
    EXPECT_EQ(QueryNewMail("abc", count), CheckStatus::Ok);
    EXPECT_EQ(count, 0);

    const std::string raw = sim::Request("arrival");
    EXPECT_EQ(raw.substr(0, raw.find("\r\n")), "POST /recent/arrival.ghtml/checker1.1/ HTTP/1.1");
    EXPECT_NE(sim::HeadersOf(raw).find("Content-type: application/x-www-form-urlencoded\r\nCookie: EID=abc\r\n"),
              std::string::npos)
        << raw;
    EXPECT_EQ(sim::BodyOf(raw), "u=recent&s=st&v=51");
}

TEST_F(Exchange, QueryRepliesMapToStatuses) {
    sim::AddAccount("user", "pass", 3);
    sim::AddAccount("broken", "pass", 3, true);
    sim::AddSession("good", "user");
    sim::AddSession("bad", "broken");
    std::int32_t count = -1;
    EXPECT_EQ(QueryNewMail("good", count), CheckStatus::Ok);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(QueryNewMail("bad", count), CheckStatus::ServiceError);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(QueryNewMail("nobody", count), CheckStatus::LoginRequired);
    EXPECT_EQ(count, 0);

    sim::Reply reply;
    reply.status = 500;
    reply.body = "12\r\n";
    sim::Script("arrival", reply);
    EXPECT_EQ(QueryNewMail("good", count), CheckStatus::Failed);
    EXPECT_EQ(count, 0);

    reply = sim::Reply();
    reply.body = "";
    sim::Script("arrival", reply);
    EXPECT_EQ(QueryNewMail("good", count), CheckStatus::Failed);
}

TEST_F(Exchange, SignalledStopEventEndsTheQueryBeforeItIsSent) {
    HANDLE stop = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    std::int32_t count = -1;
    EXPECT_EQ(QueryNewMail("abc", count, stop), CheckStatus::Failed);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(sim::RequestCount("arrival"), 0);
    CloseHandle(stop);
}

TEST_F(Exchange, SilentServerEndsTheQueryAfterTheReceiveTimeout) {
    sim::Reply reply;
    reply.body = "12\r\n";
    reply.stall = "after-headers";
    reply.stallMs = 60000;
    sim::Script("arrival", reply);

    const DWORD start = GetTickCount();
    std::int32_t count = -1;
    EXPECT_EQ(QueryNewMail("abc", count), CheckStatus::Failed);
    const DWORD elapsed = GetTickCount() - start;
    // Bounded by the 15 s receive time-out, not by the server's 60 s silence.
    EXPECT_LT(elapsed, 40000u);
}

TEST_F(Exchange, LargeBodyIsReadWhole) {
    sim::Reply reply;
    reply.body = "7\r\n";
    reply.bodySize = 5 * 1024 * 1024 + 17;
    sim::Script("arrival", reply);

    PostExchange exchange;
    ASSERT_TRUE(exchange.Open(ArrivalUrl, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_COOKIES, nullptr));
    ASSERT_TRUE(HttpSendRequestA(exchange.request.Get(), nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetStatusCode(exchange.request), 200u);
    ResponseBody body;
    ASSERT_TRUE(ReadResponseBody(exchange.request.Get(), body, nullptr));
    EXPECT_EQ(body.Size(), 5u * 1024 * 1024 + 17);
    EXPECT_EQ(std::string(body.Data(), 3), "7\r\n");
    EXPECT_EQ(body.Data()[body.Size()], '\0');

    sim::Script("arrival", reply);
    std::int32_t count = -1;
    EXPECT_EQ(QueryNewMail("abc", count), CheckStatus::Ok);
    EXPECT_EQ(count, 7);
}

}  // namespace
