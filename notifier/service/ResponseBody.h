// A response body read in chunks into one growing heap block, only as far as it is used.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

class ResponseBody {
public:
    static constexpr std::size_t kChunk = 2000;
    // No more of a body is ever read: a reply that never ends costs this much at most.
    static constexpr std::size_t kMaxSize = 64 * 1024;

    ResponseBody() = default;
    ResponseBody(const ResponseBody&) = delete;
    ResponseBody& operator=(const ResponseBody&) = delete;
    ~ResponseBody();

    // Zero-terminated bytes as received; null before the first growth.
    const char* Data() const { return data_; }
    std::size_t Size() const { return size_; }
    std::size_t Capacity() const { return capacity_; }

    // Reads chunks of at most kChunk bytes through read until a byte of endBytes has arrived
    // (what follows it is not used), kMaxSize bytes are held or read reports 0 bytes (true);
    // until a failure (false); or until stopRequested() turns true before a read (true).
    // Before each read the capacity grows to 2 * capacity + kChunk, at most kMaxSize, when
    // size + kChunk reaches it: 2000, 6000, 14000, ... The block always has one byte beyond
    // the capacity, so the terminating zero fits even after a full chunk. A failed growth
    // ends the read as a failure and leaves the block as it was.
    using ReadChunk = std::function<bool(char* into, std::size_t maxBytes, std::size_t& bytesRead)>;
    using StopRequested = std::function<bool()>;
    bool ReadUpTo(std::string_view endBytes, const ReadChunk& read, const StopRequested& stopRequested);

private:
    bool GrowForNextChunk();

    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};
