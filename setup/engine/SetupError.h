// The one error type of the setup engine: a message text for the user or the log.
#pragma once

#include <stdexcept>
#include <string>

class SetupError : public std::runtime_error {
public:
    explicit SetupError(const std::string& message) : std::runtime_error(message) {}
};
