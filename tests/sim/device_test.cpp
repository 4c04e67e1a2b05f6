#include "simulated_device.hpp"

#include <gtest/gtest.h>

namespace quillsim {
namespace {

const MacBytes kMac{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};

SimulatedDevice make_device(ChangePolicy policy, Millis delay = 0) {
    return SimulatedDevice(kMac, "198.51.100.30", ChangeRules{policy, delay, *parse_ipv4("203.0.113.9")});
}

TEST(Device, ConfirmWithoutDelayTakesTheAddressAtOnce) {
    auto device = make_device(ChangePolicy::confirm);
    ASSERT_TRUE(device.accept_change("10.0.0.1", 1000));
    const auto change = device.apply_due_change(1000);
    ASSERT_TRUE(change);
    EXPECT_EQ(change->old_address, "198.51.100.30");
    EXPECT_EQ(change->new_address, "10.0.0.1");
    EXPECT_EQ(device.address(), "10.0.0.1");
    EXPECT_FALSE(device.change_due_at());
}

TEST(Device, ConfirmWithDelayKeepsTheOldAddressUntilDue) {
    auto device = make_device(ChangePolicy::confirm, 2000);
    ASSERT_TRUE(device.accept_change("10.0.0.1", 1000));
    EXPECT_EQ(device.change_due_at(), 3000);
    EXPECT_FALSE(device.apply_due_change(2999));
    EXPECT_EQ(device.address(), "198.51.100.30");
    EXPECT_TRUE(device.apply_due_change(3000));
    EXPECT_EQ(device.address(), "10.0.0.1");
}

TEST(Device, RepeatedCommandsDoNotRestartOrRetargetAChange) {
    auto device = make_device(ChangePolicy::confirm, 2000);
    ASSERT_TRUE(device.accept_change("10.0.0.1", 1000));
    ASSERT_TRUE(device.accept_change("10.0.0.2", 1900)); // still answered, but the first command counts
    EXPECT_EQ(device.change_due_at(), 3000);
    device.apply_due_change(3000);
    EXPECT_EQ(device.address(), "10.0.0.1");
}

TEST(Device, ANewCommandAfterTheChangeStartsAnother) {
    auto device = make_device(ChangePolicy::confirm, 500);
    device.accept_change("10.0.0.1", 0);
    device.apply_due_change(500);
    ASSERT_TRUE(device.accept_change("10.0.0.2", 600));
    EXPECT_EQ(device.change_due_at(), 1100);
    device.apply_due_change(1100);
    EXPECT_EQ(device.address(), "10.0.0.2");
}

TEST(Device, CommandForTheCurrentAddressReportsNoChange) {
    auto device = make_device(ChangePolicy::confirm);
    ASSERT_TRUE(device.accept_change("198.51.100.30", 0));
    EXPECT_FALSE(device.apply_due_change(0));
    EXPECT_FALSE(device.change_due_at());
}

TEST(Device, NeverIgnoresCommands) {
    auto device = make_device(ChangePolicy::never);
    EXPECT_FALSE(device.accept_change("10.0.0.1", 0));
    EXPECT_FALSE(device.change_due_at());
    EXPECT_FALSE(device.apply_due_change(100000));
    EXPECT_EQ(device.address(), "198.51.100.30");
}

TEST(Device, OtherTakesTheFixedAddressInstead) {
    auto device = make_device(ChangePolicy::other, 100);
    ASSERT_TRUE(device.accept_change("10.0.0.1", 0));
    device.apply_due_change(100);
    EXPECT_EQ(device.address(), "203.0.113.9");
}

TEST(Device, InvalidAddressTextIsIgnored) {
    auto device = make_device(ChangePolicy::confirm);
    for (const char* text : {"", "10.0.0.256", "010.0.0.1", "10.0.0.1\xcc", "not an address"}) {
        EXPECT_FALSE(device.accept_change(text, 0)) << text;
    }
    EXPECT_FALSE(device.change_due_at());
}

} // namespace
} // namespace quillsim
