// Mewlark.exe as processes under Wine, started and answered from the outside the way a
// user and the setup program would: verbs, single instance, login dialog, tray.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/simulator_client.h"
#include "tests/unit/settings/registry_fixture.h"

namespace {

constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr UINT WM_TRAY_NOTIFY = WM_USER + 1;
// "Mewlark" is the login dialog's caption.
constexpr const char* kLoginCaption = "Mewlark";

std::string ProgramFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string self(path);
    return self.substr(0, self.rfind('\\'));
}

std::string NotifierPath() { return ProgramFolder() + "\\Mewlark.exe"; }

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeoutMs) return done();
        Sleep(20);
    }
    return true;
}

// A started Mewlark process; ended by force if a test leaves it running.
class Notifier {
public:
    explicit Notifier(const std::string& arguments) {
        std::string commandLine = "\"" + NotifierPath() + "\"" + (arguments.empty() ? "" : " " + arguments);
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process_)) {
            process_ = {};
        }
    }
    ~Notifier() {
        if (process_.hProcess == nullptr) return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 1);
            WaitForSingleObject(process_.hProcess, 5000);
        }
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    Notifier(const Notifier&) = delete;
    Notifier& operator=(const Notifier&) = delete;

    bool Started() const { return process_.hProcess != nullptr; }
    bool Ended(DWORD timeoutMs) const { return WaitForSingleObject(process_.hProcess, timeoutMs) == WAIT_OBJECT_0; }
    bool Running() const { return !Ended(0); }
    DWORD ExitCode() const {
        DWORD code = ~0u;
        GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }
    // From the start to the end of the process, in ms (valid once it ended).
    DWORD Lifetime() const {
        FILETIME created, exited, kernel, user;
        GetProcessTimes(process_.hProcess, &created, &exited, &kernel, &user);
        const auto ticks = [](FILETIME t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
        return static_cast<DWORD>((ticks(exited) - ticks(created)) / 10000);
    }

private:
    PROCESS_INFORMATION process_{};
};

HWND MainWindowOfNotifier() { return FindWindowA("MEWLARKCLASS", nullptr); }

struct WindowSearch {
    const char* className;
    const char* caption;  // null: any
    bool visibleOnly;
    HWND found;
    int count;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    char name[64] = {};
    char text[128] = {};
    GetClassNameA(window, name, sizeof(name));
    if (lstrcmpA(name, search->className) != 0) return TRUE;
    if (search->caption != nullptr) {
        GetWindowTextA(window, text, sizeof(text));
        if (lstrcmpA(text, search->caption) != 0) return TRUE;
    }
    if (search->visibleOnly && !IsWindowVisible(window)) return TRUE;
    search->found = window;
    ++search->count;
    return TRUE;
}

int CountTopLevel(const char* className) {
    WindowSearch search{className, nullptr, false, nullptr, 0};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.count;
}

// The visible top-level "#32770" window with this caption.
HWND VisibleDialog(const char* caption) {
    WindowSearch search{"#32770", caption, true, nullptr, 0};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Icons in Wine's stand-alone tray window (one child window per icon).
int TrayIcons() {
    const HWND tray = FindWindowA("__winex11_standalone_tray", nullptr);
    if (tray == nullptr) return 0;
    WindowSearch search{"__winex11_tray_icon", nullptr, false, nullptr, 0};
    EnumChildWindows(tray, MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.count;
}

void SetText(HWND control, const std::string& text) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 5000,
                        &result);
}

LRESULT Query(HWND control, UINT message) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(control, message, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
    return static_cast<LRESULT>(result);
}

// Fills the open login dialog and presses OK, as a user would.
void AnswerLogin(HWND dialog, const std::string& user, const std::string& password, bool save) {
    SetText(GetDlgItem(dialog, 1000), user);
    SetText(GetDlgItem(dialog, 1001), password);
    const HWND ok = GetDlgItem(dialog, IDOK);
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(ok) != FALSE; }, 5000)) << "OK enabled by both fields";
    const HWND box = GetDlgItem(dialog, 1002);
    if (save) {
        PostMessageA(box, BM_CLICK, 0, 0);
        ASSERT_TRUE(WaitFor([&] { return Query(box, BM_GETCHECK) == BST_CHECKED; }, 5000));
    }
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
}

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

std::string StoredString(const char* valueName) {
    const auto raw = test::GetRaw(HKEY_CURRENT_USER, test::kSettingsKey, valueName);
    if (!raw || raw->data.empty()) return {};
    return raw->data.substr(0, raw->data.find('\0'));
}

class NotifierProcess : public ::testing::Test {
protected:
    void SetUp() override {
        StopAnyNotifier();
        sim::Reset();
        test::DeleteKey(HKEY_CURRENT_USER, test::kSettingsKey);
        RemoveRunValue();
    }
    void TearDown() override {
        StopAnyNotifier();
        test::DeleteKey(HKEY_CURRENT_USER, test::kSettingsKey);
        RemoveRunValue();
    }

    static void StopAnyNotifier() {
        if (const HWND running = MainWindowOfNotifier()) {
            DWORD_PTR result;
            SendMessageTimeoutA(running, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
            WaitFor([] { return MainWindowOfNotifier() == nullptr; }, 5000);
        }
    }
    static void RemoveRunValue() {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
        RegDeleteValueA(key, "Mewlark.exe");
        RegCloseKey(key);
    }
    // A stored session that the simulator accepts, so that no login dialog opens.
    static void StoreSession() {
        sim::AddAccount("alice", "pw", 0);
        sim::AddSession("eid-alice", "alice");
        test::SetRaw(HKEY_CURRENT_USER, test::kSettingsKey, "EID", REG_SZ, std::string("eid-alice\0", 10));
    }
    static bool WaitForNotifierWindow() {
        return WaitFor([] { return MainWindowOfNotifier() != nullptr; }, 15000);
    }
};

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
