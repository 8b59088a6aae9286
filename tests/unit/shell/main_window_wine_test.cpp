// The main window and its check cycle in process under Wine: real check passes against the
// service simulator, real popup, menu and registry; the tray, sound, browser and login
// dialog recorded through their seams.
#include "notifier/shell/main_window.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "notifier/res/resource.h"
#include "notifier/service/endpoints.h"
#include "notifier/settings/settings_store.h"
#include "tests/support/simulator_client.h"
#include "tests/unit/settings/registry_fixture.h"
#include "tests/unit/shell/recording_effects.h"
#include "tests/unit/ui/message_pump.h"

namespace {

using namespace test::shown_texts;

using test::CountingSound;
using test::RecordingTray;
using test::RecordingUrls;
using test::ScriptedLogin;
using test::TrayCall;

class CheckCycle : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Reset();
        test::DeleteKey(HKEY_CURRENT_USER, test::kSettingsKey);
    }
    void TearDown() override {
        window.reset();
        test::PumpFor(50);
        test::DeleteKey(HKEY_CURRENT_USER, test::kSettingsKey);
    }

    // A stored session the simulator accepts.
    void StoreSession(const std::string& user, int count) {
        sim::AddAccount(user, "pw", count);
        sim::AddSession("eid-" + user, user);
        settingsStore.WriteUserId(user);
        settingsStore.WriteSessionCookie("eid-" + user);
    }

    void Start() {
        window = std::make_unique<MainWindow>(MainWindow::Effects{tray, urls, sound, login});
        ASSERT_NE(window->Create(GetModuleHandleA(nullptr)), nullptr);
    }
    void Restart() {
        window.reset();
        Start();
    }

    // Every handled end of a pass sets the tooltip once.
    int Passes() const { return tray.Count(NIM_MODIFY, NIF_TIP); }
    bool WaitForPasses(int n) {
        return test::PumpUntil([&] { return Passes() >= n; }, 20000);
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
    bool PopupVisible() const { return IsWindowVisible(window->Popup().Window()) != FALSE; }
    std::string PopupText() const { return window->Popup().Text(); }
    bool Greyed(UINT command) const {
        return (GetMenuState(window->TrayMenuHandle(), command, MF_BYCOMMAND) & MF_GRAYED) != 0;
    }

    RecordingTray tray;
    RecordingUrls urls;
    CountingSound sound;
    ScriptedLogin login;
    std::unique_ptr<MainWindow> window;
};

TEST_F(CheckCycle, EveryChangeOfAPositiveCountIsAnnouncedOnce) {
    StoreSession("alice", 2);
    Start();
    ASSERT_TRUE(WaitForPasses(1));
    EXPECT_EQ(sound.plays, 1);
    EXPECT_TRUE(PopupVisible());
    EXPECT_EQ(PopupText(), NewMailPopup(2));
    EXPECT_EQ(Icon(), Picture(IconNewMail));
    EXPECT_EQ(Tip(), NewMailTip(2));

    // 2 -> 3
    window->Popup().HideNow();
    sim::SetCount("alice", 3);
    TimerTick();
    ASSERT_TRUE(WaitForPasses(2));
    EXPECT_EQ(sound.plays, 2);
    EXPECT_TRUE(PopupVisible());
    EXPECT_EQ(PopupText(), NewMailPopup(3));
    EXPECT_EQ(Tip(), NewMailTip(3));

    // 3 -> 2
    window->Popup().HideNow();
    sim::SetCount("alice", 2);
    TimerTick();
    ASSERT_TRUE(WaitForPasses(3));
    EXPECT_EQ(sound.plays, 3);
    EXPECT_EQ(PopupText(), NewMailPopup(2));

    // 2 -> 2: nothing
    window->Popup().HideNow();
    TimerTick();
    ASSERT_TRUE(WaitForPasses(4));
    EXPECT_EQ(sound.plays, 3);
    EXPECT_FALSE(PopupVisible());

    // 2 -> 0: icon and tooltip only
    sim::SetCount("alice", 0);
    TimerTick();
    ASSERT_TRUE(WaitForPasses(5));
    EXPECT_EQ(sound.plays, 3);
    EXPECT_FALSE(PopupVisible());
    EXPECT_EQ(Icon(), Picture(IconIdle));
    EXPECT_EQ(Tip(), kTarnMail + kNoNewMail);
    EXPECT_EQ(sim::RequestCount("login"), 0) << "the stored session needs no login";
    EXPECT_TRUE(login.shown.empty());
}

TEST_F(CheckCycle, RefetchAlwaysAnnounces) {
    StoreSession("alice", 0);
    Start();
    ASSERT_TRUE(WaitForPasses(1));
    EXPECT_FALSE(PopupVisible()) << "the first pass with no mail announces nothing";

    Command(IDM_REFETCH);
    ASSERT_TRUE(WaitForPasses(2));
    EXPECT_TRUE(PopupVisible());
    EXPECT_EQ(PopupText(), kNoNewMail);
    EXPECT_EQ(sound.plays, 0) << "no sound without new mail";

    window->Popup().HideNow();
    sim::SetCount("alice", 3);
    TimerTick();
    ASSERT_TRUE(WaitForPasses(3));
    EXPECT_EQ(sound.plays, 1);

    // The same count again, by a right double-click on the tray icon.
    window->Popup().HideNow();
    TrayMouse(WM_RBUTTONDBLCLK);
    ASSERT_TRUE(WaitForPasses(4));
    EXPECT_EQ(sound.plays, 2);
    EXPECT_TRUE(PopupVisible());
    EXPECT_EQ(PopupText(), NewMailPopup(3));

    // A re-fetch asked for while a pass runs makes that pass announce.
    window->Popup().HideNow();
    sim::Reply slow;
    slow.body = "3\r\n";
    slow.delayMs = 600;
    sim::Script("arrival", slow);
    TimerTick();
    Command(IDM_REFETCH);
    ASSERT_TRUE(WaitForPasses(5));
    test::PumpFor(300);
    EXPECT_EQ(Passes(), 5) << "the dropped start makes no pass of its own";
    EXPECT_EQ(sound.plays, 3);
    EXPECT_TRUE(PopupVisible());
}

TEST_F(CheckCycle, FailureShowsOnlyInTheTrayAndRecovers) {
    StoreSession("alice", 3);
    Start();
    ASSERT_TRUE(WaitForPasses(1));
    EXPECT_EQ(sound.plays, 1);

    window->Popup().HideNow();
    sim::Reply broken;
    broken.status = 500;
    sim::Script("arrival", broken);
    TimerTick();
    ASSERT_TRUE(WaitForPasses(2));
    EXPECT_EQ(window->LastResult().status, CheckStatus::Failed);
    EXPECT_EQ(window->LastResult().count, 0);
    EXPECT_EQ(Icon(), Picture(IconError));
    EXPECT_EQ(Tip(), kFailureTip);
    EXPECT_FALSE(PopupVisible());
    EXPECT_EQ(sound.plays, 1);
    EXPECT_FALSE(Greyed(IDM_LOGOUT));

    // Back to Ok with the same 3: the count changed from 0.
    TimerTick();
    ASSERT_TRUE(WaitForPasses(3));
    EXPECT_EQ(sound.plays, 2);
    EXPECT_EQ(PopupText(), NewMailPopup(3));
    EXPECT_EQ(Icon(), Picture(IconNewMail));
}

TEST_F(CheckCycle, NoNewMailIsAnnouncedAfterAFailure) {
    StoreSession("alice", 0);
    sim::Reply broken;
    broken.status = 503;
    sim::Script("arrival", broken);
    Start();
    ASSERT_TRUE(WaitForPasses(1));
    EXPECT_EQ(Tip(), kFailureTip);

    TimerTick();
    ASSERT_TRUE(WaitForPasses(2));
    EXPECT_TRUE(PopupVisible()) << "Ok after Failed is a change of status";
    EXPECT_EQ(PopupText(), kNoNewMail);
    EXPECT_EQ(sound.plays, 0);
}

TEST_F(CheckCycle, LogoutAsksForTheLoginWithTheUserIdKept) {
    StoreSession("alice", 1);
    Start();
    ASSERT_TRUE(WaitForPasses(1));
    const int queries = sim::RequestCount("arrival");

    bool greyedWhileAsking = false;
    login.answers.push_back([&](LoginDialog&) {
        greyedWhileAsking = Greyed(IDM_LOGOUT);
        return static_cast<INT_PTR>(IDCANCEL);
    });
    Command(IDM_LOGOUT);
    ASSERT_TRUE(WaitForPasses(2));
    ASSERT_EQ(login.shown.size(), 1u);
    EXPECT_EQ(login.shown[0].userId, "alice");
    EXPECT_EQ(login.shown[0].password, "");
    EXPECT_FALSE(login.shown[0].saveLogin);
    EXPECT_EQ(login.shown[0].storedEid, "");
    EXPECT_TRUE(greyedWhileAsking);
    EXPECT_TRUE(Greyed(IDM_LOGOUT));
    EXPECT_EQ(Icon(), Picture(IconLoggedOut));
    EXPECT_EQ(Tip(), kLoggedOutTip);
    EXPECT_EQ(sim::RequestCount("arrival"), queries) << "a pass without credentials sends nothing";
    EXPECT_EQ(sim::RequestCount("login"), 0);
}

TEST_F(CheckCycle, CancelledLoginStopsCheckingUntilARefetch) {
    settingsStore.WriteUserId("bob");
    Start();
    ASSERT_TRUE(WaitForPasses(1));
    ASSERT_EQ(login.shown.size(), 1u);
    EXPECT_EQ(login.shown[0].userId, "bob") << "the stored user id is shown";
    EXPECT_EQ(settingsStore.ReadUserId(), "") << "cancel forgets the stored user id";
    EXPECT_EQ(window->LastResult().status, CheckStatus::LoginRequired);

    test::PumpFor(300);
    EXPECT_EQ(Passes(), 1);

    Command(IDM_REFETCH);
    ASSERT_TRUE(WaitForPasses(2));
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

TEST_F(CheckCycle, SavedLoginSurvivesARestart) {
    sim::AddAccount("carol", "secret", 2);
    login.answers.push_back(ScriptedLogin::Ok("carol", "secret", true));
    Start();
    // The login is followed by a pass at once, with the new credentials.
    ASSERT_TRUE(WaitForPasses(2));
    EXPECT_EQ(window->LastResult().status, CheckStatus::Ok);
    EXPECT_EQ(window->LastResult().count, 2);
    EXPECT_EQ(PopupText(), NewMailPopup(2));
    EXPECT_EQ(settingsStore.ReadUserId(), "carol");
    const std::string eid = settingsStore.ReadSessionCookie();
    ASSERT_FALSE(eid.empty());
    EXPECT_NE(sim::HeadersOf(sim::Request("arrival")).find("Cookie: EID=" + eid + "\r\n"), std::string::npos);

    Restart();
    ASSERT_TRUE(WaitForPasses(3));
    EXPECT_EQ(window->LastResult().status, CheckStatus::Ok);
    EXPECT_EQ(login.shown.size(), 1u) << "no password asked after the restart";
    EXPECT_EQ(sim::RequestCount("login"), 1);
}

TEST_F(CheckCycle, UnsavedLoginIsAskedForAgainAfterARestart) {
    sim::AddAccount("carol", "secret", 0);
    login.answers.push_back(ScriptedLogin::Ok("carol", "secret", false));
    Start();
    ASSERT_TRUE(WaitForPasses(2));
    EXPECT_EQ(window->LastResult().status, CheckStatus::Ok);
    EXPECT_FALSE(PopupVisible()) << "after a login the status counts as Ok already";
    EXPECT_EQ(settingsStore.ReadSessionCookie(), "");

    Restart();
    ASSERT_TRUE(WaitForPasses(3));
    ASSERT_EQ(login.shown.size(), 2u);
    EXPECT_EQ(login.shown[1].userId, "carol");
}

TEST_F(CheckCycle, StoredCookieAnsweredUnknownIsForgottenBeforeAsking) {
    sim::AddAccount("dave", "pw", 1);
    settingsStore.WriteUserId("dave");
    settingsStore.WriteSessionCookie("expired-session");
    Start();
    ASSERT_TRUE(WaitForPasses(1));
    ASSERT_EQ(login.shown.size(), 1u);
    EXPECT_EQ(login.shown[0].userId, "dave");
    EXPECT_EQ(login.shown[0].storedEid, "");
    EXPECT_EQ(Icon(), Picture(IconLoggedOut));
    EXPECT_EQ(sim::RequestCount("arrival"), 1);
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
    ASSERT_TRUE(test::PumpUntil([&] { return window->LastResult().count == 5; }, 20000));
    EXPECT_EQ(login.shown.size(), 1u) << "the stale pass's answer must not ask again";
    EXPECT_EQ(sim::RequestCount("login"), 1);
    EXPECT_EQ(sound.plays, 1);
}

TEST_F(CheckCycle, TrayStartsIdleWithoutTipAndFollowsTheResult) {
    Start();
    ASSERT_FALSE(tray.calls.empty());
    const TrayCall& add = tray.calls.front();
    EXPECT_EQ(add.message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(add.data.cbSize, 488u);
    EXPECT_EQ(add.data.hWnd, window->Window());
    EXPECT_EQ(add.data.uID, 1u);
    EXPECT_EQ(add.data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON));
    EXPECT_EQ(add.data.uCallbackMessage, 1025u);
    EXPECT_EQ(add.data.hIcon, Picture(IconIdle));
    EXPECT_STREQ(add.data.szTip, "");
    EXPECT_FALSE(KillTimer(window->Window(), MainWindow::TIMER_TRAY_ADD)) << "no retry after a good add";
    for (int i = 0; i < TrayIconCount; ++i) EXPECT_NE(Picture(static_cast<TrayIconIndex>(i)), nullptr);

    const HMENU menu = GetSubMenu(window->TrayMenuHandle(), 0);
    EXPECT_EQ(GetMenuItemCount(menu), 7);
    EXPECT_EQ(GetMenuDefaultItem(menu, FALSE, 0), static_cast<UINT>(IDM_OPEN_MAIL));
    EXPECT_FALSE(Greyed(IDM_LOGOUT));

    // No stored login: the first pass wants one, and Logout is greyed.
    ASSERT_TRUE(WaitForPasses(1));
    EXPECT_TRUE(Greyed(IDM_LOGOUT));
    EXPECT_EQ(Tip(), kLoggedOutTip);
}

TEST_F(CheckCycle, FailedTrayAddIsRetriedUntilItSucceeds) {
    tray.failingAdds = 1;
    Start();
    EXPECT_EQ(tray.Count(NIM_ADD, NIF_MESSAGE | NIF_ICON), 1);
    ASSERT_TRUE(test::PumpUntil([&] { return tray.Count(NIM_ADD) == 2; }, 9000));
    EXPECT_FALSE(KillTimer(window->Window(), MainWindow::TIMER_TRAY_ADD)) << "the retry stops after success";
    EXPECT_TRUE(WaitForPasses(1)) << "checking runs meanwhile";
}

TEST_F(CheckCycle, ClicksAndCommandsOpenThePages) {
    Start();
    TrayMouse(WM_LBUTTONDOWN);
    TrayMouse(WM_RBUTTONDOWN);  // nothing: the menu opens on the button-up
    TrayMouse(WM_MOUSEMOVE);
    Command(MAKEWPARAM(IDM_OPEN_MAIL, 1));  // the notification code is not looked at
    Command(IDM_HELP);
    EXPECT_EQ(urls.opened, (std::vector<std::string>{MailTopUrl, MailTopUrl, HelpUrl}));
    EXPECT_EQ(std::string(MailTopUrl).substr(0, 7), "http://");
    EXPECT_EQ(std::string(HelpUrl).substr(std::string(HelpUrl).size() - 31), "/howto/tool/mail/t_checker.html");
    ASSERT_TRUE(WaitForPasses(1));
}

TEST_F(CheckCycle, PopupClicksHideItAtOnce) {
    StoreSession("alice", 1);
    Start();
    ASSERT_TRUE(WaitForPasses(1));
    const HWND popup = window->Popup().Window();
    ASSERT_TRUE(PopupVisible());

    SendMessageA(popup, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    SendMessageA(popup, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    EXPECT_TRUE(PopupVisible()) << "moving and pressing do nothing visible";
    SendMessageA(popup, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_FALSE(PopupVisible());
    EXPECT_FALSE(KillTimer(popup, PopupWindow::TIMER_POPUP_HIDE)) << "no slide-out left to run";
    EXPECT_EQ(urls.opened, std::vector<std::string>{MailTopUrl});

    Command(IDM_REFETCH);
    ASSERT_TRUE(WaitForPasses(2));
    ASSERT_TRUE(PopupVisible());
    SendMessageA(popup, WM_RBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_FALSE(PopupVisible());
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

// Answers a modal dialog from inside its loop: the menu state seen while it was open.
struct DialogCloser {
    static inline HMENU menu = nullptr;
    static inline UINT command = 0;
    static inline std::string caption;
    static inline bool greyedWhileOpen = false;
    static inline bool found = false;

    static void CALLBACK Tick(HWND, UINT, UINT_PTR timer, DWORD) {
        const HWND dialog = FindWindowA("#32770", caption.c_str());
        if (dialog == nullptr || !IsWindowVisible(dialog)) return;
        found = true;
        greyedWhileOpen = (GetMenuState(menu, command, MF_BYCOMMAND) & MF_GRAYED) != 0;
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        KillTimer(nullptr, timer);
    }
};

TEST_F(CheckCycle, DialogItemsAreGreyedWhileTheirDialogIsOpen) {
    StoreSession("alice", 0);
    Start();
    ASSERT_TRUE(WaitForPasses(1));
    const struct {
        UINT command;
        const char* caption;
    } dialogs[] = {
        {IDM_ABOUT, "\x83o\x81[\x83W\x83\x87\x83\x93\x8F\xEE\x95\xF1"},
        {IDM_OPTIONS, "Mewlark \x83I\x83v\x83V\x83\x87\x83\x93"},
    };
    for (const auto& d : dialogs) {
        DialogCloser::menu = window->TrayMenuHandle();
        DialogCloser::command = d.command;
        DialogCloser::caption = d.caption;
        DialogCloser::found = false;
        DialogCloser::greyedWhileOpen = false;
        SetTimer(nullptr, 0, 50, DialogCloser::Tick);
        Command(d.command);  // returns when the dialog has closed
        EXPECT_TRUE(DialogCloser::found) << d.command;
        EXPECT_TRUE(DialogCloser::greyedWhileOpen) << d.command;
        EXPECT_FALSE(Greyed(d.command)) << d.command;
    }
}

TEST_F(CheckCycle, CloseTearsDownTrayPopupAndMenuAndEndsTheLoop) {
    StoreSession("alice", 0);
    Start();
    ASSERT_TRUE(WaitForPasses(1));
    const HWND main = window->Window();
    const HWND popup = window->Popup().Window();
    const HMENU menu = window->TrayMenuHandle();

    SendMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(main));
    EXPECT_FALSE(IsWindow(popup));
    EXPECT_FALSE(IsMenu(menu));
    EXPECT_EQ(tray.calls.back().message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(tray.calls.back().data.uID, 1u);
    MSG quit;
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 0u);
}

}  // namespace
