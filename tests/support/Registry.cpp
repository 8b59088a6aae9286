#include "tests/support/Registry.h"

#include <shlwapi.h>

#include "tools/simulator/SimulatorClient.h"

namespace test {

std::optional<RegistryValue> ReadValue(HKEY root, const std::string& path, const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    RegistryValue value{REG_NONE, std::string(1 << 16, '\0')};
    DWORD size = static_cast<DWORD>(value.bytes.size());
    const LONG result =
        RegQueryValueExA(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(value.bytes.data()), &size);
    RegCloseKey(key);
    value.bytes.resize(size);
    return result == ERROR_SUCCESS ? std::optional(value) : std::nullopt;
}

std::string ReadString(HKEY root, const std::string& path, const char* name) {
    const std::optional<RegistryValue> value = ReadValue(root, path, name);
    return value ? std::string(value->bytes.c_str()) : std::string();
}

void WriteValue(HKEY root, const std::string& path, const char* name, const std::optional<RegistryValue>& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    if (value) {
        // The registry counts a NUL right after string data into the value: store exactly the bytes.
        const std::string bytes = value->bytes + 'x';
        RegSetValueExA(key, name, 0, value->type, reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(value->bytes.size()));
    } else {
        RegDeleteValueA(key, name);
    }
    RegCloseKey(key);
}

bool KeyExists(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void DeleteTree(HKEY root, const std::string& path) { SHDeleteKeyA(root, path.c_str()); }

void StoreSession(const std::string& user, int count) {
    sim::AddAccount(user, "pw", count);
    sim::AddSession("eid-" + user, user);
    SetString(HKEY_CURRENT_USER, kSettingsKey, "EID", "eid-" + user);
}

}  // namespace test
