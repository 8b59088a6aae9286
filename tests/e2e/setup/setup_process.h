// MewlarkSetup started as a user would: its own temporary folder, its message boxes answered,
// its children found.
#pragma once

#include <gtest/gtest.h>
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

// Starts the command line in tempDir, with TMP and TEMP set to it.
ChildProcess StartProgram(const std::string& commandLine, const std::string& tempDir);

// The first process started by parentId (waited for); invalid when none came.
ChildProcess ChildOf(DWORD parentId, const char* exeName = nullptr, DWORD timeoutMs = 30000);

// Answers the process's message boxes with the buttons in order, then waits for its end.
// A box that does not come, or no end, fails the test.
std::vector<SeenBox> AnswerBoxes(const ChildProcess& process, const std::vector<int>& buttons);

// Answers every box of the process until it ends: OK, else Cancel (a deletion prompt),
// else Yes or No as yes says.
std::vector<SeenBox> AnswerUntilEnd(const ChildProcess& process, bool yes);

// True when the notepad started by parentId shows fileName (it is ended with the test).
bool NotepadShows(DWORD parentId, const std::string& fileName);

// MewlarkSetup.exe and a readme.txt in a folder of their own (source), started with a
// temporary folder of their own (temp), both in a scratch folder.
class SetupTest : public ::testing::Test {
protected:
    SetupTest();
    ChildProcess Run(const std::string& program, const std::string& arguments = std::string()) const {
        return StartProgram("\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments), temp);
    }
    std::string Setup() const { return source + "\\MewlarkSetup.exe"; }
    std::string Log() const { return temp + "\\hcSetup.log"; }

    ScratchFolder scratch;
    const std::string source = scratch / "source";
    const std::string temp = scratch / "temp";
    const std::string programs;      // the Programs menu of all users
    const std::string programFiles;  // "%PF%"
    // Forgets the deletions at restart that uninstalls schedule.
    const SavedValue pending{HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                             "PendingFileRenameOperations"};
};

}  // namespace setup_test
