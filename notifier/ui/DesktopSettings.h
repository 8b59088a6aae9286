// What the notifier asks of today's desktops: the scale it draws at, whether the user wants
// animations, and how a shown announcement reaches a screen reader. The calls behind these
// exist only in newer Windows versions; each is looked up at run time and falls back to the
// behaviour of a 96-DPI desktop without them.
#pragma once

#include <windows.h>

#include <string>

inline constexpr int kDefaultDpi = 96;

// A length in pixels at 96 DPI, at dpi.
inline int ScaleForDpi(int value, int dpi) { return MulDiv(value, dpi, kDefaultDpi); }

// The DPI of the primary monitor, which holds the taskbar's notification area and the popup.
int PrimaryMonitorDpi();
// The DPI the system's stock objects (the GUI font) were made for.
int SystemDpi();
// The shell's two icon sizes: the notification area's (16 x 16 at 96 DPI) and the large one of
// balloons and dialogs (32 x 32).
enum class IconSize { Small, Large };
// Loads an icon group of the module at the shell's size for dpi (16 x 16 or 32 x 32 where the
// system can tell no size for a DPI).
HICON LoadShellIcon(HINSTANCE instance, int resourceId, int dpi, IconSize iconSize);

// False when a policy of the user or the machine turned the notification area's balloons off
// ("TaskbarNoNotification").
bool BalloonsAllowedByPolicy();

// False when the user turned animations off; true when the system cannot tell.
bool ClientAreaAnimation();

// Tells screen readers that window shows text: an alert event for the window and, where UI
// Automation has them, a notification with the text.
void AnnounceToScreenReaders(HWND window, const std::string& text);
