#include "notifier/service/set_cookie.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

std::pair<std::string, std::string> Split(std::string_view header) {
    std::string name = "stale";
    std::string value = "stale";
    SplitSetCookiePair(header, name, value);
    return {name, value};
}

TEST(SetCookiePair, TokenizingRules) {
    using P = std::pair<std::string, std::string>;
    EXPECT_EQ(Split("EID=abc; path=/"), P("EID", "abc"));
    EXPECT_EQ(Split("EID=abc=def; path=/"), P("EID", "abc=def"));
    EXPECT_EQ(Split("EID; path=/"), P("EID", ""));
    EXPECT_EQ(Split("; EID=abc"), P("EID", "abc"));
    EXPECT_EQ(Split(" EID=abc"), P("EID", "abc"));
    EXPECT_EQ(Split("EID="), P("EID", ""));
    EXPECT_EQ(Split("=abc"), P("abc", ""));
    EXPECT_EQ(Split("EID= abc"), P("EID", ""));
    EXPECT_EQ(Split("EID=%41+b"), P("EID", "%41+b"));
}

TEST(SetCookiePair, EmptyPairLeavesBothEmpty) {
    using P = std::pair<std::string, std::string>;
    EXPECT_EQ(Split(""), P("", ""));
    EXPECT_EQ(Split(" ; ;"), P("", ""));
}

}  // namespace
