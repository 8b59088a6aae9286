#include "notifier/settings/registry_key.h"

namespace {

constexpr REGSAM kAccess = KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

}  // namespace

bool RegistryKey::Create(HKEY parent, const char* subKey) {
    Close();
    HKEY key = nullptr;
    if (RegCreateKeyExA(parent, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, kAccess, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    key_ = key;
    return true;
}

bool RegistryKey::Open(HKEY parent, const char* subKey) {
    Close();
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, subKey, 0, kAccess, &key) != ERROR_SUCCESS) return false;
    key_ = key;
    return true;
}

void RegistryKey::Close() {
    if (key_ != nullptr) {
        RegCloseKey(key_);
        key_ = nullptr;
    }
}
