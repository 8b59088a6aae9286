#include "notifier/service/ResponseBody.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Reads a body served in chunks of the given sizes (chunk i filled with 'a' + i; then a read
// of 0 bytes, or a failed read when failAtEnd), recording the capacity before each read.
struct Served {
    std::vector<std::size_t> capacities;
    std::size_t reads = 0;
    bool ok = false;
};

Served Serve(ResponseBody& body, const std::vector<std::size_t>& chunks, bool failAtEnd = false,
             std::size_t stopAfter = SIZE_MAX) {
    Served served;
    served.ok = body.ReadAll(
        [&](char* into, std::size_t, std::size_t& got) {
            served.capacities.push_back(body.Capacity());
            if (served.reads == chunks.size() && failAtEnd) return false;
            got = served.reads < chunks.size() ? chunks[served.reads] : 0;
            std::memset(into, 'a' + static_cast<int>(served.reads), got);
            ++served.reads;
            return true;
        },
        [&] { return served.reads >= stopAfter; });
    return served;
}

TEST(ResponseBody, CapacityGrowsBeforeReadsAndTheZeroByteAlwaysFits) {
    // The first read fills the 2000-byte block: under ASan a zero byte stored past the block aborts.
    ResponseBody body;
    const Served served = Serve(body, {2000, 2000, 1000});
    ASSERT_TRUE(served.ok);
    EXPECT_EQ(served.capacities, (std::vector<std::size_t>{2000, 6000, 14000, 14000}));
    EXPECT_EQ(body.Size(), 5000u);
    EXPECT_EQ(std::string(body.Data()), std::string(2000, 'a') + std::string(2000, 'b') + std::string(1000, 'c'));

    ResponseBody empty;
    ASSERT_TRUE(Serve(empty, {}).ok);
    EXPECT_EQ(empty.Capacity(), 2000u);
    ASSERT_NE(empty.Data(), nullptr);
    EXPECT_STREQ(empty.Data(), "");
}

TEST(ResponseBody, StopAndFailureKeepWhatArrived) {
    ResponseBody stoppedAtOnce;
    const Served none = Serve(stoppedAtOnce, {10}, false, 0);
    EXPECT_TRUE(none.ok);
    EXPECT_TRUE(none.capacities.empty()) << "nothing read";
    EXPECT_EQ(stoppedAtOnce.Data(), nullptr);

    ResponseBody stopped;
    EXPECT_TRUE(Serve(stopped, {10, 10, 10}, false, 2).ok);
    EXPECT_STREQ(stopped.Data(), "aaaaaaaaaabbbbbbbbbb");

    ResponseBody failed;
    EXPECT_FALSE(Serve(failed, {4}, true).ok);
    EXPECT_STREQ(failed.Data(), "aaaa");
}

}  // namespace
