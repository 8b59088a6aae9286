// Files, folders and texts of the Windows tests.
#pragma once

#include <windows.h>

#include <string>

namespace test {

// The code page 932 bytes of a UTF-8 text, converted by Windows itself.
std::string Cp932(const char8_t* utf8);
// The folder of the running test program, where the programs and helpers are built.
std::string ProgramFolder();

// A new folder below the temporary folder, removed with all it holds at the end.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// Deletes the folder with all it holds, read-only files too.
void RemoveTree(const std::string& path);
std::string ReadText(const std::string& path);
void WriteText(const std::string& path, const std::string& text);
// Whether the path names an existing file (folder false) or folder (folder true).
inline bool Exists(const std::string& path, bool folder) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == folder;
}
inline bool IsFile(const std::string& path) { return Exists(path, false); }
inline bool IsFolder(const std::string& path) { return Exists(path, true); }

}  // namespace test
