#pragma once

#include "device_fleet.hpp"
#include "base/ipv4_address.hpp"
#include "mac_address.hpp"
#include "onvif/camera_service.hpp"
#include "onvif_device.hpp"
#include "base/sim_clock.hpp"
#include "simulated_device.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillsim {

inline constexpr std::size_t kMaxDevices = 10000;

// One --raw or --raw-file, kept in command-line order; files are read when the tool starts, not while
// parsing, so the parser stays free of I/O.
struct RawSource {
    std::vector<std::uint8_t> bytes; // from --raw
    std::optional<std::string> file; // from --raw-file
};

// One per-camera option ("[K=]VALUE"): for camera K only, or for every camera; later ones win.
struct CameraRule {
    std::optional<std::size_t> camera;
    std::function<void(CameraSettings&)> apply;
};

struct Options {
    bool show_help = false;

    std::size_t devices = 1;
    MacBytes mac_base{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x00};
    Ipv4 ip_base{0xC6336400 + 30}; // 198.51.100.30
    int http_port = 80;
    bool no_port = false;
    ReplyMode reply = ReplyMode::unicast;
    int ttl = 10;
    Millis delay_ms = 0;
    Millis jitter_ms = 0;
    std::optional<Ipv4> bind_ip;

    ChangePolicy change = ChangePolicy::confirm;
    Millis change_delay_ms = 0;
    std::optional<Ipv4> other_ip;
    std::vector<ScheduledMove> moves;

    std::vector<RawSource> raw;
    Ipv4 raw_to{0xC6336400 + 1}; // 198.51.100.1
    int raw_count = 1;
    Millis raw_interval_ms = 0;
    bool raw_on_search = false;

    std::optional<std::string> log_path; // "-" is standard output
    std::optional<double> duration_s;
    std::optional<double> flood_s; // set: send the hostile mix to --raw-to for that long, nothing else
    std::optional<std::uint64_t> seed;
    bool http = false;

    std::size_t onvif = 0;                // ONVIF cameras besides the quill devices
    Ipv4 onvif_ip_base{0xC6336400 + 130}; // 198.51.100.130
    bool onvif_no_xaddrs = false;
    bool onvif_drop_first = false;
    std::vector<std::string> onvif_raw_files; // read when the tool starts, like --raw-file
    std::optional<std::string> onvif_user;
    std::optional<std::string>
        onvif_password_file; // the password is read when the tool starts, never an option
    double onvif_reboot_s = 3;
    std::vector<CameraRule> onvif_rules;

    // The WS-Discovery socket is opened for cameras and for crafted replies to Probes.
    bool speaks_onvif() const { return onvif > 0 || !onvif_raw_files.empty(); }
};

struct ParsedOptions {
    std::optional<Options> options; // set on success
    std::string error;              // set on failure, one line for the user
};

// Accepts "--name value" and "--name=value"; checks each value's syntax and range and the combinations of
// options. Whether the addresses are safe to use is checked separately (safety_rules).
ParsedOptions parse_options(std::span<const std::string_view> args);

FleetConfig make_fleet_config(const Options& options, std::uint64_t seed);

// Camera k's settings: the defaults, then every rule for all cameras or for k, in command-line order.
CameraSettings camera_settings(const Options& options, std::size_t index);

// Without the crafted templates, which main reads from their files.
OnvifConfig make_onvif_config(const Options& options, std::uint64_t seed, std::uint64_t instance_id);

} // namespace quillsim
