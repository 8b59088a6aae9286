// The release package with its shipped setup.ini: installed, the notifier run from the
// Start-menu shortcut, and uninstalled while it runs, leaving nothing behind.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include "tests/e2e/setup/setup_process.h"

using namespace setup_test;

namespace {

const std::string kShellFolders = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const std::string kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kEntry = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Mewlark";

class Package : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        CreateDirectoryA(package.c_str(), nullptr);
        CreateDirectoryA(temp.c_str(), nullptr);
        for (const char* name : {"MewlarkSetup.exe", "Mewlark.exe", "setup.ini"}) {
            CopyFileA((BinDir() + "\\..\\dist\\" + name).c_str(), (package + "\\" + name).c_str(), FALSE);
        }
    }
    void TearDown() override {
        // Whatever a failed run left behind.
        RemoveTree(installDir);
        RemoveTree(programs + "\\Mewlark");
        DeleteTree(HKEY_LOCAL_MACHINE, kEntry);
        SetValue(HKEY_CURRENT_USER, kRun, "Mewlark.exe", REG_SZ, nullptr);
        CoUninitialize();
    }

    ScratchFolder scratch;
    const std::string package = scratch / "package";
    const std::string temp = scratch / "temp";
    const std::string programs = ReadValue(HKEY_LOCAL_MACHINE, kShellFolders, "Common Programs").data;
    const std::string installDir =
        ReadValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir").data +
        "\\Mewlark";
    const SavedValue pending{HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                             "PendingFileRenameOperations"};
};

TEST_F(Package, InstallsRunsAndUninstallsWithoutATrace) {
    ASSERT_TRUE(IsFile(package + "\\Mewlark.exe"));
    ASSERT_FALSE(IsFolder(installDir)) << "an earlier install is in the way";
    std::vector<SeenBox> seen = AnswerBoxes(StartProgram("\"" + package + "\\MewlarkSetup.exe\"", temp), {IDNO});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, "Mewlark");
    EXPECT_EQ(seen[0].text, Cp932(u8"インストールが完了しました。\r\n\"Mewlark\" を今すぐ起動しますか？"));

    const std::string notifier = installDir + "\\Mewlark.exe";
    EXPECT_EQ(ReadText(notifier), ReadText(package + "\\Mewlark.exe"));
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kRun, "Mewlark.exe").data, "\"" + notifier + "\"");
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kEntry, "UninstallString").data,
              "\"" + installDir + "\\uninstall.exe\" /u");

    // The user starts the notifier from the Start menu.
    const std::string target = ShortcutTarget(programs + "\\Mewlark\\Mewlark.lnk");
    EXPECT_TRUE(lstrcmpiA(target.c_str(), notifier.c_str()) == 0) << target;
    const ChildProcess running = StartProgram("\"" + target + "\"", temp);
    const DWORD start = GetTickCount();
    while (FindWindowA("MEWLARKCLASS", nullptr) == nullptr && GetTickCount() - start < 30000) Sleep(50);
    ASSERT_NE(FindWindowA("MEWLARKCLASS", nullptr), nullptr);

    // The uninstall stops it first, then removes everything.
    const ChildProcess uninstaller = StartProgram("\"" + installDir + "\\uninstall.exe\"", temp);
    seen = AnswerBoxes(uninstaller, {IDYES});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, Cp932(u8"Mewlark アンインストーラ"));
    EXPECT_EQ(seen[0].defaultButton, IDNO);
    const ChildProcess copy = ChildOf(uninstaller.Id());
    seen = AnswerBoxes(copy, {IDOK});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, Cp932(u8"\"Mewlark\" のアンインストールが完了しました。"));

    EXPECT_TRUE(running.WaitForExit(10000));
    EXPECT_FALSE(IsFolder(installDir));
    EXPECT_FALSE(IsFolder(programs + "\\Mewlark"));
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kRun, "Mewlark.exe").found);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEntry));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\tarn"));
}

}  // namespace
