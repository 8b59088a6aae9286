#include "notifier/shell/CommandVerbs.h"

#include "common/Mbcs.h"

namespace {

bool IsVerbSeparator(char c) { return c == '-' || c == '/' || c == ' '; }

bool IsWordEnd(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> SplitVerbTokens(std::string_view commandLine) {
    std::vector<std::string> tokens;
    std::string current;
    for (std::size_t i = 0; i < commandLine.size();) {
        const std::size_t length = mbcs::CharLength(commandLine, i);
        if (length == 1 && IsVerbSeparator(commandLine[i])) {
            if (!current.empty()) tokens.push_back(std::move(current));
            current.clear();
        } else {
            current.append(commandLine.substr(i, length));
        }
        i += length;
    }
    if (!current.empty()) tokens.push_back(std::move(current));
    return tokens;
}

CommandVerb FindCommandVerb(std::string_view commandLine) {
    for (const std::string& token : SplitVerbTokens(commandLine)) {
        if (mbcs::EqualsNoCase(token, "Stop")) return CommandVerb::Stop;
        if (mbcs::EqualsNoCase(token, "UnsetAutoStart")) return CommandVerb::UnsetAutoStart;
        if (mbcs::EqualsNoCase(token, "SetAutoStart")) return CommandVerb::SetAutoStart;
    }
    return CommandVerb::None;
}

bool ParseServerVerbs(std::string_view fullCommandLine) {
    const std::size_t size = fullCommandLine.size();
    std::size_t wordEnd = 0;  // the blank, tab or end that closes the word being looked at
    for (std::size_t i = 0; i < size; i += mbcs::CharLength(fullCommandLine, i)) {
        const char c = fullCommandLine[i];
        if (c != '-' && c != '/') continue;
        const std::size_t wordStart = i + 1;
        if (wordEnd < wordStart) {
            wordEnd = wordStart;
            while (wordEnd < size && !IsWordEnd(fullCommandLine[wordEnd])) {
                wordEnd += mbcs::CharLength(fullCommandLine, wordEnd);
            }
        }
        const std::string_view word = fullCommandLine.substr(wordStart, wordEnd - wordStart);
        if (mbcs::EqualsNoCase(word, "UnregServer") || mbcs::EqualsNoCase(word, "RegServer")) return false;
    }
    return true;
}
