// Whole scripts of any bytes: every section body is a run of the script's own lines that
// holds no line beginning with "["; every "init" value is a piece of the text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "setup/script/ScriptText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const StringList lines = SplitLines(text);
    std::size_t bytes = 0;
    for (const std::string& line : lines) {
        if (line.find_first_of("\r\n") != std::string::npos) __builtin_trap();
        bytes += line.size();
    }
    if (bytes > size) __builtin_trap();
    for (const char* header : {"[InstallRegistry]", "[InstallFiles]", "[UninstallFiles]"}) {
        const SectionBody body = FindSectionBody(lines, header);
        if (!body.found && !body.lines.empty()) __builtin_trap();
        if (body.lines.size() >= lines.size() && body.found) __builtin_trap();
        for (const std::string& line : body.lines) {
            if (!line.empty() && line[0] == '[') __builtin_trap();
        }
        if (!body.lines.empty() &&
            std::search(lines.begin(), lines.end(), body.lines.begin(), body.lines.end()) == lines.end()) {
            __builtin_trap();
        }
    }
    // The profile reader's values are pieces of a line, cut to the reader's buffer.
    for (const char* key : {"ProductID", "Start"}) {
        const std::string value = ProfileString(lines, "init", key, 511);
        if (value.size() > 511 || text.find(value) == std::string_view::npos) __builtin_trap();
    }
    return 0;
}
