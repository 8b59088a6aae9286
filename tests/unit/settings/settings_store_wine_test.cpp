// SettingsStore, ReadStringValue and the notification sound against the real registry and
// environment under Wine.
#include "notifier/settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <string>

#include "notifier/settings/NotificationSound.h"
#include "tests/unit/settings/registry_fixture.h"

namespace {

using namespace test;

std::optional<RawValue> Stored(const char* name) { return GetRaw(HKEY_CURRENT_USER, kSettingsKey, name); }
void Store(const char* name, DWORD type, const std::string& bytes) {
    SetRaw(HKEY_CURRENT_USER, kSettingsKey, name, type, bytes);
}

class Settings : public CleanSettingsKey {};

TEST_F(Settings, FirstReadCreatesTheEmptyKeyAndYieldsTheDefaults) {
    ASSERT_FALSE(KeyExists(HKEY_CURRENT_USER, kSettingsKey));
    EXPECT_TRUE(settingsStore.ReadSoundEnable());
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kSettingsKey));
    EXPECT_EQ(settingsStore.ReadSoundType(), 0u);
    EXPECT_EQ(settingsStore.ReadUserId(), "");
    EXPECT_EQ(settingsStore.ReadSessionCookie(), "");
    EXPECT_EQ(settingsStore.ReadSoundFile(), "");
    EXPECT_EQ(Snapshot(HKEY_CURRENT_USER, kSettingsKey), "") << "reads never write values";
}

TEST_F(Settings, WritesRegSzWithItsNulAndDwordsOfZeroOrOne) {
    // "表" ends in the byte 0x5C; the text must pass through the A-APIs untouched.
    const std::string userId = "tarn\x95\x5C user";
    settingsStore.WriteUserId(userId);
    settingsStore.WriteSessionCookie("");
    settingsStore.WriteSoundFile("%WINDIR%\\Media\\ding.wav");
    settingsStore.WriteSoundEnable(false);
    settingsStore.WriteSoundType(kSoundTypeChosenFile);
    EXPECT_EQ(Stored("UserID"), Sz(userId));
    EXPECT_EQ(Stored("EID"), Sz("")) << "the empty string is written, not a deleted value";
    EXPECT_EQ(Stored("SoundEnable"), (RawValue{REG_DWORD, Dword(0)}));
    EXPECT_EQ(Stored("SoundType"), (RawValue{REG_DWORD, Dword(1)}));
    EXPECT_EQ(settingsStore.ReadUserId(), userId);
    EXPECT_EQ(settingsStore.ReadSoundFile(), "%WINDIR%\\Media\\ding.wav") << "expanded only when played";
    settingsStore.WriteSoundEnable(true);
    EXPECT_EQ(Stored("SoundEnable"), (RawValue{REG_DWORD, Dword(1)}));
}

TEST_F(Settings, NumbersAreReadWithoutLookingAtTheType) {
    const struct {
        DWORD type;
        std::string bytes;
        bool enable;
        DWORD soundType;
    } cases[] = {
        {REG_DWORD, Dword(5), true, 5},     // any non-zero sound type is a chosen file
        {REG_BINARY, Dword(0), false, 0},  // four zero bytes of another type
        {REG_SZ, std::string("seven\0", 6), true, 0},  // too large for four bytes: the presets stay
    };
    for (const auto& c : cases) {
        Store("SoundEnable", c.type, c.bytes);
        Store("SoundType", c.type, c.bytes);
        EXPECT_EQ(settingsStore.ReadSoundEnable(), c.enable) << c.type;
        EXPECT_EQ(settingsStore.ReadSoundType(), c.soundType) << c.type;
    }
}

TEST_F(Settings, StringsMustBeTerminatedStringTypes) {
    const struct {
        DWORD type;
        std::string bytes;
        bool read;
        std::string text;
    } cases[] = {
        {REG_SZ, std::string("stored\0", 7), true, "stored"},
        {REG_SZ, "", true, ""},  // zero data bytes: an empty string
        {REG_SZ, std::string("first\0second\0", 13), true, "first"},
        {REG_EXPAND_SZ, std::string("%WINDIR%\\a.wav\0", 15), true, "%WINDIR%\\a.wav"},  // unexpanded
        {REG_SZ, "no nul", false, "fallback"},
        {REG_DWORD, Dword(42), false, "fallback"},
        {REG_BINARY, std::string("bytes\0", 6), false, "fallback"},
    };
    const RegistryKeyHandle key = CreateSettingsKey(HKEY_CURRENT_USER, kSettingsKey);
    ASSERT_TRUE(key);
    for (const auto& c : cases) {
        Store("value", c.type, c.bytes);
        std::string text = "previous";
        EXPECT_EQ(ReadStringValue(key.Get(), "value", "fallback", text), c.read) << c.bytes;
        EXPECT_EQ(text, c.text) << c.bytes;
    }
    std::string text = "previous";
    EXPECT_FALSE(ReadStringValue(key.Get(), "missing", nullptr, text));
    EXPECT_EQ(text, "") << "no default given: the empty string";

    // The store's own reads fall back to the empty string.
    SetRawDword(HKEY_CURRENT_USER, kSettingsKey, "UserID", 42);
    Store("EID", REG_SZ, "cookie-without-nul");
    EXPECT_EQ(settingsStore.ReadUserId(), "");
    EXPECT_EQ(settingsStore.ReadSessionCookie(), "");
}

TEST_F(Settings, DefaultMailSoundIsTheUnnamedValueOrNotifyWavOrNothingWithoutTheKey) {
    EXPECT_EQ(settingsStore.ReadDefaultMailSound(), "");
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kMailBeepKey)) << "not created by the read";

    SetRawDword(HKEY_CURRENT_USER, kMailBeepKey, nullptr, 3);
    EXPECT_EQ(settingsStore.ReadDefaultMailSound(), "notify.wav") << "a value that is no string";

    SetRaw(HKEY_CURRENT_USER, kMailBeepKey, nullptr, REG_EXPAND_SZ,
           std::string("%SystemRoot%\\media\\mail.wav\0", 28));
    EXPECT_EQ(settingsStore.ReadDefaultMailSound(), "%SystemRoot%\\media\\mail.wav");
}

TEST_F(Settings, NotificationSoundFollowsTheSettings) {
    EXPECT_EQ(NotificationSoundPath(), "") << "no system sound key: nothing to play";
    SetRaw(HKEY_CURRENT_USER, kMailBeepKey, nullptr, REG_SZ, std::string("system-mail.wav\0", 16));
    EXPECT_EQ(NotificationSoundPath(), "system-mail.wav") << "first start: the system's new-mail sound";

    settingsStore.WriteSoundFile("%WINDIR%\\chosen.wav");
    SetRawDword(HKEY_CURRENT_USER, kSettingsKey, "SoundType", 7);
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
