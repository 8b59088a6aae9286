// Raw access to the registry values the settings code reads and writes, for checking the
// exact stored forms, and a fixture that starts every test from a clean settings key.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <ostream>
#include <string>

namespace test {

constexpr const char* kSettingsKey = "Software\\tarn\\Mewlark";

struct RawValue {
    DWORD type = REG_NONE;
    std::string data;  // the stored bytes, NUL included

    bool operator==(const RawValue&) const = default;
};
// Type and bytes, readable in a failure message.
void PrintTo(const RawValue& value, std::ostream* out);

bool KeyExists(HKEY root, const char* subKey);
void DeleteKey(HKEY root, const char* subKey);
void SetRaw(HKEY root, const char* subKey, const char* valueName, DWORD type, const std::string& bytes);
// String data stored without its NUL. RegSetValueExA counts a NUL that follows the data
// into a string value, so the byte after the data given here is never NUL.
void SetRawUnterminated(HKEY root, const char* subKey, const char* valueName, DWORD type, const std::string& text);
void SetRawDword(HKEY root, const char* subKey, const char* valueName, DWORD value);
std::optional<RawValue> GetRaw(HKEY root, const char* subKey, const char* valueName);
DWORD ValueCount(HKEY root, const char* subKey);
// Every value of a key, "name=type:hex" per line in the registry's order; empty when the key is missing.
std::string Snapshot(HKEY root, const char* subKey);

// Removes the settings key before and after each test.
class CleanSettingsKey : public ::testing::Test {
protected:
    void SetUp() override { DeleteKey(HKEY_CURRENT_USER, kSettingsKey); }
    void TearDown() override { DeleteKey(HKEY_CURRENT_USER, kSettingsKey); }
};

// The same, and the system's new-mail sound key put back as it was after each test.
class CleanSoundSettings : public CleanSettingsKey {
protected:
    static constexpr const char* kMailBeepKey = "AppEvents\\Schemes\\Apps\\.Default\\MailBeep\\.Current";
    void SetUp() override;
    void TearDown() override;

private:
    bool mailBeepExisted_ = false;
    std::optional<RawValue> mailBeepSound_;
};

}  // namespace test
