#include "notifier/shell/command_verbs.h"

#include <gtest/gtest.h>

namespace {

using Tokens = std::vector<std::string>;

TEST(VerbTokens, SeparatorRunsCountOnceAndTabIsNoSeparator) {
    EXPECT_EQ(SplitVerbTokens(""), Tokens{});
    EXPECT_EQ(SplitVerbTokens("-/ "), Tokens{});
    EXPECT_EQ(SplitVerbTokens("  -/Stop"), Tokens{"Stop"});
    EXPECT_EQ(SplitVerbTokens("a--b//c  d-/ e"), (Tokens{"a", "b", "c", "d", "e"}));
    EXPECT_EQ(SplitVerbTokens("a\tb /c\t"), (Tokens{"a\tb", "c\t"}));
}

TEST(VerbTokens, TrailByteIsNeverASeparator) {
    // A lead byte takes the next byte with it, whatever that byte is.
    EXPECT_EQ(SplitVerbTokens("\x83-Stop"), Tokens{"\x83-Stop"});
    EXPECT_EQ(SplitVerbTokens("\x83/Stop"), Tokens{"\x83/Stop"});
    EXPECT_EQ(SplitVerbTokens("\x83 Stop"), Tokens{"\x83 Stop"});
    EXPECT_EQ(SplitVerbTokens("\x83\x5C-Stop"), (Tokens{"\x83\x5C", "Stop"}));
    // A lone lead byte at the very end is one character.
    EXPECT_EQ(SplitVerbTokens("Stop-\x83"), (Tokens{"Stop", "\x83"}));
}

TEST(CommandVerbs, WholeTokenCaseInsensitiveFirstMatchWins) {
    struct Case {
        const char* line;
        CommandVerb verb;
    };
    const Case cases[] = {
        {"", CommandVerb::None},
        {"Stop", CommandVerb::Stop},
        {"/stop", CommandVerb::Stop},
        {"-STOP", CommandVerb::Stop},
        {"Stopper", CommandVerb::None},
        {"/Sto", CommandVerb::None},
        {"\tStop", CommandVerb::None},
        {"Stop\t", CommandVerb::None},
        {"-SETAUTOSTART /Stop", CommandVerb::SetAutoStart},
        {"/Stop -SetAutoStart", CommandVerb::Stop},
        {"/unsetautostart", CommandVerb::UnsetAutoStart},
        {"UNSETAUTOSTART", CommandVerb::UnsetAutoStart},
        {"setautostart", CommandVerb::SetAutoStart},
        {"/foo /bar -Stop", CommandVerb::Stop},
        {"/foo /bar", CommandVerb::None},
        {"/RegServer", CommandVerb::None},
        {"\x83-Stop", CommandVerb::None},
        {"\x83/Stop", CommandVerb::None},
        {"\x95\x5C/Stop", CommandVerb::Stop},
        // Full-width letters are not folded to the verb.
        {"\x82\x72\x82\x94\x82\x8F\x82\x90", CommandVerb::None},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindCommandVerb(c.line), c.verb) << "command line: " << c.line;
    }
}

TEST(ServerVerbs, OnlyAfterDashOrSlashAndAsAWholeWord) {
    struct Case {
        const char* line;
        bool run;
    };
    const Case cases[] = {
        {"C:\\Tools\\Mewlark.exe", true},
        {"Mewlark.exe -RegServer", false},
        {"Mewlark.exe /unregserver", false},
        {"Mewlark.exe -REGSERVER\t/x", false},
        {"Mewlark.exe RegServer", true},
        {"Mewlark.exe -RegServerX", true},
        {"Mewlark.exe -Reg Server", true},
        {"Mewlark.exe --RegServer", false},
        {"Mewlark.exe -/RegServer", false},
        {"\"C:\\a-b\\Mewlark.exe\" /Stop -regserver", false},
        {"Mewlark.exe \x83/RegServer", true},
        {"Mewlark.exe \x95\x5C/RegServer", false},
        {"Mewlark.exe -", true},
        {"", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseServerVerbs(c.line), c.run) << "command line: " << c.line;
    }
}

TEST(ServerVerbs, LongRunsOfMarksStayLinear) {
    // A command line of the platform's maximum length made of marks only.
    const std::string marks(32767, '-');
    EXPECT_TRUE(ParseServerVerbs(marks));
    EXPECT_FALSE(ParseServerVerbs(marks + "RegServer"));
    EXPECT_EQ(FindCommandVerb(marks), CommandVerb::None);
}

}  // namespace
