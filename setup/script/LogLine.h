// The layout of one line of the setup log.
#pragma once

#include <string>
#include <string_view>

enum class LogLevel { Info = 0, Success = 1, Skip = 2, Error = 3 };

// "Info", "Success", "Skip" or "Error".
const char* LevelWord(LogLevel level);

// "[" date " " time "] " level " : " message CR LF.
std::string FormatLogLine(std::string_view date, std::string_view time, LogLevel level, std::string_view message);
