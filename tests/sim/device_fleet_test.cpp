#include "device_fleet.hpp"
#include "request_bytes.hpp"
#include "queue_drain.hpp"

#include <gtest/gtest.h>

#include <set>

namespace quillsim {
namespace {

using test::drain;

const Ipv4 kRequester = *parse_ipv4("198.51.100.1");
const MacBytes kBase{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0xfe};

FleetConfig config(std::size_t devices) {
    FleetConfig c;
    c.device_count = devices;
    c.mac_base = kBase;
    c.ip_base = *parse_ipv4("198.51.100.30");
    c.seed = 42;
    return c;
}

ClassifiedRequest search() { return classify_request(test::search_request()); }

ClassifiedRequest change(const MacBytes& mac, const std::string& address) {
    return classify_request(test::change_command(mac, address));
}

TEST(Fleet, EachDeviceAnswersASearchWithItsOwnIdentity) {
    DeviceFleet fleet(config(3));
    OutgoingQueue queue;
    fleet.on_request(search(), kRequester, 0, queue);
    const auto sent = drain(queue, 0);
    ASSERT_EQ(sent.size(), 3u);
    // The base ends in fe, so the MACs carry into the fifth byte.
    EXPECT_EQ(format_mac(*sent[1].mac), "00-1a-2b-3c-4d-ff");
    EXPECT_EQ(format_mac(*sent[2].mac), "00-1a-2b-3c-4e-00");
    EXPECT_EQ(sent[2].address, "198.51.100.32");
    EXPECT_EQ(sent[2].bytes, build_reply("198.51.100.32", 80, *sent[2].mac));
    EXPECT_EQ(sent[2].kind, OutgoingKind::reply);
}

TEST(Fleet, ReplyDestinationFollowsTheMode) {
    EXPECT_EQ(reply_destination(ReplyMode::unicast, kRequester), (Destination{kRequester, 5555}));
    EXPECT_EQ(reply_destination(ReplyMode::multicast, kRequester),
              (Destination{*parse_ipv4("235.5.6.7"), 5555}));

    auto c = config(1);
    c.reply.mode = ReplyMode::multicast;
    DeviceFleet fleet(c);
    OutgoingQueue queue;
    fleet.on_request(search(), kRequester, 0, queue);
    EXPECT_EQ(drain(queue, 0).at(0).to.address, *parse_ipv4("235.5.6.7"));
}

TEST(Fleet, NoPortOptionDropsTheHttpField) {
    auto c = config(1);
    c.reply.http_port.reset();
    DeviceFleet fleet(c);
    OutgoingQueue queue;
    fleet.on_request(search(), kRequester, 0, queue);
    EXPECT_EQ(drain(queue, 0).at(0).bytes, build_reply("198.51.100.30", std::nullopt, kBase));
}

TEST(Fleet, DelayAndJitterScheduleEachAnswerIndependently) {
    auto c = config(200);
    c.reply.delay_ms = 100;
    c.reply.jitter_ms = 50;
    DeviceFleet fleet(c);
    OutgoingQueue queue;
    fleet.on_request(search(), kRequester, 1000, queue);
    EXPECT_FALSE(queue.peek_due(1099));
    std::set<Millis> due_times;
    Millis previous = 0;
    for (const auto& datagram : drain(queue, 1150)) {
        EXPECT_GE(datagram.due, 1100);
        EXPECT_LE(datagram.due, 1150);
        EXPECT_GE(datagram.due, previous); // sent in time order, not device order
        previous = datagram.due;
        due_times.insert(datagram.due);
    }
    EXPECT_TRUE(queue.empty());
    EXPECT_GT(due_times.size(), 10u); // spread out, not one draw shared by all
}

TEST(Fleet, OnlyTheAddressedDeviceAnswersACommand) {
    DeviceFleet fleet(config(3));
    OutgoingQueue queue;
    const MacBytes second = *offset_mac(kBase, 1);
    const auto changes = fleet.on_request(change(second, "10.0.0.1"), kRequester, 0, queue);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].mac, second);
    const auto sent = drain(queue, 0);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].address, "10.0.0.1"); // no change delay: this very answer carries the new address
    EXPECT_EQ(fleet.device(0).address(), "198.51.100.30");
    EXPECT_EQ(fleet.device(2).address(), "198.51.100.32");
}

TEST(Fleet, CommandForAnotherMacIsIgnored) {
    DeviceFleet fleet(config(3));
    OutgoingQueue queue;
    for (const MacBytes& stranger : {*offset_mac(kBase, 3), MacBytes{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0xfd},
                                     MacBytes{0x02, 0x1a, 0x2b, 0x3c, 0x4d, 0xfe}}) {
        EXPECT_TRUE(fleet.on_request(change(stranger, "10.0.0.1"), kRequester, 0, queue).empty());
    }
    EXPECT_TRUE(queue.empty());
}

TEST(Fleet, DelayedChangeTimeline) {
    auto c = config(2);
    c.change.delay_ms = 3000;
    DeviceFleet fleet(c);
    OutgoingQueue queue;

    EXPECT_TRUE(fleet.on_request(change(kBase, "10.0.0.1"), kRequester, 1000, queue).empty());
    EXPECT_EQ(drain(queue, 1000).at(0).address, "198.51.100.30"); // answered with the old address meanwhile
    EXPECT_EQ(fleet.next_change_due(), 4000);

    fleet.on_request(change(kBase, "10.0.0.1"), kRequester, 3900,
                     queue); // a repeat does not restart the clock
    EXPECT_EQ(drain(queue, 3900).at(0).address, "198.51.100.30");

    const auto changes = fleet.apply_due_changes(4000);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].change.new_address, "10.0.0.1");
    EXPECT_FALSE(fleet.next_change_due());

    fleet.on_request(search(), kRequester, 4100, queue);
    const auto answers = drain(queue, 4100);
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0].address, "10.0.0.1");
    EXPECT_EQ(answers[1].address, "198.51.100.31");
}

TEST(Fleet, ADueChangeIsAppliedBeforeTheRequestIsAnswered) {
    auto c = config(1);
    c.change.delay_ms = 500;
    DeviceFleet fleet(c);
    OutgoingQueue queue;
    fleet.on_request(change(kBase, "10.0.0.1"), kRequester, 0, queue);
    drain(queue, 0);
    // The loop never got to apply it on time; the search must still see the new address.
    const auto changes = fleet.on_request(search(), kRequester, 900, queue);
    EXPECT_EQ(changes.size(), 1u);
    EXPECT_EQ(drain(queue, 900).at(0).address, "10.0.0.1");
}

TEST(Fleet, NeverPolicyLeavesCommandsUnanswered) {
    auto c = config(1);
    c.change.policy = ChangePolicy::never;
    DeviceFleet fleet(c);
    OutgoingQueue queue;
    fleet.on_request(change(kBase, "10.0.0.1"), kRequester, 0, queue);
    EXPECT_TRUE(queue.empty());
    fleet.on_request(search(), kRequester, 0, queue);
    EXPECT_EQ(drain(queue, 0).at(0).address, "198.51.100.30");
}

TEST(Fleet, OtherPolicyAnswersWithTheOtherAddress) {
    auto c = config(1);
    c.change.policy = ChangePolicy::other;
    c.change.other_address = *parse_ipv4("203.0.113.9");
    DeviceFleet fleet(c);
    OutgoingQueue queue;
    fleet.on_request(change(kBase, "10.0.0.1"), kRequester, 0, queue);
    EXPECT_EQ(drain(queue, 0).at(0).address, "203.0.113.9");
}

TEST(Fleet, OtherDatagramsGetNoAnswer) {
    DeviceFleet fleet(config(5));
    OutgoingQueue queue;
    fleet.on_request(ClassifiedRequest{}, kRequester, 0, queue);
    EXPECT_TRUE(queue.empty());
}

TEST(Fleet, AScheduledMoveTakesEffectByItselfAndLaterAnswersCarryIt) {
    FleetConfig c = config(3);
    c.moves.push_back(ScheduledMove{1, *parse_ipv4("203.0.113.9"), 500});
    DeviceFleet fleet(c);
    fleet.start_moves(1000);
    EXPECT_EQ(fleet.next_change_due(), 1500);
    EXPECT_TRUE(fleet.apply_due_changes(1499).empty());
    const auto changes = fleet.apply_due_changes(1500);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].change.old_address, "198.51.100.31");
    EXPECT_EQ(changes[0].change.new_address, "203.0.113.9");
    EXPECT_EQ(fleet.device(1).address(), "203.0.113.9");
    EXPECT_EQ(fleet.device(0).address(), "198.51.100.30");
    EXPECT_FALSE(fleet.next_change_due());
}

TEST(Fleet, RefusesAddressRangesThatOverflow) {
    auto c = config(2);
    c.ip_base = *parse_ipv4("255.255.255.255");
    EXPECT_THROW(DeviceFleet{c}, std::invalid_argument);
}

} // namespace
} // namespace quillsim
