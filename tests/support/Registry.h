// Registry values read and written as exact bytes, whole-key comparisons, and the notifier's
// stored session.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <ostream>
#include <string>

namespace test {

constexpr const char* kSettingsKey = "Software\\tarn\\Mewlark";
constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

struct RegistryValue {
    DWORD type = REG_NONE;
    std::string bytes;  // as stored, a string's NUL included
    bool operator==(const RegistryValue&) const = default;
};
inline void PrintTo(const RegistryValue& value, std::ostream* out) {
    *out << "type " << value.type << " " << ::testing::PrintToString(value.bytes);
}
inline std::string Dword(DWORD value) { return std::string(reinterpret_cast<const char*>(&value), sizeof value); }
inline RegistryValue Sz(const std::string& text) { return {REG_SZ, text + '\0'}; }

std::optional<RegistryValue> ReadValue(HKEY root, const std::string& path, const char* name);
// A string value's text up to its first NUL; empty when the value is missing.
std::string ReadString(HKEY root, const std::string& path, const char* name);
// Stores exactly the bytes (creating the key), or deletes the value when there is none.
void WriteValue(HKEY root, const std::string& path, const char* name, const std::optional<RegistryValue>& value);
inline void SetString(HKEY root, const std::string& path, const char* name, const std::string& text) {
    WriteValue(root, path, name, Sz(text));
}
inline void SetDword(HKEY root, const std::string& path, const char* name, DWORD value) {
    WriteValue(root, path, name, RegistryValue{REG_DWORD, Dword(value)});
}
bool KeyExists(HKEY root, const std::string& path);
void DeleteTree(HKEY root, const std::string& path);

// A session of user (count new mails waiting) that the simulator accepts, stored as the
// notifier's, so that no login dialog opens.
void StoreSession(const std::string& user, int count);

// Keeps a value as it is now and puts it back at the end of the object's life; meanwhile it
// holds replacement (none: deleted), when one is given.
struct SavedValue {
    SavedValue(HKEY root, std::string path, std::string name) : root(root), path(std::move(path)), name(std::move(name)) {}
    SavedValue(HKEY root, std::string path, std::string name, const std::optional<RegistryValue>& replacement)
        : SavedValue(root, std::move(path), std::move(name)) {
        WriteValue(this->root, this->path, this->name.c_str(), replacement);
    }
    ~SavedValue() { WriteValue(root, path, name.c_str(), saved); }
    SavedValue(const SavedValue&) = delete;

    const HKEY root;
    const std::string path, name;
    const std::optional<RegistryValue> saved = ReadValue(root, path, name.c_str());
};

}  // namespace test
