// The release package with its shipped setup.ini: installed, the notifier run from the
// Start-menu shortcut, and uninstalled while it runs, leaving nothing behind.
#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include "tests/e2e/setup/setup_process.h"

using namespace setup_test;

namespace {

const std::string kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kEntry = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Mewlark";

class Package : public SetupTest {
protected:
    void SetUp() override {
        for (const char* name : {"Mewlark.exe", "setup.ini"}) {
            CopyFileA((BinDir() + "\\..\\dist\\" + name).c_str(), (source + "\\" + name).c_str(), FALSE);
        }
    }
    void TearDown() override {
        // Whatever a failed run left behind.
        RemoveTree(installDir);
        RemoveTree(programs + "\\Mewlark");
        DeleteTree(HKEY_LOCAL_MACHINE, kEntry);
        WriteValue(HKEY_CURRENT_USER, kRun, "Mewlark.exe", {});
    }
    const std::string installDir = programFiles + "\\Mewlark";
};

TEST_F(Package, InstallsRunsAndUninstallsWithoutATrace) {
    ASSERT_TRUE(IsFile(source + "\\Mewlark.exe"));
    ASSERT_FALSE(IsFolder(installDir)) << "an earlier install is in the way";
    std::vector<SeenBox> seen = AnswerBoxes(Run(Setup()), {IDNO});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, "Mewlark");
    EXPECT_EQ(seen[0].text, Cp932(u8"インストールが完了しました。\r\n\"Mewlark\" を今すぐ起動しますか？"));

    const std::string notifier = installDir + "\\Mewlark.exe";
    EXPECT_EQ(ReadText(notifier), ReadText(source + "\\Mewlark.exe"));
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kRun, "Mewlark.exe").data, "\"" + notifier + "\"");
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kEntry, "UninstallString").data, "\"" + installDir + "\\uninstall.exe\" /u");

    // The user starts the notifier from the Start menu: the shell follows the shortcut.
    ShellExecuteA(nullptr, nullptr, (programs + "\\Mewlark\\Mewlark.lnk").c_str(), nullptr, nullptr, SW_SHOW);
    const DWORD start = GetTickCount();
    while (FindWindowA("MEWLARKCLASS", nullptr) == nullptr && GetTickCount() - start < 30000) Sleep(50);
    DWORD notifierId = 0;
    GetWindowThreadProcessId(FindWindowA("MEWLARKCLASS", nullptr), &notifierId);
    const HANDLE running = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, notifierId);
    ASSERT_NE(running, nullptr);
    char image[MAX_PATH] = {};
    GetModuleFileNameExA(running, nullptr, image, MAX_PATH);
    EXPECT_TRUE(lstrcmpiA(image, notifier.c_str()) == 0) << image;

    // The uninstall stops it first, then removes everything.
    const ChildProcess uninstaller = Run(installDir + "\\uninstall.exe");
    seen = AnswerBoxes(uninstaller, {IDYES});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, Cp932(u8"Mewlark アンインストーラ"));
    EXPECT_EQ(seen[0].defaultButton, IDNO);
    seen = AnswerBoxes(ChildOf(uninstaller.Id()), {IDOK});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, Cp932(u8"\"Mewlark\" のアンインストールが完了しました。"));

    EXPECT_EQ(WaitForSingleObject(running, 10000), WAIT_OBJECT_0);
    CloseHandle(running);
    EXPECT_FALSE(IsFolder(installDir));
    EXPECT_FALSE(IsFolder(programs + "\\Mewlark"));
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kRun, "Mewlark.exe").found);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEntry));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\tarn"));
}

}  // namespace
