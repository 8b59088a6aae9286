// The one error type of the setup engine: a message text for the user or the log.
#pragma once

#include <stdexcept>
#include <string>

class SetupError : public std::runtime_error {
public:
    explicit SetupError(const std::string& message) : std::runtime_error(message) {}
};

// The error of a command that could not start (code: the system's error), as its log line gives it.
inline SetupError ExecError(unsigned long code, const std::string& command) {
    return SetupError(std::to_string(code) + " ... Exec Error " + command);
}
