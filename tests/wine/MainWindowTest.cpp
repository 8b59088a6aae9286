// The main window and its check cycle in process under Wine: real check passes against the
// service simulator, real popup, menu and registry; the tray, sound, browser and login dialog
// recorded through their seams. Which pass announces what is the native rules' table; here
// the wiring from a pass to what the user sees and hears.
#include "notifier/shell/MainWindow.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "notifier/res/Resource.h"
#include "notifier/service/Endpoints.h"
#include "notifier/settings/SettingsStore.h"
#include "tests/support/Registry.h"
#include "tests/support/ShownTexts.h"
#include "tests/support/Waiting.h"
#include "tests/support/Windows.h"
#include "tools/simulator/SimulatorClient.h"

namespace {

using namespace test;
using namespace test::shown_texts;
using Answer = std::function<INT_PTR(LoginDialog&)>;
using Asked = std::vector<std::tuple<std::string, std::string, std::string>>;  // user id, password, stored EID

// The effects, recorded: every tray call (the adds failing as asked) with the icon and tooltip
// last set, pages, sounds, and the login dialog answered from a queue (empty: cancelled) with
// what it showed. Every handled end of a pass sets the tooltip once.
struct Recorder : TrayShell, UrlOpener, NotificationSound, LoginPrompt, NotificationState {
    bool NotifyIcon(DWORD message, NOTIFYICONDATAA& data) override {
        tray.push_back({message, data});
        const UINT flags = data.uFlags & ~NIF_SHOWTIP;  // asked for on every call
        if (message == NIM_MODIFY && flags == NIF_ICON) icon = data.hIcon;
        if (message == NIM_MODIFY && flags == NIF_TIP) tip = data.szTip, ++passes;
        if (message == NIM_MODIFY && flags == NIF_INFO) balloons.push_back({data.szInfoTitle, data.szInfo});
        return message != NIM_ADD || failingAdds-- <= 0;
    }
    void Open(const char* url) override { opened.push_back(url); }
    void Play() override { ++plays; }
    bool AcceptsNotifications() override { return acceptsNotifications; }
    INT_PTR Run(LoginDialog& dialog) override {
        asked.push_back({dialog.loginUserId, dialog.loginPassword, settingsStore.ReadSessionCookie()});
        if (answers.empty()) return IDCANCEL;
        const Answer answer = answers.front();
        answers.pop_front();
        return answer(dialog);
    }
    std::vector<std::pair<DWORD, NOTIFYICONDATAA>> tray;
    std::vector<std::pair<std::string, std::string>> balloons;  // title, text
    HICON icon = nullptr;
    std::string tip;
    int passes = 0;
    int failingAdds = 0;
    std::vector<std::string> opened;
    int plays = 0;
    bool acceptsNotifications = true;
    Asked asked;
    std::deque<Answer> answers;
};

Answer Ok(std::string user, std::string password, bool save) {
    return [=](LoginDialog& dialog) {
        dialog.loginUserId = user, dialog.loginPassword = password, dialog.saveLogin = save;
        return static_cast<INT_PTR>(IDOK);
    };
}

using Showing = std::tuple<HICON, std::string, std::string>;  // icon, tooltip, visible popup's text

class CheckCycle : public ::testing::Test {
protected:
    void SetUp() override { DeleteTree(HKEY_CURRENT_USER, kSettingsKey), sim::Reset(); }
    void TearDown() override { window.reset(), PumpFor(50), DeleteTree(HKEY_CURRENT_USER, kSettingsKey); }
    void Start() {
        window = std::make_unique<MainWindow>(MainWindow::Effects{effects, effects, effects, effects, effects});
        ASSERT_NE(window->Create(GetModuleHandleA(nullptr)), nullptr);
    }
    // Starts with a stored session the simulator accepts; true once its first pass has ended.
    bool StartWithSession(const std::string& user, int count) {
        sim::AddAccount(user, "pw", count);
        sim::AddSession("eid-" + user, user);
        settingsStore.WriteUserId(user);
        settingsStore.WriteSessionCookie("eid-" + user);
        Start();
        return WaitForPasses(1);
    }
    int Passes() const { return effects.passes; }
    bool WaitForPasses(int n) { return WaitFor([&] { return Passes() >= n; }, 20000); }
    // The passes once an early pass, if one was scheduled, would have ended.
    int PassesAfterSettling() { return PumpFor(kEarlyPassSettleMs + 1000), Passes(); }
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam = 0) { return SendMessageA(window->Window(), message, wParam, lParam); }
    // Hides the popup, sends the message and waits for the pass it starts.
    bool PassAfter(UINT message, WPARAM wParam, LPARAM lParam = 0) {
        const int before = Passes();
        window->Popup().HideNow();
        Send(message, wParam, lParam);
        return WaitForPasses(before + 1);
    }
    Showing Shown() const {
        return {effects.icon, effects.tip, IsWindowVisible(window->Popup().Window()) ? window->Popup().Text() : ""};
    }
    Showing Expected(TrayIconIndex icon, const std::string& tip, const std::string& popup) const {
        return {window->Tray().Picture(icon), tip, popup};
    }
    bool Greyed(UINT command) const { return GetMenuState(window->TrayMenuHandle(), command, MF_BYCOMMAND) & MF_GRAYED; }
    // Whether the next check's timer is armed; one that was is armed again.
    bool TimerArmed() const {
        const bool armed = KillTimer(window->Window(), MainWindow::TIMER_NEXT_CHECK) != FALSE;
        if (armed) SetTimer(window->Window(), MainWindow::TIMER_NEXT_CHECK, kNextCheckMs, nullptr);
        return armed;
    }

    Recorder effects;
    std::unique_ptr<MainWindow> window;
};

TEST_F(CheckCycle, APassShowsItsResultAnnouncesThroughPopupAndSoundAndArmsTheNextOne) {
    ASSERT_TRUE(StartWithSession("alice", 3));
    EXPECT_EQ(std::make_pair(Shown(), effects.plays), std::make_pair(Expected(IconNewMail, NewMailTip(3), NewMailPopup(3)), 1));
    EXPECT_TRUE(TimerArmed());
    const struct { const char* what; UINT message; WPARAM wParam; LPARAM lParam; sim::Reply reply; Showing shown; int plays; } steps[] = {
        {"a re-fetch, 3 again", WM_COMMAND, IDM_REFETCH, 0, {.body = "3\r\n"}, Expected(IconNewMail, NewMailTip(3), NewMailPopup(3)), 2},
        {"the timer after it, 3 again", WM_TIMER, MainWindow::TIMER_NEXT_CHECK, 0, {.body = "3\r\n"}, Expected(IconNewMail, NewMailTip(3), ""), 2},
        {"a re-fetch with 0", WM_COMMAND, IDM_REFETCH, 0, {.body = "0\r\n"}, Expected(IconIdle, kTarnMail + kNoNewMail, kNoNewMail), 2},
        {"the timer, a failure", WM_TIMER, MainWindow::TIMER_NEXT_CHECK, 0, {.status = 500}, Expected(IconError, kFailureTip, ""), 2},
        {"a right double-click with 2", MainWindow::WM_TRAY_NOTIFY, TrayIcon::kIconId, WM_RBUTTONDBLCLK, {.body = "2\r\n"},
         Expected(IconNewMail, NewMailTip(2), NewMailPopup(2)), 3}};
    for (const auto& step : steps) {
        sim::Script("arrival", step.reply);
        ASSERT_TRUE(PassAfter(step.message, step.wParam, step.lParam)) << step.what;
        EXPECT_EQ(std::make_pair(Shown(), effects.plays), std::make_pair(step.shown, step.plays)) << step.what;
        EXPECT_TRUE(TimerArmed() && !Greyed(IDM_LOGOUT)) << step.what;
    }

    // Logging out asks for the login with the user id kept, and nothing runs by itself.
    ASSERT_TRUE(PassAfter(WM_COMMAND, IDM_LOGOUT));
    EXPECT_EQ(effects.asked, (Asked{{"alice", "", ""}}));
    EXPECT_FALSE(TimerArmed() || !Greyed(IDM_LOGOUT));
}

TEST_F(CheckCycle, ASessionTheServiceForgotAsksAndACancelStopsCheckingUntilARefetch) {
    ASSERT_TRUE(StartWithSession("bob", 1));
    sim::Script("arrival", {.body = "unknown\r\n", .times = 2});
    ASSERT_TRUE(PassAfter(WM_COMMAND, IDM_REFETCH));
    // The stored user id is shown and the stored cookie forgotten before asking; cancel forgets the user id.
    EXPECT_EQ(effects.asked, (Asked{{"bob", "", ""}}));
    EXPECT_EQ(settingsStore.ReadUserId(), "");
    EXPECT_TRUE(Greyed(IDM_LOGOUT));
    EXPECT_EQ(Shown(), Expected(IconLoggedOut, kLoggedOutTip, ""));
    EXPECT_FALSE(TimerArmed()) << "the timer the first pass armed is disarmed: no pass comes by itself";
    ASSERT_TRUE(PassAfter(WM_COMMAND, IDM_REFETCH));
    EXPECT_EQ(effects.asked.size(), 2u);
}

TEST_F(CheckCycle, ALoginIsCheckedAtOnceAndItsSessionKeptOnlyWhenSaved) {
    sim::AddAccount("carol", "secret", 0);
    effects.answers = {Ok("carol", "secret", false), Ok("carol", "secret", true)};
    Start();
    ASSERT_TRUE(WaitForPasses(2));
    EXPECT_EQ(std::get<2>(Shown()), "") << "after a login the status counts as Ok already";
    EXPECT_EQ(std::make_pair(settingsStore.ReadUserId(), settingsStore.ReadSessionCookie()), std::make_pair(std::string("carol"), std::string()));
    sim::SetCount("carol", 2);
    window.reset();
    Start();
    ASSERT_TRUE(WaitForPasses(4));
    ASSERT_EQ(effects.asked.size(), 2u) << "an unsaved login is asked for again";
    EXPECT_EQ(std::get<2>(Shown()), NewMailPopup(2));
    EXPECT_NE(sim::HeadersOf(sim::Request("arrival")).find("Cookie: EID=" + settingsStore.ReadSessionCookie() + "\r\n"),
              std::string::npos) << "saved: the session is stored";
}

TEST_F(CheckCycle, EveryWakeUpChecksOnceAfterTheSettleTimeButNotWhileLoggedOut) {
    ASSERT_TRUE(StartWithSession("alice", 3));
    const auto wake = [&](bool userBack) {
        Send(WM_POWERBROADCAST, PBT_APMSUSPEND);
        Send(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC);
        if (userBack) Send(WM_POWERBROADCAST, PBT_APMRESUMESUSPEND);
    };
    window->Popup().HideNow();
    for (int sleep = 1; sleep <= 2; ++sleep) {  // the count unchanged: a quiet pass, the timer armed again
        wake(false);
        PumpFor(2000);  // well within the 3 s settle time
        EXPECT_EQ(Passes(), sleep) << "not before the network has settled";
        ASSERT_TRUE(WaitForPasses(sleep + 1));
        Send(WM_POWERBROADCAST, PBT_APMRESUMESUSPEND);  // the user comes back to the woken machine
        EXPECT_EQ(PassesAfterSettling(), sleep + 1) << "one pass per wake-up";
    }
    EXPECT_EQ(std::make_pair(Shown(), effects.plays), std::make_pair(Expected(IconNewMail, NewMailTip(3), ""), 1));
    EXPECT_TRUE(TimerArmed());

    ASSERT_TRUE(PassAfter(WM_COMMAND, IDM_LOGOUT));
    wake(true);
    EXPECT_EQ(PassesAfterSettling(), 4) << "a wake-up while logged out";
    EXPECT_EQ(sim::RequestCount("arrival"), 3);
}

TEST_F(CheckCycle, TheNetworksReturnChecksOnceAfterAPassThatCouldNotReachTheServiceAtMostEvery30s) {
    ASSERT_TRUE(StartWithSession("alice", 3));
    const auto networkChanges = [&] {
        for (int i = 0; i < 3; ++i) Send(MainWindow::WM_NETWORK_CHANGED, 0);
        return PassesAfterSettling();
    };
    const auto refetchWithoutNetwork = [&] {
        const sim::OutOfReach offline;
        return PassAfter(WM_COMMAND, IDM_REFETCH) && Shown() == Expected(IconError, kFailureTip, "");
    };
    EXPECT_EQ(networkChanges(), 1) << "after a pass that reached the service";
    sim::Script("arrival", {.status = 500});
    ASSERT_TRUE(PassAfter(WM_COMMAND, IDM_REFETCH));
    EXPECT_EQ(networkChanges(), 2) << "after a failure of the service itself";

    ASSERT_TRUE(refetchWithoutNetwork());
    sim::SetCount("alice", 5);
    for (int i = 0; i < 3; ++i) Send(MainWindow::WM_NETWORK_CHANGED, 0);
    ASSERT_TRUE(WaitForPasses(4));
    EXPECT_EQ(std::make_pair(Shown(), effects.plays), std::make_pair(Expected(IconNewMail, NewMailTip(5), NewMailPopup(5)), 2));
    EXPECT_EQ(PassesAfterSettling(), 4) << "one pass for three notifications";
    EXPECT_TRUE(TimerArmed());
    // The network drops and comes back within 30 s: the timer's pass, not another early one.
    ASSERT_TRUE(refetchWithoutNetwork());
    EXPECT_EQ(networkChanges(), 5);
}

TEST_F(CheckCycle, ANewTaskbarGetsTheIconBackAtVersion4AndAShellThatKeptItItsState) {
    ASSERT_TRUE(StartWithSession("alice", 4));
    for (const int failing : {0, 1}) {
        effects.tray.clear();
        effects.failingAdds = failing;
        Send(RegisterWindowMessageA("TaskbarCreated"), 0);
        ASSERT_EQ(effects.tray.size(), 2u);
        const auto& [message, data] = effects.tray.back();
        EXPECT_EQ(std::make_tuple(message, data.hIcon, std::string(data.szTip), (effects.tray.front().second.uFlags & NIF_SHOWTIP) != 0),
                  std::make_tuple(DWORD(failing ? NIM_MODIFY : NIM_SETVERSION), window->Tray().Picture(IconNewMail), NewMailTip(4), true));
        if (!failing) EXPECT_EQ(data.uVersion, UINT{NOTIFYICON_VERSION_4}) << "the new icon asks for version 4 again";
        EXPECT_FALSE(KillTimer(window->Window(), MainWindow::TIMER_TRAY_ADD)) << "nothing left to retry";
    }
}

TEST_F(CheckCycle, ClicksOpenThePagesHideThePopupMenuDialogsGreyTheirItemsAndExitEnds) {
    ASSERT_TRUE(StartWithSession("alice", 1));
    for (const UINT mouse : {WM_RBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONDOWN}) Send(MainWindow::WM_TRAY_NOTIFY, 1, mouse);
    // Version 4: the click and the selection that follows it open once; the keyboard's
    // selection and a click on the balloon open too; a bare NIN_SELECT too.
    const auto notify4 = [&](UINT event) { Send(MainWindow::WM_TRAY_NOTIFY, MAKEWPARAM(300, 200), MAKELPARAM(event, 1)); };
    for (const UINT event : {WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT, NIN_KEYSELECT, NIN_BALLOONUSERCLICK}) notify4(event);
    Send(MainWindow::WM_TRAY_NOTIFY, 1, NIN_SELECT);
    EXPECT_EQ(effects.opened, std::vector<std::string>(5, MailTopUrl));
    effects.opened.clear();
    Send(WM_COMMAND, MAKEWPARAM(IDM_HELP, 1));  // the notification code is not looked at
    EXPECT_EQ(effects.opened, (std::vector<std::string>{HelpUrl}));
    effects.opened = {MailTopUrl, HelpUrl};

    // The menu, closed unchosen once idle: opened once per right click, from the keyboard
    // (WM_CONTEXTMENU alone) with its first item selected and the focus back to the tray after.
    static struct { HMENU popup; int opened; std::vector<bool> firstSelected; WNDPROC original; } menus;
    menus = {GetSubMenu(window->TrayMenuHandle(), 0), 0, {}, nullptr};
    menus.original = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(window->Window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(
        +[](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            menus.opened += message == WM_ENTERMENULOOP;
            if (message == WM_ENTERIDLE && wParam == MSGF_MENU && menus.firstSelected.size() < size_t(menus.opened)) {
                menus.firstSelected.push_back(GetMenuState(menus.popup, 0, MF_BYPOSITION) & MF_HILITE), EndMenu();
            }
            return CallWindowProcA(menus.original, hwnd, message, wParam, lParam);
        })));
    effects.tray.clear();
    notify4(WM_RBUTTONUP), notify4(WM_CONTEXTMENU), PumpFor(100);
    EXPECT_EQ(menus.opened, 1) << "a right click";
    Send(MainWindow::WM_TRAY_NOTIFY, 1, WM_RBUTTONUP), PumpFor(100);
    notify4(WM_CONTEXTMENU), PumpFor(100);
    EXPECT_EQ(menus.opened, 3) << "a right click of the older form (nothing follows it), then Shift+F10";
    EXPECT_EQ(menus.firstSelected, (std::vector<bool>{false, false, true}));
    ASSERT_EQ(effects.tray.size(), 1u);
    EXPECT_EQ(effects.tray[0].first, DWORD{NIM_SETFOCUS}) << "after the keyboard's menu only";
    SetWindowLongPtrA(window->Window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(menus.original));
    const HWND popup = window->Popup().Window();
    SendMessageA(popup, WM_LBUTTONUP, 0, 0);
    EXPECT_FALSE(IsWindowVisible(popup) || KillTimer(popup, PopupWindow::TIMER_POPUP_HIDE)) << "hidden, nothing left to run";
    EXPECT_EQ(effects.opened, (std::vector<std::string>{MailTopUrl, HelpUrl, MailTopUrl}));

    for (const UINT command : {IDM_ABOUT, IDM_OPTIONS}) {
        bool greyedWhileOpen = false;
        RunDriven([&] { return static_cast<INT_PTR>(Send(WM_COMMAND, command)); },
                  [&](HWND dialog) { greyedWhileOpen = Greyed(command), ClickLater(dialog, IDCANCEL); });
        EXPECT_TRUE(greyedWhileOpen && !Greyed(command)) << command;
    }
    const HWND main = window->Window();
    const HMENU menu = window->TrayMenuHandle();
    Send(WM_COMMAND, IDM_EXIT);
    EXPECT_FALSE(IsWindow(main) || IsWindow(popup) || IsMenu(menu));
    EXPECT_EQ(std::make_pair(effects.tray.back().first, effects.tray.back().second.uID), std::make_pair(DWORD{NIM_DELETE}, 1u));
    MSG quit;
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && quit.wParam == 0);
}

// The shell asks for quiet (a full-screen program, a presentation): icon and tooltip change,
// the announcement waits for the minute's timer that finds notifications accepted again, and
// then shows once with its sound; a pass without new mail meanwhile drops it.
TEST_F(CheckCycle, WhileTheShellAsksForQuietTheLatestAnnouncementWaitsAndShowsOnceWithItsSound) {
    effects.acceptsNotifications = false;
    ASSERT_TRUE(StartWithSession("alice", 3));
    const auto held = [&] { return KillTimer(window->Window(), MainWindow::TIMER_HELD_ANNOUNCEMENT) != FALSE; };
    const auto tick = [&] { Send(WM_TIMER, MainWindow::TIMER_HELD_ANNOUNCEMENT); };
    tick();
    EXPECT_EQ(std::make_pair(Shown(), effects.plays), std::make_pair(Expected(IconNewMail, NewMailTip(3), ""), 0));
    sim::Script("arrival", {.body = "4\r\n"});
    ASSERT_TRUE(PassAfter(WM_TIMER, MainWindow::TIMER_NEXT_CHECK));
    effects.acceptsNotifications = true;
    tick(), tick();
    EXPECT_EQ(std::make_pair(Shown(), effects.plays), std::make_pair(Expected(IconNewMail, NewMailTip(4), NewMailPopup(4)), 1))
        << "the latest one, once";
    EXPECT_FALSE(held()) << "nothing held, no timer";

    effects.acceptsNotifications = false;
    for (const char* body : {"5\r\n", "0\r\n"}) {
        sim::Script("arrival", {.body = body});
        ASSERT_TRUE(PassAfter(WM_TIMER, MainWindow::TIMER_NEXT_CHECK));
    }
    EXPECT_FALSE(held()) << "dropped by the pass without new mail";
    effects.acceptsNotifications = true;
    tick();
    EXPECT_EQ(std::make_pair(Shown(), effects.plays), std::make_pair(Expected(IconIdle, kTarnMail + kNoNewMail, ""), 1));
}

// Windows' notifications chosen: the announcement is the icon's balloon, silent itself, held
// like the popup while the shell asks for quiet; the popup where a policy turned balloons off.
TEST_F(CheckCycle, WithWindowsNotificationsChosenTheBalloonAnnouncesInsteadOfThePopup) {
    settingsStore.WriteWindowsNotification(true);
    effects.acceptsNotifications = false;
    ASSERT_TRUE(StartWithSession("alice", 3));
    EXPECT_TRUE(effects.balloons.empty()) << "held";
    effects.acceptsNotifications = true;
    Send(WM_TIMER, MainWindow::TIMER_HELD_ANNOUNCEMENT);
    sim::Script("arrival", {.body = "0\r\n"});
    ASSERT_TRUE(PassAfter(WM_COMMAND, IDM_REFETCH));
    EXPECT_EQ(effects.balloons, (std::vector<std::pair<std::string, std::string>>{{"tarn\x83\x81\x81[\x83\x8B", NewMailPopup(3)},
                                                                                  {"tarn\x83\x81\x81[\x83\x8B", kNoNewMail}}));
    const NOTIFYICONDATAA& balloon = effects.tray.back().second;
    EXPECT_EQ(std::make_tuple(balloon.dwInfoFlags, balloon.hBalloonIcon != nullptr, balloon.cbSize, effects.plays),
              std::make_tuple(DWORD{NIIF_USER | NIIF_LARGE_ICON | NIIF_NOSOUND | 0x80}, true, DWORD{sizeof(NOTIFYICONDATAA)}, 1));
    EXPECT_EQ(std::get<2>(Shown()), "");

    const SavedValue policy(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
                            "TaskbarNoNotification", RegistryValue{REG_DWORD, Dword(1)});
    ASSERT_TRUE(PassAfter(WM_COMMAND, IDM_REFETCH));
    EXPECT_EQ(std::make_pair(effects.balloons.size(), std::get<2>(Shown())), std::make_pair(size_t{2}, NewMailPopup(3))) << "balloons off by policy";
}

}  // namespace
