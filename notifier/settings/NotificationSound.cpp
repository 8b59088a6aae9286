#include "notifier/settings/NotificationSound.h"

#include <windows.h>
#include <mmsystem.h>

#include "notifier/settings/SettingsStore.h"

std::optional<std::string> NotificationSoundPath() {
    if (!settingsStore.ReadSoundEnable()) return std::nullopt;
    if (settingsStore.ReadSoundType() != kSoundTypeSystemDefault) return settingsStore.ReadSoundFile();
    return settingsStore.ReadDefaultMailSound();
}

void PlayNotificationSound() {
    if (const auto path = NotificationSoundPath()) PlaySoundFile(*path);
}

std::optional<std::string> ExpandSoundPath(const std::string& path) {
    char expanded[MAX_PATH] = {};
    const DWORD needed = ExpandEnvironmentStringsA(path.c_str(), expanded, MAX_PATH);
    if (needed == 0 || needed > MAX_PATH) return std::nullopt;
    return std::string(expanded);
}

void PlaySoundFile(const std::string& path) {
    if (const auto expanded = ExpandSoundPath(path)) sndPlaySoundA(expanded->c_str(), SND_ASYNC | SND_NODEFAULT);
}
