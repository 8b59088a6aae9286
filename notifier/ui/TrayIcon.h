// The notifier's icon in the notification area: its record, its four pictures and the
// shell calls that add, change and remove it, show its balloon and give it the focus.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <array>
#include <cstdint>
#include <string>

#include "common/HandleOwners.h"
#include "notifier/service/CheckStatus.h"
#include "notifier/ui/TrayRules.h"

// The shell's tray call, so that tests can record what the tray would show.
class TrayShell {
public:
    virtual ~TrayShell() = default;
    virtual bool NotifyIcon(DWORD message, NOTIFYICONDATAA& data) = 0;
};

class SystemTrayShell : public TrayShell {
public:
    bool NotifyIcon(DWORD message, NOTIFYICONDATAA& data) override;
};

class TrayIcon {
public:
    static constexpr UINT kIconId = 1;

    explicit TrayIcon(TrayShell& shell) : shell_(shell) {}
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Prepares the record for window's icon, loads the four pictures at the shell's
    // small-icon size (16 x 16 at 96 DPI) and the balloon's picture at the large size, and, in
    // an elevated process, lets the shell's messages (the icon's callback, the new taskbar's
    // broadcast) through the window's message filter.
    void Prepare(HWND window, HINSTANCE instance, UINT callbackMessage, UINT taskbarCreatedMessage);

    // Adds the icon with the picture for the result, and with the tooltip once one has
    // been set, and asks for the callbacks of version 4 (keyboard selection, context menu);
    // the shell's success flag for the add.
    bool Add(CheckStatus status, std::int32_t count);
    // Puts the icon back after the taskbar lost it; true when it is in the tray again,
    // also when the shell had kept it.
    bool Restore(CheckStatus status, std::int32_t count);
    void Update(CheckStatus status, std::int32_t count);
    void SetTip(CheckStatus status, std::int32_t count);
    void Remove();
    // Shows a balloon (a notification from Windows 10 on, kept in its notification centre)
    // with the product's title, text, its picture and no sound of its own, held back by the
    // shell during its quiet time; false when the shell did not take it.
    bool ShowBalloon(const std::string& text);
    // Gives the keyboard focus back to the notification area, on the icon.
    void ReturnFocus();
    // After a change of the DPI or the displays: the pictures at the small-icon size of now,
    // and the icon changed to the one for the result when the size differs.
    void Rescale(CheckStatus status, std::int32_t count);

    HICON Picture(TrayIconIndex index) const { return icons_[index].Get(); }

private:
    void LoadPictures();

    TrayShell& shell_;
    HINSTANCE instance_ = nullptr;
    int dpi_ = 0;
    NOTIFYICONDATAA data_{};
    UINT callbackMessage_ = 0;
    std::array<IconHandle, TrayIconCount> icons_;
    IconHandle balloonPicture_;
};
