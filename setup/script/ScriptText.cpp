#include "setup/script/ScriptText.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "common/Mbcs.h"

// Quote, comma, blank and the line breaks all lie below 0x40, where no trail byte of a
// double-byte character falls: scanning bytes for them never splits a character.

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

}  // namespace

std::string Trim(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return std::string(text.substr(begin, end - begin));
}

void SplitFields(std::string_view line, int limit, StringList& fields) {
    fields.clear();
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c != '"') {
                field += c;
            } else if (i + 1 < line.size() && line[i + 1] == '"') {
                field += '"';
                ++i;
            } else {
                quoted = false;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.push_back(Trim(field));
            field.clear();
            if (static_cast<int>(fields.size()) == limit) return;
        } else {
            field += c;
        }
    }
    fields.push_back(Trim(field));
}

CommandLineParts SplitCommandLine(std::string_view commandLine) {
    const std::string text = Trim(commandLine);
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') {
            quoted = !quoted;
        } else if (text[i] == ' ' && !quoted) {
            return {text.substr(0, i), text.substr(i + 1)};
        }
    }
    return {};
}

std::string ProgramOf(std::string_view commandLine) {
    CommandLineParts parts = SplitCommandLine(commandLine);
    std::string program = parts.program.empty() ? Trim(commandLine) : parts.program;
    if (program.size() >= 2 && program.front() == '"' && program.back() == '"') {
        program = program.substr(1, program.size() - 2);
    }
    return program;
}

ExecEntry ParseExecEntry(std::string_view entry) {
    ExecEntry exec;
    for (;;) {
        if (!entry.empty() && entry.front() == '&' && !exec.detached) {
            exec.detached = true;
        } else if (!entry.empty() && entry.front() == '?' && !exec.onlyIfProgramExists) {
            exec.onlyIfProgramExists = true;
        } else {
            break;
        }
        entry.remove_prefix(1);
    }
    exec.command = entry;
    return exec;
}

std::string CheckableProgram(std::string_view command) {
    if (command.empty() || command.front() != '"') return std::string();
    const std::size_t close = command.find('"', 1);
    if (close == std::string_view::npos || (close + 1 < command.size() && command[close + 1] != ' ')) {
        return std::string();
    }
    const std::string_view path = command.substr(1, close - 1);
    const bool drive = path.size() > 3 && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':' &&
                       path[2] == '\\';
    const bool share = path.size() > 2 && path[0] == '\\' && path[1] == '\\';
    if (!drive && !share) return std::string();
    const std::size_t slash = mbcs::FindLastChar(path, '\\');
    const std::string_view name = path.substr(slash + 1);
    const std::size_t dot = mbcs::FindLastChar(name, '.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size()) return std::string();
    return std::string(path);
}

StringList SplitArguments(std::string_view commandLine) {
    StringList arguments;
    std::size_t i = 0;
    while (true) {
        while (i < commandLine.size() && IsBlank(commandLine[i])) ++i;
        if (i >= commandLine.size()) break;
        std::string argument;
        bool quoted = false;
        for (; i < commandLine.size() && (quoted || !IsBlank(commandLine[i])); ++i) {
            if (commandLine[i] == '"') {
                quoted = !quoted;
            } else {
                argument += commandLine[i];
            }
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

StringList SplitLines(std::string_view text) {
    StringList lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

SectionBody FindSectionBody(const StringList& lines, std::string_view header) {
    SectionBody body;
    std::size_t i = 0;
    while (i < lines.size() && !mbcs::EqualsNoCase(lines[i], header)) ++i;
    if (i == lines.size()) return body;
    body.found = true;
    for (++i; i < lines.size() && (lines[i].empty() || lines[i][0] != '['); ++i) {
        body.lines.push_back(lines[i]);
    }
    return body;
}

namespace {

// The profile reader's blanks: the C locale's white space and the end-of-file mark.
bool IsProfileBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x1A; }

std::string_view TrimProfileBlanks(std::string_view text) {
    while (!text.empty() && IsProfileBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsProfileBlank(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

std::string ProfileString(const StringList& lines, std::string_view section, std::string_view key,
                          std::size_t maxLength) {
    section = TrimProfileBlanks(section);
    key = TrimProfileBlanks(key);
    bool inSection = false;
    bool sectionSeen = false;
    for (const std::string& raw : lines) {
        const std::string_view line = TrimProfileBlanks(raw);
        if (line.empty()) continue;
        const std::size_t close = line.front() == '[' ? mbcs::FindLastChar(line, ']') : std::string_view::npos;
        if (close != std::string_view::npos) {
            // Only the first section of the name is read.
            if (sectionSeen) return std::string();
            inSection = mbcs::EqualsNoCase(line.substr(1, close - 1), section);
            sectionSeen = inSection;
            continue;
        }
        if (!inSection) continue;
        const std::size_t equals = mbcs::FindChar(line, '=');
        if (equals == std::string_view::npos || !mbcs::EqualsNoCase(TrimProfileBlanks(line.substr(0, equals)), key)) {
            continue;
        }
        std::string_view value = TrimProfileBlanks(line.substr(equals + 1));
        const bool quoted = value.size() > 1 && (value.front() == '"' || value.front() == '\'') &&
                            value.back() == value.front();
        if (quoted) value.remove_prefix(1);
        const std::size_t length = mbcs::SafePrefixLength(value, maxLength);
        // A value cut short keeps the rest of its quote.
        if (quoted && length >= value.size()) value.remove_suffix(1);
        return std::string(value.substr(0, length));
    }
    return std::string();
}

bool ParseIniBool(std::string_view value, bool fallback) {
    if (value.empty()) return fallback;
    return mbcs::ToLower(value) == "true";
}

int ParseDecimal(std::string_view text, int fallback) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    if (i == text.size()) return fallback;
    for (std::size_t k = i; k < text.size(); ++k) {
        if (text[k] < '0' || text[k] > '9') return fallback;
    }
    const std::string digits(text);
    errno = 0;
    const long long value = std::strtoll(digits.c_str(), nullptr, 10);
    if (errno == ERANGE || value < INT_MIN || value > INT_MAX) return fallback;
    return static_cast<int>(value);
}

std::string LastDottedPart(std::string_view versionText) {
    // Each step keeps at most 999 bytes after the first ".".
    std::string text(versionText);
    for (std::size_t dot = mbcs::FindChar(text, '.'); dot != std::string::npos; dot = mbcs::FindChar(text, '.')) {
        const std::string rest = text.substr(dot + 1);
        text = rest.substr(0, mbcs::SafePrefixLength(rest, 999));
    }
    return text;
}

namespace {

// '%' lies below 0x40, so a match found by bytes starts on a character boundary.
void ReplaceFirst(std::string& text, std::string_view macro, const std::string& value) {
    const std::size_t at = text.find(macro);
    if (at != std::string::npos) text.replace(at, macro.size(), value);
}

}  // namespace

std::string ExpandMacros(std::string_view text, const MacroValues& values) {
    std::string result(text);
    ReplaceFirst(result, "%InstallDir%", values.installDir);
    ReplaceFirst(result, "%PF%", values.programFiles);
    ReplaceFirst(result, "%APP%", values.appData);
    ReplaceFirst(result, "%BaseDir%", values.baseDir);
    return result;
}
