#include "tests/e2e/setup/prefix_snapshot.h"

#include <windows.h>

namespace setup_test {

namespace {

// Trees that take minutes to read under Wine, and Wine's own keys, which every new window
// process rewrites ("Temporary System Parameters").
const char* const kSkippedKeys[] = {"HKLM\\Software\\Classes", "HKLM\\Software\\Wow6432Node",
                                    "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Perflib",
                                    "HKCU\\Software\\Wine"};

void AddFiles(const std::string& folder, const std::vector<std::string>& skipped, PrefixSnapshot& snapshot) {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        const std::string path = folder + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            bool skip = false;
            for (const std::string& folderSkipped : skipped) skip = skip || lstrcmpiA(path.c_str(), folderSkipped.c_str()) == 0;
            if (skip) continue;
            // A folder's own time changes with what it holds: only its existence counts.
            snapshot[path] = "folder";
            AddFiles(path, skipped, snapshot);
        } else {
            snapshot[path] = std::to_string(found.nFileSizeLow) + " bytes, written " +
                             std::to_string(found.ftLastWriteTime.dwHighDateTime) + ":" +
                             std::to_string(found.ftLastWriteTime.dwLowDateTime);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

void AddValues(HKEY key, const std::string& path, PrefixSnapshot& snapshot) {
    std::vector<char> name(16384);
    std::vector<BYTE> data(1 << 16);
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        const LONG result = RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &dataSize);
        if (result == ERROR_MORE_DATA) {
            data.resize(dataSize);
            --index;
            continue;
        }
        if (result != ERROR_SUCCESS) break;
        snapshot[path + " : \"" + std::string(name.data(), nameLength) + "\""] =
            std::to_string(type) + " " + std::string(reinterpret_cast<char*>(data.data()), dataSize);
    }
}

void AddKeyTree(HKEY parent, const std::string& name, const std::string& path, PrefixSnapshot& snapshot) {
    for (const char* skipped : kSkippedKeys) {
        if (lstrcmpiA(path.c_str(), skipped) == 0) return;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    snapshot[path] = "key";
    AddValues(key, path, snapshot);
    char child[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof(child);
        if (RegEnumKeyExA(key, index, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        AddKeyTree(key, child, path + "\\" + child, snapshot);
    }
    RegCloseKey(key);
}

// The hive's own values and the names of its keys, then its "Software" tree.
void AddHive(HKEY hive, const std::string& name, PrefixSnapshot& snapshot) {
    AddValues(hive, name, snapshot);
    char child[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof(child);
        if (RegEnumKeyExA(hive, index, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        snapshot[name + "\\" + child] = "key";
    }
    AddKeyTree(hive, "Software", name + "\\Software", snapshot);
}

}  // namespace

PrefixSnapshot TakeSnapshot(const std::vector<std::string>& skipped) {
    PrefixSnapshot snapshot;
    AddFiles("C:", skipped, snapshot);
    AddHive(HKEY_CURRENT_USER, "HKCU", snapshot);
    AddHive(HKEY_LOCAL_MACHINE, "HKLM", snapshot);
    return snapshot;
}

std::vector<std::string> Changes(const PrefixSnapshot& before, const PrefixSnapshot& after) {
    std::vector<std::string> changes;
    for (const auto& [path, held] : before) {
        const auto now = after.find(path);
        if (now == after.end()) {
            changes.push_back("- " + path);
        } else if (now->second != held) {
            changes.push_back("* " + path);
        }
    }
    for (const auto& [path, held] : after) {
        if (before.find(path) == before.end()) changes.push_back("+ " + path);
    }
    return changes;
}

}  // namespace setup_test
