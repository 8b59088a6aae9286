#include "notifier/service/ResponseBody.h"

#include <algorithm>
#include <cstdlib>

ResponseBody::~ResponseBody() { std::free(data_); }

bool ResponseBody::GrowForNextChunk() {
    if (size_ + kChunk < capacity_ || capacity_ == kMaxSize) return true;
    const std::size_t newCapacity = std::min(2 * capacity_ + kChunk, kMaxSize);
    void* grown = std::realloc(data_, newCapacity + 1);
    if (grown == nullptr) return false;
    data_ = static_cast<char*>(grown);
    capacity_ = newCapacity;
    return true;
}

bool ResponseBody::ReadUpTo(std::string_view endBytes, const ReadChunk& read, const StopRequested& stopRequested) {
    while (size_ < kMaxSize) {
        if (stopRequested && stopRequested()) return true;
        if (!GrowForNextChunk()) return false;
        const std::size_t room = std::min(kChunk, capacity_ - size_);
        std::size_t got = 0;
        if (!read(data_ + size_, room, got)) return false;
        if (got > room) return false;
        const std::string_view chunk(data_ + size_, got);
        size_ += got;
        data_[size_] = '\0';
        if (got == 0 || chunk.find_first_of(endBytes) != std::string_view::npos) return true;
    }
    return true;
}
