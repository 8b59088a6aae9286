// The tray icon's picture and tooltip for a check result: pure rules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "notifier/service/CheckStatus.h"

// Index into the tray's icon set, in the order the icons are loaded.
enum TrayIconIndex : int {
    IconIdle = 0,       // logged in, no new mail
    IconNewMail = 1,    // logged in, new mail waiting
    IconError = 2,      // the last pass failed
    IconLoggedOut = 3,  // not logged in
    TrayIconCount = 4,
};

TrayIconIndex ChooseTrayIcon(CheckStatus status, std::int32_t count);

// The tooltip text in the system code page; empty for an unknown status.
std::string TrayTipText(CheckStatus status, std::int32_t count);

// Copies at most capacity - 1 bytes of text into tip, never ending inside a double-byte
// character, and terminates it. capacity must be at least 1.
void CopyTrayTip(const std::string& text, char* tip, std::size_t capacity);
