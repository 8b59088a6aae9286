// Owner of one open registry key.
#pragma once

#include <windows.h>

class RegistryKey {
public:
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() { Close(); }

    // Creates the sub-key when it is missing, or opens it; access: read, set value,
    // create sub-key. False when the key cannot be had.
    bool Create(HKEY parent, const char* subKey);
    // Opens an existing sub-key with the same access. False when it cannot be opened.
    bool Open(HKEY parent, const char* subKey);
    void Close();

    HKEY Get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }

private:
    HKEY key_ = nullptr;
};
