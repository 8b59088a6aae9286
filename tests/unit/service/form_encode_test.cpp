#include "notifier/service/form_encode.h"

#include <gtest/gtest.h>

namespace {

std::string Encoded(std::string_view text) {
    std::string out = "previous content";
    FormUrlEncode(text, out);
    return out;
}

TEST(FormUrlEncode, WorkedExamples) {
    EXPECT_EQ(Encoded("a b&c"), "a+b%26c");
    EXPECT_EQ(Encoded("x=1%"), "x%3D1%25");
    EXPECT_EQ(Encoded("http://"), "http%3A%2F%2F");
    EXPECT_EQ(Encoded("1"), "1");
    EXPECT_EQ(Encoded(""), "");
}

TEST(FormUrlEncode, KeptCharactersAndEscapedPunctuation) {
    EXPECT_EQ(Encoded("AZaz09!$'*-.@"), "AZaz09!$'*-.@");
    EXPECT_EQ(Encoded("_~%+&=/:?#"), "%5F%7E%25%2B%26%3D%2F%3A%3F%23");
    EXPECT_EQ(Encoded(std::string("\0\t\"", 3)), "%00%09%22");
}

TEST(FormUrlEncode, DoubleByteCharactersAreEncodedBytewise) {
    // 0x83 0x41 is a Shift-JIS character whose trail byte is the letter A.
    EXPECT_EQ(Encoded("\x83\x41"), "%83A");
    // The trail byte 0x5C (backslash) is escaped like any backslash.
    EXPECT_EQ(Encoded("\x95\x5C"), "%95%5C");
    EXPECT_EQ(Encoded("\xFF\x80"), "%FF%80");
}

TEST(LoginBody, FieldsInOrderEachEncoded) {
    EXPECT_EQ(BuildLoginBody("http://mail.example/", "mail.example", "tarn user", "p&s=w%+ \x95\x5C"),
              "success=http%3A%2F%2Fmail.example%2F&site=mail.example&auto=1"
              "&uname=tarn+user&pass=p%26s%3Dw%25%2B+%95%5C");
}

}  // namespace
