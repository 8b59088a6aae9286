// Files, folders and texts of the Windows tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

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

void RemoveTree(const std::string& path);
std::string ReadText(const std::string& path);
void WriteText(const std::string& path, const std::string& text);
bool IsFile(const std::string& path);
bool IsFolder(const std::string& path);
// The lines of a setup log as "Level : message", without their date and time.
std::vector<std::string> LogEntries(const std::string& logPath);

}  // namespace test
