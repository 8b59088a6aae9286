// Helpers of the setup tests under Wine: scratch folders, files, Japanese texts, log lines,
// registry values, and message boxes answered from the test.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace setup_test {

// The code page 932 bytes of a UTF-8 text.
std::string Cp932(const char8_t* utf8);

// The folder of the running test program, where the helper programs are built.
std::string BinDir();

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

// The log's lines as "Level : message", without their date and time.
std::vector<std::string> LogEntries(const std::string& logPath);

// A message box as the user sees it.
struct SeenBox {
    std::string caption;
    std::string text;
    std::vector<int> buttons;  // ids of the buttons present, of IDOK..IDNO
    int defaultButton = 0;
};
// A visible message box of the process, or null after timeoutMs.
HWND WaitForBox(DWORD processId, DWORD timeoutMs = 30000);
SeenBox ReadBox(HWND box);
// Clicks the button and waits until the box has gone.
void PressButton(HWND box, int buttonId);
// Answers the process's boxes with the buttons in order; the boxes seen (fewer when one did
// not come). For the test's own process, run it on another thread (std::async).
std::vector<SeenBox> AnswerBoxes(DWORD processId, std::vector<int> buttons);

// A registry value read through the API; found is false when it is missing.
struct RegistryValue {
    bool found = false;
    DWORD type = 0;
    std::string data;  // a string's text without its NUL, or the raw bytes
};
RegistryValue ReadValue(HKEY root, const std::string& path, const char* name);
bool KeyExists(HKEY root, const std::string& path);
// Writes the value (creating the key), or deletes it when value.found is false.
void WriteValue(HKEY root, const std::string& path, const char* name, const RegistryValue& value);
inline void SetString(HKEY root, const std::string& path, const char* name, const std::string& text) {
    WriteValue(root, path, name, {true, REG_SZ, text});
}
void DeleteTree(HKEY root, const std::string& path);

// Keeps a registry value as it is now and puts it back at the end of the object's life;
// with removeNow the value is deleted meanwhile.
class SavedValue {
public:
    SavedValue(HKEY root, std::string path, std::string name, bool removeNow = false)
        : root_(root), path_(std::move(path)), name_(std::move(name)), saved_(ReadValue(root_, path_, name_.c_str())) {
        if (removeNow) WriteValue(root_, path_, name_.c_str(), {});
    }
    ~SavedValue() { WriteValue(root_, path_, name_.c_str(), saved_); }
    SavedValue(const SavedValue&) = delete;
    SavedValue& operator=(const SavedValue&) = delete;

private:
    HKEY root_;
    std::string path_;
    std::string name_;
    RegistryValue saved_;
};

}  // namespace setup_test
