#include "hex_text.hpp"
#include "outgoing_queue.hpp"
#include "raw_schedule.hpp"

#include <gtest/gtest.h>

namespace quillsim {
namespace {

OutgoingDatagram at(Millis due, std::uint8_t tag) {
    return OutgoingDatagram{due, {}, {tag}, OutgoingKind::raw, std::nullopt, {}, std::nullopt};
}

std::vector<std::uint8_t> drain_tags(OutgoingQueue& queue, Millis now) {
    std::vector<std::uint8_t> tags;
    while (const OutgoingDatagram* next = queue.peek_due(now)) {
        tags.push_back(next->bytes.at(0));
        queue.pop();
    }
    return tags;
}

TEST(OutgoingQueue, ReleasesByDueTimeThenQueueOrder) {
    OutgoingQueue queue;
    queue.push(at(30, 1));
    queue.push(at(10, 2));
    queue.push(at(30, 3));
    queue.push(at(10, 4));
    EXPECT_EQ(queue.next_due(), 10);
    EXPECT_EQ(drain_tags(queue, 9), std::vector<std::uint8_t>{});
    EXPECT_EQ(drain_tags(queue, 10), (std::vector<std::uint8_t>{2, 4}));
    EXPECT_EQ(drain_tags(queue, 100), (std::vector<std::uint8_t>{1, 3}));
    EXPECT_FALSE(queue.next_due());
}

TEST(OutgoingQueue, PeekLeavesTheDatagramForARetry) {
    OutgoingQueue queue;
    queue.push(at(5, 7));
    ASSERT_NE(queue.peek_due(5), nullptr);
    EXPECT_EQ(queue.size(), 1u);
    EXPECT_EQ(queue.peek_due(6)->bytes.at(0), 7);
}

TEST(RawSchedule, SendsTheWholeSetEachRound) {
    RawPlan plan{{{1}, {2}}, 3, 100, {}};
    OutgoingQueue queue;
    schedule_raw(plan, 1000, queue);
    EXPECT_EQ(drain_tags(queue, 1000), (std::vector<std::uint8_t>{1, 2}));
    EXPECT_EQ(drain_tags(queue, 1199), (std::vector<std::uint8_t>{1, 2}));
    EXPECT_EQ(drain_tags(queue, 1200), (std::vector<std::uint8_t>{1, 2}));
    EXPECT_TRUE(queue.empty());
}

TEST(HexText, ParsesPastedDumps) {
    EXPECT_EQ(parse_hex_bytes("50565f"), (std::vector<std::uint8_t>{0x50, 0x56, 0x5f}));
    EXPECT_EQ(parse_hex_bytes(" 50 56\n5F\t"), (std::vector<std::uint8_t>{0x50, 0x56, 0x5f}));
    EXPECT_EQ(parse_hex_bytes("  "), std::vector<std::uint8_t>{});
    for (const char* bad : {"5", "505", "5 0", "0x50", "zz"}) {
        EXPECT_FALSE(parse_hex_bytes(bad)) << bad;
    }
}

TEST(HexText, FormatsLowerCase) {
    const std::vector<std::uint8_t> bytes{0x00, 0xab, 0x0f};
    EXPECT_EQ(format_hex_bytes(bytes), "00ab0f");
}

} // namespace
} // namespace quillsim
