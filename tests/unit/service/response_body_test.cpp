#include "notifier/service/response_body.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// Serves the given chunk sizes, filling each chunk with 'a' + chunk index, and
// records the capacity seen before each read.
struct ScriptedReader {
    std::vector<std::size_t> chunks;
    std::size_t next = 0;
    std::vector<std::size_t> capacities;
    const ResponseBody* body = nullptr;

    ResponseBody::ReadChunk Reader() {
        return [this](char* into, std::size_t maxBytes, std::size_t& got) {
            capacities.push_back(body->Capacity());
            got = next < chunks.size() ? chunks[next] : 0;
            if (got > maxBytes) return false;
            std::memset(into, 'a' + static_cast<int>(next), got);
            ++next;
            return true;
        };
    }
};

TEST(ResponseBody, EmptyBodyIsOneBlockWithItsZeroByte) {
    ResponseBody body;
    ScriptedReader reader{{0}};
    reader.body = &body;
    ASSERT_TRUE(body.ReadAll(reader.Reader(), nullptr));
    EXPECT_EQ(body.Size(), 0u);
    EXPECT_EQ(body.Capacity(), 2000u);
    ASSERT_NE(body.Data(), nullptr);
    EXPECT_EQ(body.Data()[0], '\0');
}

TEST(ResponseBody, CapacityGrowsGeometricallyBeforeReads) {
    ResponseBody body;
    ScriptedReader reader{{2000, 2000, 1000, 0}};
    reader.body = &body;
    ASSERT_TRUE(body.ReadAll(reader.Reader(), nullptr));
    EXPECT_EQ(reader.capacities, (std::vector<std::size_t>{2000, 6000, 14000, 14000}));
    EXPECT_EQ(body.Size(), 5000u);
    EXPECT_EQ(std::strlen(body.Data()), 5000u);
    EXPECT_EQ(body.Data()[1999], 'a');
    EXPECT_EQ(body.Data()[2000], 'b');
    EXPECT_EQ(body.Data()[4999], 'c');
}

TEST(ResponseBody, FullFirstChunkKeepsItsTerminatorInsideTheBlock) {
    // Under ASan a terminator written past the block would abort this test.
    ResponseBody body;
    ScriptedReader reader{{2000}};
    reader.body = &body;
    ASSERT_TRUE(body.ReadAll(reader.Reader(), nullptr));
    EXPECT_EQ(body.Size(), 2000u);
    EXPECT_EQ(body.Data()[2000], '\0');
}

TEST(ResponseBody, StopBeforeTheFirstReadReadsNothing) {
    ResponseBody body;
    ScriptedReader reader{{10}};
    reader.body = &body;
    ASSERT_TRUE(body.ReadAll(reader.Reader(), [] { return true; }));
    EXPECT_EQ(body.Size(), 0u);
    EXPECT_EQ(body.Data(), nullptr);
    EXPECT_TRUE(reader.capacities.empty());
}

TEST(ResponseBody, StopDuringTheReadKeepsWhatArrived) {
    ResponseBody body;
    ScriptedReader reader{{10, 10, 10}};
    reader.body = &body;
    ASSERT_TRUE(body.ReadAll(reader.Reader(), [&reader] { return reader.next == 2; }));
    EXPECT_EQ(body.Size(), 20u);
    EXPECT_STREQ(body.Data(), "aaaaaaaaaabbbbbbbbbb");
}

TEST(ResponseBody, FailedReadKeepsTheBytesReadSoFar) {
    ResponseBody body;
    int calls = 0;
    const bool ok = body.ReadAll(
        [&calls](char* into, std::size_t, std::size_t& got) {
            if (++calls > 1) return false;
            std::memcpy(into, "12\r\n", 4);
            got = 4;
            return true;
        },
        nullptr);
    EXPECT_FALSE(ok);
    EXPECT_EQ(body.Size(), 4u);
    EXPECT_STREQ(body.Data(), "12\r\n");
}

}  // namespace
