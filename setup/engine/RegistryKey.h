// An open registry key, and the registry edits of the setup script and the uninstall list.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "common/HandleOwners.h"

class RegistryKey {
public:
    RegistryKey() = default;

    // path is taken from the root of the hive, with or without a leading "\".
    // Open never creates; Create creates the key and its missing parents.
    bool Open(HKEY root, std::string_view path, REGSAM access);
    bool Create(HKEY root, std::string_view path, REGSAM access);
    void Close() { key_.Reset(); }
    HKEY Get() const { return key_.Get(); }
    bool IsOpen() const { return key_.IsValid(); }

    // A string value; empty when it is missing or not a string.
    std::string ReadString(const char* name) const;
    bool WriteString(const char* name, const std::string& data) const;
    bool WriteDword(const char* name, DWORD data) const;
    // A missing value counts as deleted.
    bool DeleteValue(const char* name) const;
    // True when the key holds no subkeys and exactly one value, the default one.
    bool HoldsOnlyDefaultValue() const;

private:
    RegistryKeyHandle key_;
};

// The key path below the root, without leading "\" characters.
std::string RelativeKeyPath(std::string_view path);

// Deletes the key with all its subkeys; a missing key counts as deleted. A path that names
// the root of the hive itself is refused (false), so a hive is never emptied.
bool DeleteKeyTree(HKEY root, std::string_view path);

// Deletes the key when it has no subkeys; a missing key counts as deleted. The root of the
// hive is refused.
bool DeleteEmptyKey(HKEY root, std::string_view path);
