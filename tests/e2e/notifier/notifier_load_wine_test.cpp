// Mewlark.exe as a process under load: ended by "Stop" while a check pass hangs on a silent
// service, with and without the login dialog open; and its tray icon brought back when the
// taskbar is re-created.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "tests/e2e/notifier/notifier_process.h"
#include "tests/support/shown_texts.h"
#include "tests/unit/settings/registry_fixture.h"
#include "tools/simulator/SimulatorClient.h"

namespace {

using namespace notifier_test;
using namespace test::shown_texts;

// The check client waits 10 s for a running pass at the end; the process ends soon after.
constexpr DWORD kShutdownLimitMs = 11000;
constexpr UINT kRefetchCommand = 32782;  // IDM_REFETCH

// A query that hangs: the service accepts it and never answers.
void ScriptSilentService() {
    sim::Reply silent;
    silent.stall = "before-headers";
    silent.stallMs = 60000;
    silent.times = 3;
    sim::Script("arrival", silent);
}

// The longest of a few round trips of WM_NULL to the window of another process, in ms.
double WorstAnswerMs(HWND window) {
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    double worst = 0;
    for (int i = 0; i < 50; ++i) {
        DWORD_PTR result = 0;
        QueryPerformanceCounter(&before);
        if (!SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result)) return 5000;
        QueryPerformanceCounter(&after);
        const double ms = 1000.0 * static_cast<double>(after.QuadPart - before.QuadPart) /
                          static_cast<double>(frequency.QuadPart);
        if (ms > worst) worst = ms;
        Sleep(20);
    }
    return worst;
}

struct StopTimes {
    DWORD fromStop;   // from the start of the "Stop" process
    DWORD fromClose;  // from the notifier's window going, the close having arrived
};

// Runs "Stop" and times the end of the notifier's process; "Stop" returns only after it.
StopTimes StopAndTimeTheEnd(const Notifier& notifier) {
    const DWORD start = GetTickCount();
    Notifier stop("Stop");
    EXPECT_TRUE(WaitFor([] { return MainWindowOfNotifier() == nullptr; }, 15000));
    const DWORD closed = GetTickCount();
    EXPECT_TRUE(notifier.Ended(30000));
    const DWORD ended = GetTickCount();
    EXPECT_TRUE(stop.Ended(30000));
    FILETIME created, notifierExit, stopExit, unused;
    GetProcessTimes(notifier.Process(), &created, &notifierExit, &unused, &unused);
    GetProcessTimes(stop.Process(), &created, &stopExit, &unused, &unused);
    EXPECT_LE(CompareFileTime(&notifierExit, &stopExit), 0) << "Stop returned before the notifier had ended";
    return {ended - start, ended - closed};
}

TEST_F(NotifierProcess, StopWhileAPassHangsEndsTheProcessInTime) {
    StoreSession();
    ScriptSilentService();
    Notifier notifier("");
    ASSERT_TRUE(WaitForNotifierWindow());
    ASSERT_TRUE(WaitFor([] { return sim::RequestCount("arrival") == 1; }, 15000));

    const double worst = WorstAnswerMs(MainWindowOfNotifier());
    EXPECT_LT(worst, 5000) << "the window stopped answering while the pass hangs";
    const StopTimes ended = StopAndTimeTheEnd(notifier);
    EXPECT_LE(ended.fromClose, kShutdownLimitMs);
    EXPECT_EQ(notifier.ExitCode(), 0u) << "no crash";
    std::printf("hanging pass: worst answer %.1f ms; process gone %lu ms after the close, %lu ms after Stop\n",
                worst, ended.fromClose, ended.fromStop);
}

TEST_F(NotifierProcess, StopWithTheLoginDialogOpenWhileAPassHangsEndsTheProcessInTime) {
    // The stored session is no longer valid: the first pass asks for the login.
    sim::AddAccount("alice", "pw", 0);
    test::SetRaw(HKEY_CURRENT_USER, test::kSettingsKey, "EID", REG_SZ, std::string("expired\0", 8));
    Notifier notifier("");
    ASSERT_TRUE(WaitFor([] { return VisibleDialog(kLoginCaption) != nullptr; }, 20000));
    // A re-fetch from the tray while the dialog is open tries the old session again.
    ScriptSilentService();
    PostMessageA(MainWindowOfNotifier(), WM_COMMAND, kRefetchCommand, 0);
    ASSERT_TRUE(WaitFor([] { return sim::RequestCount("arrival") == 2; }, 15000));

    const StopTimes ended = StopAndTimeTheEnd(notifier);
    EXPECT_LE(ended.fromClose, kShutdownLimitMs);
    EXPECT_EQ(notifier.ExitCode(), 0u) << "no crash";
    EXPECT_EQ(VisibleDialog(kLoginCaption), nullptr);
    std::printf("hanging pass under the login dialog: process gone %lu ms after the close, %lu ms after Stop\n",
                ended.fromClose, ended.fromStop);
}

TEST_F(NotifierProcess, RecreatedTaskbarGetsTheIconBackWithItsTooltip) {
    StoreSession();
    sim::SetCount("alice", 2);
    const int iconsBefore = TrayIcons();
    Notifier notifier("");
    ASSERT_TRUE(WaitForNotifierWindow());
    ASSERT_TRUE(WaitFor([&] { return TrayIcons() == iconsBefore + 1; }, 10000));
    ASSERT_TRUE(WaitFor([] { return sim::RequestCount("arrival") == 1; }, 15000));
    const HWND window = MainWindowOfNotifier();

    // Wine's shell cannot be restarted under a running wineserver: its icons are taken away
    // and the message a new taskbar broadcasts is sent instead.
    NOTIFYICONDATAA icon{};
    icon.cbSize = NOTIFYICONDATAA_V2_SIZE;
    icon.hWnd = window;
    icon.uID = 1;
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &icon));
    ASSERT_TRUE(WaitFor([&] { return TrayIcons() == iconsBefore; }, 5000));
    DWORD_PTR result = 0;
    SendMessageTimeoutA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0, SMTO_ABORTIFHUNG, 5000,
                        &result);

    ASSERT_TRUE(WaitFor([&] { return TrayIcons() == iconsBefore + 1; }, 10000));
    EXPECT_EQ(TrayTipOf(TrayIconWindows().back()), NewMailTip(2));
    EXPECT_TRUE(notifier.Running());
}

}  // namespace
