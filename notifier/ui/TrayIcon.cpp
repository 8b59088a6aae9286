#include "notifier/ui/TrayIcon.h"

#include "common/HandleOwners.h"
#include "notifier/res/Resource.h"
#include "notifier/ui/DesktopSettings.h"

namespace {

constexpr DWORD kMessageFilterAllow = 1;  // MSGFLT_ALLOW, and MSGFLT_ADD of the older call
// Windows 7's flag, ignored by Vista: no balloon while the shell keeps its quiet time.
constexpr DWORD kRespectQuietTime = 0x00000080;  // NIIF_RESPECT_QUIET_TIME
// The balloon's title, the product's name as the tooltip starts with it.
constexpr const char* kBalloonTitle = "tarnメール";

// True when the process runs with an elevated token (also when elevation is not known: then
// the filter is opened as before).
bool RunsElevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return true;
    const KernelHandle owned(token);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!GetTokenInformation(owned.Get(), TokenElevation, &elevation, sizeof elevation, &size)) return true;
    return elevation.TokenIsElevated != 0;
}

// A notifier started elevated (by an elevated setup) would lose its tray icon's callbacks and
// the "TaskbarCreated" broadcast to User Interface Privilege Isolation, which drops messages
// from the normal-rights shell unless the window lets them through. A process of normal rights
// receives them anyway and keeps its filter closed to lower-integrity senders. Both calls are
// resolved at run time: the per-window one exists from Windows 7 on, the per-process one from
// Vista on.
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
    if (RunsElevated()) {
        AllowThroughMessageFilter(window, callbackMessage);
        AllowThroughMessageFilter(window, taskbarCreatedMessage);
    }
    data_ = NOTIFYICONDATAA{};
    // The form of the record of Vista: version 4's callbacks and the balloon's own picture.
    data_.cbSize = sizeof(NOTIFYICONDATAA);
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
    for (int i = 0; i < TrayIconCount; ++i) {
        icons_[i].Reset(LoadShellIcon(instance_, kResources[i], dpi_, IconSize::Small));
    }
    balloonPicture_.Reset(LoadShellIcon(instance_, IDI_IDLE, dpi_, IconSize::Large));
}

void TrayIcon::Rescale(CheckStatus status, std::int32_t count) {
    if (instance_ == nullptr || PrimaryMonitorDpi() == dpi_) return;
    LoadPictures();
    Update(status, count);
}

bool TrayIcon::Add(CheckStatus status, std::int32_t count) {
    // Version 4 hides the shell's own tooltip unless it is asked for.
    data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_SHOWTIP | (data_.szTip[0] != '\0' ? NIF_TIP : 0);
    data_.uCallbackMessage = callbackMessage_;
    data_.hIcon = Picture(ChooseTrayIcon(status, count));
    if (!shell_.NotifyIcon(NIM_ADD, data_)) return false;
    // Each add starts at version 0: the shell forgets the version with the icon.
    data_.uVersion = NOTIFYICON_VERSION_4;
    shell_.NotifyIcon(NIM_SETVERSION, data_);
    return true;
}

bool TrayIcon::Restore(CheckStatus status, std::int32_t count) {
    // A taskbar created anew may come with a new scale.
    if (instance_ != nullptr && PrimaryMonitorDpi() != dpi_) LoadPictures();
    if (Add(status, count)) return true;
    // The shell refuses to add an icon it still has: then it only needs the current state.
    return shell_.NotifyIcon(NIM_MODIFY, data_);
}

void TrayIcon::Update(CheckStatus status, std::int32_t count) {
    data_.uFlags = NIF_ICON | NIF_SHOWTIP;
    data_.hIcon = Picture(ChooseTrayIcon(status, count));
    shell_.NotifyIcon(NIM_MODIFY, data_);
}

void TrayIcon::SetTip(CheckStatus status, std::int32_t count) {
    CopyTrayTip(TrayTipText(status, count), data_.szTip, sizeof(data_.szTip));
    data_.uFlags = NIF_TIP | NIF_SHOWTIP;
    shell_.NotifyIcon(NIM_MODIFY, data_);
}

void TrayIcon::Remove() {
    data_.uFlags = 0;
    shell_.NotifyIcon(NIM_DELETE, data_);
}

bool TrayIcon::ShowBalloon(const std::string& text) {
    data_.uFlags = NIF_INFO | NIF_SHOWTIP;
    CopyTrayTip(kBalloonTitle, data_.szInfoTitle, sizeof(data_.szInfoTitle));
    CopyTrayTip(text, data_.szInfo, sizeof(data_.szInfo));
    data_.dwInfoFlags = NIIF_USER | NIIF_LARGE_ICON | NIIF_NOSOUND | kRespectQuietTime;
    data_.hBalloonIcon = balloonPicture_.Get();
    return shell_.NotifyIcon(NIM_MODIFY, data_);
}

void TrayIcon::ReturnFocus() {
    data_.uFlags = 0;
    shell_.NotifyIcon(NIM_SETFOCUS, data_);
}
