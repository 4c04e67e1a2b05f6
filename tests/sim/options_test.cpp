#include "options.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace quillsim {
namespace {

ParsedOptions parse(std::vector<std::string_view> args) { return parse_options(args); }

Options parse_ok(std::vector<std::string_view> args) {
    const auto parsed = parse(args);
    EXPECT_TRUE(parsed.options) << parsed.error;
    return parsed.options.value_or(Options{});
}

TEST(Options, DefaultsDescribeOneDeviceAnsweringUnicast) {
    const Options o = parse_ok({});
    EXPECT_EQ(o.devices, 1u);
    EXPECT_EQ(format_mac(o.mac_base), "00-1a-2b-3c-4d-00");
    EXPECT_EQ(format_ipv4(o.ip_base), "198.51.100.30");
    EXPECT_EQ(o.http_port, 80);
    EXPECT_EQ(o.reply, ReplyMode::unicast);
    EXPECT_EQ(o.ttl, 10);
    EXPECT_EQ(o.change, ChangePolicy::confirm);
    EXPECT_EQ(format_ipv4(o.raw_to), "198.51.100.1");
    EXPECT_EQ(o.raw_count, 1);
    EXPECT_FALSE(o.duration_s);
    EXPECT_FALSE(o.log_path);
}

TEST(Options, PerCameraSettingsApplyInCommandLineOrderAndNameOnlyCamerasThatExist) {
    const Options o = parse_ok({"--onvif", "3", "--onvif-auth", "digest", "--onvif-auth", "2=token",
                                "--onvif-clock-offset=-3600.5", "--onvif-reboot-needed", "1=true",
                                "--onvif-fault", "0=hang", "--onvif-user", "installer"});
    EXPECT_EQ(camera_settings(o, 0).auth, AuthMode::digest);
    EXPECT_EQ(camera_settings(o, 2).auth, AuthMode::token);
    EXPECT_EQ(camera_settings(o, 1).clock_offset_s, -3600.5);
    EXPECT_TRUE(camera_settings(o, 1).reboot_needed);
    EXPECT_FALSE(camera_settings(o, 2).reboot_needed);
    EXPECT_EQ(camera_settings(o, 0).fault, CameraFault::hang);
    EXPECT_EQ(camera_settings(o, 1).fault, CameraFault::none);

    EXPECT_FALSE(parse({"--onvif", "3", "--onvif-auth", "3=digest"}).options) << "there is no camera 3";
    EXPECT_FALSE(parse({"--onvif", "3", "--onvif-password-file", "pw"}).options) << "a password needs a user";
    EXPECT_FALSE(parse({"--onvif-user", "installer"}).options) << "a user needs cameras";
    EXPECT_FALSE(parse({"--onvif", "1", "--onvif-password", "x"}).options) << "no option takes the password";
}

TEST(Options, AcceptsSeparateAndInlineValues) {
    const Options o = parse_ok({"--devices",   "25",          "--mac-base=02:00:00:00:00:f0",
                                "--ip-base",   "10.1.2.3",    "--http-port=8080",
                                "--reply",     "multicast",   "--ttl",
                                "3",           "--delay",     "100",
                                "--jitter=50", "--change",    "other",
                                "--other-ip",  "203.0.113.5", "--change-delay",
                                "4000",        "--bind-ip",   "198.51.100.2",
                                "--log",       "-",           "--duration",
                                "1.5",         "--seed",      "7"});
    EXPECT_EQ(o.devices, 25u);
    EXPECT_EQ(format_mac(o.mac_base), "02-00-00-00-00-f0");
    EXPECT_EQ(format_ipv4(o.ip_base), "10.1.2.3"); // only text in replies: any address will do
    EXPECT_EQ(o.http_port, 8080);
    EXPECT_EQ(o.reply, ReplyMode::multicast);
    EXPECT_EQ(o.ttl, 3);
    EXPECT_EQ(o.delay_ms, 100);
    EXPECT_EQ(o.jitter_ms, 50);
    EXPECT_EQ(o.change, ChangePolicy::other);
    EXPECT_EQ(format_ipv4(*o.other_ip), "203.0.113.5");
    EXPECT_EQ(o.change_delay_ms, 4000);
    EXPECT_EQ(format_ipv4(*o.bind_ip), "198.51.100.2");
    EXPECT_EQ(o.log_path, "-");
    EXPECT_DOUBLE_EQ(*o.duration_s, 1.5);
    EXPECT_EQ(o.seed, 7u);
}

TEST(Options, RawSourcesKeepTheirCommandLineOrder) {
    const Options o = parse_ok({"--raw", "50 56 5f", "--raw-file", "/tmp/x.bin", "--raw=", "--raw-count", "3",
                                "--raw-interval", "20", "--raw-to", "235.5.6.7", "--raw-on-search"});
    ASSERT_EQ(o.raw.size(), 3u);
    EXPECT_EQ(o.raw[0].bytes, (std::vector<std::uint8_t>{0x50, 0x56, 0x5f}));
    EXPECT_EQ(o.raw[1].file, "/tmp/x.bin");
    EXPECT_TRUE(o.raw[2].bytes.empty()); // an empty datagram
    EXPECT_FALSE(o.raw[2].file);
    EXPECT_EQ(o.raw_count, 3);
    EXPECT_EQ(o.raw_interval_ms, 20);
    EXPECT_TRUE(o.raw_on_search);
}

TEST(Options, HelpSkipsTheCombinationChecks) { EXPECT_TRUE(parse_ok({"--change", "other", "-h"}).show_help); }

TEST(Options, RejectsBadValuesWithAMessageNamingTheOption) {
    const std::vector<std::vector<std::string_view>> bad{
        {"--devices", "10001"},
        {"--devices", "-1"},
        {"--devices", "3x"},
        {"--devices"},
        {"--mac-base", "00:1a"},
        {"--ip-base", "1.2.3"},
        {"--http-port", "65536"},
        {"--reply", "broadcast"},
        {"--ttl", "0"},
        {"--delay", "-5"},
        {"--change", "maybe"},
        {"--raw", "abc"},
        {"--raw", "4 1"},
        {"--raw-count", "0"},
        {"--duration", "0"},
        {"--duration", "nan"},
        {"--duration", "1e9"},
        {"--bind-ip", "x"},
        {"--move", "1=203.0.113.9"},
        {"--move", "x=203.0.113.9@5"},
        {"--move", "1=203.0.113@5"},
        {"--onvif", "1001"},
        {"--onvif-ip-base", "198.51.100"},
    };
    for (const auto& args : bad) {
        const auto parsed = parse(args);
        EXPECT_FALSE(parsed.options) << args[0];
        EXPECT_NE(parsed.error.find(args[0]), std::string::npos) << parsed.error;
    }
}

TEST(Options, RejectsUnknownOptionsFlagValuesAndStrayWords) {
    for (const auto& args :
         std::vector<std::vector<std::string_view>>{{"--devcies", "3"}, {"--no-port=1"}, {"extra"}}) {
        EXPECT_FALSE(parse(args).options) << args[0];
    }
}

TEST(Options, RejectsInconsistentCombinations) {
    const std::vector<std::vector<std::string_view>> bad{
        {"--change", "other"},                                  // which address?
        {"--other-ip", "203.0.113.5"},                          // only meaningful with --change other
        {"--raw-on-search"},                                    // nothing to send
        {"--http", "--no-port"},                                // no port to serve on
        {"--devices", "2", "--mac-base", "ff:ff:ff:ff:ff:ff"},  // MAC range overflows
        {"--devices", "2", "--ip-base", "255.255.255.255"},     // address range overflows
        {"--devices", "2", "--move", "2=203.0.113.9@5"},        // no such device
        {"--onvif-drop-first"},                                 // no camera to drop anything
        {"--onvif-no-xaddrs", "--onvif", "0"},                  // no camera to leave them out
        {"--onvif", "2", "--onvif-ip-base", "255.255.255.255"}, // camera address range overflows
        {"--flood", "1", "--onvif", "1"},                       // a flood is all the simulator does
    };
    for (const auto& args : bad) {
        EXPECT_FALSE(parse(args).options) << args[0];
    }
    EXPECT_TRUE(parse({"--devices", "1", "--mac-base", "ff:ff:ff:ff:ff:ff"}).options);
    EXPECT_TRUE(parse({"--devices", "0", "--ip-base", "255.255.255.255"}).options);
}

TEST(Options, FleetConfigCarriesTheReplyAndChangeRules) {
    const Options o =
        parse_ok({"--no-port", "--reply", "multicast", "--change", "never", "--change-delay", "9"});
    const FleetConfig c = make_fleet_config(o, 99);
    EXPECT_FALSE(c.reply.http_port);
    EXPECT_EQ(c.reply.mode, ReplyMode::multicast);
    EXPECT_EQ(c.change.policy, ChangePolicy::never);
    EXPECT_EQ(c.change.delay_ms, 9);
    EXPECT_EQ(c.seed, 99u);
    const FleetConfig moved =
        make_fleet_config(parse_ok({"--devices", "3", "--move", "2=203.0.113.9@1500"}), 1);
    ASSERT_EQ(moved.moves.size(), 1u);
    EXPECT_EQ(moved.moves[0].device, 2u);
    EXPECT_EQ(moved.moves[0].address, *parse_ipv4("203.0.113.9"));
    EXPECT_EQ(moved.moves[0].after_ms, 1500);
}

} // namespace
} // namespace quillsim

namespace quillsim {
namespace {

TEST(Options, OnvifCamerasComeBesideTheQuillDevices) {
    const Options none = parse_ok({});
    EXPECT_EQ(none.onvif, 0u);
    EXPECT_FALSE(none.speaks_onvif());
    EXPECT_EQ(format_ipv4(none.onvif_ip_base), "198.51.100.130");

    const Options o =
        parse_ok({"--devices", "0", "--onvif=5", "--onvif-ip-base", "198.51.100.30", "--onvif-no-xaddrs",
                  "--onvif-drop-first", "--http-port", "8080", "--delay", "20", "--jitter", "5"});
    EXPECT_EQ(o.devices, 0u);
    EXPECT_TRUE(o.speaks_onvif());
    const OnvifConfig c = make_onvif_config(o, 3, 1700000000);
    EXPECT_EQ(c.device_count, 5u);
    EXPECT_EQ(format_ipv4(c.ip_base), "198.51.100.30"); // a quill device's address is allowed: a duplicate
    EXPECT_EQ(c.http_port, 8080);
    EXPECT_TRUE(c.no_xaddrs);
    EXPECT_TRUE(c.drop_first);
    EXPECT_EQ(c.delay_ms, 20);
    EXPECT_EQ(c.jitter_ms, 5);
    EXPECT_EQ(c.instance_id, 1700000000u);

    // Crafted replies alone open the WS-Discovery port, with no camera behind them.
    const Options raw = parse_ok({"--onvif-raw-file", "a.xml", "--onvif-raw-file", "b.xml"});
    EXPECT_TRUE(raw.speaks_onvif());
    EXPECT_EQ(raw.onvif_raw_files, (std::vector<std::string>{"a.xml", "b.xml"}));
}

} // namespace
} // namespace quillsim
