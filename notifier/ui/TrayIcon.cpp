#include "notifier/ui/TrayIcon.h"

#include <string>

#include "notifier/res/Resource.h"
#include "notifier/ui/DesktopSettings.h"

namespace {

constexpr DWORD kMessageFilterAllow = 1;  // MSGFLT_ALLOW, and MSGFLT_ADD of the older call

// A notifier started elevated (by an elevated setup) would lose its tray icon's callbacks and
// the "TaskbarCreated" broadcast to User Interface Privilege Isolation, which drops messages
// from the normal-rights shell unless the window lets them through. Both calls are resolved at
// run time: the per-window one exists from Windows 7 on, the per-process one from Vista on.
void AllowThroughMessageFilter(HWND window, UINT message) {
    using ChangeWindowFilter = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    using ChangeProcessFilter = BOOL(WINAPI*)(UINT, DWORD);
    const HMODULE user32 = GetModuleHandleA("user32.dll");
    if (const auto perWindow = reinterpret_cast<ChangeWindowFilter>(
            reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilterEx")))) {
        perWindow(window, message, kMessageFilterAllow, nullptr);
    } else if (const auto perProcess = reinterpret_cast<ChangeProcessFilter>(
                   reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilter")))) {
        perProcess(message, kMessageFilterAllow);
    }
}

}  // namespace

bool SystemTrayShell::NotifyIcon(DWORD message, NOTIFYICONDATAA& data) {
    return Shell_NotifyIconA(message, &data) != FALSE;
}

void TrayIcon::Prepare(HWND window, HINSTANCE instance, UINT callbackMessage, UINT taskbarCreatedMessage) {
    AllowThroughMessageFilter(window, callbackMessage);
    AllowThroughMessageFilter(window, taskbarCreatedMessage);
    data_ = NOTIFYICONDATAA{};
    // The form of the record with a 128-byte tip and no balloon use.
    data_.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data_.hWnd = window;
    data_.uID = kIconId;
    callbackMessage_ = callbackMessage;
    instance_ = instance;
    LoadPictures();
}

void TrayIcon::LoadPictures() {
    static constexpr int kResources[TrayIconCount] = {IDI_IDLE, IDI_NEWMAIL, IDI_ERROR, IDI_LOGGEDOUT};
    dpi_ = PrimaryMonitorDpi();
    // The shell keeps its own copy of an icon it was given: the old pictures may go.
    for (int i = 0; i < TrayIconCount; ++i) icons_[i].Reset(LoadSmallIcon(instance_, kResources[i], dpi_));
}

void TrayIcon::Rescale(CheckStatus status, std::int32_t count) {
    if (instance_ == nullptr || PrimaryMonitorDpi() == dpi_) return;
    LoadPictures();
    Update(status, count);
}

bool TrayIcon::Add(CheckStatus status, std::int32_t count) {
    data_.uFlags = NIF_MESSAGE | NIF_ICON | (data_.szTip[0] != '\0' ? NIF_TIP : 0);
    data_.uCallbackMessage = callbackMessage_;
    data_.hIcon = Picture(ChooseTrayIcon(status, count));
    return shell_.NotifyIcon(NIM_ADD, data_);
}

bool TrayIcon::Restore(CheckStatus status, std::int32_t count) {
    // A taskbar created anew may come with a new scale.
    if (instance_ != nullptr && PrimaryMonitorDpi() != dpi_) LoadPictures();
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
