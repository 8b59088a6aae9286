// The notifier's persistent settings under HKEY_CURRENT_USER\Software\tarn\Mewlark.
// Stateless: every operation opens the key, reads or writes one value and closes it again.
// Failures are never reported: reads fall back to their defaults, writes do nothing.
#pragma once

#include <windows.h>

#include <string>

#include "common/HandleOwners.h"

// A key below parent, opened for reading, setting values and creating sub-keys (created when it
// is missing); an empty handle when it cannot be had.
RegistryKeyHandle CreateSettingsKey(HKEY parent, const char* subKey);
// The same for a key that must exist already.
RegistryKeyHandle OpenSettingsKey(HKEY parent, const char* subKey);

// Reads a REG_SZ or REG_EXPAND_SZ value (unexpanded) of an open key; valueName nullptr is the
// unnamed value. A missing value, another type, a failed read or data without its
// terminating NUL give defaultText (empty when nullptr) and false; zero data bytes read as
// the empty string. On success text is the data up to its first NUL.
bool ReadStringValue(HKEY key, const char* valueName, const char* defaultText, std::string& text);

class SettingsStore {
public:
    // "UserID": the tarnID last entered in the login dialog.
    std::string ReadUserId() const;
    void WriteUserId(const std::string& userId) const;

    // "EID": the saved session cookie.
    std::string ReadSessionCookie() const;
    void WriteSessionCookie(const std::string& eid) const;

    // "SoundEnable": true unless stored as 0; written as 0 or 1.
    bool ReadSoundEnable() const;
    void WriteSoundEnable(bool enable) const;

    // "SoundType": 0 is the system's new-mail sound, any other value the chosen file.
    DWORD ReadSoundType() const;
    void WriteSoundType(DWORD soundType) const;

    // "SoundFile": the chosen wave file, environment references unexpanded.
    std::string ReadSoundFile() const;
    void WriteSoundFile(const std::string& path) const;

    // "WindowsNotification": announcements as Windows' notifications instead of the popup;
    // false unless stored as non-zero; written as 0 or 1.
    bool ReadWindowsNotification() const;
    void WriteWindowsNotification(bool enable) const;

    // The system's new-mail sound: "notify.wav" when its key holds no usable unnamed value,
    // empty when the key is missing.
    std::string ReadDefaultMailSound() const;
};

// The one instance the program uses.
extern const SettingsStore settingsStore;

// Value "SoundType" for a sound chosen by the user.
constexpr DWORD kSoundTypeSystemDefault = 0;
constexpr DWORD kSoundTypeChosenFile = 1;
