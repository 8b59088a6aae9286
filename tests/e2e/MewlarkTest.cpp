// Mewlark.exe as processes under Wine, started and answered from the outside the way a user and
// the setup program would: the single instance, the verbs and their exit codes, the login
// through the real dialog, and what the program leaves behind.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "notifier/res/Resource.h"
#include "tests/support/Files.h"
#include "tests/e2e/PrefixSnapshot.h"
#include "tests/support/Processes.h"
#include "tests/support/Registry.h"
#include "tests/support/Waiting.h"
#include "tests/support/Windows.h"
#include "tools/simulator/SimulatorClient.h"

namespace {

using namespace test;

constexpr UINT WM_TRAY_NOTIFY = WM_USER + 1;

HWND MainWindowOfNotifier() { return FindWindowA("MEWLARKCLASS", nullptr); }

// A notifier started from the build folder with the arguments; ended by force if left running.
Process Notifier(const std::string& arguments) {
    return Process::Start("\"" + ProgramFolder() + "\\Mewlark.exe\"" + (arguments.empty() ? "" : " " + arguments));
}

BOOL CALLBACK CountTrayIcon(HWND window, LPARAM count) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof(name));
    *reinterpret_cast<int*>(count) += std::string(name) == "__winex11_tray_icon";
    return TRUE;
}

// The icons in Wine's stand-alone tray window, one child window each.
int TrayIcons() {
    int icons = 0;
    EnumChildWindows(FindWindowA("__winex11_standalone_tray", nullptr), CountTrayIcon, reinterpret_cast<LPARAM>(&icons));
    return icons;
}

class MewlarkProcess : public ::testing::Test {
protected:
    void SetUp() override { TearDown(), sim::Reset(); }
    void TearDown() override {
        if (const HWND running = MainWindowOfNotifier()) {
            DWORD_PTR result;
            SendMessageTimeoutA(running, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
            WaitFor([] { return MainWindowOfNotifier() == nullptr; }, 5000);
        }
        DeleteTree(HKEY_CURRENT_USER, kSettingsKey);
        WriteValue(HKEY_CURRENT_USER, kRunKey, "Mewlark.exe", std::nullopt);
    }
    // A stored session that the simulator accepts, so that no login dialog opens.
    static void StoreSession() {
        sim::AddAccount("alice", "pw", 0);
        sim::AddSession("eid-alice", "alice");
        SetString(HKEY_CURRENT_USER, kSettingsKey, "EID", "eid-alice");
    }
};

TEST_F(MewlarkProcess, ASecondStartEndsSilentlyTheMenuOpensOnButtonUpAndStopEndsTheFirst) {
    StoreSession();
    const int iconsBefore = TrayIcons();
    const Process running = Notifier("/foo");  // unknown tokens are ignored
    ASSERT_TRUE(WaitFor([] { return MainWindowOfNotifier() != nullptr; }, 15000));
    const HWND window = MainWindowOfNotifier();
    ASSERT_TRUE(WaitFor([&] { return TrayIcons() == iconsBefore + 1; }, 10000));
    ASSERT_TRUE(WaitFor([] { return sim::RequestCount("arrival") == 1; }, 15000));

    const Process second = Notifier("");
    ASSERT_TRUE(second.Ended(15000));
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_EQ(MainWindowOfNotifier(), window);
    EXPECT_EQ(sim::RequestCount("arrival"), 1) << "the second process checks nothing";

    const auto menuShown = [] { return IsWindowVisible(FindWindowA("#32768", nullptr)) != FALSE; };
    DWORD_PTR result = 0;
    ASSERT_TRUE(SendMessageTimeoutA(window, WM_TRAY_NOTIFY, 1, WM_RBUTTONDOWN, SMTO_ABORTIFHUNG, 5000, &result));
    EXPECT_FALSE(menuShown()) << "the button-down alone opens nothing";
    PostMessageA(window, WM_TRAY_NOTIFY, 1, WM_RBUTTONUP);
    ASSERT_TRUE(WaitFor(menuShown, 10000));
    PostMessageA(window, WM_CANCELMODE, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return !menuShown(); }, 10000));

    const Process stop = Notifier("/Stop");
    ASSERT_TRUE(stop.Ended(30000));
    EXPECT_EQ(stop.ExitCode(), 0u);
    EXPECT_GE(stop.Lifetime(), 1400u) << "Stop waits about 1500 ms after closing the notifier";
    EXPECT_TRUE(running.Ended(0)) << "Stop returns once the notifier has ended";
    EXPECT_EQ(running.ExitCode(), 0u);
    EXPECT_TRUE(WaitFor([&] { return TrayIcons() == iconsBefore; }, 5000));
}

TEST_F(MewlarkProcess, StopAndRegServerWithNoneRunningReturnAtOnceAndStartNothing) {
    for (const char* verb : {"stop", "-RegServer", "/unregserver"}) {
        const Process process = Notifier(verb);
        ASSERT_TRUE(process.Ended(20000)) << verb;
        EXPECT_EQ(process.ExitCode(), 0u) << verb;
        EXPECT_LT(process.Lifetime(), 1400u) << verb << ": well below the wait after closing a notifier";
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kSettingsKey)) << verb << ": no window was created";
        EXPECT_EQ(sim::RequestCount("arrival") + sim::RequestCount("login"), 0) << verb;
    }
}

TEST_F(MewlarkProcess, AutoStartVerbsChangeOnlyTheRunValue) {
    StoreSession();
    const Process running = Notifier("");
    ASSERT_TRUE(WaitFor([] { return sim::RequestCount("arrival") == 1; }, 15000));
    const std::string settingsBefore = Snapshot(HKEY_CURRENT_USER, kSettingsKey);
    const std::string runBefore = Snapshot(HKEY_CURRENT_USER, kRunKey);
    const auto entry = [] { return ReadValue(HKEY_CURRENT_USER, kRunKey, "Mewlark.exe"); };

    // A copy under another name, in a folder whose name and its own end in "表" (trail byte
    // 0x5C), names Mewlark.exe in its folder.
    const ScratchFolder scratch;
    const std::string folder = scratch / "autostart \x95\x5C";
    const std::string copy = folder + "\\\x92\xCA\x92\x6D\x95\x5C.exe";
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA((ProgramFolder() + "\\Mewlark.exe").c_str(), copy.c_str(), FALSE));
    const Process set = Process::Start("\"" + copy + "\" SetAutoStart");
    ASSERT_TRUE(set.Ended(20000));
    EXPECT_EQ(set.ExitCode(), 0u);
    EXPECT_EQ(entry(), Sz("\"" + folder + "\\Mewlark.exe\""));

    // Written again by the notifier itself: the same one value. The first matching token
    // wins: Stop is not acted on.
    const Process again = Notifier("-SETAUTOSTART /Stop");
    ASSERT_TRUE(again.Ended(20000));
    EXPECT_EQ(entry(), Sz("\"" + ProgramFolder() + "\\Mewlark.exe\""));
    EXPECT_FALSE(running.Ended(0));

    for (int removal = 0; removal < 2; ++removal) {  // the second finds no value: no error, no change
        const Process unset = Notifier("unsetautostart");
        ASSERT_TRUE(unset.Ended(20000));
        EXPECT_EQ(unset.ExitCode(), 0u);
        EXPECT_EQ(Snapshot(HKEY_CURRENT_USER, kRunKey), runBefore);
    }
    EXPECT_EQ(Snapshot(HKEY_CURRENT_USER, kSettingsKey), settingsBefore);
    EXPECT_FALSE(running.Ended(0));
    EXPECT_EQ(sim::RequestCount("arrival"), 1) << "no verb started a notifier";
}

TEST_F(MewlarkProcess, ALoginThroughTheDialogKeepsTheSessionWhenSavedAndNeverThePassword) {
    const std::string password = "pw-7f3a9c-secret";
    sim::AddAccount("tarn-user", password, 3);
    ScratchFolder scratch;
    const PrefixSnapshot before = TakeSnapshot({scratch.Path()});
    {
        const Process notifier = Notifier("");
        HWND dialog = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (dialog = VisibleDialog("Mewlark")) != nullptr; }, 20000));
        AnswerLoginDialog(dialog, "tarn-user", password, true);
        // The count after the login is announced with the popup.
        ASSERT_TRUE(WaitFor([] { return IsWindowVisible(FindWindowA("SIMPLEPOPUPCLASS", nullptr)) != FALSE; }, 20000));
        SendMessageA(MainWindowOfNotifier(), WM_CLOSE, 0, 0);
        ASSERT_TRUE(notifier.Ended(15000));
        EXPECT_EQ(notifier.ExitCode(), 0u);
    }
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kSettingsKey, "UserID"), "tarn-user");
    const std::string eid = ReadString(HKEY_CURRENT_USER, kSettingsKey, "EID");
    EXPECT_NE(sim::HeadersOf(sim::Request("arrival")).find("Cookie: EID=" + eid + "\r\n"), std::string::npos);

    // The password is in no registry value and no file the run added or changed; a canary
    // written meanwhile shows that the scan sees new files.
    const std::string canary = scratch.Path() + "-canary.txt";
    WriteText(canary, "canary " + password);
    std::vector<std::string> holding;
    for (const auto& [path, held] : TakeSnapshot({scratch.Path()})) {
        const auto old = before.find(path);
        if (old != before.end() && old->second == held) continue;
        const bool isFile = path.rfind("C:", 0) == 0 && held != "folder";
        if ((isFile ? ReadText(path) : held).find(password) != std::string::npos) holding.push_back(path);
    }
    DeleteFileA(canary.c_str());
    EXPECT_EQ(holding.size(), 1u) << ::testing::PrintToString(holding) << " (the canary only)";
    EXPECT_NE(ReadString(HKEY_CURRENT_USER, kSettingsKey, "UserID"), "") << "the scan sees the stored values";
}

}  // namespace
