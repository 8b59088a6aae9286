// The main window's side of the check cycle: starting passes, turning the end of a pass
// into icon, announcement, tooltip and what follows, logging out and in.
#include "notifier/res/Resource.h"
#include "notifier/settings/DialogText.h"
#include "notifier/settings/SettingsStore.h"
#include "notifier/shell/MainWindow.h"
#include "notifier/ui/DesktopSettings.h"

namespace {

// How long a worker whose report was handled may take to end.
constexpr DWORD kReleasedWorkerWaitMs = 5000;

}  // namespace

void MainWindow::StartCheck() {
    // A worker whose report has been handled is only ending: let it end, so that the start
    // is not dropped as if a pass were running. (A worker that has not reported yet is
    // not waited for: it needs this thread to report.)
    if (cycle_.pass == CheckCycleState::Pass::Idle) client_.WaitForIdle(kReleasedWorkerWaitMs);
    if (client_.StartCheck()) cycle_.Started();
}

void MainWindow::OnCheckDone() {
    const ShownResult previous{lastStatus_, lastCount_};
    const CheckStatus status = client_.GetStatus();
    const std::int32_t count = client_.GetNewMailCount();
    // Release the worker before anything that may open a dialog or a menu.
    ReplyMessage(0);

    if (!cycle_.Ended()) {
        // That pass ran with the credentials from before the login: check again instead.
        StartCheck();
        return;
    }

    lastStatus_ = status;
    lastCount_ = count;
    cycle_.waitingForNetwork = client_.ServiceUnreachable();
    tray_.Update(lastStatus_, lastCount_);
    Announce(previous);
    cycle_.manualRefetch = false;
    StoreSessionCookieIfAsked();
    tray_.SetTip(lastStatus_, lastCount_);

    switch (FollowUpFor(lastStatus_)) {
        case PassFollowUp::ScheduleNextCheck:
            trayMenu_.EnableItem(IDM_LOGOUT, true);
            if (window_ != nullptr) SetTimer(window_, TIMER_NEXT_CHECK, kNextCheckMs, nullptr);
            break;
        case PassFollowUp::PromptLogin:
            trayMenu_.EnableItem(IDM_LOGOUT, false);
            // Checking stops until a login: also a timer armed by an earlier pass.
            if (window_ != nullptr) KillTimer(window_, TIMER_NEXT_CHECK);
            PromptLogin();
            break;
        case PassFollowUp::Nothing:
            break;
    }
}

bool MainWindow::AutomaticPassAllowed() const {
    return cycle_.pass == CheckCycleState::Pass::Idle && !cycle_.loginDialogOpen &&
           lastStatus_ != CheckStatus::LoginRequired;
}

void MainWindow::ScheduleEarlyPass() {
    // The five-minute timer's pass, brought forward; its end arms the timer again as usual.
    SetTimer(window_, TIMER_NEXT_CHECK, kEarlyPassSettleMs, nullptr);
}

void MainWindow::OnPowerBroadcast(WPARAM event) {
    switch (event) {
        case PBT_APMSUSPEND:
            cycle_.resumeHandled = false;
            break;
        // A wake-up sends the automatic resume, and the other one too when a user is there.
        case PBT_APMRESUMEAUTOMATIC:
        case PBT_APMRESUMESUSPEND:
            if (cycle_.resumeHandled) break;
            cycle_.resumeHandled = true;
            if (AutomaticPassAllowed()) ScheduleEarlyPass();
            break;
    }
}

void MainWindow::OnNetworkChanged() {
    if (!cycle_.waitingForNetwork || !AutomaticPassAllowed()) return;
    if (networkPasses_.Allow(GetTickCount())) ScheduleEarlyPass();
}

void MainWindow::Announce(ShownResult previous) {
    const Announcement announcement = ChooseAnnouncement(previous, {lastStatus_, lastCount_}, cycle_.manualRefetch);
    if (announcement == Announcement::None) {
        // Nothing to announce and no new mail: what was held is out of date.
        if (lastCount_ == 0) DropHeldAnnouncement();
        return;
    }
    // A re-fetch is the user's own request: it is answered at once.
    if (!cycle_.manualRefetch && !effects_.quiet.AcceptsNotifications()) {
        HoldAnnouncement(announcement, lastCount_);
        return;
    }
    DropHeldAnnouncement();
    ShowAnnouncement(announcement, lastCount_);
}

void MainWindow::ShowAnnouncement(Announcement announcement, std::int32_t count) {
    if (announcement == Announcement::None) return;
    if (announcement == Announcement::NewMail) effects_.sound.Play();
    const std::string text = announcement == Announcement::NewMail ? NewMailPopupText(count) : NoNewMailPopupText();
    // Windows' notification when chosen and the shell takes it: not where a policy turned
    // balloons off, nor while the icon is not in the tray.
    if (settingsStore.ReadWindowsNotification() && BalloonsAllowedByPolicy() && tray_.ShowBalloon(text)) return;
    popup_.ShowPopup(kAnnouncementMs, text.c_str());
}

void MainWindow::HoldAnnouncement(Announcement announcement, std::int32_t count) {
    // The minute's timer runs only while something is held.
    if (heldAnnouncement_ == Announcement::None && window_ != nullptr) {
        SetTimer(window_, TIMER_HELD_ANNOUNCEMENT, kHeldAnnouncementRetryMs, nullptr);
    }
    heldAnnouncement_ = announcement;
    heldCount_ = count;
}

void MainWindow::DropHeldAnnouncement() {
    if (heldAnnouncement_ == Announcement::None) return;
    heldAnnouncement_ = Announcement::None;
    if (window_ != nullptr) KillTimer(window_, TIMER_HELD_ANNOUNCEMENT);
}

void MainWindow::OnHeldAnnouncementTimer() {
    if (heldAnnouncement_ == Announcement::None) {
        KillTimer(window_, TIMER_HELD_ANNOUNCEMENT);
        return;
    }
    if (!effects_.quiet.AcceptsNotifications()) return;
    const Announcement held = heldAnnouncement_;
    DropHeldAnnouncement();
    ShowAnnouncement(held, heldCount_);
}

void MainWindow::StoreSessionCookieIfAsked() {
    if (!loginDialog_.saveLogin) return;
    const std::string cookie = client_.GetSessionCookie();
    if (cookie.empty()) return;  // asked again after a later pass
    loginDialog_.saveLogin = false;
    settingsStore.WriteSessionCookie(cookie);
}

void MainWindow::PromptLogin() {
    if (cycle_.loginDialogOpen) {
        loginDialog_.BringToTop();
        return;
    }
    settingsStore.WriteSessionCookie("");
    WipeString(loginDialog_.loginPassword);
    loginDialog_.saveLogin = false;

    cycle_.loginDialogOpen = true;
    const INT_PTR answer = effects_.login.Run(loginDialog_);
    cycle_.loginDialogOpen = false;

    // Closed with the main window (a Stop or Exit while the dialog was open): the program
    // is ending, and the answer is nobody's choice.
    if (window_ == nullptr) return;

    if (answer == IDOK) {
        settingsStore.WriteUserId(loginDialog_.loginUserId);
        client_.SetUserId(loginDialog_.loginUserId);
        loginDialog_.HandOverPassword([this](const std::string& password) { client_.SetPassword(password); });
        lastStatus_ = CheckStatus::Ok;
        // A pass started while the dialog was open and not reported yet starts it at its end.
        if (cycle_.LoginAccepted()) StartCheck();
    } else {
        settingsStore.WriteUserId("");
    }
}

void MainWindow::Logout() {
    settingsStore.WriteSessionCookie("");
    client_.SetUserId("");
    client_.SetPassword("");
    client_.SetSessionCookie("");
    if (window_ != nullptr) KillTimer(window_, TIMER_NEXT_CHECK);
    StartCheck();
}

void MainWindow::Refetch() {
    cycle_.manualRefetch = true;
    StartCheck();
}
