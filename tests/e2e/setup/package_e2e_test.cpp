// The release package with its shipped setup.ini: installed, the notifier run from the
// Start-menu shortcut, and uninstalled while it runs, leaving nothing behind.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "tests/e2e/setup/setup_process.h"

using namespace setup_test;

namespace {

const std::string kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kEntry = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Mewlark";

// The path a shell link points at; empty when it cannot be read.
std::string ShortcutTarget(const std::string& shortcut) {
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    char target[MAX_PATH] = {};
    wchar_t wide[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, shortcut.c_str(), -1, wide, MAX_PATH);
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(wide, STGM_READ))) {
        link->GetPath(target, MAX_PATH, nullptr, 0);
    }
    if (file != nullptr) file->Release();
    if (link != nullptr) link->Release();
    return target;
}

class Package : public SetupTest {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
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
        CoUninitialize();
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

    // The user starts the notifier from the Start menu.
    const std::string target = ShortcutTarget(programs + "\\Mewlark\\Mewlark.lnk");
    EXPECT_TRUE(lstrcmpiA(target.c_str(), notifier.c_str()) == 0) << target;
    const ChildProcess running = StartProgram("\"" + target + "\"", temp);
    const DWORD start = GetTickCount();
    while (FindWindowA("MEWLARKCLASS", nullptr) == nullptr && GetTickCount() - start < 30000) Sleep(50);
    ASSERT_NE(FindWindowA("MEWLARKCLASS", nullptr), nullptr);

    // The uninstall stops it first, then removes everything.
    const ChildProcess uninstaller = Run(installDir + "\\uninstall.exe");
    seen = AnswerBoxes(uninstaller, {IDYES});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, Cp932(u8"Mewlark アンインストーラ"));
    EXPECT_EQ(seen[0].defaultButton, IDNO);
    seen = AnswerBoxes(ChildOf(uninstaller.Id()), {IDOK});
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
