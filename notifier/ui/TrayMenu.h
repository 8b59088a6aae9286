// The tray icon's context menu: the first pop-up of the menu resource, with a bold
// default item and items addressed by command id.
#pragma once

#include <windows.h>

#include "common/HandleOwners.h"

class TrayMenu {
public:
    // Loads the menu and draws defaultCommand's item bold; false when it cannot be loaded.
    bool Load(HINSTANCE instance, UINT defaultCommand);
    void Destroy() { menu_.Reset(); }

    // Enabled, or disabled and greyed.
    void EnableItem(UINT command, bool enabled) const;

    // Opens the menu with its bottom-left corner at the point, for owner's thread; the chosen
    // command, 0 when the menu closed without a choice.
    UINT Track(HWND owner, POINT at) const;

    HMENU Handle() const { return menu_.Get(); }

private:
    MenuHandle menu_;
};
