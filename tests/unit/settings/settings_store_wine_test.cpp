// SettingsStore and ReadStringValue against the real registry under Wine.
#include "notifier/settings/settings_store.h"

#include <gtest/gtest.h>

#include <string>

#include "notifier/settings/registry_key.h"
#include "tests/unit/settings/registry_fixture.h"

namespace {

using test::Dword;
using test::GetRaw;
using test::kSettingsKey;
using test::RawValue;
using test::SetRaw;
using test::Sz;

std::optional<RawValue> Stored(const char* name) { return GetRaw(HKEY_CURRENT_USER, kSettingsKey, name); }
void Store(const char* name, DWORD type, const std::string& bytes) { SetRaw(HKEY_CURRENT_USER, kSettingsKey, name, type, bytes); }

class Settings : public test::CleanSettingsKey {};

TEST_F(Settings, FirstReadCreatesTheEmptyKeyAndYieldsTheDefaults) {
    ASSERT_FALSE(test::KeyExists(HKEY_CURRENT_USER, kSettingsKey));
    EXPECT_TRUE(settingsStore.ReadSoundEnable());
    EXPECT_TRUE(test::KeyExists(HKEY_CURRENT_USER, kSettingsKey));
    EXPECT_EQ(settingsStore.ReadSoundType(), 0u);
    EXPECT_EQ(settingsStore.ReadUserId(), "");
    EXPECT_EQ(settingsStore.ReadSessionCookie(), "");
    EXPECT_EQ(settingsStore.ReadSoundFile(), "");
    EXPECT_EQ(test::Snapshot(HKEY_CURRENT_USER, kSettingsKey), "") << "reads never write values";
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
    EXPECT_FALSE(settingsStore.ReadSoundEnable());
    settingsStore.WriteSoundEnable(true);
    EXPECT_EQ(Stored("SoundEnable"), (RawValue{REG_DWORD, Dword(1)}));
}

TEST_F(Settings, NumbersAreReadWithoutLookingAtTheType) {
    test::SetRawDword(HKEY_CURRENT_USER, kSettingsKey, "SoundEnable", 5);
    test::SetRawDword(HKEY_CURRENT_USER, kSettingsKey, "SoundType", 7);
    EXPECT_TRUE(settingsStore.ReadSoundEnable());
    EXPECT_EQ(settingsStore.ReadSoundType(), 7u) << "the raw value; any non-zero value is a chosen file";

    Store("SoundEnable", REG_BINARY, Dword(0));
    EXPECT_FALSE(settingsStore.ReadSoundEnable()) << "four zero bytes of another type";

    // Data too large for four bytes is a failed read: the presets stay.
    Store("SoundEnable", REG_SZ, std::string("zero\0", 5));
    Store("SoundType", REG_SZ, std::string("seven\0", 6));
    EXPECT_TRUE(settingsStore.ReadSoundEnable());
    EXPECT_EQ(settingsStore.ReadSoundType(), 0u);
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
    RegistryKey key;
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, kSettingsKey));
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
    test::SetRawDword(HKEY_CURRENT_USER, kSettingsKey, "UserID", 42);
    Store("EID", REG_SZ, "cookie-without-nul");
    EXPECT_EQ(settingsStore.ReadUserId(), "");
    EXPECT_EQ(settingsStore.ReadSessionCookie(), "");
}

class DefaultMailSound : public test::CleanSoundSettings {};

TEST_F(DefaultMailSound, FromTheUnnamedValueOrNotifyWavOrNothingWithoutTheKey) {
    EXPECT_EQ(settingsStore.ReadDefaultMailSound(), "");
    EXPECT_FALSE(test::KeyExists(HKEY_CURRENT_USER, test::kMailBeepKey)) << "not created by the read";

    test::SetRawDword(HKEY_CURRENT_USER, test::kMailBeepKey, nullptr, 3);
    EXPECT_EQ(settingsStore.ReadDefaultMailSound(), "notify.wav") << "a value that is no string";

    SetRaw(HKEY_CURRENT_USER, test::kMailBeepKey, nullptr, REG_EXPAND_SZ,
           std::string("%SystemRoot%\\media\\mail.wav\0", 28));
    EXPECT_EQ(settingsStore.ReadDefaultMailSound(), "%SystemRoot%\\media\\mail.wav");
}

}  // namespace
