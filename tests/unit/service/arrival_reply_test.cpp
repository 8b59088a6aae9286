#include "notifier/service/arrival_reply.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(ArrivalReply, GrammarTable) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    const struct {
        const char* reply;
        CheckStatus status;
        std::int32_t count;
    } cases[] = {
        {"12\r\n", CheckStatus::Ok, 12}, {"0", CheckStatus::Ok, 0}, {"99+", CheckStatus::Ok, 99},
        {"+5", CheckStatus::Ok, 5}, {"+", CheckStatus::Ok, 0}, {"1+2", CheckStatus::Ok, 1},
        {"3\n4", CheckStatus::Ok, 3}, {"007", CheckStatus::Ok, 7},
        {"dberror\r\nmore text", CheckStatus::ServiceError, 0}, {"DBERROR", CheckStatus::Ok, 0},
        {"unknown", CheckStatus::LoginRequired, 0}, {"unknown\n7", CheckStatus::LoginRequired, 0},
        {" 12", CheckStatus::Ok, 0}, {"<html>", CheckStatus::Ok, 0},
        // The count is reset also when the reply fails.
        {"", CheckStatus::Failed, 0}, {"\r\n12", CheckStatus::Failed, 0}, {"\n", CheckStatus::Failed, 0},
        // Digit runs beyond the 32-bit range saturate instead of overflowing.
        {"2147483647", CheckStatus::Ok, kMax}, {"2147483648", CheckStatus::Ok, kMax},
        {"99999999999999999999999999999", CheckStatus::Ok, kMax},
    };
    for (const auto& c : cases) {
        std::int32_t count = -1;
        EXPECT_EQ(ParseArrivalReply(c.reply, count), c.status) << "reply: " << c.reply;
        EXPECT_EQ(count, c.count) << "reply: " << c.reply;
    }
}

}  // namespace
