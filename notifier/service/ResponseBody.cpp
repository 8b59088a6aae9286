#include "notifier/service/ResponseBody.h"

#include <cstdlib>
#include <limits>

ResponseBody::~ResponseBody() { std::free(data_); }

bool ResponseBody::GrowForNextChunk() {
    if (size_ + kChunk < capacity_) return true;
    constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max();
    if (capacity_ > (kMax - kChunk - 1) / 2) return false;
    const std::size_t newCapacity = 2 * capacity_ + kChunk;
    void* grown = std::realloc(data_, newCapacity + 1);
    if (grown == nullptr) return false;
    data_ = static_cast<char*>(grown);
    capacity_ = newCapacity;
    return true;
}

bool ResponseBody::ReadAll(const ReadChunk& read, const StopRequested& stopRequested) {
    for (;;) {
        if (stopRequested && stopRequested()) return true;
        if (!GrowForNextChunk()) return false;
        std::size_t got = 0;
        if (!read(data_ + size_, kChunk, got)) return false;
        if (got > kChunk) return false;
        size_ += got;
        data_[size_] = '\0';
        if (got == 0) return true;
    }
}
