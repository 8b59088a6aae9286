#include "notifier/ui/TrayMenu.h"

#include "notifier/res/Resource.h"

bool TrayMenu::Load(HINSTANCE instance, UINT defaultCommand) {
    menu_.Reset(LoadMenuA(instance, MAKEINTRESOURCEA(IDR_TRAYMENU)));
    if (!menu_) return false;
    MENUITEMINFOA item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_STATE;
    if (GetMenuItemInfoA(menu_.Get(), defaultCommand, FALSE, &item)) {
        item.fState |= MFS_DEFAULT;
        SetMenuItemInfoA(menu_.Get(), defaultCommand, FALSE, &item);
    }
    return true;
}

void TrayMenu::EnableItem(UINT command, bool enabled) const {
    if (!menu_) return;
    EnableMenuItem(menu_.Get(), command, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_DISABLED | MF_GRAYED));
}

UINT TrayMenu::Track(HWND owner, POINT at) const {
    if (!menu_) return 0;
    HMENU popup = GetSubMenu(menu_.Get(), 0);
    if (popup == nullptr) return 0;
    return static_cast<UINT>(TrackPopupMenu(popup, TPM_BOTTOMALIGN | TPM_LEFTALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD,
                                            at.x, at.y, 0, owner, nullptr));
}
