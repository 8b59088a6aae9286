// Script lines, command lines, values and macros of the setup script.
#include <gtest/gtest.h>

#include "setup/ScriptText.h"

namespace {

StringList Fields(std::string_view line, int limit) {
    StringList fields{"stale"};
    SplitFields(line, limit, fields);
    return fields;
}

TEST(SplitFields, QuotesGroupAndDoubledQuotesGiveOne) {
    EXPECT_EQ(Fields("a, \"b,c\" ,d", 3), (StringList{"a", "b,c", "d"}));
    EXPECT_EQ(Fields("a, \"b,c\" ,d", 2), (StringList{"a", "b,c"}));
    EXPECT_EQ(Fields("\"say \"\"hi\"\"\",x", 6), (StringList{"say \"hi\"", "x"}));
    // A quoted stretch may start inside a field; blanks quoted at its ends are still trimmed.
    EXPECT_EQ(Fields("ab\"c,d\"e,\"  f  \"", 6), (StringList{"abc,de", "f"}));
    // An unclosed quote runs to the end of the line.
    EXPECT_EQ(Fields("a,\"b,c", 6), (StringList{"a", "b,c"}));
}

TEST(SplitFields, LimitDropsTheRestAndTheLastFieldIsAlwaysAdded) {
    EXPECT_EQ(Fields("1,2,3,4,5,6,7,8", 6), (StringList{"1", "2", "3", "4", "5", "6"}));
    EXPECT_EQ(Fields("a,b,", 6), (StringList{"a", "b", ""}));
    EXPECT_EQ(Fields("", 6), (StringList{""}));
    EXPECT_EQ(Fields(" \t ", 6), (StringList{""}));
    EXPECT_EQ(Fields("x,rest", 1), (StringList{"x"}));
    // A trail byte that equals "\" stays inside its character.
    EXPECT_EQ(Fields("\x95\x5C,\x83\x5C", 6), (StringList{"\x95\x5C", "\x83\x5C"}));
}

TEST(SplitCommandLine, CutsAtTheFirstBlankOutsideQuotes) {
    CommandLineParts parts = SplitCommandLine("  \"C:\\Program Files\\a b.exe\" /x \"y z\"  ");
    EXPECT_EQ(parts.program, "\"C:\\Program Files\\a b.exe\"");
    EXPECT_EQ(parts.parameters, "/x \"y z\"");
    parts = SplitCommandLine("notepad");
    EXPECT_EQ(parts.program, "");
    EXPECT_EQ(parts.parameters, "");
    parts = SplitCommandLine("\"C:\\a b\\doc.txt\"");
    EXPECT_EQ(parts.program, "");
}

TEST(SplitArguments, BlanksSeparateAndQuotesAreRemoved) {
    EXPECT_EQ(SplitArguments("\"C:\\tmp\\MEW1.tmp\" \"/ux\" \"C:\\Program Files\\setup.ini\""),
              (StringList{"C:\\tmp\\MEW1.tmp", "/ux", "C:\\Program Files\\setup.ini"}));
    EXPECT_EQ(SplitArguments("  prog\t/u  "), (StringList{"prog", "/u"}));
    EXPECT_EQ(SplitArguments("a\"b c\"d"), (StringList{"ab cd"}));
    EXPECT_TRUE(SplitArguments("   ").empty());
}

TEST(ScriptLines, BreaksAtCrLfCrAndLf) {
    EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), (StringList{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\r\n\r\n"), (StringList{"a", ""}));
    EXPECT_EQ(SplitLines("\n"), (StringList{""}));
    EXPECT_TRUE(SplitLines("").empty());
}

TEST(ScriptLines, SectionHeaderIsAWholeLineInAnyCaseFirstMatchWins) {
    const StringList lines{"[init]",           "x=1",           "[installfiles]",   "%PF%\\A\\,a.exe",
                           "",                 "; note",        "[Other]",          "skip",
                           "[InstallFiles] ",  "[InstallFiles]", "late"};
    const SectionBody body = FindSectionBody(lines, "[InstallFiles]");
    ASSERT_TRUE(body.found);
    EXPECT_EQ(body.lines, (StringList{"%PF%\\A\\,a.exe", "", "; note"}));
    EXPECT_FALSE(FindSectionBody(lines, "[UninstallFiles]").found);
    EXPECT_FALSE(FindSectionBody({"[UninstallFiles] ; comment"}, "[UninstallFiles]").found);
    // A header at the end has an empty body.
    const SectionBody last = FindSectionBody({"a", "[InstallRegistry]"}, "[InstallRegistry]");
    EXPECT_TRUE(last.found);
    EXPECT_TRUE(last.lines.empty());
}

TEST(ScriptValues, BooleansAreTrueOnlyForTheWordTrue) {
    EXPECT_TRUE(ParseIniBool("", true));
    EXPECT_FALSE(ParseIniBool("", false));
    EXPECT_TRUE(ParseIniBool("TrUe", false));
    EXPECT_FALSE(ParseIniBool("1", true));
    EXPECT_FALSE(ParseIniBool("yes", true));
    EXPECT_FALSE(ParseIniBool("true ", true));
}

TEST(ScriptValues, DecimalNumbersFallBackOnAnythingElse) {
    EXPECT_EQ(ParseDecimal("66", 1), 66);
    EXPECT_EQ(ParseDecimal("-2147483648", 0), INT32_MIN);
    EXPECT_EQ(ParseDecimal("2147483648", 7), 7);
    EXPECT_EQ(ParseDecimal("0x10", 0), 0);
    EXPECT_EQ(ParseDecimal("12a", 5), 5);
    EXPECT_EQ(ParseDecimal("", 1), 1);
    EXPECT_EQ(ParseDecimal("-", 3), 3);
}

TEST(ScriptValues, BuildNumberIsTheLastDottedPart) {
    EXPECT_EQ(LastDottedPart("1.0.0.66"), "66");
    EXPECT_EQ(LastDottedPart("66"), "66");
    EXPECT_EQ(LastDottedPart("1.0."), "");
    EXPECT_EQ(LastDottedPart(""), "");
    EXPECT_EQ(LastDottedPart("1." + std::string(1200, '7')).size(), 999u);
}

TEST(ExpandMacros, FirstOccurrenceOnlyExactCaseInOrder) {
    const MacroValues values{"C:\\Inst", "C:\\PF", "C:\\App", "D:\\Base"};
    EXPECT_EQ(ExpandMacros("%InstallDir%\\a;%PF%\\b;%APP%\\c;%BaseDir%\\d", values),
              "C:\\Inst\\a;C:\\PF\\b;C:\\App\\c;D:\\Base\\d");
    EXPECT_EQ(ExpandMacros("%PF%\\x;%PF%\\y", values), "C:\\PF\\x;%PF%\\y");
    EXPECT_EQ(ExpandMacros("%pf%\\x %installdir%", values), "%pf%\\x %installdir%");
    // Each macro is looked for in what the ones before produced.
    const MacroValues nested{"%PF%\\Mewlark", "C:\\PF", "", "%InstallDir%"};
    EXPECT_EQ(ExpandMacros("%InstallDir%", nested), "C:\\PF\\Mewlark");
    EXPECT_EQ(ExpandMacros("%BaseDir%", nested), "%InstallDir%");
    EXPECT_EQ(ExpandMacros("%APP%\\x", nested), "\\x");
}

}  // namespace
