// Texts of the setup script and of command lines: fields, lines, sections, values, macros.
#pragma once

#include <string>
#include <string_view>
#include <vector>

using StringList = std::vector<std::string>;

// text without the characters with codes 0 to 32 at both ends.
std::string Trim(std::string_view text);

// Cuts a script line into comma-separated fields (double quotes group, doubled quotes give
// one quote). The limit-th field ends the walk; the rest of the line is dropped. The last
// field is always added, also when empty. fields is cleared first.
void SplitFields(std::string_view line, int limit, StringList& fields);

// Program part (quotes kept) and parameter part of a command line, cut at the first blank
// outside double quotes. Without such a blank both parts are empty.
struct CommandLineParts {
    std::string program;
    std::string parameters;
};
CommandLineParts SplitCommandLine(std::string_view commandLine);

// The program a command line starts, without its enclosing quotes: the program part, or the
// whole trimmed line when it has no parameters.
std::string ProgramOf(std::string_view commandLine);

// One entry of a command list, its leading markers taken off: "&" starts it without waiting,
// "?" skips it when its program file does not exist (see CheckableProgram). Either order, each at most once; any
// other first character (or a marker seen twice) begins the command.
struct ExecEntry {
    std::string command;
    bool detached = false;
    bool onlyIfProgramExists = false;
};
ExecEntry ParseExecEntry(std::string_view entry);

// The program a command marked "?" starts, when only one file can be meant: the quoted path that
// begins it, absolute (drive or share) and with an extension, followed by a blank or nothing.
// Empty otherwise: the process start could then search folders or append ".exe", and take
// another file than the one checked.
std::string CheckableProgram(std::string_view command);

// The arguments of a process command line: separated by blanks outside quotes, quotes removed.
StringList SplitArguments(std::string_view commandLine);

// The lines of a text broken at CR LF, CR or LF; a final break adds no empty line.
StringList SplitLines(std::string_view text);

// The body of the first section whose header line equals header (whole line, any case):
// the lines after it up to the first line beginning with "[". Absent: found is false.
struct SectionBody {
    bool found = false;
    StringList lines;
};
SectionBody FindSectionBody(const StringList& lines, std::string_view header);

// The value of key in section of an ini text's lines, as the system's profile reader gives it:
// the first section and in it the first key that match, each compared whole in any case (blanks
// around a key and after "=" do not count; a section's name is the text between "[" and the
// last "]"); blanks around the value and one pair of enclosing quotes (double or single) taken
// off; at most maxLength bytes. Empty when there is no such key.
std::string ProfileString(const StringList& lines, std::string_view section, std::string_view key,
                          std::size_t maxLength);

// An ini boolean: empty gives fallback; otherwise true exactly when it is "true" in any case.
bool ParseIniBool(std::string_view value, bool fallback);

// A signed 32-bit decimal number; fallback for any other text (also out of range).
int ParseDecimal(std::string_view text, int fallback);

// The part after the last "." of a version text ("1.0.0.66" gives "66"), at most 999 bytes;
// the text itself when it holds no ".".
std::string LastDottedPart(std::string_view versionText);

// The values the path macros of a script stand for.
struct MacroValues {
    std::string installDir;    // %InstallDir%
    std::string programFiles;  // %PF%
    std::string appData;       // %APP%
    std::string baseDir;       // %BaseDir%
};
// Replaces each macro at its first occurrence, exact case, in the order %InstallDir%, %PF%,
// %APP%, %BaseDir%, each in the result of the one before.
std::string ExpandMacros(std::string_view text, const MacroValues& values);
