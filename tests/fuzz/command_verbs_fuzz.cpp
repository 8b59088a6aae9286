#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "notifier/shell/CommandVerbs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    std::size_t total = 0;
    for (const std::string& token : SplitVerbTokens(line)) {
        if (token.empty()) __builtin_trap();
        total += token.size();
    }
    if (total > size) __builtin_trap();
    FindCommandVerb(line);
    ParseServerVerbs(line);
    return 0;
}
