#include "notifier/shell/MainWindow.h"

#include <windowsx.h>

#include <utility>

#include "notifier/res/Resource.h"
#include "notifier/service/Endpoints.h"
#include "notifier/settings/AboutDialog.h"
#include "notifier/settings/OptionsDialog.h"
#include "notifier/settings/SettingsStore.h"

namespace {

constexpr UINT kDpiChanged = 0x02E0;  // WM_DPICHANGED

}  // namespace

MainWindow::MainWindow(const Effects& effects) : effects_(effects), tray_(effects.tray) {}

MainWindow::~MainWindow() {
    if (window_ != nullptr) DestroyWindow(window_);
}

HWND MainWindow::Create(HINSTANCE instance) {
    if (window_ != nullptr) return window_;
    instance_ = instance;
    if (!RegisterWindowClass(instance, kClassName, RouteToOwner<MainWindow>, COLOR_WINDOW)) return nullptr;
    taskbarCreatedMessage_ = RegisterWindowMessageA("TaskbarCreated");
    CreateWindowExA(0, kClassName, nullptr, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                    CW_USEDEFAULT, nullptr, nullptr, instance, this);
    return window_;
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == taskbarCreatedMessage_ && message != 0) {
        RestoreTrayIcon();
        return 0;
    }
    switch (message) {
        case WM_CREATE:
            OnCreate();
            return 0;
        case WM_DESTROY:
            OnDestroy();
            return 0;
        case WM_COMMAND:
            OnCommand(LOWORD(wParam));
            return 0;
        case WM_TIMER:
            OnTimer(wParam);
            return 0;
        case WM_TRAY_NOTIFY:
            OnTrayNotify(wParam, lParam);
            return 0;
        case WM_CHECK_DONE:
            OnCheckDone();
            return 0;
        case WM_POPUP_MOUSE:
            OnPopupMouse(wParam, lParam);
            return 0;
        case WM_POWERBROADCAST:
            OnPowerBroadcast(wParam);
            return TRUE;
        case WM_NETWORK_CHANGED:
            OnNetworkChanged();
            return 0;
        // A new scale reaches a hidden window as one of these, depending on the Windows version.
        case kDpiChanged:
        case WM_DISPLAYCHANGE:
            tray_.Rescale(lastStatus_, lastCount_);
            return 0;
        case WM_SETTINGCHANGE:
            tray_.Rescale(lastStatus_, lastCount_);
            break;
    }
    return DefWindowProcA(window_, message, wParam, lParam);
}

void MainWindow::OnCreate() {
    lastStatus_ = CheckStatus::Ok;
    lastCount_ = 0;
    defaultCommand_ = IDM_OPEN_MAIL;
    trayMenu_.Load(instance_, defaultCommand_);
    tray_.Prepare(window_, instance_, WM_TRAY_NOTIFY, taskbarCreatedMessage_);
    if (!tray_.Add(lastStatus_, lastCount_)) SetTimer(window_, TIMER_TRAY_ADD, kTrayAddRetryMs, nullptr);

    popup_.Create(instance_);
    popup_.SetNotifyTarget(window_, WM_POPUP_MOUSE);

    networkWatcher_.Start(window_, WM_NETWORK_CHANGED);
    client_.SetNotifyTarget(window_, WM_CHECK_DONE);
    client_.SetSessionCookie(settingsStore.ReadSessionCookie());
    loginDialog_.loginUserId = settingsStore.ReadUserId();
    StartCheck();
}

void MainWindow::OnDestroy() {
    networkWatcher_.Stop();
    tray_.Remove();
    popup_.Destroy();
    trayMenu_.Destroy();
    PostQuitMessage(0);
}

void MainWindow::OnCommand(UINT command) {
    switch (command) {
        case IDM_OPEN_MAIL:
            effects_.urls.Open(MailTopUrl);
            break;
        case IDM_LOGOUT:
            Logout();
            break;
        case IDM_REFETCH:
            Refetch();
            break;
        case IDM_OPTIONS:
            RunMenuDialog(IDM_OPTIONS, [this] { OptionsDialog().Run(instance_); });
            break;
        case IDM_HELP:
            effects_.urls.Open(HelpUrl);
            break;
        case IDM_ABOUT:
            RunMenuDialog(IDM_ABOUT, [this] { AboutDialog().Run(instance_); });
            break;
        case IDM_EXIT:
            DestroyWindow(window_);
            break;
    }
}

template <typename RunDialog>
void MainWindow::RunMenuDialog(UINT command, RunDialog run) {
    trayMenu_.EnableItem(command, false);
    run();
    trayMenu_.EnableItem(command, true);
}

void MainWindow::OnTimer(UINT_PTR timer) {
    switch (timer) {
        case TIMER_TRAY_ADD:
            RestoreTrayIcon();
            break;
        case TIMER_NEXT_CHECK:
            KillTimer(window_, TIMER_NEXT_CHECK);
            StartCheck();
            break;
        case TIMER_HELD_ANNOUNCEMENT:
            OnHeldAnnouncementTimer();
            break;
    }
}

void MainWindow::RestoreTrayIcon() {
    if (tray_.Restore(lastStatus_, lastCount_)) {
        KillTimer(window_, TIMER_TRAY_ADD);
    } else {
        SetTimer(window_, TIMER_TRAY_ADD, kTrayAddRetryMs, nullptr);
    }
}

void MainWindow::OnTrayNotify(WPARAM wParam, LPARAM lParam) {
    // Version 4: the event in the low word of lParam, the icon's id in the high word and the
    // anchor point in wParam. The older form, as older shells send it and other programs may
    // post it: the bare mouse message in lParam, and no follow-up after a click.
    const UINT event = LOWORD(lParam);
    const bool version4 = HIWORD(lParam) == TrayIcon::kIconId;
    switch (event) {
        case WM_LBUTTONDOWN:
            selectFollows_ = version4;
            OpenDefault();
            break;
        case WM_LBUTTONDBLCLK:
            selectFollows_ = version4;
            break;
        case NIN_SELECT:
            if (std::exchange(selectFollows_, false)) break;
            OpenDefault();
            break;
        case NIN_KEYSELECT:
        case NIN_BALLOONUSERCLICK:
            OpenDefault();
            break;
        case WM_RBUTTONUP: {
            contextMenuFollows_ = version4;
            POINT cursor{};
            GetCursorPos(&cursor);
            OpenTrayMenu(cursor, false);
            break;
        }
        case WM_CONTEXTMENU: {
            if (std::exchange(contextMenuFollows_, false)) break;
            POINT anchor{GET_X_LPARAM(wParam), GET_Y_LPARAM(wParam)};
            if (!version4) GetCursorPos(&anchor);
            OpenTrayMenu(anchor, true);
            break;
        }
        case WM_RBUTTONDBLCLK:
            SendMessageA(window_, WM_COMMAND, IDM_REFETCH, 0);
            break;
    }
}

void MainWindow::OpenDefault() {
    SetForegroundWindow(window_);
    SendMessageA(window_, WM_COMMAND, defaultCommand_, 0);
}

void MainWindow::OpenTrayMenu(POINT at, bool fromKeyboard) {
    // A tray menu whose owner is not the foreground window stays open when the user clicks
    // elsewhere: the shell only closes menus of the foreground window.
    SetForegroundWindow(window_);
    // The menu loop reads the key from the queue: the first item selected.
    if (fromKeyboard) PostMessageA(window_, WM_KEYDOWN, VK_DOWN, 0);
    const UINT command = trayMenu_.Track(window_, at);
    if (command != 0) {
        PostMessageA(window_, WM_COMMAND, command, 0);
    } else if (fromKeyboard) {
        tray_.ReturnFocus();
    }
}

void MainWindow::OnPopupMouse(WPARAM wParam, LPARAM lParam) {
    // The message carries addresses: only the popup's own forwarding is taken.
    if (!popup_.IsOwnMouseEvent(wParam, lParam)) return;
    const auto* event = reinterpret_cast<const PopupMouseEvent*>(lParam);
    switch (event->message) {
        case WM_LBUTTONUP:
            popup_.HideNow();
            SendMessageA(window_, WM_COMMAND, IDM_OPEN_MAIL, 0);
            break;
        case WM_RBUTTONUP:
            popup_.HideNow();
            break;
    }
}
