// The new-mail sound: the system's own or a chosen wave file, as the settings say.
#pragma once

#include <optional>
#include <string>

// The path the next announcement plays: nothing when the sound is off; else "SoundFile"
// for a chosen file, or the system's new-mail sound.
std::optional<std::string> NotificationSoundPath();

// Plays NotificationSoundPath(), if any, without waiting for it.
void PlayNotificationSound();

// path with its environment references expanded; nothing when the result does not fit
// into MAX_PATH bytes.
std::optional<std::string> ExpandSoundPath(const std::string& path);

// Starts playing a system sound event or wave file, asynchronously and without a fallback
// beep; a path that cannot be found or expanded plays nothing.
void PlaySoundFile(const std::string& path);
