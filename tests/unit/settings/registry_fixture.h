// Raw access to the registry values the settings code reads and writes, for checking the
// exact stored forms, and fixtures that start every test from a clean settings key.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <ostream>
#include <string>

namespace test {

constexpr const char* kSettingsKey = "Software\\tarn\\Mewlark";
constexpr const char* kMailBeepKey = "AppEvents\\Schemes\\Apps\\.Default\\MailBeep\\.Current";

struct RawValue {
    DWORD type = REG_NONE;
    std::string data;  // the stored bytes, NUL included

    bool operator==(const RawValue&) const = default;
};
inline void PrintTo(const RawValue& value, std::ostream* out) {
    *out << "type " << value.type << " " << ::testing::PrintToString(value.data);
}
inline std::string Dword(DWORD value) { return std::string(reinterpret_cast<const char*>(&value), sizeof value); }
inline RawValue Sz(const std::string& text) { return {REG_SZ, text + '\0'}; }

bool KeyExists(HKEY root, const char* subKey);
void DeleteKey(HKEY root, const char* subKey);
// Stores exactly these bytes, also string data without its NUL.
void SetRaw(HKEY root, const char* subKey, const char* valueName, DWORD type, const std::string& bytes);
inline void SetRawDword(HKEY root, const char* subKey, const char* valueName, DWORD value) {
    SetRaw(root, subKey, valueName, REG_DWORD, Dword(value));
}
std::optional<RawValue> GetRaw(HKEY root, const char* subKey, const char* valueName);
// Every value of a key, "name=type:bytes" per line in the registry's order; empty when the
// key is missing or holds no values.
std::string Snapshot(HKEY root, const char* subKey);

// Removes the settings key, and the system's new-mail sound key (the test prefix has none),
// before and after each test.
class CleanSettingsKey : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean() {
        DeleteKey(HKEY_CURRENT_USER, kSettingsKey);
        DeleteKey(HKEY_CURRENT_USER, kMailBeepKey);
    }
};

}  // namespace test
