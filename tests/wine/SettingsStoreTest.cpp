// SettingsStore, ReadStringValue and the notification sound against the real registry and
// environment under Wine.
#include "notifier/settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

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

TEST_F(Settings, ReadsYieldTheDefaultsWritesStoreRegSzWithItsNulAndDwordsOfZeroOrOne) {
    EXPECT_EQ(std::make_tuple(settingsStore.ReadSoundEnable(), settingsStore.ReadSoundType(), settingsStore.ReadUserId(),
                              settingsStore.ReadSessionCookie(), settingsStore.ReadSoundFile()),
              std::make_tuple(true, DWORD{0}, std::string(), std::string(), std::string()));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kSettingsKey));
    EXPECT_EQ(Snapshot(HKEY_CURRENT_USER, kSettingsKey), "") << "reads never write values";

    // "表" ends in the byte 0x5C; the text must pass through the A-APIs untouched.
    settingsStore.WriteUserId("tarn\x95\x5C user");
    settingsStore.WriteSessionCookie("");
    settingsStore.WriteSoundFile("%WINDIR%\\Media\\ding.wav");
    settingsStore.WriteSoundEnable(false);
    settingsStore.WriteSoundType(kSoundTypeChosenFile);
    const auto stored = [](const char* name) { return ReadValue(HKEY_CURRENT_USER, kSettingsKey, name); };
    EXPECT_EQ(std::make_tuple(stored("UserID"), stored("EID"), stored("SoundFile"), stored("SoundEnable"), stored("SoundType")),
              std::make_tuple(Sz("tarn\x95\x5C user"), Sz(""), Sz("%WINDIR%\\Media\\ding.wav"),
                              RegistryValue{REG_DWORD, Dword(0)}, RegistryValue{REG_DWORD, Dword(1)}));
    EXPECT_EQ(settingsStore.ReadSoundFile(), "%WINDIR%\\Media\\ding.wav") << "expanded only when played";
    settingsStore.WriteSoundEnable(true);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kSettingsKey, "SoundEnable"), (RegistryValue{REG_DWORD, Dword(1)}));
}

TEST_F(Settings, NumbersIgnoreTheTypeStringsMustBeTerminatedStringTypes) {
    const std::tuple<DWORD, std::string, bool, DWORD> numbers[] = {
        {REG_DWORD, Dword(5), true, 5}, {REG_BINARY, Dword(0), false, 0},
        {REG_SZ, std::string("seven\0", 6), true, 0}};  // too large for four bytes: the presets stay
    for (const auto& [type, bytes, enable, soundType] : numbers) {
        Store(kSettingsKey, "SoundEnable", type, bytes);
        Store(kSettingsKey, "SoundType", type, bytes);
        EXPECT_EQ(std::make_pair(settingsStore.ReadSoundEnable(), settingsStore.ReadSoundType()),
                  std::make_pair(enable, soundType))
            << type;
    }
    const std::tuple<DWORD, std::string, bool, std::string> strings[] = {
        {REG_SZ, "", true, ""},  // zero data bytes: an empty string
        {REG_SZ, std::string("first\0second\0", 13), true, "first"},
        {REG_EXPAND_SZ, std::string("%WINDIR%\\a.wav\0", 15), true, "%WINDIR%\\a.wav"},  // unexpanded
        {REG_SZ, "no nul", false, "fallback"}, {REG_DWORD, Dword(42), false, "fallback"},
        {REG_BINARY, std::string("bytes\0", 6), false, "fallback"}};
    const RegistryKeyHandle key = CreateSettingsKey(HKEY_CURRENT_USER, kSettingsKey);
    for (const auto& [type, bytes, read, text] : strings) {
        Store(kSettingsKey, "value", type, bytes);
        std::string got = "previous";
        EXPECT_EQ(std::make_pair(ReadStringValue(key.Get(), "value", "fallback", got), got), std::make_pair(read, text))
            << bytes;
    }
    std::string got = "previous";
    EXPECT_FALSE(ReadStringValue(key.Get(), "missing", nullptr, got));
    EXPECT_EQ(got, "") << "no default given: the empty string";
    Store(kSettingsKey, "EID", REG_SZ, "cookie-without-nul");
    EXPECT_EQ(settingsStore.ReadSessionCookie(), "");
}

TEST_F(Settings, TheSoundIsTheSystemsTheChosenFileOrNone) {
    EXPECT_EQ(settingsStore.ReadDefaultMailSound(), "") << "no system sound key";
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kMailBeepKey)) << "not created by the read";
    Store(kMailBeepKey, nullptr, REG_DWORD, Dword(3));
    EXPECT_EQ(settingsStore.ReadDefaultMailSound(), "notify.wav") << "a value that is no string";
    Store(kMailBeepKey, nullptr, REG_EXPAND_SZ, std::string("%SystemRoot%\\media\\mail.wav\0", 28));
    EXPECT_EQ(NotificationSoundPath(), "%SystemRoot%\\media\\mail.wav") << "first start: the system's sound";

    settingsStore.WriteSoundFile("%WINDIR%\\chosen.wav");
    SetDword(HKEY_CURRENT_USER, kSettingsKey, "SoundType", 7);
    EXPECT_EQ(NotificationSoundPath(), "%WINDIR%\\chosen.wav") << "any non-zero type is the chosen file";
    settingsStore.WriteSoundEnable(false);
    EXPECT_EQ(NotificationSoundPath(), std::nullopt);

    // "表" ends in the byte 0x5C. MAX_PATH bytes hold 259 characters and the NUL.
    SetEnvironmentVariableA("MEWLARK_SOUNDS", "C:\\\x95\x5C");
    EXPECT_EQ(ExpandSoundPath("%MEWLARK_SOUNDS%\\ding.wav"), "C:\\\x95\x5C\\ding.wav");
    SetEnvironmentVariableA("MEWLARK_SOUNDS", std::string(MAX_PATH - 4, 'f').c_str());
    EXPECT_EQ(ExpandSoundPath("C:\\%MEWLARK_SOUNDS%"), "C:\\" + std::string(MAX_PATH - 4, 'f'));
    EXPECT_EQ(ExpandSoundPath("C:\\%MEWLARK_SOUNDS%f"), std::nullopt);
    SetEnvironmentVariableA("MEWLARK_SOUNDS", nullptr);
}

}  // namespace
