#include "notifier/service/set_cookie.h"

#include <gtest/gtest.h>

namespace {

TEST(SetCookiePair, TokenizingRules) {
    const struct {
        const char* header;
        const char* name;
        const char* value;
    } cases[] = {
        {"EID=abc; path=/", "EID", "abc"},   {"EID=abc=def; path=/", "EID", "abc=def"},
        {"EID; path=/", "EID", ""},          {"; EID=abc", "EID", "abc"},
        {" EID=abc", "EID", "abc"},          {"EID=", "EID", ""},
        {"=abc", "abc", ""},                 {"EID= abc", "EID", ""},
        {"EID=%41+b", "EID", "%41+b"},       {"", "", ""},
        {" ; ;", "", ""},
    };
    for (const auto& c : cases) {
        std::string name = "stale";
        std::string value = "stale";
        SplitSetCookiePair(c.header, name, value);
        EXPECT_EQ(name, c.name) << c.header;
        EXPECT_EQ(value, c.value) << c.header;
    }
}

}  // namespace
