// Which sound an announcement plays, and how its path is expanded, with the real registry
// and environment.
#include "notifier/settings/notification_sound.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "notifier/settings/settings_store.h"
#include "tests/unit/settings/registry_fixture.h"

namespace {

class NotificationSound : public test::CleanSoundSettings {
protected:
    void SetUp() override {
        test::CleanSoundSettings::SetUp();
        test::SetRaw(HKEY_CURRENT_USER, kMailBeepKey, nullptr, REG_SZ, std::string("system-mail.wav\0", 16));
    }
};

TEST_F(NotificationSound, FollowsTheSettings) {
    EXPECT_EQ(NotificationSoundPath(), "system-mail.wav") << "first start: the system's new-mail sound";

    settingsStore.WriteSoundFile("%WINDIR%\\chosen.wav");
    test::SetRawDword(HKEY_CURRENT_USER, test::kSettingsKey, "SoundType", 7);
    EXPECT_EQ(NotificationSoundPath(), "%WINDIR%\\chosen.wav") << "any non-zero type is the chosen file";

    settingsStore.WriteSoundFile("");
    EXPECT_EQ(NotificationSoundPath(), "") << "a chosen file that is empty plays nothing";

    settingsStore.WriteSoundEnable(false);
    EXPECT_EQ(NotificationSoundPath(), std::nullopt);
}

TEST_F(NotificationSound, MissingSystemSoundKeyPlaysNothing) {
    test::DeleteKey(HKEY_CURRENT_USER, kMailBeepKey);
    EXPECT_EQ(NotificationSoundPath(), "");
}

// Sets an environment variable of this process for one scope.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : name_(name) { SetEnvironmentVariableA(name, value.c_str()); }
    ~ScopedVariable() { SetEnvironmentVariableA(name_, nullptr); }

private:
    const char* name_;
};

TEST(SoundPath, EnvironmentReferencesAreExpandedWhenPlayed) {
    // "表" ends in the byte 0x5C.
    const ScopedVariable folder("MEWLARK_SOUNDS", "C:\\\x95\x5C");
    EXPECT_EQ(ExpandSoundPath("%MEWLARK_SOUNDS%\\ding.wav"), "C:\\\x95\x5C\\ding.wav");
    EXPECT_EQ(ExpandSoundPath("notify.wav"), "notify.wav");
    EXPECT_EQ(ExpandSoundPath("%MEWLARK_UNSET_VARIABLE%.wav"), "%MEWLARK_UNSET_VARIABLE%.wav");
}

TEST(SoundPath, AnExpansionThatDoesNotFitIsNotPlayed) {
    const std::string prefix = "C:\\";
    // MAX_PATH bytes hold 259 characters and the NUL.
    const ScopedVariable fits("MEWLARK_SOUNDS", std::string(MAX_PATH - 1 - prefix.size(), 'f'));
    EXPECT_EQ(ExpandSoundPath(prefix + "%MEWLARK_SOUNDS%")->size(), static_cast<std::size_t>(MAX_PATH - 1));
    const ScopedVariable tooLong("MEWLARK_SOUNDS", std::string(MAX_PATH - prefix.size(), 'f'));
    EXPECT_EQ(ExpandSoundPath(prefix + "%MEWLARK_SOUNDS%"), std::nullopt);
}

}  // namespace
