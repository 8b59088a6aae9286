// Mewlark.exe as processes under Wine, started and answered from the outside the way a
// user and the setup program would: verbs, single instance, login dialog, tray.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e/notifier/notifier_process.h"
#include "tests/unit/settings/registry_fixture.h"
#include "tools/simulator/SimulatorClient.h"

namespace {

using namespace notifier_test;

// Every key name, value name and value datum below key, as bytes; at the top level the
// sub-keys named in skipped are left out.
std::string RegistryBytes(HKEY key, const std::vector<std::string>& skipped = {}) {
    std::string out;
    char name[16384];
    std::string data(1 << 16, '\0');
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = sizeof name, size = static_cast<DWORD>(data.size());
        const LONG result =
            RegEnumValueA(key, i, name, &nameSize, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result == ERROR_SUCCESS) out += std::string(name, nameSize) + data.substr(0, size) + "\n";
    }
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = sizeof name;
        const LONG result = RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) break;
        HKEY child = nullptr;
        const auto isSkipped = [&](const std::string& skip) { return lstrcmpiA(name, skip.c_str()) == 0; };
        if (result != ERROR_SUCCESS || std::any_of(skipped.begin(), skipped.end(), isSkipped) ||
            RegOpenKeyExA(key, name, 0, KEY_READ, &child) != ERROR_SUCCESS) {
            continue;
        }
        out += std::string(name, nameSize) + "\n" + RegistryBytes(child);
        RegCloseKey(child);
    }
    return out;
}

// Runs a program to its end; its exit code.
DWORD RunToEnd(const std::string& commandLine) {
    std::string line = commandLine;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return ~0u;
    }
    DWORD code = ~0u;
    if (WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

TEST_F(NotifierProcess, SecondStartEndsSilentlyTrayMenuOpensOnButtonUpAndStopEndsIt) {
    StoreSession();
    const int iconsBefore = TrayIcons();
    Notifier running("/foo");  // unknown tokens are ignored
    ASSERT_TRUE(WaitForNotifierWindow());
    const HWND window = MainWindowOfNotifier();
    ASSERT_TRUE(WaitFor([&] { return TrayIcons() == iconsBefore + 1; }, 10000));
    ASSERT_TRUE(WaitFor([] { return sim::RequestCount("arrival") == 1; }, 15000));

    Notifier second("");
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

    Notifier stop("/Stop");
    ASSERT_TRUE(stop.Ended(20000));
    EXPECT_EQ(stop.ExitCode(), 0u);
    EXPECT_GE(stop.Lifetime(), 1400u) << "Stop waits about 1500 ms after closing the notifier";
    ASSERT_TRUE(running.Ended(15000));
    EXPECT_EQ(running.ExitCode(), 0u);
    EXPECT_EQ(MainWindowOfNotifier(), nullptr);
    EXPECT_TRUE(WaitFor([&] { return TrayIcons() == iconsBefore; }, 5000));
}

TEST_F(NotifierProcess, StopAndRegServerWithNoneRunningReturnAtOnceAndStartNothing) {
    for (const char* verb : {"stop", "-RegServer", "/unregserver"}) {
        Notifier process(verb);
        ASSERT_TRUE(process.Ended(20000)) << verb;
        EXPECT_EQ(process.ExitCode(), 0u) << verb;
        EXPECT_LT(process.Lifetime(), 1400u) << verb << ": well below the wait after closing a notifier";
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
    const auto entry = [] { return test::GetRaw(HKEY_CURRENT_USER, kRunKey, "Mewlark.exe"); };

    // A copy under another name, in a folder whose name and its own end in "表" (trail byte
    // 0x5C), names Mewlark.exe in its folder.
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "autostart \x95\x5C";
    const std::string copy = folder + "\\\x92\xCA\x92\x6D\x95\x5C.exe";
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(NotifierPath().c_str(), copy.c_str(), FALSE));
    EXPECT_EQ(RunToEnd("\"" + copy + "\" SetAutoStart"), 0u);
    EXPECT_EQ(entry(), test::Sz("\"" + folder + "\\Mewlark.exe\""));
    DeleteFileA(copy.c_str());
    RemoveDirectoryA(folder.c_str());

    // Written again by the notifier itself: the same one value. The first matching token
    // wins: Stop is not acted on.
    Notifier set("-SETAUTOSTART /Stop");
    ASSERT_TRUE(set.Ended(20000));
    EXPECT_EQ(set.ExitCode(), 0u);
    EXPECT_EQ(entry(), test::Sz("\"" + NotifierPath() + "\""));
    EXPECT_TRUE(running.Running());
    EXPECT_EQ(test::Snapshot(HKEY_CURRENT_USER, test::kSettingsKey), settingsBefore);

    for (int removal = 0; removal < 2; ++removal) {  // the second finds no value: no error, no change
        Notifier unset("unsetautostart");
        ASSERT_TRUE(unset.Ended(20000));
        EXPECT_EQ(unset.ExitCode(), 0u);
        EXPECT_EQ(test::Snapshot(HKEY_CURRENT_USER, kRunKey), runBefore);
    }
    EXPECT_EQ(test::Snapshot(HKEY_CURRENT_USER, test::kSettingsKey), settingsBefore);
    EXPECT_TRUE(running.Running());
    EXPECT_EQ(sim::RequestCount("arrival"), 1) << "no verb started a notifier";
}

TEST_F(NotifierProcess, LoginThroughTheDialogKeepsTheSessionOnlyWhenSavedAndNeverThePassword) {
    const std::string password = "pw-7f3a9c-secret";
    FILETIME started;
    GetSystemTimeAsFileTime(&started);
    sim::AddAccount("tarn-user", password, 3);
    for (const bool save : {false, true}) {
        Notifier notifier("");
        HWND dialog = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (dialog = VisibleDialog(kLoginCaption)) != nullptr; }, 20000)) << save;
        AnswerLogin(dialog, "tarn-user", password, save);
        // The count after the login is announced with the popup.
        ASSERT_TRUE(WaitFor([] { return IsWindowVisible(FindWindowA("SIMPLEPOPUPCLASS", nullptr)) != FALSE; }, 20000));
        StopAnyNotifier();
        ASSERT_TRUE(notifier.Ended(15000));
        EXPECT_EQ(notifier.ExitCode(), 0u);
        EXPECT_EQ(StoredString("UserID"), "tarn-user");
        EXPECT_EQ(StoredString("EID") != "", save);
    }
    EXPECT_EQ(sim::RequestCount("login"), 2) << "the unsaved login is asked for again at the next start";
    EXPECT_NE(sim::HeadersOf(sim::Request("arrival")).find("Cookie: EID=" + StoredString("EID") + "\r\n"),
              std::string::npos);

    std::string everything = RegistryBytes(HKEY_CURRENT_USER);
    HKEY software = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &software), ERROR_SUCCESS);
    // The system's own large trees are left out: the notifier writes only below HKCU.
    everything += RegistryBytes(software, {"Classes", "Microsoft", "Wow6432Node"});
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

}  // namespace
