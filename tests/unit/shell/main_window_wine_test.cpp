// The main window and its check cycle in process under Wine: real check passes against the
// service simulator, real popup, menu and registry; the tray, sound, browser and login
// dialog recorded through their seams.
#include "notifier/shell/MainWindow.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "notifier/res/Resource.h"
#include "notifier/service/Endpoints.h"
#include "notifier/settings/SettingsStore.h"
#include "tests/unit/settings/dialog_driver.h"
#include "tests/unit/settings/registry_fixture.h"
#include "tests/unit/shell/recording_effects.h"
#include "tests/unit/ui/message_pump.h"
#include "tools/simulator/SimulatorClient.h"

namespace {

using namespace test;
using namespace shown_texts;

class CheckCycle : public CleanSettingsKey {
protected:
    void SetUp() override {
        CleanSettingsKey::SetUp();
        sim::Reset();
    }
    void TearDown() override {
        window.reset();
        PumpFor(50);
        CleanSettingsKey::TearDown();
    }

    // A stored session the simulator accepts.
    static void StoreSession(const std::string& user, int count) {
        sim::AddAccount(user, "pw", count);
        sim::AddSession("eid-" + user, user);
        settingsStore.WriteUserId(user);
        settingsStore.WriteSessionCookie("eid-" + user);
    }
    void Start() {
        window = std::make_unique<MainWindow>(MainWindow::Effects{tray, urls, sound, login});
        ASSERT_NE(window->Create(GetModuleHandleA(nullptr)), nullptr);
    }

    // Every handled end of a pass sets the tooltip once.
    int Passes() const { return tray.Count(NIM_MODIFY, NIF_TIP); }
    bool WaitForPasses(int n) {
        return PumpUntil([&] { return Passes() >= n; }, 20000);
    }
    void TimerTick() { SendMessageA(window->Window(), WM_TIMER, MainWindow::TIMER_NEXT_CHECK, 0); }
    void Command(WPARAM command) { SendMessageA(window->Window(), WM_COMMAND, command, 0); }
    void TrayMouse(UINT mouseMessage) {
        SendMessageA(window->Window(), MainWindow::WM_TRAY_NOTIFY, TrayIcon::kIconId, mouseMessage);
    }

    std::string Tip() const {
        const TrayCall* call = tray.Last(NIM_MODIFY, NIF_TIP);
        return call != nullptr ? call->data.szTip : "<none>";
    }
    HICON Icon() const {
        const TrayCall* call = tray.Last(NIM_MODIFY, NIF_ICON);
        return call != nullptr ? call->data.hIcon : nullptr;
    }
    HICON Picture(TrayIconIndex index) const { return window->Tray().Picture(index); }
    // The popup's text while it is visible, else "".
    std::string Popup() const { return IsWindowVisible(window->Popup().Window()) ? window->Popup().Text() : ""; }
    bool Greyed(UINT command) const {
        return (GetMenuState(window->TrayMenuHandle(), command, MF_BYCOMMAND) & MF_GRAYED) != 0;
    }

    RecordingTray tray;
    RecordingUrls urls;
    CountingSound sound;
    ScriptedLogin login;
    std::unique_ptr<MainWindow> window;
};

TEST_F(CheckCycle, EachPassShowsItsResultAnnouncesChangesAndRefetchesAndLogoutAsks) {
    enum Trigger { kStart, kTimer, kRefetch, kDoubleClick };
    constexpr int kFails = -1;  // a reply with status 500
    const struct {
        const char* what;
        Trigger trigger;
        int count;
        int plays;  // sounds so far
        std::string popup;
        TrayIconIndex icon;
        std::string tip;
    } steps[] = {
        {"first pass with 3", kStart, 3, 1, NewMailPopup(3), IconNewMail, NewMailTip(3)},
        {"3 -> 3", kTimer, 3, 1, "", IconNewMail, NewMailTip(3)},
        {"3 -> 2", kTimer, 2, 2, NewMailPopup(2), IconNewMail, NewMailTip(2)},
        {"2 -> 3", kTimer, 3, 3, NewMailPopup(3), IconNewMail, NewMailTip(3)},
        {"3 -> 0", kTimer, 0, 3, "", IconIdle, kTarnMail + kNoNewMail},
        {"re-fetch with 0", kRefetch, 0, 3, kNoNewMail, IconIdle, kTarnMail + kNoNewMail},
        {"0 -> 3", kTimer, 3, 4, NewMailPopup(3), IconNewMail, NewMailTip(3)},
        {"re-fetch with 3 by a right double-click", kDoubleClick, 3, 5, NewMailPopup(3), IconNewMail, NewMailTip(3)},
        {"Failed after Ok 3", kTimer, kFails, 5, "", IconError, kFailureTip},
        {"Ok 3 after Failed", kTimer, 3, 6, NewMailPopup(3), IconNewMail, NewMailTip(3)},
        {"Failed again", kTimer, kFails, 6, "", IconError, kFailureTip},
        {"Ok 0 after Failed", kTimer, 0, 6, kNoNewMail, IconIdle, kTarnMail + kNoNewMail},
    };
    StoreSession("alice", 0);
    for (const auto& step : steps) {
        if (window) window->Popup().HideNow();
        sim::SetCount("alice", step.count == kFails ? 0 : step.count);
        if (step.count == kFails) {
            sim::Reply broken;
            broken.status = 500;
            sim::Script("arrival", broken);
        }
        const int passes = Passes();
        switch (step.trigger) {
            case kStart: Start(); break;
            case kTimer: TimerTick(); break;
            case kRefetch: Command(IDM_REFETCH); break;
            case kDoubleClick: TrayMouse(WM_RBUTTONDBLCLK); break;
        }
        ASSERT_TRUE(WaitForPasses(passes + 1)) << step.what;
        EXPECT_EQ(sound.plays, step.plays) << step.what;
        EXPECT_EQ(Popup(), step.popup) << step.what;
        EXPECT_EQ(Icon(), Picture(step.icon)) << step.what;
        EXPECT_EQ(Tip(), step.tip) << step.what;
        EXPECT_FALSE(Greyed(IDM_LOGOUT)) << step.what;
    }
    EXPECT_EQ(sim::RequestCount("login"), 0) << "the stored session needs no login";

    // A re-fetch asked for while a pass runs makes that pass announce, and starts none of its own.
    window->Popup().HideNow();
    sim::Reply slow;
    slow.body = "0\r\n";
    slow.delayMs = 600;
    sim::Script("arrival", slow);
    const int passes = Passes();
    TimerTick();
    Command(IDM_REFETCH);
    ASSERT_TRUE(WaitForPasses(passes + 1));
    PumpFor(300);
    EXPECT_EQ(Passes(), passes + 1);
    EXPECT_EQ(Popup(), kNoNewMail);

    // Logging out asks for the login with the user id kept, Logout greyed meanwhile.
    const int queries = sim::RequestCount("arrival");
    bool greyedWhileAsking = false;
    login.answers.push_back([&](LoginDialog&) {
        greyedWhileAsking = Greyed(IDM_LOGOUT);
        return static_cast<INT_PTR>(IDCANCEL);
    });
    Command(IDM_LOGOUT);
    ASSERT_TRUE(WaitForPasses(passes + 2));
    ASSERT_EQ(login.shown.size(), 1u);
    EXPECT_EQ(login.shown[0].userId, "alice");
    EXPECT_EQ(login.shown[0].password, "");
    EXPECT_FALSE(login.shown[0].saveLogin);
    EXPECT_EQ(login.shown[0].storedEid, "");
    EXPECT_TRUE(greyedWhileAsking);
    EXPECT_EQ(Icon(), Picture(IconLoggedOut));
    EXPECT_EQ(Tip(), kLoggedOutTip);
    EXPECT_EQ(sim::RequestCount("arrival"), queries) << "a pass without credentials sends nothing";
    EXPECT_EQ(sim::RequestCount("login"), 0);
}

TEST_F(CheckCycle, AStoredCookieAnsweredUnknownAsksAndACancelStopsCheckingUntilARefetch) {
    StoreSession("bob", 1);
    Start();
    ASSERT_TRUE(WaitForPasses(1));
    ASSERT_TRUE(login.shown.empty());

    // The service has forgotten the session by the time the user re-fetches.
    sim::Reply unknown;
    unknown.body = "unknown\r\n";
    unknown.times = 2;
    sim::Script("arrival", unknown);
    Command(IDM_REFETCH);
    ASSERT_TRUE(WaitForPasses(2));
    ASSERT_EQ(login.shown.size(), 1u);
    EXPECT_EQ(login.shown[0].userId, "bob") << "the stored user id is shown";
    EXPECT_EQ(login.shown[0].storedEid, "") << "the stored cookie is forgotten before asking";
    EXPECT_EQ(settingsStore.ReadUserId(), "") << "cancel forgets the stored user id";
    EXPECT_TRUE(Greyed(IDM_LOGOUT));
    EXPECT_EQ(Icon(), Picture(IconLoggedOut));
    EXPECT_EQ(Tip(), kLoggedOutTip);
    EXPECT_FALSE(KillTimer(window->Window(), MainWindow::TIMER_NEXT_CHECK))
        << "the timer the first pass armed is disarmed: no pass comes by itself";

    Command(IDM_REFETCH);
    ASSERT_TRUE(WaitForPasses(3));
    EXPECT_EQ(login.shown.size(), 2u);
}

TEST_F(CheckCycle, EndingWhileAskingKeepsTheStoredUserId) {
    settingsStore.WriteUserId("bob");
    login.answers.push_back([&](LoginDialog&) {
        // A "Stop" from another process closes the main window under the dialog.
        SendMessageA(window->Window(), WM_CLOSE, 0, 0);
        return static_cast<INT_PTR>(IDCANCEL);
    });
    Start();
    ASSERT_TRUE(WaitForPasses(1));
    EXPECT_EQ(window->Window(), nullptr);
    EXPECT_EQ(settingsStore.ReadUserId(), "bob");
}

TEST_F(CheckCycle, ALoginIsCheckedAtOnceAndItsSessionKeptOnlyWhenSaved) {
    sim::AddAccount("carol", "secret", 0);
    login.answers.push_back(ScriptedLogin::Ok("carol", "secret", false));
    Start();
    ASSERT_TRUE(WaitForPasses(2));
    EXPECT_EQ(window->LastResult().status, CheckStatus::Ok);
    EXPECT_EQ(Popup(), "") << "after a login the status counts as Ok already";
    EXPECT_EQ(settingsStore.ReadUserId(), "carol");
    EXPECT_EQ(settingsStore.ReadSessionCookie(), "");

    sim::SetCount("carol", 2);
    login.answers.push_back(ScriptedLogin::Ok("carol", "secret", true));
    window.reset();
    Start();
    ASSERT_TRUE(WaitForPasses(4));
    ASSERT_EQ(login.shown.size(), 2u) << "an unsaved login is asked for again";
    EXPECT_EQ(login.shown[1].userId, "carol");
    EXPECT_EQ(Popup(), NewMailPopup(2));
    const std::string eid = settingsStore.ReadSessionCookie();
    ASSERT_NE(eid, "");
    EXPECT_NE(sim::HeadersOf(sim::Request("arrival")).find("Cookie: EID=" + eid + "\r\n"), std::string::npos);

    window.reset();
    Start();
    ASSERT_TRUE(WaitForPasses(5));
    EXPECT_EQ(window->LastResult().status, CheckStatus::Ok);
    EXPECT_EQ(login.shown.size(), 2u) << "no password asked after the restart";
    EXPECT_EQ(sim::RequestCount("login"), 2);
}

TEST_F(CheckCycle, APassRunningAcrossTheLoginIsFollowedByAFreshOne) {
    sim::AddAccount("erin", "pw", 5);
    settingsStore.WriteSessionCookie("expired-session");
    login.answers.push_back([&](LoginDialog& dialog) {
        // While the dialog is open a re-fetch starts a slow pass with the old cookie.
        sim::Reply slow;
        slow.body = "unknown\r\n";
        slow.delayMs = 800;
        sim::Script("arrival", slow);
        Command(IDM_REFETCH);
        return ScriptedLogin::Ok("erin", "pw", false)(dialog);
    });
    Start();
    ASSERT_TRUE(PumpUntil([&] { return window->LastResult().count == 5; }, 20000));
    EXPECT_EQ(login.shown.size(), 1u) << "the stale pass's answer must not ask again";
    EXPECT_EQ(sim::RequestCount("login"), 1);
    EXPECT_EQ(sound.plays, 1);
}

TEST_F(CheckCycle, TrayIconIsAddedIdleWithoutTipAndRetriedUntilTheShellTakesIt) {
    tray.failingAdds = 1;
    Start();
    ASSERT_FALSE(tray.calls.empty());
    ASSERT_EQ(tray.calls.front().message, static_cast<DWORD>(NIM_ADD));
    // The record with the 128-byte tip, the picture for no new mail and no tip yet.
    const NOTIFYICONDATAA& add = tray.calls.front().data;
    EXPECT_EQ(std::make_tuple(add.cbSize, add.hWnd, add.uID, add.uFlags, add.uCallbackMessage, add.hIcon,
                              std::string(add.szTip)),
              std::make_tuple(DWORD{488}, window->Window(), UINT{1}, UINT{NIF_MESSAGE | NIF_ICON}, UINT{1025},
                              Picture(IconIdle), std::string()));
    for (int i = 0; i < TrayIconCount; ++i) EXPECT_NE(Picture(static_cast<TrayIconIndex>(i)), nullptr);

    const HMENU menu = GetSubMenu(window->TrayMenuHandle(), 0);
    EXPECT_EQ(GetMenuItemCount(menu), 7);
    EXPECT_EQ(GetMenuDefaultItem(menu, FALSE, 0), static_cast<UINT>(IDM_OPEN_MAIL));
    EXPECT_FALSE(Greyed(IDM_LOGOUT));

    ASSERT_TRUE(PumpUntil([&] { return tray.Count(NIM_ADD) == 2; }, 9000));
    EXPECT_FALSE(KillTimer(window->Window(), MainWindow::TIMER_TRAY_ADD)) << "the retry stops after success";
    EXPECT_TRUE(WaitForPasses(1)) << "checking runs meanwhile";
}

TEST_F(CheckCycle, ClicksOpenThePagesAndHideThePopupAtOnce) {
    StoreSession("alice", 1);
    Start();
    ASSERT_TRUE(WaitForPasses(1));
    TrayMouse(WM_RBUTTONDOWN);  // nothing: the menu opens on the button-up
    TrayMouse(WM_MOUSEMOVE);
    TrayMouse(WM_LBUTTONDOWN);
    Command(MAKEWPARAM(IDM_HELP, 1));  // the notification code is not looked at
    EXPECT_EQ(urls.opened, (std::vector<std::string>{MailTopUrl, HelpUrl}));
    EXPECT_EQ(std::string(MailTopUrl).substr(0, 7), "http://");
    EXPECT_EQ(std::string(HelpUrl).substr(std::string(HelpUrl).size() - 31), "/howto/tool/mail/t_checker.html");
    urls.opened.clear();

    const HWND popup = window->Popup().Window();
    ASSERT_NE(Popup(), "");

    SendMessageA(popup, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    SendMessageA(popup, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    EXPECT_NE(Popup(), "") << "moving and pressing do nothing visible";
    SendMessageA(popup, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_EQ(Popup(), "");
    EXPECT_FALSE(KillTimer(popup, PopupWindow::TIMER_POPUP_HIDE)) << "no slide-out left to run";
    EXPECT_EQ(urls.opened, std::vector<std::string>{MailTopUrl});

    Command(IDM_REFETCH);
    ASSERT_TRUE(WaitForPasses(2));
    ASSERT_NE(Popup(), "");
    SendMessageA(popup, WM_RBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_EQ(Popup(), "");
    EXPECT_FALSE(KillTimer(popup, PopupWindow::TIMER_POPUP_HIDE));
    EXPECT_EQ(urls.opened.size(), 1u) << "a right click only hides";

    // A forged popup message from elsewhere is ignored rather than followed.
    MSG fake{};
    fake.message = WM_LBUTTONUP;
    SendMessageA(window->Window(), MainWindow::WM_POPUP_MOUSE, reinterpret_cast<WPARAM>(&window->Popup()),
                 reinterpret_cast<LPARAM>(&fake));
    SendMessageA(window->Window(), MainWindow::WM_POPUP_MOUSE, 0x1234, 0x5678);
    EXPECT_EQ(urls.opened.size(), 1u);
}

TEST_F(CheckCycle, MenuDialogsGreyTheirItemsAndCloseTearsEverythingDown) {
    StoreSession("alice", 0);
    Start();
    ASSERT_TRUE(WaitForPasses(1));
    for (const UINT command : {IDM_ABOUT, IDM_OPTIONS}) {
        bool greyedWhileOpen = false;
        RunDriven([&] { return static_cast<INT_PTR>(SendMessageA(window->Window(), WM_COMMAND, command, 0)); },
                  [&](HWND dialog) {
                      greyedWhileOpen = Greyed(command);
                      ClickLater(dialog, IDCANCEL);  // the about box has no Cancel button
                  });
        EXPECT_TRUE(greyedWhileOpen) << command;
        EXPECT_FALSE(Greyed(command)) << command;
    }

    const HWND main = window->Window(), popup = window->Popup().Window();
    const HMENU menu = window->TrayMenuHandle();
    SendMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(main) || IsWindow(popup) || IsMenu(menu));
    EXPECT_EQ(tray.calls.back().message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(tray.calls.back().data.uID, 1u);
    MSG quit;
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 0u);
}

}  // namespace
