// Script lines of any bytes: the fields never outnumber the limit or outgrow the line.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "setup/script/ScriptText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks the limit, as the sections use 1 to 6.
    const int limit = 1 + data[0] % 6;
    const std::string_view line(reinterpret_cast<const char*>(data + 1), size - 1);
    StringList fields;
    SplitFields(line, limit, fields);
    if (fields.empty() || static_cast<int>(fields.size()) > limit) __builtin_trap();
    std::size_t total = 0;
    for (const std::string& field : fields) {
        total += field.size();
        if (!field.empty() && (static_cast<unsigned char>(field.front()) <= 32 ||
                               static_cast<unsigned char>(field.back()) <= 32)) {
            __builtin_trap();
        }
    }
    if (total > line.size()) __builtin_trap();
    const CommandLineParts parts = SplitCommandLine(line);
    if (parts.program.size() + parts.parameters.size() > line.size()) __builtin_trap();
    return 0;
}
