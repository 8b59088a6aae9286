// Script lines, command lines, values and macros of the setup script.
#include <gtest/gtest.h>

#include "setup/script/ScriptText.h"

namespace {

TEST(SplitFields, QuotesGroupLimitsDropTheRestAndTheLastFieldIsAlwaysAdded) {
    const std::vector<std::tuple<std::string, int, StringList>> cases{
        {"a, \"b,c\" ,d", 3, {"a", "b,c", "d"}},
        {"a, \"b,c\" ,d", 2, {"a", "b,c"}},
        {"\"say \"\"hi\"\"\",x", 6, {"say \"hi\"", "x"}},
        // A quoted stretch may start inside a field; blanks quoted at its ends are still trimmed.
        {"ab\"c,d\"e,\"  f  \"", 6, {"abc,de", "f"}},
        // An unclosed quote runs to the end of the line.
        {"a,\"b,c", 6, {"a", "b,c"}},
        {"1,2,3,4,5,6,7,8", 6, {"1", "2", "3", "4", "5", "6"}},
        {"a,b,", 6, {"a", "b", ""}},
        {" \t ", 6, {""}},
        {"x,rest", 1, {"x"}},
        // A trail byte that equals "\" stays inside its character.
        {"\x95\x5C,\x83\x5C", 6, {"\x95\x5C", "\x83\x5C"}},
    };
    for (const auto& [line, limit, expected] : cases) {
        StringList fields{"stale"};
        SplitFields(line, limit, fields);
        EXPECT_EQ(fields, expected) << line;
    }
}

TEST(CommandLines, CutAtTheFirstBlankOutsideQuotesAndArgumentsLoseTheirQuotes) {
    CommandLineParts parts = SplitCommandLine("  \"C:\\Program Files\\a b.exe\" /x \"y z\"  ");
    EXPECT_EQ(parts.program, "\"C:\\Program Files\\a b.exe\"");
    EXPECT_EQ(parts.parameters, "/x \"y z\"");
    parts = SplitCommandLine("notepad");
    EXPECT_EQ(parts.program + parts.parameters, "");
    EXPECT_EQ(SplitCommandLine("\"C:\\a b\\doc.txt\"").program, "");

    EXPECT_EQ(ProgramOf("\"C:\\Program Files\\a b.exe\" Stop"), "C:\\Program Files\\a b.exe");
    EXPECT_EQ(ProgramOf(" \"C:\\a b\\x.exe\" "), "C:\\a b\\x.exe");
    EXPECT_EQ(ProgramOf("C:\\x.exe /y"), "C:\\x.exe");

    EXPECT_EQ(SplitArguments("\"C:\\tmp\\MEW1.tmp\" \"/ux\" \"C:\\Program Files\\setup.ini\""),
              (StringList{"C:\\tmp\\MEW1.tmp", "/ux", "C:\\Program Files\\setup.ini"}));
    EXPECT_EQ(SplitArguments("  prog\t/u  "), (StringList{"prog", "/u"}));
    EXPECT_EQ(SplitArguments("a\"b c\"d"), (StringList{"ab cd"}));
    EXPECT_TRUE(SplitArguments("   ").empty());
}

TEST(CommandLines, EntryMarkersComeOffInEitherOrderEachOnce) {
    const std::vector<std::tuple<std::string, std::string, bool, bool>> cases{
        {"\"C:\\a.exe\" x", "\"C:\\a.exe\" x", false, false},
        {"&a.exe", "a.exe", true, false},
        {"?\"C:\\a.exe\" Stop", "\"C:\\a.exe\" Stop", false, true},
        {"?&a.exe", "a.exe", true, true},
        {"&?a.exe", "a.exe", true, true},
        {"&&a.exe", "&a.exe", true, false},
        {"??a.exe", "?a.exe", false, true},
        {" &a.exe", " &a.exe", false, false},
    };
    for (const auto& [entry, command, detached, onlyIfProgramExists] : cases) {
        const ExecEntry exec = ParseExecEntry(entry);
        EXPECT_EQ(std::tie(exec.command, exec.detached, exec.onlyIfProgramExists),
                  std::tie(command, detached, onlyIfProgramExists)) << entry;
    }
}

TEST(ScriptLines, BreaksAndSectionHeadersAsWholeLinesInAnyCaseFirstMatchWins) {
    EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), (StringList{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\r\n\r\n"), (StringList{"a", ""}));
    EXPECT_TRUE(SplitLines("").empty());

    const StringList lines{"[init]", "x=1",     "[installfiles]",  "%PF%\\A\\,a.exe", "", "; note",
                           "[Other]", "skip", "[InstallFiles] ", "[InstallFiles]",  "late"};
    const SectionBody body = FindSectionBody(lines, "[InstallFiles]");
    ASSERT_TRUE(body.found);
    EXPECT_EQ(body.lines, (StringList{"%PF%\\A\\,a.exe", "", "; note"}));
    EXPECT_FALSE(FindSectionBody(lines, "[UninstallFiles]").found);
    EXPECT_FALSE(FindSectionBody({"[UninstallFiles] ; comment"}, "[UninstallFiles]").found);
    const SectionBody last = FindSectionBody({"a", "[InstallRegistry]"}, "[InstallRegistry]");
    EXPECT_TRUE(last.found && last.lines.empty());
}

TEST(ScriptValues, BooleansNumbersAndBuildNumbers) {
    EXPECT_TRUE(ParseIniBool("", true));
    EXPECT_FALSE(ParseIniBool("", false));
    EXPECT_TRUE(ParseIniBool("TrUe", false));
    for (const char* other : {"1", "yes", "true "}) EXPECT_FALSE(ParseIniBool(other, true)) << other;

    EXPECT_EQ(ParseDecimal("66", 1), 66);
    EXPECT_EQ(ParseDecimal("-2147483648", 0), INT32_MIN);
    for (const char* other : {"2147483648", "0x10", "12a", "", "-"}) EXPECT_EQ(ParseDecimal(other, 7), 7) << other;

    EXPECT_EQ(LastDottedPart("1.0.0.66"), "66");
    EXPECT_EQ(LastDottedPart("66"), "66");
    EXPECT_EQ(LastDottedPart("1.0."), "");
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
