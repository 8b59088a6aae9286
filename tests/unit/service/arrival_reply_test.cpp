#include "notifier/service/arrival_reply.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

struct Case {
    const char* reply;
    CheckStatus status;
    std::int32_t count;
};

TEST(ArrivalReply, GrammarTable) {
    const Case cases[] = {
        {"12\r\n", CheckStatus::Ok, 12},
        {"0", CheckStatus::Ok, 0},
        {"99+", CheckStatus::Ok, 99},
        {"+5", CheckStatus::Ok, 5},
        {"+", CheckStatus::Ok, 0},
        {"1+2", CheckStatus::Ok, 1},
        {"dberror\r\nmore text", CheckStatus::ServiceError, 0},
        {"DBERROR", CheckStatus::Ok, 0},
        {"unknown", CheckStatus::LoginRequired, 0},
        {"unknown\n7", CheckStatus::LoginRequired, 0},
        {" 12", CheckStatus::Ok, 0},
        {"<html>", CheckStatus::Ok, 0},
        {"", CheckStatus::Failed, 0},
        {"\r\n12", CheckStatus::Failed, 0},
        {"\n", CheckStatus::Failed, 0},
        {"3\n4", CheckStatus::Ok, 3},
        {"007", CheckStatus::Ok, 7},
    };
    for (const Case& c : cases) {
        std::int32_t count = -1;
        EXPECT_EQ(ParseArrivalReply(c.reply, count), c.status) << "reply: " << c.reply;
        EXPECT_EQ(count, c.count) << "reply: " << c.reply;
    }
}

TEST(ArrivalReply, HugeDigitRunSaturatesInsteadOfOverflowing) {
    std::int32_t count = 0;
    EXPECT_EQ(ParseArrivalReply("2147483647", count), CheckStatus::Ok);
    EXPECT_EQ(count, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(ParseArrivalReply("2147483648", count), CheckStatus::Ok);
    EXPECT_EQ(count, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(ParseArrivalReply("99999999999999999999999999999", count), CheckStatus::Ok);
    EXPECT_EQ(count, std::numeric_limits<std::int32_t>::max());
}

TEST(ArrivalReply, CountIsResetEvenWhenTheReplyFails) {
    std::int32_t count = 42;
    EXPECT_EQ(ParseArrivalReply("", count), CheckStatus::Failed);
    EXPECT_EQ(count, 0);
}

}  // namespace
