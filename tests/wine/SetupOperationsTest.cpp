// The setup operations on the real file system, registry, shell and processes of the prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include "setup/engine/ComOperations.h"
#include "setup/engine/CommandOperations.h"
#include "setup/engine/FileOperations.h"
#include "setup/engine/QuollComponent.h"
#include "setup/engine/SetupLog.h"
#include "tests/support/Files.h"
#include "tests/support/Registry.h"
#include "tests/support/Waiting.h"
#include "tests/support/Windows.h"

using namespace test;
using Lines = std::vector<std::string>;

namespace {

const char kQuollName[] = "QuollLibrary.Quoll";
const std::string kQuollServer = "CLSID\\{6D8F4E1C-5A43-4B7A-9C1E-2F7B3A9D0E11}";

// Each test logs into its own scratch folder.
class Operations : public ::testing::Test {
protected:
    void SetUp() override {
        BindLog(logPath);
        OpenLog();
    }
    void TearDown() override {
        BindLog(std::string());
        DeleteTree(HKEY_CLASSES_ROOT, kQuollName);
        DeleteTree(HKEY_CLASSES_ROOT, kQuollServer);
    }
    Lines Log() const { return LogEntries(logPath); }
    std::string Copy(const std::string& helper, const std::string& name) const {
        CopyFileA((ProgramFolder() + "\\" + helper).c_str(), (scratch / name).c_str(), FALSE);
        return scratch / name;
    }
    // Waits until a probe's record file holds "done" (the probe has ended).
    static bool ProbeFinished(const std::string& record) {
        return WaitFor([&] { return ReadText(record).find("done") != std::string::npos; }, 30000);
    }

    ScratchFolder scratch;
    const std::string logPath = scratch / "hcSetup.log";
};

TEST_F(Operations, FoldersWithTheirParentsAndWritableCopiesAreLogged) {
    // "表" and "ソ" end in a "\" byte: the parents must still be found by characters.
    const std::string deep = scratch / Cp932(u8"表示\\ソフト\\c");
    EXPECT_TRUE(CreateDirectoryLogged(deep));
    EXPECT_TRUE(CreateDirectoryLogged(deep));
    WriteText(scratch / "file", "x");
    EXPECT_FALSE(CreateDirectoryLogged(scratch / "file\\sub"));
    // Wine would make it; Windows cannot.
    EXPECT_FALSE(CreateDirectoryLogged(scratch / std::string(MAX_PATH, 'd')));

    const std::string source = scratch / "source.txt";
    WriteText(source, "contents");
    SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(CopyFileLogged(source, deep + "\\copy.txt"));
    EXPECT_EQ(GetFileAttributesA((deep + "\\copy.txt").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_TRUE(CopyFileLogged(source, deep + "\\copy.txt"));
    const std::string copied = "Success : Copy File \"" + source + "\" to \"" + deep + "\\copy.txt\"";
    const std::string tooLong = scratch / std::string(MAX_PATH, 'd');
    EXPECT_EQ(Log(), (Lines{"Success : Create Directory \"" + deep + "\"", "Skip : Create Directory \"" + deep + "\"",
                            "Error : Create Directory \"" + scratch / "file\\sub\"",
                            "Error : Create Directory \"" + tooLong + "\"", copied, copied}));
}

TEST_F(Operations, CommandsAreWaitedForOnlyWhenAskedAndDocumentsGoToTheShell) {
    const std::string probe = Copy("setup_test_probe.exe", Cp932(u8"表 probe.exe"));
    EXPECT_TRUE(ExecCommand("\"" + probe + "\" \"" + scratch / "waited.txt" + "\" 1500", true));
    EXPECT_NE(ReadText(scratch / "waited.txt").find("done"), std::string::npos);
    EXPECT_TRUE(ExecCommand("\"" + probe + "\" \"" + scratch / "detached.txt" + "\" 3000", false));
    EXPECT_EQ(ReadText(scratch / "detached.txt").find("done"), std::string::npos);
    EXPECT_TRUE(ProbeFinished(scratch / "detached.txt"));

    const std::string record = scratch / "opened.txt";
    SetString(HKEY_CLASSES_ROOT, ".mwsetuptest", nullptr, "MewlarkSetupTest.Document");
    SetString(HKEY_CLASSES_ROOT, "MewlarkSetupTest.Document\\shell\\open\\command", nullptr,
              "\"" + probe + "\" \"" + record + "\" 0 \"%1\"");
    // Without a blank outside quotes the command goes to the shell whole; with one, as
    // program and parameters. Neither is waited for.
    for (const std::string& document : {scratch / "a b.mwsetuptest", scratch / "doc.mwsetuptest"}) {
        WriteText(document, "document");
        DeleteFileA(record.c_str());
        const bool spaced = document.find(' ') != std::string::npos;
        EXPECT_FALSE(ExecCommand(spaced ? "\"" + document + "\"" : document + " /p", true));
        EXPECT_TRUE(ProbeFinished(record));
        EXPECT_NE(ReadText(record).find(document), std::string::npos) << ReadText(record);
    }
    DeleteTree(HKEY_CLASSES_ROOT, ".mwsetuptest");
    DeleteTree(HKEY_CLASSES_ROOT, "MewlarkSetupTest.Document");
    EXPECT_TRUE(Log().empty());
}

TEST_F(Operations, TheQuollComponentGoesInOnlyWhenNewer) {
    InstallQuollComponent(scratch / "Quoll.exe", scratch / "Shared\\Quoll\\Quoll.exe");
    EXPECT_TRUE(Log().empty());

    // The build number comes only from the Japanese version string.
    const std::string build66 = Copy("setup_test_quoll66.exe", "Quoll66.exe");
    const std::string build70 = Copy("setup_test_quoll70.exe", "Quoll70.exe");
    const std::string english = Copy("setup_test_selfreg.dll", "english.dll");
    const std::string none = Copy("setup_test_probe.exe", "probe.exe");
    EXPECT_EQ(GetFileBuild(english), "");
    EXPECT_EQ(GetFileBuild(none), "");
    EXPECT_EQ(Log(), (Lines{"Info : Build No: " + english + "()", "Info : Build No: " + none + "()"}));
    const std::string destination = scratch / "Shared\\Quoll\\Quoll.exe";
    const std::string current = "Info : Current Quoll = \"" + destination + "\".";
    const std::string copy66 = "Success : Copy File \"" + build66 + "\" to \"" + destination + "\"";
    const std::string build66Line = "Info : Build No: " + build66 + "(66)";
    const std::string installed66 = "Info : Build No: " + destination + "(66)";
    struct Step {
        std::string offered;
        Lines log;
    };
    const std::vector<Step> steps{
        {build66,
         {"Info : Current Quoll = \"\".", "Success : Create Directory \"" + scratch / "Shared\\Quoll\"", copy66,
          "Success : Copy Quoll.exe"}},
        {build66, {current, build66Line, installed66, "Skip : Copy Quoll.exe"}},
        {build70, {current, "Info : Build No: " + build70 + "(70)", installed66,
                   "Success : Copy File \"" + build70 + "\" to \"" + destination + "\"", "Success : Copy Quoll.exe"}},
        {build66, {current, build66Line, "Info : Build No: " + destination + "(70)", "Skip : Copy Quoll.exe"}},
    };
    for (const Step& step : steps) {
        OpenLog();
        InstallQuollComponent(step.offered, destination);
        EXPECT_EQ(Log(), step.log);
    }
    EXPECT_EQ(ReadText(destination + ".calls"), "/regserver\r\n/regserver\r\n");

    // Registered with quotes, the path names no file: build 0, so even an older build goes in.
    SetString(HKEY_CLASSES_ROOT, kQuollServer + "\\LocalServer32", nullptr, "\"" + destination + "\"");
    OpenLog();
    InstallQuollComponent(build66, destination);
    EXPECT_EQ(Log(),
              (Lines{"Info : Current Quoll = \"\"" + destination + "\"\".", copy66, "Success : Copy Quoll.exe"}));
}

}  // namespace
