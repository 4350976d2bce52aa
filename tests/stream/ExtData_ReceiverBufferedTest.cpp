#include "stream/ExtData_ReceiverBuffered.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "stream/SStreamSplitter.h"

namespace {

SMem bytes(const std::string& text) {
    SMem mem;
    mem.append(text.data(), text.size());
    return mem;
}

void feed(SStreamSplitter& splitter, const std::string& text) {
    for (unsigned char b : text) splitter.onStreamData(b);
}

TEST(ExtData_ReceiverBufferedTest, StartsEmptyAndGivesValueAndRingByKind) {
    ExtData base;
    EXPECT_STREQ(base.getClassName(), "ExtData");
    EXPECT_EQ(base.data(0), nullptr);
    EXPECT_EQ(base.data(1), nullptr);

    ExtData_ReceiverBuffered channel;
    EXPECT_STREQ(channel.getClassName(), "ExtData_ReceiverBuffered");
    EXPECT_EQ(channel.getType(), 0);
    EXPECT_EQ(channel.getUpdateCount(), 0u);
    EXPECT_EQ(channel.getLatestValue(), 0u);
    EXPECT_EQ(channel.data(ExtData::dataRing), &channel.getRing());
    EXPECT_EQ(channel.data(2), nullptr);
    ASSERT_NE(channel.data(ExtData::dataLatestValue), nullptr);

    ReceiverBuffered plain;
    EXPECT_STREQ(plain.getClassName(), "ReceiverBuffered");
    Receiver* asReceiver = &channel;
    EXPECT_STREQ(asReceiver->getClassName(), "ExtData_ReceiverBuffered");
}

TEST(ExtData_ReceiverBufferedTest, LatestValueTakesTheFrameBytesFromTheLowestOn) {
    ExtData_ReceiverBuffered channel;
    channel.setup(1, 4);
    channel.setBufferSize(10);
    auto* latest = static_cast<std::atomic<uint32_t>*>(channel.data(ExtData::dataLatestValue));

    // A 2-byte frame after construction reads as the zero-extended 16-bit number.
    channel.receive(bytes("\x34\x12"), 2, 1, 0);
    EXPECT_EQ(channel.getLatestValue(), 0x1234u);
    // Longer frames give their first four bytes; shorter ones keep the bytes beyond them.
    channel.receive(bytes("\xAA\xBB\xCC\xDD\xEE"), 5, 1, 0);
    EXPECT_EQ(channel.getLatestValue(), 0xDDCCBBAAu);
    channel.receive(bytes("\x11"), 1, 1, 0);
    EXPECT_EQ(channel.getLatestValue(), 0xDDCCBB11u);
    channel.receive(bytes("\x22\x33"), 2, 1, 0);
    EXPECT_EQ(channel.getLatestValue(), 0xDDCC3322u);
    EXPECT_EQ(latest->load(), 0xDDCC3322u);
    // The length counts, not the size of the buffer the frame lies in.
    channel.receive(bytes("\x44\x55\x66\x77"), 1, 1, 0);
    EXPECT_EQ(channel.getLatestValue(), 0xDDCC3344u);

    EXPECT_EQ(channel.getUpdateCount(), 5u);
    EXPECT_EQ(channel.getRing().count(), 2 + 5 + 1 + 2 + 1);
}

TEST(ExtData_ReceiverBufferedTest, FramesFromTheSplitterFillRingAndValue) {
    ExtData_ReceiverBuffered channel;
    channel.setup(3, 2);
    channel.setBufferSize(1000);
    SStreamSplitter splitter;
    splitter.connect(&channel, 0);

    // Two samples of the experiment's U_C channel: 1023 and 512 counts.
    feed(splitter, std::string("\x03\xFF\x03\x03\x00\x02", 6));
    EXPECT_EQ(channel.getUpdateCount(), 2u);
    EXPECT_EQ(channel.getLatestValue(), 512u);
    auto* ring = static_cast<SRingBuffer*>(channel.data(ExtData::dataRing));
    uint8_t out[4] = {};
    ASSERT_TRUE(ring->get(out, 4));
    EXPECT_EQ(out[0] | out[1] << 8, 1023);
    EXPECT_EQ(out[2] | out[3] << 8, 512);
}

TEST(ExtData_ReceiverBufferedTest, FullRingLosesTheOldestBytes) {
    ExtData_ReceiverBuffered channel;
    channel.setup(1, 1);
    channel.setBufferSize(500);
    EXPECT_EQ(channel.getRing().getCapacity(), 500u);
    SStreamSplitter splitter;
    splitter.connect(&channel, 0);

    for (int i = 0; i < 501; ++i) {
        splitter.onStreamData(1);
        splitter.onStreamData(static_cast<uint8_t>(i));
    }
    EXPECT_EQ(channel.getUpdateCount(), 501u);
    EXPECT_EQ(channel.getRing().count(), 500);
    EXPECT_EQ(channel.getRing().getOverflowCount(), 1);
    uint8_t first = 0;
    ASSERT_TRUE(channel.getRing().peek(0, first));
    EXPECT_EQ(first, 1);  // frame 0 is gone
}

TEST(ExtData_ReceiverBufferedTest, BufferSizeIsRecordLengthTimesRecordsWithinBounds) {
    ExtData_ReceiverBuffered channel;
    channel.setup(1, 2);
    channel.setBufferSize(1000);
    EXPECT_EQ(channel.getRing().getCapacity(), 2000u);
    channel.receive(bytes("\x01\x02"), 2, 1, 0);
    channel.setBufferSize(10);  // empties the ring
    EXPECT_EQ(channel.getRing().count(), 0);
    channel.setBufferSize(-5);
    EXPECT_EQ(channel.getRing().getCapacity(), 0u);
    channel.receive(bytes("\x01\x02"), 2, 1, 0);  // nothing kept, no harm
    EXPECT_EQ(channel.getRing().count(), 0);
    channel.setBufferSize(INT32_MAX);
    EXPECT_EQ(channel.getRing().getCapacity(), static_cast<std::size_t>(ReceiverBuffered::maxBufferBytes));
}

// The reader thread feeds frames while this thread reads the latest value, the count and the
// ring, as the painters do. Every value read must come from one whole frame.
TEST(ExtData_ReceiverBufferedTest, ReaderThreadAndPainterThreadDoNotTearValues) {
    // Frame k: four bytes k & 0xFF (the latest value), then k as a 32-bit number.
    constexpr uint32_t frames = 200000;
    ExtData_ReceiverBuffered channel;
    channel.setup(7, 8);
    channel.setBufferSize(64);
    SStreamSplitter splitter;
    splitter.connect(&channel, 0);

    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (uint32_t k = 1; k <= frames; ++k) {
            splitter.onStreamData(7);
            for (int i = 0; i < 4; ++i) splitter.onStreamData(static_cast<uint8_t>(k));
            for (int i = 0; i < 4; ++i) splitter.onStreamData(static_cast<uint8_t>(k >> (8 * i)));
        }
        done = true;
    });

    uint32_t lastCount = 0;
    uint32_t lastK = 0;
    int tornValues = 0, countsBack = 0, ringOutOfOrder = 0, recordsRead = 0;
    while (!done.load()) {
        const uint32_t count = channel.getUpdateCount();
        const uint32_t v = channel.getLatestValue();
        if (count < lastCount) ++countsBack;
        lastCount = count;
        if ((v & 0xFF) * 0x01010101u != v) ++tornValues;
        uint8_t record[8];
        if (channel.getRing().get(record, 8)) {
            ++recordsRead;
            const uint32_t k =
                record[4] | record[5] << 8 | record[6] << 16 | static_cast<uint32_t>(record[7]) << 24;
            if (record[0] != static_cast<uint8_t>(k) || record[3] != static_cast<uint8_t>(k) || k <= lastK)
                ++ringOutOfOrder;
            lastK = k;
        }
    }
    writer.join();

    EXPECT_EQ(tornValues, 0);
    EXPECT_EQ(countsBack, 0);
    EXPECT_EQ(ringOutOfOrder, 0);
    EXPECT_EQ(channel.getUpdateCount(), frames);
    EXPECT_EQ(channel.getLatestValue(), (frames & 0xFF) * 0x01010101u);
    EXPECT_EQ(channel.getRing().count() % 8, 0);
    RecordProperty("recordsRead", recordsRead);
}

}  // namespace
