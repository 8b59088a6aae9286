#include <cstddef>
#include <cstdint>
#include <string_view>

#include "notifier/service/ArrivalReply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::int32_t count = -1;
    const CheckStatus status = ParseArrivalReply(std::string_view(reinterpret_cast<const char*>(data), size), count);
    if (count < 0 || (status != CheckStatus::Ok && count != 0)) __builtin_trap();
    return 0;
}
