// The main window and its check cycle in process under Wine: real check passes against the
// service simulator, real popup, menu and registry; the tray, sound, browser and login dialog
// recorded through their seams. Which pass announces what is the native rules' table; here
// the wiring from a pass to what the user sees and hears.
#include "notifier/shell/MainWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// The effects, recorded: every tray call (the adds failing as asked), pages, sounds, and the
// login dialog answered from a queue (empty: cancelled) with what it showed.
struct Recorder : TrayShell, UrlOpener, NotificationSound, LoginPrompt {
    bool NotifyIcon(DWORD message, NOTIFYICONDATAA& data) override {
        tray.push_back({message, data});
        return message != NIM_ADD || failingAdds-- <= 0;
    }
    void Open(const char* url) override { opened.push_back(url); }
    void Play() override { ++plays; }
    INT_PTR Run(LoginDialog& dialog) override {
        asked.push_back({dialog.loginUserId, dialog.loginPassword, settingsStore.ReadSessionCookie()});
        if (answers.empty()) return IDCANCEL;
        const Answer answer = answers.front();
        answers.pop_front();
        return answer(dialog);
    }
    std::vector<std::pair<DWORD, NOTIFYICONDATAA>> tray;
    int failingAdds = 0;
    std::vector<std::string> opened;
    int plays = 0;
    std::vector<std::tuple<std::string, std::string, std::string>> asked;  // user id, password, stored EID
    std::deque<Answer> answers;
};

Answer Ok(std::string user, std::string password, bool save) {
    return [=](LoginDialog& dialog) {
        dialog.loginUserId = user, dialog.loginPassword = password, dialog.saveLogin = save;
        return static_cast<INT_PTR>(IDOK);
    };
}

class CheckCycle : public ::testing::Test {
protected:
    void SetUp() override { DeleteTree(HKEY_CURRENT_USER, kSettingsKey), sim::Reset(); }
    void TearDown() override { window.reset(), PumpFor(50), DeleteTree(HKEY_CURRENT_USER, kSettingsKey); }
    // A stored session the simulator accepts.
    static void StoreSession(const std::string& user, int count) {
        sim::AddAccount(user, "pw", count);
        sim::AddSession("eid-" + user, user);
        settingsStore.WriteUserId(user);
        settingsStore.WriteSessionCookie("eid-" + user);
    }
    void Start() {
        window = std::make_unique<MainWindow>(MainWindow::Effects{effects, effects, effects, effects});
        ASSERT_NE(window->Create(GetModuleHandleA(nullptr)), nullptr);
    }
    // The last tray record changed with these flags.
    const NOTIFYICONDATAA* Last(UINT flags) const {
        for (auto it = effects.tray.rbegin(); it != effects.tray.rend(); ++it) {
            if (it->first == NIM_MODIFY && it->second.uFlags == flags) return &it->second;
        }
        return nullptr;
    }
    // Every handled end of a pass sets the tooltip once.
    int Passes() const {
        return static_cast<int>(std::count_if(effects.tray.begin(), effects.tray.end(), [](const auto& call) {
            return call.first == NIM_MODIFY && call.second.uFlags == NIF_TIP;
        }));
    }
    bool WaitForPasses(int n) {
        return WaitFor([&] { return Passes() >= n; }, 20000);
    }
    // The passes once an early pass, if one was scheduled, would have ended.
    int PassesAfterSettling() { return PumpFor(kEarlyPassSettleMs + 1000), Passes(); }
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam = 0) { return SendMessageA(window->Window(), message, wParam, lParam); }
    // What the tray and the popup show: icon, tooltip, and the popup's text while visible.
    std::tuple<HICON, std::string, std::string> Shown() const {
        return {Last(NIF_ICON) ? Last(NIF_ICON)->hIcon : nullptr, Last(NIF_TIP) ? Last(NIF_TIP)->szTip : "<none>",
                IsWindowVisible(window->Popup().Window()) ? window->Popup().Text() : ""};
    }
    std::tuple<HICON, std::string, std::string> Showing(TrayIconIndex icon, const std::string& tip,
                                                        const std::string& popup) const {
        return {window->Tray().Picture(icon), tip, popup};
    }
    bool Greyed(UINT command) const {
        return (GetMenuState(window->TrayMenuHandle(), command, MF_BYCOMMAND) & MF_GRAYED) != 0;
    }
    bool TimerArmed() const { return KillTimer(window->Window(), MainWindow::TIMER_NEXT_CHECK) != FALSE; }

    Recorder effects;
    std::unique_ptr<MainWindow> window;
};

TEST_F(CheckCycle, APassShowsItsResultAnnouncesThroughPopupAndSoundAndArmsTheNextOne) {
    StoreSession("alice", 3);
    Start();
    ASSERT_TRUE(WaitForPasses(1));
    EXPECT_EQ(Shown(), Showing(IconNewMail, NewMailTip(3), NewMailPopup(3)));
    EXPECT_EQ(effects.plays, 1);
    EXPECT_TRUE(TimerArmed());
    const std::tuple<const char*, UINT, WPARAM, LPARAM, int, int> steps[] = {
        // what, message, wParam, lParam, count (-1: status 500), sounds so far
        {"the timer, 3 -> 3", WM_TIMER, MainWindow::TIMER_NEXT_CHECK, 0, 3, 1},
        {"a re-fetch with 0", WM_COMMAND, IDM_REFETCH, 0, 0, 1},
        {"the timer, a failure", WM_TIMER, MainWindow::TIMER_NEXT_CHECK, 0, -1, 1},
        {"a right double-click with 2", MainWindow::WM_TRAY_NOTIFY, TrayIcon::kIconId, WM_RBUTTONDBLCLK, 2, 2}};
    const std::tuple<HICON, std::string, std::string> shown[] = {
        Showing(IconNewMail, NewMailTip(3), ""), Showing(IconIdle, kTarnMail + kNoNewMail, kNoNewMail),
        Showing(IconError, kFailureTip, ""), Showing(IconNewMail, NewMailTip(2), NewMailPopup(2))};
    for (int i = 0; i < 4; ++i) {
        const auto& [what, message, wParam, lParam, count, plays] = steps[i];
        window->Popup().HideNow();
        sim::SetCount("alice", count < 0 ? 0 : count);
        sim::Reply broken;
        broken.status = 500;
        if (count < 0) sim::Script("arrival", broken);
        Send(message, wParam, lParam);
        ASSERT_TRUE(WaitForPasses(i + 2)) << what;
        EXPECT_EQ(std::make_pair(Shown(), effects.plays), std::make_pair(shown[i], plays)) << what;
        EXPECT_TRUE(TimerArmed() && !Greyed(IDM_LOGOUT)) << what;
    }

    // Logging out asks for the login with the user id kept, Logout greyed meanwhile.
    bool greyedWhileAsking = false;
    effects.answers.push_back([&](LoginDialog&) { return greyedWhileAsking = Greyed(IDM_LOGOUT), IDCANCEL; });
    const int queries = sim::RequestCount("arrival");
    window->Popup().HideNow();
    Send(WM_COMMAND, IDM_LOGOUT);
    ASSERT_TRUE(WaitForPasses(6));
    EXPECT_EQ(effects.asked, (std::vector<std::tuple<std::string, std::string, std::string>>{{"alice", "", ""}}));
    EXPECT_TRUE(greyedWhileAsking);
    EXPECT_EQ(Shown(), Showing(IconLoggedOut, kLoggedOutTip, ""));
    EXPECT_EQ(sim::RequestCount("arrival"), queries) << "a pass without credentials sends nothing";
    EXPECT_FALSE(TimerArmed());
    EXPECT_EQ(sim::RequestCount("login"), 0) << "the stored session needed no login";
}

TEST_F(CheckCycle, ASessionTheServiceForgotAsksAndACancelStopsCheckingUntilARefetch) {
    StoreSession("bob", 1);
    Start();
    ASSERT_TRUE(WaitForPasses(1));
    sim::Reply unknown;
    unknown.body = "unknown\r\n";
    unknown.times = 2;
    sim::Script("arrival", unknown);
    window->Popup().HideNow();
    Send(WM_COMMAND, IDM_REFETCH);
    ASSERT_TRUE(WaitForPasses(2));
    // The stored user id is shown and the stored cookie forgotten before asking; cancel forgets the user id.
    EXPECT_EQ(effects.asked, (std::vector<std::tuple<std::string, std::string, std::string>>{{"bob", "", ""}}));
    EXPECT_EQ(settingsStore.ReadUserId(), "");
    EXPECT_TRUE(Greyed(IDM_LOGOUT));
    EXPECT_EQ(Shown(), Showing(IconLoggedOut, kLoggedOutTip, ""));
    EXPECT_FALSE(TimerArmed()) << "the timer the first pass armed is disarmed: no pass comes by itself";
    Send(WM_COMMAND, IDM_REFETCH);
    ASSERT_TRUE(WaitForPasses(3));
    EXPECT_EQ(effects.asked.size(), 2u);
}

TEST_F(CheckCycle, ALoginIsCheckedAtOnceItsSessionKeptOnlyWhenSavedAndClosingWhileAskingKeepsTheUserId) {
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
    EXPECT_EQ(std::get<0>(effects.asked[1]), "carol");
    EXPECT_EQ(std::get<2>(Shown()), NewMailPopup(2));
    const std::string eid = settingsStore.ReadSessionCookie();
    ASSERT_NE(eid, "");
    EXPECT_NE(sim::HeadersOf(sim::Request("arrival")).find("Cookie: EID=" + eid + "\r\n"), std::string::npos);
    window.reset();
    Start();
    ASSERT_TRUE(WaitForPasses(5));
    EXPECT_EQ(effects.asked.size(), 2u) << "no password asked after the restart";

    // A "Stop" from another process closes the main window under the dialog.
    settingsStore.WriteSessionCookie("");
    effects.answers.push_back([&](LoginDialog&) { return Send(WM_CLOSE, 0), IDCANCEL; });
    window.reset();
    Start();
    ASSERT_TRUE(WaitForPasses(6));
    EXPECT_EQ(window->Window(), nullptr);
    EXPECT_EQ(settingsStore.ReadUserId(), "carol");
}

TEST_F(CheckCycle, AWakeUpChecksOnceAfterTheSettleTimeButNotWhileAPassRunsOrLoggedOut) {
    StoreSession("alice", 3);
    Start();
    ASSERT_TRUE(WaitForPasses(1));
    const auto wake = [&] {
        for (const WPARAM event : {PBT_APMSUSPEND, PBT_APMRESUMEAUTOMATIC, PBT_APMRESUMESUSPEND}) {
            EXPECT_EQ(Send(WM_POWERBROADCAST, event), TRUE);
        }
    };

    // The count unchanged since before the sleep: a quiet pass, and the timer armed again.
    window->Popup().HideNow();
    Send(WM_POWERBROADCAST, PBT_APMSUSPEND);
    Send(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC);
    PumpFor(kEarlyPassSettleMs - 1000);
    EXPECT_EQ(Passes(), 1) << "not before the network has settled";
    ASSERT_TRUE(WaitForPasses(2));
    Send(WM_POWERBROADCAST, PBT_APMRESUMESUSPEND);  // the user comes back to the woken machine
    EXPECT_EQ(PassesAfterSettling(), 2) << "one pass per wake-up";
    EXPECT_EQ(std::make_pair(Shown(), effects.plays), std::make_pair(Showing(IconNewMail, NewMailTip(3), ""), 1));
    EXPECT_TRUE(TimerArmed());

    sim::Reply slow;
    slow.body = "3\r\n";
    slow.delayMs = 2000;
    sim::Script("arrival", slow);
    Send(WM_COMMAND, IDM_REFETCH);
    wake();
    ASSERT_TRUE(WaitForPasses(3));
    EXPECT_EQ(PassesAfterSettling(), 3) << "a wake-up while a pass runs";

    Send(WM_COMMAND, IDM_LOGOUT);
    ASSERT_TRUE(WaitForPasses(4));
    wake();
    EXPECT_EQ(PassesAfterSettling(), 4) << "a wake-up while logged out";
    EXPECT_EQ(sim::RequestCount("arrival"), 3);
}

TEST_F(CheckCycle, TheNetworksReturnChecksOnceAfterAPassThatCouldNotReachTheServiceAtMostEvery30s) {
    StoreSession("alice", 3);
    Start();
    ASSERT_TRUE(WaitForPasses(1));
    const auto networkChanges = [&] {
        for (int i = 0; i < 3; ++i) Send(MainWindow::WM_NETWORK_CHANGED, 0);
        return PassesAfterSettling();
    };
    const auto refetchWithoutNetwork = [&](int passes) {
        SystemProxy offline("127.0.0.1:1");
        window->Popup().HideNow();
        Send(WM_COMMAND, IDM_REFETCH);
        return WaitForPasses(passes) && Shown() == Showing(IconError, kFailureTip, "");
    };

    EXPECT_EQ(networkChanges(), 1) << "after a pass that reached the service";
    sim::Reply broken;
    broken.status = 500;
    sim::Script("arrival", broken);
    Send(WM_COMMAND, IDM_REFETCH);
    ASSERT_TRUE(WaitForPasses(2));
    EXPECT_EQ(networkChanges(), 2) << "after a failure of the service itself";

    ASSERT_TRUE(refetchWithoutNetwork(3));
    sim::SetCount("alice", 5);
    for (int i = 0; i < 3; ++i) Send(MainWindow::WM_NETWORK_CHANGED, 0);
    ASSERT_TRUE(WaitForPasses(4));
    EXPECT_EQ(std::make_pair(Shown(), effects.plays), std::make_pair(Showing(IconNewMail, NewMailTip(5), NewMailPopup(5)), 2));
    EXPECT_EQ(PassesAfterSettling(), 4) << "one pass for three notifications";
    EXPECT_TRUE(TimerArmed());

    // The network drops and comes back within 30 s: the timer's pass, not another early one.
    ASSERT_TRUE(refetchWithoutNetwork(5));
    EXPECT_EQ(networkChanges(), 5);
}

TEST_F(CheckCycle, TheTrayIconIsAddedIdleRetriedUntilTheShellTakesItAndBackOnANewTaskbar) {
    StoreSession("alice", 4);
    effects.failingAdds = 1;
    Start();
    const NOTIFYICONDATAA& add = effects.tray.front().second;  // the record with the 128-byte tip, no tip yet
    EXPECT_EQ(std::make_tuple(effects.tray.front().first, add.cbSize, add.hWnd, add.uID, add.uFlags, add.uCallbackMessage,
                              add.hIcon, std::string(add.szTip)),
              std::make_tuple(DWORD{NIM_ADD}, DWORD{488}, window->Window(), UINT{1}, UINT{NIF_MESSAGE | NIF_ICON}, UINT{1025},
                              window->Tray().Picture(IconIdle), std::string()));
    EXPECT_EQ(GetMenuDefaultItem(GetSubMenu(window->TrayMenuHandle(), 0), FALSE, 0), static_cast<UINT>(IDM_OPEN_MAIL));
    const auto adds = [&] {
        return std::count_if(effects.tray.begin(), effects.tray.end(), [](const auto& call) { return call.first == NIM_ADD; });
    };
    ASSERT_TRUE(WaitFor([&] { return adds() == 2 && Passes() == 1; }, 9000));
    EXPECT_FALSE(KillTimer(window->Window(), MainWindow::TIMER_TRAY_ADD)) << "the retry stops after success";

    // A new taskbar has no icons: the icon is added again, picture and tooltip at once; a
    // shell that kept it refuses, and it is brought up to date instead.
    for (const int failing : {0, 1}) {
        effects.tray.clear();
        effects.failingAdds = failing;
        Send(RegisterWindowMessageA("TaskbarCreated"), 0);
        ASSERT_EQ(effects.tray.size(), 1u + failing);
        const auto& [message, data] = effects.tray.back();
        EXPECT_EQ(std::make_tuple(message, data.hIcon, std::string(data.szTip)),
                  std::make_tuple(DWORD(failing ? NIM_MODIFY : NIM_ADD), window->Tray().Picture(IconNewMail), NewMailTip(4)));
        EXPECT_FALSE(KillTimer(window->Window(), MainWindow::TIMER_TRAY_ADD)) << "nothing left to retry";
    }
}

TEST_F(CheckCycle, ClicksOpenThePagesHideThePopupAndMenuDialogsGreyTheirItems) {
    StoreSession("alice", 1);
    Start();
    ASSERT_TRUE(WaitForPasses(1));
    for (const UINT mouse : {WM_RBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONDOWN}) Send(MainWindow::WM_TRAY_NOTIFY, 1, mouse);
    Send(WM_COMMAND, MAKEWPARAM(IDM_HELP, 1));  // the notification code is not looked at
    EXPECT_EQ(effects.opened, (std::vector<std::string>{MailTopUrl, HelpUrl}));
    EXPECT_EQ(std::string(HelpUrl).substr(std::string(HelpUrl).size() - 31), "/howto/tool/mail/t_checker.html");
    const HWND popup = window->Popup().Window();
    SendMessageA(popup, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_TRUE(IsWindowVisible(popup)) << "pressing does nothing visible";
    SendMessageA(popup, WM_LBUTTONUP, 0, 0);
    EXPECT_FALSE(IsWindowVisible(popup) || KillTimer(popup, PopupWindow::TIMER_POPUP_HIDE)) << "hidden, nothing left to run";
    Send(WM_COMMAND, IDM_REFETCH);
    ASSERT_TRUE(WaitForPasses(2));
    SendMessageA(popup, WM_RBUTTONUP, 0, 0);
    EXPECT_FALSE(IsWindowVisible(popup));
    // A forged popup message from elsewhere is ignored rather than followed.
    MSG fake{};
    fake.message = WM_LBUTTONUP;
    Send(MainWindow::WM_POPUP_MOUSE, reinterpret_cast<WPARAM>(&window->Popup()), reinterpret_cast<LPARAM>(&fake));
    EXPECT_EQ(effects.opened, (std::vector<std::string>{MailTopUrl, HelpUrl, MailTopUrl})) << "a right click only hides";

    for (const UINT command : {IDM_ABOUT, IDM_OPTIONS}) {
        bool greyedWhileOpen = false;
        RunDriven([&] { return static_cast<INT_PTR>(Send(WM_COMMAND, command)); },
                  [&](HWND dialog) { greyedWhileOpen = Greyed(command), ClickLater(dialog, IDCANCEL); });
        EXPECT_TRUE(greyedWhileOpen && !Greyed(command)) << command;
    }
    const HWND main = window->Window();
    const HMENU menu = window->TrayMenuHandle();
    Send(WM_CLOSE, 0);
    EXPECT_FALSE(IsWindow(main) || IsWindow(popup) || IsMenu(menu));
    EXPECT_EQ(std::make_pair(effects.tray.back().first, effects.tray.back().second.uID), std::make_pair(DWORD{NIM_DELETE}, 1u));
    MSG quit;
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && quit.wParam == 0);
}

}  // namespace
