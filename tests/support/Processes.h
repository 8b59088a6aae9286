// Programs started by the tests, and the processes they start in turn.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace test {

// A started process; one still running when its last copy of this object goes is ended by force.
class Process {
public:
    Process() = default;
    Process(HANDLE process, DWORD id);

    // Starts the command line, failing the test when it cannot.
    static Process Start(const std::string& commandLine);

    bool IsValid() const { return process_ != nullptr; }
    DWORD Id() const { return id_; }
    HANDLE Handle() const { return process_.get(); }
    bool Ended(DWORD timeoutMs = 60000) const;
    DWORD ExitCode() const;
    // From its start to its end in ms, once it has ended.
    DWORD Lifetime() const;

private:
    std::shared_ptr<void> process_;
    DWORD id_ = 0;
};

// The first process started by parentId (with that program name, when given).
Process ChildOf(DWORD parentId, const char* programName = nullptr, DWORD timeoutMs = 30000);

// The process that owns the window, once the window is there (an empty one after timeoutMs).
Process OwnerOf(const std::function<HWND()>& findWindow, DWORD timeoutMs = 30000);

// Whether the process runs with an elevated token. Under Wine 8 every process does; under
// Wine 10, as under Windows with UAC, only one whose manifest asks for it.
bool IsElevated(DWORD processId);

// Whether the shell's process (the taskbar's owner) runs elevated.
bool ShellIsElevated();

// How often the ASCII text occurs in this process's committed private memory, in bytes or in
// UTF-16, as a dump of it would show it.
int CopiesInMemory(const std::string& text);
}  // namespace test
