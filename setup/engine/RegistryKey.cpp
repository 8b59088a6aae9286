#include "setup/engine/RegistryKey.h"

#include <vector>

#include "common/Mbcs.h"

std::string RelativeKeyPath(std::string_view path) {
    while (!path.empty() && path.front() == '\\') path.remove_prefix(1);
    return std::string(path);
}

namespace {

// True when the path names the hive's root: nothing but backslashes.
bool NamesHiveRoot(std::string_view path) {
    for (std::size_t i = 0; i < path.size(); i += mbcs::CharLength(path, i)) {
        if (path[i] != '\\') return false;
    }
    return true;
}

LONG DeleteSubtree(HKEY parent, const std::string& name) {
    RegistryKey key;
    if (!key.Open(parent, name, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE)) {
        // Gone already, or not ours to open: let the delete below tell.
        return RegDeleteKeyA(parent, name.c_str());
    }
    // Always take the first subkey: each deletion renumbers the rest.
    while (true) {
        char child[256];
        DWORD length = sizeof(child);
        if (RegEnumKeyExA(key.Get(), 0, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (DeleteSubtree(key.Get(), child) != ERROR_SUCCESS) break;
    }
    key.Close();
    return RegDeleteKeyA(parent, name.c_str());
}

}  // namespace

bool RegistryKey::Open(HKEY root, std::string_view path, REGSAM access) {
    Close();
    const std::string relative = RelativeKeyPath(path);
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, relative.c_str(), 0, access, &key) != ERROR_SUCCESS) return false;
    key_.Reset(key);
    return true;
}

bool RegistryKey::Create(HKEY root, std::string_view path, REGSAM access) {
    Close();
    const std::string relative = RelativeKeyPath(path);
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, relative.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    key_.Reset(key);
    return true;
}

std::string RegistryKey::ReadString(const char* name) const {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key_.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::string();
    if ((type != REG_SZ && type != REG_EXPAND_SZ) || size == 0) return std::string();
    std::vector<char> data(size + 1, '\0');
    if (RegQueryValueExA(key_.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS) {
        return std::string();
    }
    // The stored data need not end with its NUL; the spare byte ends it.
    return std::string(data.data());
}

bool RegistryKey::WriteString(const char* name, const std::string& data) const {
    return RegSetValueExA(key_.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>(data.size() + 1)) == ERROR_SUCCESS;
}

bool RegistryKey::WriteDword(const char* name, DWORD data) const {
    return RegSetValueExA(key_.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data)) ==
           ERROR_SUCCESS;
}

bool RegistryKey::DeleteValue(const char* name) const {
    const LONG result = RegDeleteValueA(key_.Get(), name);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

bool RegistryKey::HoldsOnlyDefaultValue() const {
    DWORD subkeys = 0;
    DWORD values = 0;
    if (RegQueryInfoKeyA(key_.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    if (subkeys != 0 || values != 1) return false;
    char name[2] = {};
    DWORD length = sizeof(name);
    const LONG result = RegEnumValueA(key_.Get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr);
    return result == ERROR_SUCCESS && length == 0;
}

bool DeleteKeyTree(HKEY root, std::string_view path) {
    if (NamesHiveRoot(path)) return false;
    const LONG result = DeleteSubtree(root, RelativeKeyPath(path));
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

bool DeleteEmptyKey(HKEY root, std::string_view path) {
    if (NamesHiveRoot(path)) return false;
    const LONG result = RegDeleteKeyA(root, RelativeKeyPath(path).c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}
