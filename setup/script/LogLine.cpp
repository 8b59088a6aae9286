#include "setup/script/LogLine.h"

const char* LevelWord(LogLevel level) {
    switch (level) {
        case LogLevel::Info: return "Info";
        case LogLevel::Success: return "Success";
        case LogLevel::Skip: return "Skip";
        case LogLevel::Error: return "Error";
    }
    return "Info";
}

std::string FormatLogLine(std::string_view date, std::string_view time, LogLevel level, std::string_view message) {
    std::string line;
    line.reserve(date.size() + time.size() + message.size() + 16);
    line.append("[").append(date).append(" ").append(time).append("] ");
    line.append(LevelWord(level)).append(" : ").append(message).append("\r\n");
    return line;
}
