#include "notifier/shell/CommandVerbs.h"

#include <gtest/gtest.h>

namespace {

using Tokens = std::vector<std::string>;

TEST(VerbTokens, SeparatorRunsCountOnceAndNeverATrailByte) {
    const std::pair<const char*, Tokens> cases[] = {
        {"", {}}, {"-/ ", {}}, {"  -/Stop", {"Stop"}},
        {"a--b//c  d-/ e", {"a", "b", "c", "d", "e"}},
        {"a\tb /c\t", {"a\tb", "c\t"}},  // a tab is no separator
        // A lead byte takes the next byte with it, whatever that byte is.
        {"\x83-Stop", {"\x83-Stop"}}, {"\x83/Stop", {"\x83/Stop"}}, {"\x83 Stop", {"\x83 Stop"}},
        {"\x83\x5C-Stop", {"\x83\x5C", "Stop"}},
        {"Stop-\x83", {"Stop", "\x83"}},  // a lone lead byte at the end is one character
    };
    for (const auto& [line, tokens] : cases) EXPECT_EQ(SplitVerbTokens(line), tokens) << line;
}

TEST(CommandVerbs, WholeTokenCaseInsensitiveFirstMatchWins) {
    const std::pair<const char*, CommandVerb> cases[] = {
        {"", CommandVerb::None}, {"Stop", CommandVerb::Stop}, {"/stop", CommandVerb::Stop},
        {"-STOP", CommandVerb::Stop}, {"Stopper", CommandVerb::None}, {"/Sto", CommandVerb::None},
        {"\tStop", CommandVerb::None}, {"Stop\t", CommandVerb::None},
        {"-SETAUTOSTART /Stop", CommandVerb::SetAutoStart}, {"/Stop -SetAutoStart", CommandVerb::Stop},
        {"/unsetautostart", CommandVerb::UnsetAutoStart}, {"UNSETAUTOSTART", CommandVerb::UnsetAutoStart},
        {"setautostart", CommandVerb::SetAutoStart}, {"/foo /bar -Stop", CommandVerb::Stop},
        {"/foo /bar", CommandVerb::None}, {"/RegServer", CommandVerb::None}, {"\x83-Stop", CommandVerb::None},
        {"\x83/Stop", CommandVerb::None}, {"\x95\x5C/Stop", CommandVerb::Stop},
        {"\x82\x72\x82\x94\x82\x8F\x82\x90", CommandVerb::None},  // full-width letters are not folded
    };
    for (const auto& [line, verb] : cases) EXPECT_EQ(FindCommandVerb(line), verb) << "command line: " << line;
}

TEST(ServerVerbs, OnlyAfterDashOrSlashAndAsAWholeWord) {
    const std::pair<const char*, bool> cases[] = {
        {"C:\\Tools\\Mewlark.exe", true}, {"Mewlark.exe -RegServer", false}, {"Mewlark.exe /unregserver", false},
        {"Mewlark.exe -REGSERVER\t/x", false}, {"Mewlark.exe RegServer", true}, {"Mewlark.exe -RegServerX", true},
        {"Mewlark.exe -Reg Server", true}, {"Mewlark.exe --RegServer", false}, {"Mewlark.exe -/RegServer", false},
        {"\"C:\\a-b\\Mewlark.exe\" /Stop -regserver", false}, {"Mewlark.exe \x83/RegServer", true},
        {"Mewlark.exe \x95\x5C/RegServer", false}, {"Mewlark.exe -", true}, {"", true},
    };
    for (const auto& [line, run] : cases) EXPECT_EQ(ParseServerVerbs(line), run) << "command line: " << line;
}

}  // namespace
