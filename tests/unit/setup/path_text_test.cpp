// Paths with Shift-JIS names, the start kinds, wininit.ini edits and the log line layout.
#include <gtest/gtest.h>

#include "setup/script/LogLine.h"
#include "setup/script/PathText.h"
#include "setup/script/StartKind.h"
#include "setup/script/WininitRename.h"

namespace {

// "表" and "ソ": their trail bytes are "\".
const std::string kHyou = "\x95\x5C";
const std::string kSo = "\x83\x5C";

TEST(PathText, FoldersAndNamesAreCutAtCharactersNotTrailBytes) {
    const std::vector<std::pair<std::string, std::string>> folders{
        {"C:\\a\\b.exe", "C:\\a"}, {"C:\\b.exe", "C:\\"}, {"\\b.exe", "\\"}, {"C:b.exe", "C:"}, {"b.exe", ""},
        {"\\\\server\\share\\b.exe", "\\\\server\\share"}, {"C:\\a\\", "C:\\a"},
        {"C:\\" + kHyou + "\\" + kSo, "C:\\" + kHyou}, {"C:\\" + kSo, "C:\\"}, {kHyou + kSo, ""}};
    for (const auto& [path, folder] : folders) EXPECT_EQ(FolderOf(path), folder) << path;
    EXPECT_EQ(FileNameOf("C:\\a\\" + kHyou), kHyou);
    EXPECT_EQ(FileNameOf("C:x.exe"), "x.exe");
    EXPECT_EQ(FileNameOf("C:\\a\\"), "");
    EXPECT_TRUE(EndsWithBackslash("C:\\a\\"));
    EXPECT_FALSE(EndsWithBackslash("C:\\" + kHyou));
    EXPECT_EQ(WithoutTrailingBackslash("C:\\" + kSo), "C:\\" + kSo);
    for (const char* root : {"", "\\", "C:", "C:\\", "\\\\server\\share", "\\\\server\\share\\", "\\\\server"}) {
        EXPECT_TRUE(IsRootFolder(root)) << root;
    }
    const std::string notRoots[] = {"C:\\a", "\\a", "\\\\server\\share\\a", "C:\\" + kSo};
    for (const std::string& folder : notRoots) {
        EXPECT_FALSE(IsRootFolder(folder)) << folder;
    }
}

TEST(StartKind, SwitchesAndTheUninstallerName) {
    EXPECT_EQ(KindOfStart({}, "C:\\s\\MewlarkSetup.exe"), StartKind::Install);
    EXPECT_EQ(KindOfStart({"/x"}, "C:\\s\\MewlarkSetup.exe"), StartKind::Install);
    EXPECT_EQ(KindOfStart({"/U"}, "C:\\s\\MewlarkSetup.exe"), StartKind::UninstallRequest);
    EXPECT_EQ(KindOfStart({}, "C:\\i\\UnInstall.EXE"), StartKind::UninstallRequest);
    // Upper case still uninstalls, but only the exact switch takes the script from the command line.
    EXPECT_EQ(KindOfStart({"/UX"}, "C:\\i\\uninstall.exe"), StartKind::RelaunchedUninstall);
    EXPECT_TRUE(TakesScriptFromCommandLine({"/ux", "C:\\i\\setup.ini"}));
    EXPECT_FALSE(TakesScriptFromCommandLine({"/UX", "C:\\i\\setup.ini"}));
    EXPECT_FALSE(TakesScriptFromCommandLine({}));
}

TEST(WininitRename, InsertsRightAfterTheHeaderOnceInAnyCaseAddingTheHeaderWhenMissing) {
    StringList lines{"[boot]", "a=1"};
    AddRenameToNul(lines, "C:\\TEMP\\UNI1.TMP");
    EXPECT_EQ(lines, (StringList{"[boot]", "a=1", "[Rename]", "Nul=C:\\TEMP\\UNI1.TMP"}));
    lines = {"[rename]", "NUL=C:\\OLD", "[other]"};
    AddRenameToNul(lines, "C:\\NEW");
    AddRenameToNul(lines, "c:\\old");
    AddRenameToNul(lines, "C:\\NEW");
    EXPECT_EQ(lines, (StringList{"[rename]", "Nul=C:\\NEW", "NUL=C:\\OLD", "[other]"}));
}

TEST(LogLine, LayoutAndLevelWords) {
    EXPECT_EQ(FormatLogLine("2024/05/06", "7:08:09", LogLevel::Info, "start setup"),
              "[2024/05/06 7:08:09] Info : start setup\r\n");
    EXPECT_EQ(FormatLogLine("d", "t", LogLevel::Success, "m"), "[d t] Success : m\r\n");
    EXPECT_EQ(FormatLogLine("d", "t", LogLevel::Skip, ""), "[d t] Skip : \r\n");
    EXPECT_EQ(FormatLogLine("d", "t", LogLevel::Error, "\x83\x5C"), "[d t] Error : \x83\x5C\r\n");
}

}  // namespace
