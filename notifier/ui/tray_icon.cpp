#include "notifier/ui/tray_icon.h"

#include <string>

#include "notifier/res/resource.h"

bool SystemTrayShell::NotifyIcon(DWORD message, NOTIFYICONDATAA& data) {
    return Shell_NotifyIconA(message, &data) != FALSE;
}

void TrayIcon::Prepare(HWND window, HINSTANCE instance, UINT callbackMessage) {
    data_ = NOTIFYICONDATAA{};
    // The form of the record with a 128-byte tip and no balloon use.
    data_.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data_.hWnd = window;
    data_.uID = kIconId;
    callbackMessage_ = callbackMessage;

    static constexpr int kResources[TrayIconCount] = {IDI_IDLE, IDI_NEWMAIL, IDI_ERROR, IDI_LOGGEDOUT};
    for (int i = 0; i < TrayIconCount; ++i) {
        icons_[i].Reset(static_cast<HICON>(
            LoadImageA(instance, MAKEINTRESOURCEA(kResources[i]), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR)));
    }
}

bool TrayIcon::Add(CheckStatus status, std::int32_t count) {
    data_.uFlags = NIF_MESSAGE | NIF_ICON | (data_.szTip[0] != '\0' ? NIF_TIP : 0);
    data_.uCallbackMessage = callbackMessage_;
    data_.hIcon = Picture(ChooseTrayIcon(status, count));
    return shell_.NotifyIcon(NIM_ADD, data_);
}

bool TrayIcon::Restore(CheckStatus status, std::int32_t count) {
    if (Add(status, count)) return true;
    // The shell refuses to add an icon it still has: then it only needs the current state.
    return shell_.NotifyIcon(NIM_MODIFY, data_);
}

void TrayIcon::Update(CheckStatus status, std::int32_t count) {
    data_.uFlags = NIF_ICON;
    data_.hIcon = Picture(ChooseTrayIcon(status, count));
    shell_.NotifyIcon(NIM_MODIFY, data_);
}

void TrayIcon::SetTip(CheckStatus status, std::int32_t count) {
    CopyTrayTip(TrayTipText(status, count), data_.szTip, sizeof(data_.szTip));
    data_.uFlags = NIF_TIP;
    shell_.NotifyIcon(NIM_MODIFY, data_);
}

void TrayIcon::Remove() {
    data_.uFlags = 0;
    shell_.NotifyIcon(NIM_DELETE, data_);
}
