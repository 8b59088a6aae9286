#include "tests/unit/settings/registry_fixture.h"

#include <shlwapi.h>

#include <cstdio>
#include <vector>

namespace test {

void PrintTo(const RawValue& value, std::ostream* out) {
    *out << "type " << value.type << " \"";
    for (const unsigned char c : value.data) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            *out << c;
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            *out << hex;
        }
    }
    *out << '"';
}

bool KeyExists(HKEY root, const char* subKey) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void DeleteKey(HKEY root, const char* subKey) { SHDeleteKeyA(root, subKey); }

void SetRaw(HKEY root, const char* subKey, const char* valueName, DWORD type, const std::string& bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, subKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, valueName, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void SetRawUnterminated(HKEY root, const char* subKey, const char* valueName, DWORD type, const std::string& text) {
    const std::string buffer = text + 'X';
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, subKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, valueName, 0, type, reinterpret_cast<const BYTE*>(buffer.data()),
                             static_cast<DWORD>(text.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void SetRawDword(HKEY root, const char* subKey, const char* valueName, DWORD value) {
    SetRaw(root, subKey, valueName, REG_DWORD, std::string(reinterpret_cast<const char*>(&value), sizeof value));
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

DWORD ValueCount(HKEY root, const char* subKey) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    DWORD count = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    return count;
}

std::string Snapshot(HKEY root, const char* subKey) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
    std::string out;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameSize = sizeof name;
        std::vector<BYTE> data(4096);
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data.data(), &dataSize) != ERROR_SUCCESS) break;
        out += std::string(name, nameSize) + "=" + std::to_string(type) + ":";
        for (DWORD i = 0; i < dataSize; ++i) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02x", data[i]);
            out += hex;
        }
        out += "\n";
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
