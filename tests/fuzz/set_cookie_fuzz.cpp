#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "notifier/service/SetCookie.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view header(reinterpret_cast<const char*>(data), size);
    std::string name;
    std::string value;
    SplitSetCookiePair(header, name, value);
    // Name and value are pieces of the header without separators of their own.
    if (name.size() + value.size() > size) __builtin_trap();
    if (name.find_first_of("= ;") != std::string::npos) __builtin_trap();
    if (value.find_first_of("; ") != std::string::npos) __builtin_trap();
    return 0;
}
