#include "tests/support/Files.h"

#include <shellapi.h>

#include <atomic>
#include <fstream>
#include <iterator>

namespace test {

std::string Cp932(const char8_t* utf8) {
    wchar_t wide[4096] = {};
    MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(utf8), -1, wide, 4096);
    char text[8192] = {};
    WideCharToMultiByte(932, 0, wide, -1, text, sizeof(text), nullptr, nullptr);
    return text;
}

std::string ProgramFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path).substr(0, std::string(path).rfind('\\'));
}

ScratchFolder::ScratchFolder() {
    static std::atomic<int> counter{0};
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    path_ = std::string(temp) + "mwtest-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
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
    const std::string from = path + '\0';  // a list of paths, ended by an empty one
    SHFILEOPSTRUCTA operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    if (IsFolder(path)) SHFileOperationA(&operation);
}

std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

}  // namespace test
