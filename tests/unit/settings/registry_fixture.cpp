#include "tests/unit/settings/registry_fixture.h"

#include <shlwapi.h>

namespace test {
namespace {

// An open key, closed at the end of its scope (without the product's key class: the process
// tests link no product code).
struct Key {
    HKEY handle = nullptr;
    Key(HKEY root, const char* subKey, bool create = false) {
        if (create) {
            RegCreateKeyExA(root, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr);
        } else {
            RegOpenKeyExA(root, subKey, 0, KEY_READ, &handle);
        }
    }
    ~Key() {
        if (handle != nullptr) RegCloseKey(handle);
    }
};

}  // namespace

bool KeyExists(HKEY root, const char* subKey) { return Key(root, subKey).handle != nullptr; }

void DeleteKey(HKEY root, const char* subKey) { SHDeleteKeyA(root, subKey); }

void SetRaw(HKEY root, const char* subKey, const char* valueName, DWORD type, const std::string& bytes) {
    // RegSetValueExA counts a NUL that directly follows string data into the value.
    const std::string buffer = bytes + 'X';
    const Key key(root, subKey, true);
    ASSERT_NE(key.handle, nullptr);
    EXPECT_EQ(RegSetValueExA(key.handle, valueName, 0, type, reinterpret_cast<const BYTE*>(buffer.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
}

std::optional<RawValue> GetRaw(HKEY root, const char* subKey, const char* valueName) {
    const Key key(root, subKey);
    RawValue value;
    value.data.resize(1 << 16);
    DWORD size = static_cast<DWORD>(value.data.size());
    if (RegQueryValueExA(key.handle, valueName, nullptr, &value.type, reinterpret_cast<BYTE*>(value.data.data()),
                         &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.data.resize(size);
    return value;
}

std::string Snapshot(HKEY root, const char* subKey) {
    const Key key(root, subKey);
    std::string out;
    char name[256];
    std::string data(1 << 16, '\0');
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = sizeof name, dataSize = static_cast<DWORD>(data.size()), type = 0;
        if (RegEnumValueA(key.handle, index, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                          &dataSize) != ERROR_SUCCESS) {
            return out;
        }
        out += std::string(name, nameSize) + "=" + std::to_string(type) + ":" + data.substr(0, dataSize) + "\n";
    }
}

}  // namespace test
