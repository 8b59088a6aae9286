#include "tests/unit/settings/registry_fixture.h"

#include <shlwapi.h>

#include <vector>

namespace test {

bool KeyExists(HKEY root, const char* subKey) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void DeleteKey(HKEY root, const char* subKey) { SHDeleteKeyA(root, subKey); }

void SetRaw(HKEY root, const char* subKey, const char* valueName, DWORD type, const std::string& bytes) {
    // RegSetValueExA counts a NUL that directly follows string data into the value.
    const std::string buffer = bytes + 'X';
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, subKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, valueName, 0, type, reinterpret_cast<const BYTE*>(buffer.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

std::optional<RawValue> GetRaw(HKEY root, const char* subKey, const char* valueName) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    RawValue value;
    DWORD size = 0;
    LONG result = RegQueryValueExA(key, valueName, nullptr, &value.type, nullptr, &size);
    if (result == ERROR_SUCCESS) {
        value.data.resize(size);
        result = RegQueryValueExA(key, valueName, nullptr, &value.type, reinterpret_cast<BYTE*>(value.data.data()),
                                  &size);
        value.data.resize(size);
    }
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) return std::nullopt;
    return value;
}

std::string Snapshot(HKEY root, const char* subKey) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
    std::string out;
    char name[256];
    std::vector<BYTE> data(4096);
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = sizeof name;
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data.data(), &dataSize) != ERROR_SUCCESS) break;
        out += std::string(name, nameSize) + "=" + std::to_string(type) + ":" +
               std::string(reinterpret_cast<const char*>(data.data()), dataSize) + "\n";
    }
    RegCloseKey(key);
    return out;
}

void CleanSoundSettings::SetUp() {
    CleanSettingsKey::SetUp();
    mailBeepExisted_ = KeyExists(HKEY_CURRENT_USER, kMailBeepKey);
    mailBeepSound_ = GetRaw(HKEY_CURRENT_USER, kMailBeepKey, nullptr);
    DeleteKey(HKEY_CURRENT_USER, kMailBeepKey);
}

void CleanSoundSettings::TearDown() {
    DeleteKey(HKEY_CURRENT_USER, kMailBeepKey);
    if (mailBeepSound_) {
        SetRaw(HKEY_CURRENT_USER, kMailBeepKey, nullptr, mailBeepSound_->type, mailBeepSound_->data);
    } else if (mailBeepExisted_) {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, kMailBeepKey, 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr) ==
            ERROR_SUCCESS) {
            RegCloseKey(key);
        }
    }
    CleanSettingsKey::TearDown();
}

}  // namespace test
