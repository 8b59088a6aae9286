// The notifier's hidden main window: owner of the tray icon and menu, the popup, the
// timers and the dialogs, and the receiver of every user action and check result.
#pragma once

#include <windows.h>

#include "notifier/ui/WindowRouting.h"

#include <cstdint>

#include "notifier/service/CheckStatus.h"
#include "notifier/service/MailCheckClient.h"
#include "notifier/settings/LoginDialog.h"
#include "notifier/shell/CheckCycleState.h"
#include "notifier/shell/CheckRules.h"
#include "notifier/shell/NetworkChangeWatcher.h"
#include "notifier/shell/ShellEffects.h"
#include "notifier/ui/PopupWindow.h"
#include "notifier/ui/TrayIcon.h"
#include "notifier/ui/TrayMenu.h"
#include "notifier/ui/WindowRouting.h"

class MainWindow {
public:
    static constexpr const char* kClassName = "MEWLARKCLASS";

    // Private messages.
    static constexpr UINT WM_TRAY_NOTIFY = WM_USER + 1;  // the tray icon's events
    static constexpr UINT WM_CHECK_DONE = WM_USER + 2;   // a check pass has ended (sent)
    static constexpr UINT WM_POPUP_MOUSE = WM_USER + 3;  // the popup's mouse events (sent)
    static constexpr UINT WM_NETWORK_CHANGED = WM_USER + 4;  // an IP address came or changed

    // Timers.
    static constexpr UINT_PTR TIMER_TRAY_ADD = 1;    // retries adding the tray icon
    static constexpr UINT_PTR TIMER_NEXT_CHECK = 2;  // starts the next check pass (one-shot)
    static constexpr UINT_PTR TIMER_HELD_ANNOUNCEMENT = 3;  // asks again whether a held one may show
    static constexpr UINT kTrayAddRetryMs = 5000;
    static constexpr UINT kHeldAnnouncementRetryMs = 60000;

    struct Effects {
        TrayShell& tray;
        UrlOpener& urls;
        NotificationSound& sound;
        LoginPrompt& login;
        NotificationState& quiet = SystemNotificationState();
    };

    explicit MainWindow(const Effects& effects);
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;
    ~MainWindow();

    // Creates the window, which is never shown; its creation starts the first check pass.
    // Null when it cannot be created.
    HWND Create(HINSTANCE instance);

    // False when the check client could not be set up: then the notifier does not start.
    bool CanCheck() const { return client_.Ready(); }

    HWND Window() const { return window_; }
    ShownResult LastResult() const { return {lastStatus_, lastCount_}; }
    const TrayIcon& Tray() const { return tray_; }
    HMENU TrayMenuHandle() const { return trayMenu_.Handle(); }
    PopupWindow& Popup() { return popup_; }

private:
    template <typename Owner>
    friend LRESULT CALLBACK RouteToOwner(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void OnCreate();
    void OnDestroy();
    void OnCommand(UINT command);
    void OnTimer(UINT_PTR timer);
    // The tray icon for the last result, back in the tray; retried until the shell takes it.
    void RestoreTrayIcon();
    void OnTrayNotify(WPARAM wParam, LPARAM lParam);
    void OpenDefault();
    // The tray menu at the point; opened from the keyboard it has its first item selected and,
    // closed without a choice, gives the focus back to the notification area.
    void OpenTrayMenu(POINT at, bool fromKeyboard);
    void OnPopupMouse(WPARAM wParam, LPARAM lParam);
    void OnPowerBroadcast(WPARAM event);
    void OnNetworkChanged();
    // Greys the command's item while the dialog runs.
    template <typename RunDialog>
    void RunMenuDialog(UINT command, RunDialog run);

    // The check cycle.
    void StartCheck();
    void OnCheckDone();
    // True when an automatic pass may start now: none runs, the login dialog is not open,
    // and checking has not stopped for a login.
    bool AutomaticPassAllowed() const;
    // Brings the next automatic pass forward to the settle time from now.
    void ScheduleEarlyPass();
    void Announce(ShownResult previous);
    // Popup, or the tray's balloon when the user chose Windows' notifications, and sound now;
    // held instead while the shell asks for quiet.
    void ShowAnnouncement(Announcement announcement, std::int32_t count);
    void HoldAnnouncement(Announcement announcement, std::int32_t count);
    void DropHeldAnnouncement();
    void OnHeldAnnouncementTimer();
    void StoreSessionCookieIfAsked();
    void PromptLogin();
    void Logout();
    void Refetch();

    const Effects effects_;
    HINSTANCE instance_ = nullptr;

    HWND window_ = nullptr;
    TrayIcon tray_;
    CheckStatus lastStatus_ = CheckStatus::Ok;
    std::int32_t lastCount_ = 0;
    MailCheckClient client_;
    LoginDialog loginDialog_;
    PopupWindow popup_;
    TrayMenu trayMenu_;
    UINT defaultCommand_ = 0;
    // A shell of version 4 follows a left click with NIN_SELECT and a right click with
    // WM_CONTEXTMENU: set while that follow-up of a click that has acted is still to come.
    bool selectFollows_ = false;
    bool contextMenuFollows_ = false;
    CheckCycleState cycle_;
    // The latest announcement held while the shell asked for quiet, with its count.
    Announcement heldAnnouncement_ = Announcement::None;
    std::int32_t heldCount_ = 0;
    NetworkChangeWatcher networkWatcher_;
    OncePerInterval networkPasses_{kNetworkPassIntervalMs};
    // Broadcast by the shell when the taskbar is created anew, its icons lost.
    UINT taskbarCreatedMessage_ = 0;
};
