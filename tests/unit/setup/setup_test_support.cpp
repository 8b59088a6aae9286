#include "tests/unit/setup/setup_test_support.h"

#include <objbase.h>
#include <shlobj.h>

#include <atomic>
#include <cstring>

namespace setup_test {

std::string Cp932(const char8_t* utf8) {
    const char* bytes = reinterpret_cast<const char*>(utf8);
    const int wideLength = MultiByteToWideChar(CP_UTF8, 0, bytes, -1, nullptr, 0);
    std::wstring wide(wideLength, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes, -1, wide.data(), wideLength);
    const int length = WideCharToMultiByte(932, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string text(length, '\0');
    WideCharToMultiByte(932, 0, wide.c_str(), -1, text.data(), length, nullptr, nullptr);
    text.resize(length - 1);
    return text;
}

std::string BinDir() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text(path);
    return text.substr(0, text.rfind('\\'));
}

ScratchFolder::ScratchFolder() {
    static std::atomic<int> counter{0};
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    path_ = std::string(temp) + "mwsetup-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++counter);
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
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            const std::string child = path + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

std::string ReadText(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) text.append(buffer, got);
    CloseHandle(file);
    return text;
}

void WriteText(const std::string& path, const std::string& text) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

bool IsFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ShortcutTarget(const std::string& shortcut) {
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    char target[MAX_PATH] = {};
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
        wchar_t wide[MAX_PATH] = {};
        MultiByteToWideChar(CP_ACP, 0, shortcut.c_str(), -1, wide, MAX_PATH);
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
            SUCCEEDED(file->Load(wide, STGM_READ))) {
            link->GetPath(target, MAX_PATH, nullptr, 0);
        }
        if (file != nullptr) file->Release();
        link->Release();
    }
    return target;
}

std::vector<std::string> LogEntries(const std::string& logPath) {
    std::vector<std::string> entries;
    const std::string text = ReadText(logPath);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        const std::size_t stamp = line.find("] ");
        entries.push_back(stamp == std::string::npos ? line : line.substr(stamp + 2));
        start = end + 2;
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
    if (search->processId != 0 && owner != search->processId) return TRUE;
    char className[16] = {};
    GetClassNameA(window, className, sizeof(className));
    if (std::strcmp(className, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
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
    while (GetTickCount() - start < timeoutMs) {
        BoxSearch search{processId, nullptr};
        EnumWindows(FindBoxWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) return search.found;
        Sleep(20);
    }
    return nullptr;
}

SeenBox ReadBox(HWND box) {
    SeenBox seen;
    // A box can be visible before its dialog procedure has put the text in: wait for it.
    const DWORD start = GetTickCount();
    while ((seen.text = TextOf(GetDlgItem(box, 0xFFFF))).empty() && GetTickCount() - start < 5000) Sleep(20);
    seen.caption = TextOf(box);
    for (int id = IDOK; id <= IDNO; ++id) {
        if (GetDlgItem(box, id) != nullptr) seen.buttons.push_back(id);
    }
    // The default button is the one drawn as such.
    for (const int id : seen.buttons) {
        if ((GetWindowLongA(GetDlgItem(box, id), GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON) seen.defaultButton = id;
    }
    return seen;
}

void PressButton(HWND box, int buttonId) {
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, buttonId)));
    const DWORD start = GetTickCount();
    while (IsWindow(box) && IsWindowVisible(box) && GetTickCount() - start < 30000) Sleep(20);
}

BoxAnswerer::BoxAnswerer(std::vector<BoxAnswer> answers) : answers_(std::move(answers)) {
    thread_ = std::thread([this] {
        for (const BoxAnswer& answer : answers_) {
            const HWND box = WaitForBox(GetCurrentProcessId());
            if (box == nullptr) return;
            seen_.push_back(ReadBox(box));
            if (answer.before) answer.before();
            PressButton(box, answer.button);
        }
    });
}

BoxAnswerer::~BoxAnswerer() {
    if (thread_.joinable()) thread_.join();
}

const std::vector<SeenBox>& BoxAnswerer::Seen() {
    if (thread_.joinable()) thread_.join();
    return seen_;
}

}  // namespace setup_test

namespace setup_test {

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

// Writes the raw data as the value, or deletes the value when data is null.
void SetValue(HKEY root, const std::string& path, const char* name, DWORD type, const std::string* data) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    if (data == nullptr) {
        RegDeleteValueA(key, name);
    } else {
        RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data->data()),
                       static_cast<DWORD>(data->size()));
    }
    RegCloseKey(key);
}

bool KeyExists(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void DeleteTree(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    char child[256];
    DWORD length = sizeof(child);
    while (RegEnumKeyExA(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        DeleteTree(key, child);
        length = sizeof(child);
    }
    RegCloseKey(key);
    RegDeleteKeyA(root, path.c_str());
}

SavedValue::SavedValue(HKEY root, std::string path, std::string name, bool removeNow)
    : root_(root), path_(std::move(path)), name_(std::move(name)), saved_(ReadValue(root_, path_, name_.c_str())) {
    if (removeNow) SetValue(root_, path_, name_.c_str(), REG_SZ, nullptr);
}

SavedValue::~SavedValue() {
    std::string data = saved_.data;
    if (saved_.type == REG_SZ || saved_.type == REG_EXPAND_SZ) data.push_back('\0');
    SetValue(root_, path_, name_.c_str(), saved_.type, saved_.found ? &data : nullptr);
}

}  // namespace setup_test
