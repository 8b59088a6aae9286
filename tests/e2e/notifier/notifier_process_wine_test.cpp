// Mewlark.exe as processes under Wine, started and answered from the outside the way a
// user and the setup program would: verbs, single instance, login dialog, tray.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/e2e/notifier/notifier_process.h"
#include "tests/support/simulator_client.h"
#include "tests/unit/settings/registry_fixture.h"

namespace {

using namespace notifier_test;

// Every key name, value name and value datum below key, as bytes; the sub-keys named in
// skipped are left out.
void CollectRegistry(HKEY key, std::string& out, const std::vector<std::string>& skipped = {}, int depth = 0) {
    if (depth > 32) return;
    char name[16384];
    std::vector<BYTE> data(1 << 16);
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = sizeof(name);
        DWORD size = static_cast<DWORD>(data.size());
        const LONG result = RegEnumValueA(key, i, name, &nameSize, nullptr, nullptr, data.data(), &size);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS) continue;
        out.append(name, nameSize).append(reinterpret_cast<const char*>(data.data()), size).push_back('\n');
    }
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = sizeof(name);
        const LONG result = RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS) continue;
        out.append(name, nameSize).push_back('\n');
        bool skip = false;
        for (const std::string& s : skipped) skip = skip || (depth == 0 && lstrcmpiA(name, s.c_str()) == 0);
        HKEY child = nullptr;
        if (!skip && RegOpenKeyExA(key, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
            CollectRegistry(child, out, skipped, depth + 1);
            RegCloseKey(child);
        }
    }
}

TEST_F(NotifierProcess, SecondStartEndsSilentlyAndTheFirstKeepsRunning) {
    StoreSession();
    Notifier first("");
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(WaitForNotifierWindow());
    const HWND window = MainWindowOfNotifier();
    ASSERT_TRUE(WaitFor([] { return sim::RequestCount("arrival") == 1; }, 15000));

    Notifier second("");
    ASSERT_TRUE(second.Ended(15000));
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_TRUE(first.Running());
    EXPECT_EQ(MainWindowOfNotifier(), window);
    EXPECT_EQ(CountTopLevel("MEWLARKCLASS"), 1);
    EXPECT_EQ(sim::RequestCount("arrival"), 1) << "the second process checks nothing";
    EXPECT_EQ(VisibleDialog(kLoginCaption), nullptr);
}

TEST_F(NotifierProcess, StopEndsTheRunningNotifierAndItsTrayIcon) {
    StoreSession();
    const int iconsBefore = TrayIcons();
    Notifier running("/foo");  // unknown tokens are ignored
    ASSERT_TRUE(WaitForNotifierWindow());
    ASSERT_TRUE(WaitFor([&] { return TrayIcons() == iconsBefore + 1; }, 10000));

    Notifier stop("/Stop");
    ASSERT_TRUE(stop.Ended(20000));
    EXPECT_EQ(stop.ExitCode(), 0u);
    EXPECT_GE(stop.Lifetime(), 1400u) << "Stop waits about 1500 ms after closing the notifier";
    ASSERT_TRUE(running.Ended(15000));
    EXPECT_EQ(running.ExitCode(), 0u);
    EXPECT_EQ(MainWindowOfNotifier(), nullptr);
    EXPECT_TRUE(WaitFor([&] { return TrayIcons() == iconsBefore; }, 5000));
}

TEST_F(NotifierProcess, StopWithNoneRunningDoesNotWait) {
    Notifier stop("stop");
    ASSERT_TRUE(stop.Ended(20000));
    EXPECT_EQ(stop.ExitCode(), 0u);
    // Well below the 1500 ms it waits after closing a running notifier.
    EXPECT_LT(stop.Lifetime(), 1400u);
    EXPECT_FALSE(test::KeyExists(HKEY_CURRENT_USER, test::kSettingsKey));
}

TEST_F(NotifierProcess, RegServerVerbsStartNothing) {
    for (const char* verb : {"-RegServer", "/unregserver"}) {
        Notifier server(verb);
        ASSERT_TRUE(server.Ended(20000)) << verb;
        EXPECT_EQ(server.ExitCode(), 0u) << verb;
        EXPECT_FALSE(test::KeyExists(HKEY_CURRENT_USER, test::kSettingsKey)) << verb << ": no window was created";
        EXPECT_EQ(sim::RequestCount("arrival") + sim::RequestCount("login"), 0) << verb;
    }
}

TEST_F(NotifierProcess, AutoStartVerbsChangeOnlyTheRunValue) {
    StoreSession();
    Notifier running("");
    ASSERT_TRUE(WaitForNotifierWindow());
    ASSERT_TRUE(WaitFor([] { return sim::RequestCount("arrival") == 1; }, 15000));
    const std::string settingsBefore = test::Snapshot(HKEY_CURRENT_USER, test::kSettingsKey);
    const std::string runBefore = test::Snapshot(HKEY_CURRENT_USER, kRunKey);

    // The first matching token wins: Stop is not acted on.
    Notifier set("-SETAUTOSTART /Stop");
    ASSERT_TRUE(set.Ended(20000));
    EXPECT_EQ(set.ExitCode(), 0u);
    EXPECT_TRUE(running.Running());
    EXPECT_NE(MainWindowOfNotifier(), nullptr);
    const auto value = test::GetRaw(HKEY_CURRENT_USER, kRunKey, "Mewlark.exe");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value->data, "\"" + NotifierPath() + "\"" + std::string(1, '\0'));
    EXPECT_EQ(test::Snapshot(HKEY_CURRENT_USER, test::kSettingsKey), settingsBefore);

    Notifier unset("unsetautostart");
    ASSERT_TRUE(unset.Ended(20000));
    EXPECT_EQ(unset.ExitCode(), 0u);
    EXPECT_EQ(test::Snapshot(HKEY_CURRENT_USER, kRunKey), runBefore);
    EXPECT_EQ(test::Snapshot(HKEY_CURRENT_USER, test::kSettingsKey), settingsBefore);
    EXPECT_TRUE(running.Running());
    EXPECT_EQ(sim::RequestCount("arrival"), 1) << "neither verb started a notifier";
}

// Logs in through the dialog of a fresh notifier; ends once the first pass is shown.
void LogInThroughTheDialog(Notifier& notifier, const std::string& user, const std::string& password, bool save) {
    ASSERT_TRUE(notifier.Started());
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (dialog = VisibleDialog(kLoginCaption)) != nullptr; }, 20000));
    AnswerLogin(dialog, user, password, save);
    // A count above 0 after the login is announced with the popup.
    ASSERT_TRUE(WaitFor(
        [] {
            const HWND popup = FindWindowA("SIMPLEPOPUPCLASS", nullptr);
            return popup != nullptr && IsWindowVisible(popup);
        },
        20000));
}

TEST_F(NotifierProcess, LoginWithoutSavingStoresTheUserIdOnly) {
    sim::AddAccount("tarn-user", "pw-4c1d-unsaved", 2);
    Notifier notifier("");
    LogInThroughTheDialog(notifier, "tarn-user", "pw-4c1d-unsaved", false);
    StopAnyNotifier();
    ASSERT_TRUE(notifier.Ended(15000));
    EXPECT_EQ(notifier.ExitCode(), 0u);
    EXPECT_EQ(StoredString("UserID"), "tarn-user");
    EXPECT_EQ(StoredString("EID"), "");
    EXPECT_EQ(sim::RequestCount("login"), 1);
}

TEST_F(NotifierProcess, SavedLoginStoresTheSessionAndNeverThePassword) {
    const std::string password = "pw-7f3a9c-secret";
    FILETIME started;
    GetSystemTimeAsFileTime(&started);
    sim::AddAccount("tarn-user", password, 3);
    Notifier notifier("");
    LogInThroughTheDialog(notifier, "tarn-user", password, true);
    StopAnyNotifier();
    ASSERT_TRUE(notifier.Ended(15000));
    EXPECT_EQ(StoredString("UserID"), "tarn-user");
    const std::string eid = StoredString("EID");
    ASSERT_FALSE(eid.empty());
    EXPECT_NE(sim::HeadersOf(sim::Request("arrival")).find("Cookie: EID=" + eid + "\r\n"), std::string::npos);

    std::string everything;
    CollectRegistry(HKEY_CURRENT_USER, everything);
    HKEY software = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &software), ERROR_SUCCESS);
    // The system's own large trees are left out: the notifier writes only below HKCU.
    CollectRegistry(software, everything, {"Classes", "Microsoft", "Wow6432Node"});
    RegCloseKey(software);
    ASSERT_NE(everything.find("tarn-user"), std::string::npos) << "the scan sees the stored values";
    EXPECT_EQ(everything.find(password), std::string::npos);
    // Nor in any file of the prefix written since (caches, cookies, logs); a file written
    // meanwhile shows that the scan sees them.
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string canary = std::string(temp) + "mewlark-scan-canary.txt";
    const HANDLE file = CreateFileA(canary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, "canary-5e1f", 11, &written, nullptr);
    CloseHandle(file);
    EXPECT_EQ(PrefixFilesContaining("canary-5e1f", started).size(), 1u);
    DeleteFileA(canary.c_str());
    EXPECT_EQ(PrefixFilesContaining(password, started), std::vector<std::string>{});

    // The saved session is used at the next start: no dialog, no login.
    Notifier again("");
    ASSERT_TRUE(WaitFor([] { return sim::RequestCount("arrival") == 2; }, 20000));
    EXPECT_EQ(VisibleDialog(kLoginCaption), nullptr);
    EXPECT_EQ(sim::RequestCount("login"), 1);
}

TEST_F(NotifierProcess, StopWhileTheLoginDialogIsOpenKeepsTheStoredUserId) {
    test::SetRaw(HKEY_CURRENT_USER, test::kSettingsKey, "UserID", REG_SZ, std::string("bob\0", 4));
    Notifier notifier("");
    ASSERT_TRUE(WaitFor([] { return VisibleDialog(kLoginCaption) != nullptr; }, 20000));
    Notifier stop("Stop");
    ASSERT_TRUE(stop.Ended(20000));
    ASSERT_TRUE(notifier.Ended(15000));
    EXPECT_EQ(notifier.ExitCode(), 0u);
    EXPECT_EQ(VisibleDialog(kLoginCaption), nullptr);
    EXPECT_EQ(StoredString("UserID"), "bob");
}

TEST_F(NotifierProcess, TrayMenuOpensOnTheRightButtonUp) {
    StoreSession();
    Notifier running("");
    ASSERT_TRUE(WaitForNotifierWindow());
    const HWND window = MainWindowOfNotifier();
    const auto menuShown = [] {
        const HWND menu = FindWindowA("#32768", nullptr);
        return menu != nullptr && IsWindowVisible(menu);
    };
    DWORD_PTR result = 0;
    ASSERT_TRUE(SendMessageTimeoutA(window, WM_TRAY_NOTIFY, 1, WM_RBUTTONDOWN, SMTO_ABORTIFHUNG, 5000, &result));
    EXPECT_FALSE(menuShown()) << "the button-down alone opens nothing";
    PostMessageA(window, WM_TRAY_NOTIFY, 1, WM_RBUTTONUP);
    ASSERT_TRUE(WaitFor(menuShown, 10000));
    PostMessageA(window, WM_CANCELMODE, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return !menuShown(); }, 10000));
    EXPECT_TRUE(running.Running());
}

}  // namespace
