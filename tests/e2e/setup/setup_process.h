// MewlarkSetup started as a user would: its own temporary folder, its message boxes answered,
// its children found.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/unit/setup/setup_test_support.h"

namespace setup_test {

// A started process; one still running at the end of the object's life is ended.
class ChildProcess {
public:
    ChildProcess(HANDLE process, DWORD id) : process_(process), id_(id) {}
    ChildProcess(ChildProcess&& other) noexcept : process_(other.process_), id_(other.id_) { other.process_ = nullptr; }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();
    DWORD Id() const { return id_; }
    bool IsValid() const { return process_ != nullptr; }
    // True when it ended within the time.
    bool WaitForExit(DWORD timeoutMs = 60000) const;

private:
    HANDLE process_;
    DWORD id_;
};

// Starts the command line with TMP and TEMP set to tempDir.
ChildProcess StartProgram(const std::string& commandLine, const std::string& tempDir);

// The first process started by parentId (waited for); invalid when none came.
ChildProcess ChildOf(DWORD parentId, const char* exeName = nullptr, DWORD timeoutMs = 30000);

// Answers every message box of the process until it ends: OK, else Cancel (a deletion
// prompt), else Yes or No as yes says. Returns the boxes seen.
std::vector<SeenBox> AnswerUntilEnd(const ChildProcess& process, bool yes);

// Answers the process's message boxes with the buttons in order, then waits for its end.
// Returns the boxes seen; one more box or no end within the time fails the test.
std::vector<SeenBox> AnswerBoxes(const ChildProcess& process, const std::vector<int>& buttons);

// Finds the notepad started by parentId, checks that its window shows fileName, and ends it.
bool EndNotepadShowing(DWORD parentId, const std::string& fileName);

}  // namespace setup_test
