// Which sound an announcement plays, and how its path is expanded, with the real registry
// and environment.
#include "notifier/settings/notification_sound.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "notifier/settings/settings_store.h"
#include "tests/unit/settings/registry_fixture.h"

namespace {

class NotificationSound : public test::CleanSoundSettings {};

TEST_F(NotificationSound, FollowsTheSettings) {
    EXPECT_EQ(NotificationSoundPath(), "") << "no system sound key: nothing to play";
    test::SetRaw(HKEY_CURRENT_USER, test::kMailBeepKey, nullptr, REG_SZ, std::string("system-mail.wav\0", 16));
    EXPECT_EQ(NotificationSoundPath(), "system-mail.wav") << "first start: the system's new-mail sound";

    settingsStore.WriteSoundFile("%WINDIR%\\chosen.wav");
    test::SetRawDword(HKEY_CURRENT_USER, test::kSettingsKey, "SoundType", 7);
    EXPECT_EQ(NotificationSoundPath(), "%WINDIR%\\chosen.wav") << "any non-zero type is the chosen file";
    settingsStore.WriteSoundFile("");
    EXPECT_EQ(NotificationSoundPath(), "") << "a chosen file that is empty plays nothing";
    settingsStore.WriteSoundEnable(false);
    EXPECT_EQ(NotificationSoundPath(), std::nullopt);
}

TEST(SoundPath, EnvironmentReferencesAreExpandedIntoAtMostMaxPathBytes) {
    // "表" ends in the byte 0x5C.
    SetEnvironmentVariableA("MEWLARK_SOUNDS", "C:\\\x95\x5C");
    EXPECT_EQ(ExpandSoundPath("%MEWLARK_SOUNDS%\\ding.wav"), "C:\\\x95\x5C\\ding.wav");
    EXPECT_EQ(ExpandSoundPath("notify.wav"), "notify.wav");
    EXPECT_EQ(ExpandSoundPath("%MEWLARK_UNSET_VARIABLE%.wav"), "%MEWLARK_UNSET_VARIABLE%.wav");

    // MAX_PATH bytes hold 259 characters and the NUL; a longer expansion is not played.
    SetEnvironmentVariableA("MEWLARK_SOUNDS", std::string(MAX_PATH - 4, 'f').c_str());
    EXPECT_EQ(ExpandSoundPath("C:\\%MEWLARK_SOUNDS%"), "C:\\" + std::string(MAX_PATH - 4, 'f'));
    SetEnvironmentVariableA("MEWLARK_SOUNDS", std::string(MAX_PATH - 3, 'f').c_str());
    EXPECT_EQ(ExpandSoundPath("C:\\%MEWLARK_SOUNDS%"), std::nullopt);
    SetEnvironmentVariableA("MEWLARK_SOUNDS", nullptr);
}

}  // namespace
