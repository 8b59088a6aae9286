#include "notifier/service/form_encode.h"

#include <gtest/gtest.h>

namespace {

TEST(FormUrlEncode, KeepsLettersDigitsAndSevenMarksEscapesEveryOtherByte) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"a b&c", "a+b%26c"},
        {"AZaz09!$'*-.@", "AZaz09!$'*-.@"},
        {"_~%+&=/:?#", "%5F%7E%25%2B%26%3D%2F%3A%3F%23"},
        {std::string("\0\t\"", 3), "%00%09%22"},
        // Double-byte characters go byte by byte: a trail byte that is a letter stays, the
        // trail byte 0x5C is escaped like any backslash.
        {"\x83\x41", "%83A"},
        {"\x95\x5C", "%95%5C"},
        {"\xFF\x80", "%FF%80"},
    };
    for (const auto& [text, encoded] : cases) {
        std::string out = "previous content";
        FormUrlEncode(text, out);
        EXPECT_EQ(out, encoded) << text;
    }
}

}  // namespace
