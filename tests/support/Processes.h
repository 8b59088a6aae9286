// Programs started by the tests, and the processes they start in turn.
#pragma once

#include <windows.h>

#include <string>

namespace test {

// A started process; one still running at the end of the object's life is ended by force.
class Process {
public:
    Process() = default;
    Process(HANDLE process, DWORD id) : process_(process), id_(id) {}
    Process(Process&& other) noexcept : process_(other.process_), id_(other.id_) { other.process_ = nullptr; }
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process();

    // Starts the command line (failing the test when it cannot); with tempDir, in that folder
    // and with TMP and TEMP pointing at it.
    static Process Start(const std::string& commandLine, const std::string& tempDir = std::string());

    bool IsValid() const { return process_ != nullptr; }
    DWORD Id() const { return id_; }
    HANDLE Handle() const { return process_; }
    bool Ended(DWORD timeoutMs = 60000) const;
    DWORD ExitCode() const;
    // From its start to its end in ms, once it has ended.
    DWORD Lifetime() const;

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// The first process started by parentId (with that program name, when given).
Process ChildOf(DWORD parentId, const char* programName = nullptr, DWORD timeoutMs = 30000);

// The program name of the process that started processId; empty when unknown.
std::string ParentProgramOf(DWORD processId);

}  // namespace test
