#include "notifier/settings/SettingsStore.h"

#include <vector>


const SettingsStore settingsStore;

namespace {

constexpr const char* kSettingsKey = "Software\\tarn\\Mewlark";
constexpr const char* kMailBeepKey = "AppEvents\\Schemes\\Apps\\.Default\\MailBeep\\.Current";
constexpr const char* kFallbackMailSound = "notify.wav";

constexpr const char* kUserId = "UserID";
constexpr const char* kSessionCookie = "EID";
constexpr const char* kSoundEnable = "SoundEnable";
constexpr const char* kSoundType = "SoundType";
constexpr const char* kSoundFile = "SoundFile";
constexpr const char* kWindowsNotification = "WindowsNotification";

constexpr REGSAM kKeyAccess = KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

std::string ReadSetting(const char* valueName) {
    std::string text;
    const RegistryKeyHandle key = CreateSettingsKey(HKEY_CURRENT_USER, kSettingsKey);
    if (key) ReadStringValue(key.Get(), valueName, "", text);
    return text;
}

void WriteSetting(const char* valueName, const std::string& text) {
    const RegistryKeyHandle key = CreateSettingsKey(HKEY_CURRENT_USER, kSettingsKey);
    if (!key) return;
    RegSetValueExA(key.Get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
}

// Four bytes of the value whatever its type; preset stays when the value cannot be read.
DWORD ReadSettingNumber(const char* valueName, DWORD preset) {
    const RegistryKeyHandle key = CreateSettingsKey(HKEY_CURRENT_USER, kSettingsKey);
    if (!key) return preset;
    DWORD data = preset;
    DWORD size = sizeof data;
    if (RegQueryValueExA(key.Get(), valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(&data), &size) !=
        ERROR_SUCCESS) {
        return preset;
    }
    return data;
}

void WriteSettingNumber(const char* valueName, DWORD value) {
    const RegistryKeyHandle key = CreateSettingsKey(HKEY_CURRENT_USER, kSettingsKey);
    if (!key) return;
    RegSetValueExA(key.Get(), valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

}  // namespace

RegistryKeyHandle CreateSettingsKey(HKEY parent, const char* subKey) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(parent, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, kKeyAccess, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return RegistryKeyHandle();
    }
    return RegistryKeyHandle(key);
}

RegistryKeyHandle OpenSettingsKey(HKEY parent, const char* subKey) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, subKey, 0, kKeyAccess, &key) != ERROR_SUCCESS) return RegistryKeyHandle();
    return RegistryKeyHandle(key);
}

bool ReadStringValue(HKEY key, const char* valueName, const char* defaultText, std::string& text) {
    const auto fail = [&] {
        text = defaultText != nullptr ? defaultText : "";
        return false;
    };
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key, valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || !IsStringType(type)) {
        return fail();
    }
    if (size == 0) {
        text.clear();
        return true;
    }
    std::vector<char> data(size);
    if (RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
            ERROR_SUCCESS ||
        !IsStringType(type) || size == 0 || data[size - 1] != '\0') {
        return fail();
    }
    text.assign(data.data());
    return true;
}

std::string SettingsStore::ReadUserId() const { return ReadSetting(kUserId); }
void SettingsStore::WriteUserId(const std::string& userId) const { WriteSetting(kUserId, userId); }

std::string SettingsStore::ReadSessionCookie() const { return ReadSetting(kSessionCookie); }
void SettingsStore::WriteSessionCookie(const std::string& eid) const { WriteSetting(kSessionCookie, eid); }

bool SettingsStore::ReadSoundEnable() const { return ReadSettingNumber(kSoundEnable, 1) != 0; }
void SettingsStore::WriteSoundEnable(bool enable) const { WriteSettingNumber(kSoundEnable, enable ? 1 : 0); }

DWORD SettingsStore::ReadSoundType() const { return ReadSettingNumber(kSoundType, kSoundTypeSystemDefault); }
void SettingsStore::WriteSoundType(DWORD soundType) const { WriteSettingNumber(kSoundType, soundType); }

std::string SettingsStore::ReadSoundFile() const { return ReadSetting(kSoundFile); }
void SettingsStore::WriteSoundFile(const std::string& path) const { WriteSetting(kSoundFile, path); }

bool SettingsStore::ReadWindowsNotification() const { return ReadSettingNumber(kWindowsNotification, 0) != 0; }
void SettingsStore::WriteWindowsNotification(bool enable) const {
    WriteSettingNumber(kWindowsNotification, enable ? 1 : 0);
}

std::string SettingsStore::ReadDefaultMailSound() const {
    std::string path;
    const RegistryKeyHandle key = OpenSettingsKey(HKEY_CURRENT_USER, kMailBeepKey);
    if (key) ReadStringValue(key.Get(), nullptr, kFallbackMailSound, path);
    return path;
}
