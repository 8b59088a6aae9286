// The setup operations on the real file system, registry, shell and processes of the prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "setup/engine/CommandOperations.h"
#include "setup/engine/FileOperations.h"
#include "setup/engine/QuollComponent.h"
#include "setup/engine/SetupError.h"
#include "setup/engine/SetupLog.h"
#include "tests/support/Files.h"
#include "tests/support/Registry.h"
#include "tests/support/Waiting.h"

using namespace test;

namespace {

const std::string kQuollServer = "CLSID\\{6D8F4E1C-5A43-4B7A-9C1E-2F7B3A9D0E11}";

// Each test logs into its own scratch folder.
class Operations : public ::testing::Test {
protected:
    void SetUp() override { BindLog(logPath), OpenLog(); }
    void TearDown() override {
        BindLog(std::string());
        DeleteTree(HKEY_CLASSES_ROOT, "QuollLibrary.Quoll");
        DeleteTree(HKEY_CLASSES_ROOT, kQuollServer);
    }
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

TEST_F(Operations, FoldersWithTheirParentsAndWritableCopiesOverEarlierOnesAreLogged) {
    // "表" and "ソ" end in a "\" byte: the parents must still be found by characters.
    const std::string deep = scratch / Cp932(u8"表示\\ソフト\\c");
    EXPECT_TRUE(CreateDirectoryLogged(deep));
    EXPECT_TRUE(CreateDirectoryLogged(deep));
    WriteText(scratch / "file", "x");
    EXPECT_FALSE(CreateDirectoryLogged(scratch / "file\\sub"));

    const std::string source = scratch / "source.txt";
    WriteText(source, "contents");
    SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(CopyFileLogged(source, deep + "\\copy.txt"));
    EXPECT_EQ(GetFileAttributesA((deep + "\\copy.txt").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_TRUE(CopyFileLogged(source, deep + "\\copy.txt"));  // as a second install does
    const std::string copied = "] Success : Copy File \"" + source + "\" to \"" + deep + "\\copy.txt\"\r\n";
    const std::string log = ReadText(logPath);
    for (const std::string& line : {"] Success : Create Directory \"" + deep + "\"\r\n",
                                    "] Skip : Create Directory \"" + deep + "\"\r\n",
                                    "] Error : Create Directory \"" + scratch / "file\\sub\"\r\n", copied}) {
        EXPECT_NE(log.find(line), std::string::npos) << line;
    }
}

TEST_F(Operations, CommandsAreWaitedForOnlyWhenAskedAndAMissingProgramIsAnError) {
    const std::string probe = Copy("setup_test_probe.exe", Cp932(u8"表 probe.exe"));
    EXPECT_TRUE(ExecCommand("\"" + probe + "\" \"" + scratch / "waited.txt" + "\" 1500", true));
    EXPECT_NE(ReadText(scratch / "waited.txt").find("done"), std::string::npos);
    EXPECT_TRUE(ExecCommand("\"" + probe + "\" \"" + scratch / "detached.txt" + "\" 3000", false));
    EXPECT_EQ(ReadText(scratch / "detached.txt").find("done"), std::string::npos);
    EXPECT_TRUE(ProbeFinished(scratch / "detached.txt"));

    // A program that cannot be started, not even by the shell: the text the install logs.
    const std::string missing = scratch / "missing.exe /x";
    try {
        ExecCommand(missing, true);
        ADD_FAILURE() << "no error raised";
    } catch (const SetupError& error) {
        EXPECT_EQ(std::string(error.what()), "2 ... Exec Error " + missing);
    }
}

TEST_F(Operations, TheQuollComponentIsCopiedAndRegisteredOnlyWhenNewer) {
    const std::string build66 = Copy("setup_test_quoll66.exe", "Quoll66.exe");
    const std::string build70 = Copy("setup_test_quoll70.exe", "Quoll70.exe");
    const std::string destination = scratch / "Shared\\Quoll\\Quoll.exe";
    // Each registration appends a line to the component's ".calls" file.
    const auto registrations = [&] {
        const std::string calls = ReadText(destination + ".calls");
        return std::count(calls.begin(), calls.end(), '\n');
    };
    // None installed, the same build again, a newer one, an older one.
    for (const auto& [offered, count] : {std::pair{build66, 1}, {build66, 1}, {build70, 2}, {build66, 2}}) {
        InstallQuollComponent(PinnedFiles(), offered, destination);
        EXPECT_EQ(registrations(), count) << offered;
    }
    EXPECT_EQ(GetFileBuild(destination), "70") << "the build number comes from the Japanese version string";

    // Registered with quotes, the path names no file: build 0, so even an older build goes in.
    SetString(HKEY_CLASSES_ROOT, kQuollServer + "\\LocalServer32", nullptr, "\"" + destination + "\"");
    InstallQuollComponent(PinnedFiles(), build66, destination);
    EXPECT_EQ(registrations(), 3);
}

}  // namespace
