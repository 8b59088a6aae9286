#include "tests/e2e/PrefixSnapshot.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace test {

namespace {

void AddFiles(const std::string& folder, const std::vector<std::string>& skipped, PrefixSnapshot& snapshot) {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
        const std::string path = folder + "\\" + found.cFileName;
        const auto same = [&](const std::string& other) { return lstrcmpiA(path.c_str(), other.c_str()) == 0; };
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            snapshot[path] = std::to_string(found.nFileSizeLow) + " bytes, written " +
                             std::to_string(found.ftLastWriteTime.dwHighDateTime) + ":" +
                             std::to_string(found.ftLastWriteTime.dwLowDateTime);
        } else if (std::strcmp(found.cFileName, ".") && std::strcmp(found.cFileName, "..") &&
                   std::none_of(skipped.begin(), skipped.end(), same)) {
            // A folder's own time changes with what it holds: only its existence counts.
            snapshot[path] = "folder";
            AddFiles(path, skipped, snapshot);
        }
    }
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

// The key's values; with a depth, its subkeys' down to that many levels.
void AddKey(HKEY key, const std::string& path, int depth, PrefixSnapshot& snapshot) {
    // Trees that take minutes to read under Wine, and Wine's own keys, which every new window
    // process rewrites ("Temporary System Parameters").
    for (const char* skipped : {"HKLM\\Software\\Classes", "HKLM\\Software\\Wow6432Node", "HKCU\\Software\\Wine",
                                "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Perflib"}) {
        if (lstrcmpiA(path.c_str(), skipped) == 0) return;
    }
    static std::vector<char> name(16384);
    static std::vector<BYTE> data(1 << 20);
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size()), size = static_cast<DWORD>(data.size()), type = 0;
        const LONG result = RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &size);
        if (result == ERROR_NO_MORE_ITEMS) break;
        snapshot[path + " : \"" + std::string(name.data(), nameLength) + "\""] =
            result != ERROR_SUCCESS ? "unreadable" : std::to_string(type) + " " + std::string(data.begin(), data.begin() + size);
    }
    char child[256];
    for (DWORD index = 0; depth > 0; ++index) {
        DWORD length = sizeof(child);
        if (RegEnumKeyExA(key, index, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY opened = nullptr;
        if (RegOpenKeyExA(key, child, 0, KEY_READ, &opened) != ERROR_SUCCESS) continue;
        AddKey(opened, path + "\\" + child, depth - 1, snapshot);
        RegCloseKey(opened);
    }
}

}  // namespace

PrefixSnapshot TakeSnapshot(const std::vector<std::string>& skipped) {
    PrefixSnapshot snapshot;
    AddFiles("C:", skipped, snapshot);
    for (const auto& [hive, name] : {std::pair{HKEY_CURRENT_USER, "HKCU"}, {HKEY_LOCAL_MACHINE, "HKLM"}}) {
        // The hive's own values and keys, and all of "Software".
        AddKey(hive, name, 1, snapshot);
        HKEY software = nullptr;
        if (RegOpenKeyExA(hive, "Software", 0, KEY_READ, &software) != ERROR_SUCCESS) continue;
        AddKey(software, std::string(name) + "\\Software", 1000, snapshot);
        RegCloseKey(software);
    }
    return snapshot;
}

}  // namespace test
