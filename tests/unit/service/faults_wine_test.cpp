// Hostile and broken service behaviour: every exchange ends with a defined result.
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <string>

#include "mewlark_config.h"
#include "notifier/service/login.h"
#include "notifier/service/new_mail_query.h"
#include "tests/support/simulator_client.h"

namespace {

const std::string kArrivalPath = "/recent/arrival.ghtml/checker1.1/";
const std::string kRefusedUrl = "http://127.0.0.1:1" + kArrivalPath;
const std::string kUnresolvedUrl = "http://mewlark-no-such-host.invalid" + kArrivalPath;

class Faults : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Reset();
        sim::AddAccount("user", "pass", 0);
        sim::AddSession("cookie", "user");
    }

    CheckStatus Query(const sim::Reply& reply, std::int32_t& count) {
        sim::Script("arrival", reply);
        count = -1;
        return QueryNewMail("cookie", count);
    }
};

TEST_F(Faults, UnreachableServicesFail) {
    std::int32_t count = -1;
    EXPECT_EQ(QueryNewMailAt(kRefusedUrl.c_str(), "cookie", count, nullptr), CheckStatus::Failed);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(QueryNewMailAt(kUnresolvedUrl.c_str(), "cookie", count, nullptr), CheckStatus::Failed);

    std::string eid = "stale";
    EXPECT_FALSE(LoginAt("https://127.0.0.1:1/certify-cgi/login.cgi", "user", "pass", eid));
    EXPECT_TRUE(eid.empty());
    EXPECT_FALSE(LoginAt("https://mewlark-no-such-host.invalid/certify-cgi/login.cgi", "user", "pass", eid));
}

TEST_F(Faults, StatusOtherThan200Fails) {
    for (const int status : {500, 302, 404, 204, 201}) {
        sim::Reply reply;
        reply.status = status;
        reply.body = "12\r\n";
        std::int32_t count;
        EXPECT_EQ(Query(reply, count), CheckStatus::Failed) << status;
        EXPECT_EQ(count, 0) << status;
    }
}

TEST_F(Faults, ResetBeforeTheHeadersFails) {
    // WinINet may send a request again after a reset: drop every attempt.
    sim::Reply reset;
    reset.drop = "before-headers";
    reset.times = 5;
    std::int32_t count;
    EXPECT_EQ(Query(reset, count), CheckStatus::Failed);
    EXPECT_EQ(count, 0);
}

TEST_F(Faults, EmptyOrCutRepliesFailOrKeepWhatArrived) {
    std::int32_t count;
    sim::Reply empty;
    EXPECT_EQ(Query(empty, count), CheckStatus::Failed);

    // Cut half-way through the body: the first line had arrived and is what counts.
    sim::Reply cut;
    cut.body = "12\r\n";
    cut.bodySize = 4000;
    cut.drop = "mid-body";
    const CheckStatus status = Query(cut, count);
    EXPECT_TRUE((status == CheckStatus::Ok && count == 12) || (status == CheckStatus::Failed && count == 0))
        << static_cast<int>(status) << " " << count;
}

TEST_F(Faults, SlowButSteadyReplyIsReadToTheEnd) {
    sim::Reply drip;
    drip.body = "3\r\n";
    drip.dripMs = 1000;
    std::int32_t count;
    EXPECT_EQ(Query(drip, count), CheckStatus::Ok);
    EXPECT_EQ(count, 3);
}

TEST_F(Faults, OversizedAndGarbageRepliesParseSafely) {
    std::int32_t count;
    sim::Reply longDigits;
    longDigits.body = std::string(100000, '7');
    EXPECT_EQ(Query(longDigits, count), CheckStatus::Ok);
    EXPECT_EQ(count, INT_MAX);

    sim::Reply longLine;
    longLine.bodySize = 100000;
    longLine.fill = "x";
    EXPECT_EQ(Query(longLine, count), CheckStatus::Ok);
    EXPECT_EQ(count, 0);

    sim::Reply huge;
    huge.body = "42\r\n";
    huge.bodySize = 50 * 1024 * 1024;
    EXPECT_EQ(Query(huge, count), CheckStatus::Ok);
    EXPECT_EQ(count, 42);

    sim::Reply garbage;
    for (int c = 0x80; c <= 0xFF; ++c) garbage.body += static_cast<char>(c);
    garbage.body += "\r\n5";
    EXPECT_EQ(Query(garbage, count), CheckStatus::Ok);
    EXPECT_EQ(count, 0);

    sim::Reply nul;
    nul.body = std::string("8\0" "9\r\n", 4);
    EXPECT_EQ(Query(nul, count), CheckStatus::Ok);
    EXPECT_EQ(count, 8) << "the reply is zero-terminated text";
}

TEST_F(Faults, LongSessionCookiesAreTakenSafely) {
    // 4000 bytes round-trip through the login and the query.
    const std::string longValue(4000, 'e');
    sim::Reply reply;
    reply.status = 404;
    reply.cookies = {"EID=" + longValue + "; path=/"};
    sim::Script("login", reply);
    std::string eid;
    ASSERT_TRUE(Login("user", "pass", eid));
    EXPECT_EQ(eid.size(), longValue.size());
    EXPECT_TRUE(eid == longValue);

    sim::AddSession(longValue, "user");
    sim::SetCount("user", 6);
    std::int32_t count = -1;
    EXPECT_EQ(QueryNewMail(eid, count), CheckStatus::Ok);
    EXPECT_EQ(count, 6);

    // 8 KB: Wine keeps at most 4095 bytes of a header line, so the value arrives cut;
    // whatever arrives is a piece of the value and the exchange still ends normally.
    const std::string hugeValue(8192, 'h');
    reply.cookies = {"EID=" + hugeValue + "; path=/"};
    sim::Script("login", reply);
    ASSERT_TRUE(Login("user", "pass", eid));
    EXPECT_FALSE(eid.empty());
    EXPECT_LE(eid.size(), hugeValue.size());
    EXPECT_EQ(eid.find_first_not_of('h'), std::string::npos);
}

}  // namespace
