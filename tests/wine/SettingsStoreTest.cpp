// SettingsStore, the notification sound and the log-on entry against the real
// registry and environment under Wine.
#include "notifier/settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "notifier/settings/AutoStartEntry.h"
#include "notifier/settings/NotificationSound.h"
#include "tests/support/Registry.h"

namespace {

using namespace test;

constexpr const char* kMailBeepKey = "AppEvents\\Schemes\\Apps\\.Default\\MailBeep\\.Current";

void Store(const char* key, const char* name, DWORD type, const std::string& bytes) {
    WriteValue(HKEY_CURRENT_USER, key, name, RegistryValue{type, bytes});
}

// Every test starts without the settings key and without the system's new-mail sound key.
class Settings : public ::testing::Test {
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override {
        DeleteTree(HKEY_CURRENT_USER, kSettingsKey);
        DeleteTree(HKEY_CURRENT_USER, kMailBeepKey);
    }
};

TEST_F(Settings, ReadsYieldTheDefaultsAndTheSoundIsTheSystemsTheChosenFileOrNone) {
    EXPECT_EQ(std::make_tuple(settingsStore.ReadSoundEnable(), settingsStore.ReadSoundType(), settingsStore.ReadUserId(),
                              settingsStore.ReadSessionCookie(), settingsStore.ReadSoundFile(),
                              settingsStore.ReadWindowsNotification()),
              std::make_tuple(true, DWORD{0}, std::string(), std::string(), std::string(), false));
    Store(kSettingsKey, "EID", REG_SZ, "cookie-without-nul");
    EXPECT_EQ(settingsStore.ReadSessionCookie(), "") << "a string without its NUL is none";

    Store(kMailBeepKey, nullptr, REG_DWORD, Dword(3));
    EXPECT_EQ(settingsStore.ReadDefaultMailSound(), "notify.wav") << "a value that is no string";
    Store(kMailBeepKey, nullptr, REG_EXPAND_SZ, std::string("%SystemRoot%\\media\\mail.wav\0", 28));
    EXPECT_EQ(NotificationSoundPath(), "%SystemRoot%\\media\\mail.wav") << "first start: the system's sound";
    settingsStore.WriteSoundFile("%WINDIR%\\chosen.wav");
    SetDword(HKEY_CURRENT_USER, kSettingsKey, "SoundType", 7);
    SetDword(HKEY_CURRENT_USER, kSettingsKey, "SoundEnable", 5);
    EXPECT_EQ(NotificationSoundPath(), "%WINDIR%\\chosen.wav") << "non-zero: the chosen file, sound on";
    settingsStore.WriteSoundEnable(false);
    EXPECT_EQ(NotificationSoundPath(), std::nullopt);
}

TEST_F(Settings, TheLogOnEntryIsTheQuotedPathOfMewlarkBesideTheProgram) {
    char path[MAX_PATH] = {};
    const std::string program(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    WriteAutoStartEntry(true);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kRunKey, "Mewlark.exe"),
              Sz("\"" + program.substr(0, program.rfind('\\')) + "\\Mewlark.exe\""));
    WriteAutoStartEntry(false);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kRunKey, "Mewlark.exe"), std::nullopt);
}

}  // namespace
