// SettingsStore and ReadStringValue against the real registry under Wine.
#include "notifier/settings/settings_store.h"

#include <gtest/gtest.h>

#include <string>

#include "notifier/settings/registry_key.h"
#include "tests/unit/settings/registry_fixture.h"

namespace {

using test::GetRaw;
using test::kSettingsKey;
using test::RawValue;
using test::SetRaw;
using test::SetRawDword;

std::string Dword(DWORD value) { return std::string(reinterpret_cast<const char*>(&value), sizeof value); }

class Settings : public test::CleanSettingsKey {};

TEST_F(Settings, FirstReadCreatesTheEmptyKeyAndYieldsTheDefaults) {
    ASSERT_FALSE(test::KeyExists(HKEY_CURRENT_USER, kSettingsKey));
    EXPECT_TRUE(settingsStore.ReadSoundEnable());
    EXPECT_TRUE(test::KeyExists(HKEY_CURRENT_USER, kSettingsKey));
    EXPECT_EQ(settingsStore.ReadSoundType(), 0u);
    EXPECT_EQ(settingsStore.ReadUserId(), "");
    EXPECT_EQ(settingsStore.ReadSessionCookie(), "");
    EXPECT_EQ(settingsStore.ReadSoundFile(), "");
    EXPECT_EQ(test::ValueCount(HKEY_CURRENT_USER, kSettingsKey), 0u) << "reads never write values";
}

TEST_F(Settings, StringsAreStoredAsRegSzWithTheirNul) {
    // "表" ends in the byte 0x5C; the text must pass through the A-APIs untouched.
    const std::string userId = "tarn\x95\x5C user";
    settingsStore.WriteUserId(userId);
    settingsStore.WriteSessionCookie("0123456789abcdef");
    settingsStore.WriteSoundFile("%WINDIR%\\Media\\ding.wav");

    EXPECT_EQ(GetRaw(HKEY_CURRENT_USER, kSettingsKey, "UserID"), (RawValue{REG_SZ, userId + '\0'}));
    EXPECT_EQ(GetRaw(HKEY_CURRENT_USER, kSettingsKey, "EID"), (RawValue{REG_SZ, std::string("0123456789abcdef\0", 17)}));
    EXPECT_EQ(settingsStore.ReadUserId(), userId);
    EXPECT_EQ(settingsStore.ReadSessionCookie(), "0123456789abcdef");
    EXPECT_EQ(settingsStore.ReadSoundFile(), "%WINDIR%\\Media\\ding.wav") << "expanded only when played";

    // The empty string is written, not a deleted value.
    settingsStore.WriteSessionCookie("");
    EXPECT_EQ(GetRaw(HKEY_CURRENT_USER, kSettingsKey, "EID"), (RawValue{REG_SZ, std::string(1, '\0')}));
}

TEST_F(Settings, FlagsAndSoundTypeAreStoredAsDwords) {
    settingsStore.WriteSoundEnable(false);
    EXPECT_EQ(GetRaw(HKEY_CURRENT_USER, kSettingsKey, "SoundEnable"), (RawValue{REG_DWORD, Dword(0)}));
    EXPECT_FALSE(settingsStore.ReadSoundEnable());
    settingsStore.WriteSoundEnable(true);
    EXPECT_EQ(GetRaw(HKEY_CURRENT_USER, kSettingsKey, "SoundEnable"), (RawValue{REG_DWORD, Dword(1)}));

    settingsStore.WriteSoundType(kSoundTypeChosenFile);
    EXPECT_EQ(GetRaw(HKEY_CURRENT_USER, kSettingsKey, "SoundType"), (RawValue{REG_DWORD, Dword(1)}));
    EXPECT_EQ(settingsStore.ReadSoundType(), 1u);
}

TEST_F(Settings, NumbersAreReadWithoutLookingAtTheType) {
    SetRawDword(HKEY_CURRENT_USER, kSettingsKey, "SoundEnable", 5);
    SetRawDword(HKEY_CURRENT_USER, kSettingsKey, "SoundType", 7);
    EXPECT_TRUE(settingsStore.ReadSoundEnable());
    EXPECT_EQ(settingsStore.ReadSoundType(), 7u) << "the raw value; any non-zero value is a chosen file";

    // Four zero bytes of another type still read as off.
    SetRaw(HKEY_CURRENT_USER, kSettingsKey, "SoundEnable", REG_BINARY, Dword(0));
    EXPECT_FALSE(settingsStore.ReadSoundEnable());

    // Data too large for four bytes is a failed read: the presets stay.
    SetRaw(HKEY_CURRENT_USER, kSettingsKey, "SoundEnable", REG_SZ, std::string("zero\0", 5));
    SetRaw(HKEY_CURRENT_USER, kSettingsKey, "SoundType", REG_SZ, std::string("seven\0", 6));
    EXPECT_TRUE(settingsStore.ReadSoundEnable());
    EXPECT_EQ(settingsStore.ReadSoundType(), 0u);
}

TEST_F(Settings, StringsOfAnotherTypeOrWithoutNulReadAsTheDefault) {
    SetRawDword(HKEY_CURRENT_USER, kSettingsKey, "UserID", 42);
    EXPECT_EQ(settingsStore.ReadUserId(), "");

    test::SetRawUnterminated(HKEY_CURRENT_USER, kSettingsKey, "EID", REG_SZ, "cookie-without-nul");
    ASSERT_EQ(GetRaw(HKEY_CURRENT_USER, kSettingsKey, "EID")->data, "cookie-without-nul");
    EXPECT_EQ(settingsStore.ReadSessionCookie(), "");

    SetRaw(HKEY_CURRENT_USER, kSettingsKey, "SoundFile", REG_EXPAND_SZ, std::string("%WINDIR%\\a.wav\0", 15));
    EXPECT_EQ(settingsStore.ReadSoundFile(), "%WINDIR%\\a.wav") << "REG_EXPAND_SZ is returned unexpanded";

    SetRaw(HKEY_CURRENT_USER, kSettingsKey, "UserID", REG_SZ, std::string("first\0second\0", 13));
    EXPECT_EQ(settingsStore.ReadUserId(), "first") << "up to the first NUL";
}

TEST_F(Settings, ReadStringValueReportsWhereTheTextCameFrom) {
    SetRaw(HKEY_CURRENT_USER, kSettingsKey, "text", REG_SZ, std::string("stored\0", 7));
    SetRaw(HKEY_CURRENT_USER, kSettingsKey, "empty", REG_SZ, "");
    test::SetRawUnterminated(HKEY_CURRENT_USER, kSettingsKey, "cut", REG_SZ, "no nul");
    SetRawDword(HKEY_CURRENT_USER, kSettingsKey, "number", 1);

    RegistryKey key;
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kSettingsKey));
    std::string text = "previous";
    EXPECT_TRUE(ReadStringValue(key.Get(), "text", "fallback", text));
    EXPECT_EQ(text, "stored");
    EXPECT_TRUE(ReadStringValue(key.Get(), "empty", "fallback", text)) << "zero data bytes: an empty string";
    EXPECT_EQ(text, "");
    EXPECT_FALSE(ReadStringValue(key.Get(), "cut", "fallback", text));
    EXPECT_EQ(text, "fallback");
    EXPECT_FALSE(ReadStringValue(key.Get(), "number", "fallback", text));
    EXPECT_EQ(text, "fallback");
    EXPECT_FALSE(ReadStringValue(key.Get(), "missing", nullptr, text));
    EXPECT_EQ(text, "") << "no default given: the empty string";
}

class DefaultMailSound : public test::CleanSoundSettings {};

TEST_F(DefaultMailSound, MissingKeyGivesNothingToPlayAndIsNotCreated) {
    EXPECT_EQ(settingsStore.ReadDefaultMailSound(), "");
    EXPECT_FALSE(test::KeyExists(HKEY_CURRENT_USER, kMailBeepKey));
}

TEST_F(DefaultMailSound, KeyWithoutAUsableValueFallsBackToNotifyWav) {
    RegistryKey created;
    ASSERT_TRUE(created.Create(HKEY_CURRENT_USER, kMailBeepKey));
    created.Close();
    EXPECT_EQ(settingsStore.ReadDefaultMailSound(), "notify.wav");

    SetRawDword(HKEY_CURRENT_USER, kMailBeepKey, nullptr, 3);
    EXPECT_EQ(settingsStore.ReadDefaultMailSound(), "notify.wav");
}

TEST_F(DefaultMailSound, TheUnnamedValueNamesTheSound) {
    SetRaw(HKEY_CURRENT_USER, kMailBeepKey, nullptr, REG_EXPAND_SZ, std::string("%SystemRoot%\\media\\mail.wav\0", 28));
    EXPECT_EQ(settingsStore.ReadDefaultMailSound(), "%SystemRoot%\\media\\mail.wav");
}

}  // namespace
