// MewlarkSetup's portable texts: script lines and fields, command lines and entry markers,
// values and macros, paths with Shift-JIS names, start kinds, wininit.ini and log lines.
#include <gtest/gtest.h>

#include <tuple>

#include "setup/script/LogLine.h"
#include "setup/script/PathText.h"
#include "setup/script/ScriptText.h"
#include "setup/script/StartKind.h"
#include "setup/script/WininitRename.h"

namespace {

// "表" and "ソ": their trail bytes are "\".
const std::string kHyou = "\x95\x5C";
const std::string kSo = "\x83\x5C";

TEST(ScriptText, FieldsQuotesAndLimits) {
    const std::tuple<std::string, int, StringList> cases[] = {
        {"a, \"b,c\" ,d", 3, {"a", "b,c", "d"}}, {"a, \"b,c\" ,d", 2, {"a", "b,c"}},
        {"\"say \"\"hi\"\"\",x", 6, {"say \"hi\"", "x"}},
        // A quoted stretch may start inside a field; blanks quoted at its ends are still trimmed.
        {"ab\"c,d\"e,\"  f  \"", 6, {"abc,de", "f"}}, {"a,\"b,c", 6, {"a", "b,c"}},
        // A doubled or closing quote as the line's last characters.
        {"a,\"b\"\"", 6, {"a", "b\""}}, {"\"b\"\"\"", 6, {"b\""}}, {"a,\"b\"", 6, {"a", "b"}},
        {"1,2,3,4,5,6,7,8", 6, {"1", "2", "3", "4", "5", "6"}}, {"a,b,", 6, {"a", "b", ""}},
        {"\t x\t,\ty ", 6, {"x", "y"}}, {kHyou + "," + kSo, 6, {kHyou, kSo}}};
    for (const auto& [line, limit, expected] : cases) {
        StringList fields{"stale"};
        SplitFields(line, limit, fields);
        EXPECT_EQ(fields, expected) << line;
    }
}

TEST(ScriptText, CommandLinesProgramsAndEntryMarkers) {
    const CommandLineParts parts = SplitCommandLine("  \"C:\\Program Files\\a b.exe\" /x \"y z\"  ");
    EXPECT_EQ(std::tie(parts.program, parts.parameters), std::make_tuple("\"C:\\Program Files\\a b.exe\"", "/x \"y z\""));
    EXPECT_EQ(ProgramOf(" \"C:\\a b\\x.exe\" "), "C:\\a b\\x.exe");
    // "?" checks only a file that the process start cannot take for another.
    EXPECT_EQ(CheckableProgram("\"C:\\Program Files\\a b.exe\" Stop"), "C:\\Program Files\\a b.exe");
    EXPECT_EQ(CheckableProgram("\"\\\\server\\share\\" + kHyou + ".exe\""), "\\\\server\\share\\" + kHyou + ".exe");
    for (const char* command : {"C:\\Program Files\\a.exe Stop", "\"a.exe\" Stop", "\"C:\\Mewlark\" Stop",
                                "\"C:\\dir.d\\Mewlark\"", "\"C:\\a.exe\"x", "\"C:\\a.exe", "\"C:a.exe\"", "\"\\a.exe\""}) {
        EXPECT_EQ(CheckableProgram(command), "") << command;
    }
    EXPECT_EQ(SplitArguments("  a\"b c\"d\t/u \"C:\\tmp\\MEW1.tmp\""), (StringList{"ab cd", "/u", "C:\\tmp\\MEW1.tmp"}));
    const std::tuple<std::string, std::string, bool, bool> entries[] = {
        {"&a.exe", "a.exe", true, false}, {"?\"C:\\a.exe\" Stop", "\"C:\\a.exe\" Stop", false, true},
        {"&?a.exe", "a.exe", true, true}, {"&&a.exe", "&a.exe", true, false}, {" &a.exe", " &a.exe", false, false}};
    for (const auto& [entry, command, detached, onlyIfProgramExists] : entries) {
        const ExecEntry exec = ParseExecEntry(entry);
        EXPECT_EQ(std::tie(exec.command, exec.detached, exec.onlyIfProgramExists),
                  std::tie(command, detached, onlyIfProgramExists))
            << entry;
    }
}

TEST(ScriptText, LinesSectionsValuesAndMacros) {
    EXPECT_EQ(SplitLines("a\r\nb\rc\nd\r\n"), (StringList{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("\r\ne"), (StringList{"", "e"})) << "a last line without its line break";
    const StringList lines{"[init]", "[installfiles]", "%PF%\\A\\,a.exe", "", "[Other]", "[InstallFiles] ", "late"};
    const SectionBody body = FindSectionBody(lines, "[InstallFiles]");
    EXPECT_TRUE(body.found);
    EXPECT_EQ(body.lines, (StringList{"%PF%\\A\\,a.exe", ""}));
    EXPECT_FALSE(FindSectionBody(lines, "[UninstallFiles]").found);

    EXPECT_TRUE(ParseIniBool("", true));
    EXPECT_TRUE(ParseIniBool("TrUe", false));
    for (const char* other : {"1", "true "}) EXPECT_FALSE(ParseIniBool(other, true)) << other;
    EXPECT_EQ(ParseDecimal("-2147483648", 0), INT32_MIN);
    for (const char* other : {"2147483648", "0x10", ""}) EXPECT_EQ(ParseDecimal(other, 7), 7) << other;
    EXPECT_EQ(LastDottedPart("1.0.0.66"), "66");
    // Each macro is looked for once, in what the ones before produced.
    const MacroValues nested{"%PF%\\Mewlark", "C:\\PF", "C:\\App", "%InstallDir%"};
    EXPECT_EQ(ExpandMacros("%InstallDir% %BaseDir% %APP% %PF%", nested), "C:\\PF\\Mewlark %InstallDir% C:\\App %PF%");
}

TEST(PathText, FoldersAndNamesAreCutAtCharactersNotTrailBytes) {
    const std::pair<std::string, std::string> folders[] = {
        {"C:\\a\\b.exe", "C:\\a"}, {"C:\\b.exe", "C:\\"}, {"\\b.exe", "\\"}, {"C:b.exe", "C:"}, {"b.exe", ""},
        {"\\\\server\\share\\b.exe", "\\\\server\\share"}, {"C:\\" + kHyou + "\\" + kSo, "C:\\" + kHyou}};
    for (const auto& [path, folder] : folders) EXPECT_EQ(FolderOf(path), folder) << path;
    EXPECT_EQ(FileNameOf("C:\\a\\" + kHyou) + FileNameOf("C:x.exe"), kHyou + "x.exe");
    EXPECT_FALSE(EndsWithBackslash("C:\\" + kHyou));
    for (const char* root : {"", "\\", "C:", "C:\\", "\\\\server\\share\\"}) EXPECT_TRUE(IsRootFolder(root)) << root;
    for (const std::string& folder : StringList{"C:\\a", "\\\\server\\share\\a", "C:\\" + kSo}) {
        EXPECT_FALSE(IsRootFolder(folder)) << folder;
    }
}

TEST(StartKind, SwitchesAndTheUninstallerName) {
    EXPECT_EQ(KindOfStart({"/x"}, "C:\\s\\MewlarkSetup.exe"), StartKind::Install);
    EXPECT_EQ(KindOfStart({"/U"}, "C:\\s\\MewlarkSetup.exe"), StartKind::UninstallRequest);
    EXPECT_EQ(KindOfStart({}, "C:\\i\\UnInstall.EXE"), StartKind::UninstallRequest);
    // Upper case still uninstalls, but only the exact switch takes the script from the command line.
    EXPECT_EQ(KindOfStart({"/UX"}, "C:\\i\\uninstall.exe"), StartKind::RelaunchedUninstall);
    EXPECT_TRUE(TakesScriptFromCommandLine({"/ux", "C:\\i\\setup.ini"}));
    EXPECT_FALSE(TakesScriptFromCommandLine({"/UX", "C:\\i\\setup.ini"}));
    EXPECT_TRUE(IsSilentStart({"/u", "/s"}) && !IsSilentStart({"/ux", "/S.ini"}));
    // Only a pipe of the setup's own prefix, named right after the switch.
    const std::string pipe = std::string(kResultPipePrefix) + "12";
    EXPECT_EQ(ResultPipeOf({"/ux", "C:\\i\\setup.ini", "/S", pipe}) + ResultPipeOf({"/ux", pipe, "/S", "\\\\.\\pipe\\x.1"}), pipe);
}

TEST(WininitAndLog, RenameLinesOnceAfterTheHeaderAndTheLogLineLayout) {
    StringList lines{"[boot]"};
    AddRenameToNul(lines, "C:\\TEMP\\UNI1.TMP");
    EXPECT_EQ(lines, (StringList{"[boot]", "[Rename]", "Nul=C:\\TEMP\\UNI1.TMP"}));
    lines = {"[rename]", "NUL=C:\\OLD", "[other]"};
    for (const char* path : {"C:\\NEW", "c:\\old", "C:\\NEW"}) AddRenameToNul(lines, path);
    EXPECT_EQ(lines, (StringList{"[rename]", "Nul=C:\\NEW", "NUL=C:\\OLD", "[other]"}));
    EXPECT_EQ(FormatLogLine("2024/05/06", "7:08:09", LogLevel::Info, "start setup") +
                  FormatLogLine("d", "t", LogLevel::Skip, kSo),
              "[2024/05/06 7:08:09] Info : start setup\r\n[d t] Skip : " + kSo + "\r\n");
}

}  // namespace
