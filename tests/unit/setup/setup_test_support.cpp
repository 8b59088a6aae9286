#include "tests/unit/setup/setup_test_support.h"

#include <shlwapi.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <iterator>

namespace setup_test {

std::string Cp932(const char8_t* utf8) {
    wchar_t wide[4096] = {};
    MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(utf8), -1, wide, 4096);
    char text[8192] = {};
    WideCharToMultiByte(932, 0, wide, -1, text, sizeof(text), nullptr, nullptr);
    return text;
}

std::string BinDir() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path).substr(0, std::string(path).rfind('\\'));
}

ScratchFolder::ScratchFolder() {
    static std::atomic<int> counter{0};
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    path_ = std::string(temp) + "mwsetup-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
    RemoveTree(path_);
    CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() {
    // A relaunched engine makes its program's folder the current one; let go of it.
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    SetCurrentDirectoryA(temp);
    RemoveTree(path_);
}

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
        const std::string child = path + "\\" + found.cFileName;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(child.c_str());
        } else if (std::strcmp(found.cFileName, ".") != 0 && std::strcmp(found.cFileName, "..") != 0) {
            RemoveTree(child);
        }
    }
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    RemoveDirectoryA(path.c_str());
}

std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

bool IsFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> LogEntries(const std::string& logPath) {
    std::vector<std::string> entries;
    const std::string text = ReadText(logPath);
    for (std::size_t start = 0, end; start < text.size(); start = end + 2) {
        end = std::min(text.find("\r\n", start), text.size());
        const std::size_t stamp = text.find("] ", start);
        entries.push_back(text.substr(stamp < end ? stamp + 2 : start, end - (stamp < end ? stamp + 2 : start)));
    }
    return entries;
}

namespace {

struct BoxSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindBoxWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<BoxSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[16] = {};
    GetClassNameA(window, className, sizeof(className));
    if (owner != search->processId || std::strcmp(className, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    search->found = window;
    return FALSE;
}

std::string TextOf(HWND window) {
    char text[4096] = {};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                        &ignored);
    return text;
}

}  // namespace

HWND WaitForBox(DWORD processId, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    do {
        BoxSearch search{processId, nullptr};
        EnumWindows(FindBoxWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) return search.found;
        Sleep(20);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

SeenBox ReadBox(HWND box) {
    SeenBox seen;
    // A box can be visible before its dialog procedure has put the text in: wait for it.
    const DWORD start = GetTickCount();
    while ((seen.text = TextOf(GetDlgItem(box, 0xFFFF))).empty() && GetTickCount() - start < 5000) Sleep(20);
    seen.caption = TextOf(box);
    for (int id = IDOK; id <= IDNO; ++id) {
        const HWND button = GetDlgItem(box, id);
        if (button == nullptr) continue;
        seen.buttons.push_back(id);
        // The default button is the one drawn as such.
        if ((GetWindowLongA(button, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON) seen.defaultButton = id;
    }
    return seen;
}

void PressButton(HWND box, int buttonId) {
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, buttonId)));
    const DWORD start = GetTickCount();
    while (IsWindow(box) && IsWindowVisible(box) && GetTickCount() - start < 30000) Sleep(20);
}

std::vector<SeenBox> AnswerBoxes(DWORD processId, std::vector<int> buttons) {
    std::vector<SeenBox> seen;
    for (const int button : buttons) {
        const HWND box = WaitForBox(processId);
        if (box == nullptr) break;
        seen.push_back(ReadBox(box));
        PressButton(box, button);
    }
    return seen;
}

RegistryValue ReadValue(HKEY root, const std::string& path, const char* name) {
    RegistryValue value;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        RegQueryValueExA(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(value.data.data()), &size);
        value.data.resize(size);
        if (value.type == REG_SZ && !value.data.empty() && value.data.back() == '\0') value.data.pop_back();
        value.found = true;
    }
    RegCloseKey(key);
    return value;
}

bool KeyExists(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void WriteValue(HKEY root, const std::string& path, const char* name, const RegistryValue& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    std::string data = value.data;
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) data.push_back('\0');
    if (value.found) {
        RegSetValueExA(key, name, 0, value.type, reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(data.size()));
    } else {
        RegDeleteValueA(key, name);
    }
    RegCloseKey(key);
}

void DeleteTree(HKEY root, const std::string& path) { SHDeleteKeyA(root, path.c_str()); }

}  // namespace setup_test
