// Mewlark.exe as processes under Wine, started and answered from the outside the way a user and
// the setup program would: the single instance, Stop over a running notifier, the login
// through the real dialog, and what the program leaves behind.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/Files.h"
#include "tests/e2e/PrefixSnapshot.h"
#include "tests/support/Processes.h"
#include "tests/support/Registry.h"
#include "tests/support/Waiting.h"
#include "tests/support/Windows.h"
#include "tools/simulator/SimulatorClient.h"

namespace {

using namespace test;

HWND MainWindowOfNotifier() { return FindWindowA("MEWLARKCLASS", nullptr); }

// A notifier started from the build folder with the arguments; ended by force if left running.
Process Notifier(const std::string& arguments) {
    return Process::Start("\"" + ProgramFolder() + "\\Mewlark.exe\"" + (arguments.empty() ? "" : " " + arguments));
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
    }
    // A stored session that the simulator accepts, so that no login dialog opens.
    static void StoreSession() {
        sim::AddAccount("alice", "pw", 0);
        sim::AddSession("eid-alice", "alice");
        SetString(HKEY_CURRENT_USER, kSettingsKey, "EID", "eid-alice");
    }
};

TEST_F(MewlarkProcess, ASecondStartEndsSilentlyAndStopEndsTheFirst) {
    StoreSession();
    const Process running = Notifier("/foo");  // unknown tokens are ignored
    ASSERT_TRUE(WaitFor([] { return sim::RequestCount("arrival") == 1; }, 15000));
    const Process second = Notifier("");
    ASSERT_TRUE(second.Ended(15000));
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_EQ(sim::RequestCount("arrival"), 1) << "the second process checks nothing";

    const Process stop = Notifier("/Stop");
    ASSERT_TRUE(stop.Ended(30000));
    EXPECT_EQ(stop.ExitCode(), 0u);
    EXPECT_GE(stop.Lifetime(), 1400u) << "Stop waits about 1500 ms after closing the notifier";
    EXPECT_TRUE(running.Ended(0) && running.ExitCode() == 0) << "Stop returns once the notifier has ended";
}

TEST_F(MewlarkProcess, StopDoesNotHangOnANotifierThatDoesNotAnswer) {
    // A window of the notifier's class on this thread, which handles no message meanwhile.
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "MEWLARKCLASS";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    const HWND hung = CreateWindowA("MEWLARKCLASS", "", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                                    windowClass.hInstance, nullptr);
    const Process stop = Notifier("Stop");
    // Its own bound, 15 s from the close, and then some.
    EXPECT_TRUE(stop.Ended(40000)) << "Stop still waits for the window to answer";
    DestroyWindow(hung);
    UnregisterClassA("MEWLARKCLASS", windowClass.hInstance);
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
    EXPECT_NE(ReadString(HKEY_CURRENT_USER, kSettingsKey, "EID"), "") << "saved: the session is stored";

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

// The first visible window of the class whose process is (or, negated, is not) the one given.
HWND VisibleWindowOf(const char* className, DWORD process, bool negated = false) {
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, className, nullptr)) != nullptr;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (IsWindowVisible(window) && (owner == process) != negated) return window;
    }
    return nullptr;
}

// With Windows' notifications chosen, new mail comes as the balloon of Wine's real tray, which
// draws it as a tooltip window of its own process, and no popup; a right click on the icon's
// window (the tray answers with the click and then WM_CONTEXTMENU) opens one menu.
TEST_F(MewlarkProcess, WindowsNotificationsShowTheBalloonInTheRealTrayAndItsIconOpensOneMenu) {
    StoreSession();
    sim::SetCount("alice", 3);
    SetDword(HKEY_CURRENT_USER, kSettingsKey, "WindowsNotification", 1);
    const Process notifier = Notifier("");
    const std::string text = "\x90V\x92\x85\x83\x81\x81[\x83\x8B\x82\xAA 3 \x8C\x8F\x82\xA0\x82\xE8\x82\xDC\x82\xB7";
    ASSERT_TRUE(WaitFor([&] { return TextOf(VisibleWindowOf("tooltips_class32", notifier.Id(), true)) == text; }, 20000));
    EXPECT_FALSE(IsWindowVisible(FindWindowA("SIMPLEPOPUPCLASS", nullptr))) << "no popup";

    HWND icon = FindWindowExA(FindWindowA("__winex11_standalone_tray", nullptr), nullptr, "__winex11_tray_icon", nullptr);
    if (icon == nullptr) icon = FindWindowExA(FindWindowA("Shell_TrayWnd", nullptr), nullptr, "__wine_tray_icon", nullptr);
    ASSERT_NE(icon, nullptr);
    PostMessageA(icon, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(4, 4));
    PostMessageA(icon, WM_RBUTTONUP, 0, MAKELPARAM(4, 4));
    HWND menu = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (menu = VisibleWindowOf("#32768", notifier.Id())) != nullptr; }, 15000)) << "the menu";
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(WaitFor([&] { return VisibleWindowOf("#32768", notifier.Id()) == nullptr; }, 10000));
    EXPECT_FALSE(WaitFor([&] { return VisibleWindowOf("#32768", notifier.Id()) != nullptr; }, 3000)) << "a second menu";
}

}  // namespace
