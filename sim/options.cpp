#include "options.hpp"

#include "hex_text.hpp"
#include "wire_format.hpp"

#include <charconv>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <utility>
#include <map>

namespace quillsim {

namespace {

struct OptionError {
    std::string message;
};

template <typename Number>
Number parse_number(std::string_view name, std::string_view text, Number low, Number high) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < low || value > high) {
        throw OptionError{std::string(name) + ": expected a number from " + std::to_string(low) + " to " +
                          std::to_string(high) + ", got '" + std::string(text) + "'"};
    }
    return value;
}

Ipv4 parse_address(std::string_view name, std::string_view text) {
    const auto address = parse_ipv4(text);
    if (!address) {
        throw OptionError{std::string(name) + ": expected a dotted IPv4 address, got '" + std::string(text) +
                          "'"};
    }
    return *address;
}

constexpr Millis kMaxMillis = 24LL * 3600 * 1000; // a day: anything longer is a typo

// "K=A.B.C.D@MS": device K takes the address MS ms after the start.
ScheduledMove parse_move(std::string_view text) {
    const auto equals = text.find('=');
    const auto at = text.find('@');
    if (equals == std::string_view::npos || at == std::string_view::npos || at < equals) {
        throw OptionError{"--move: expected K=A.B.C.D@MS, got '" + std::string(text) + "'"};
    }
    ScheduledMove move;
    move.device = parse_number<std::size_t>("--move", text.substr(0, equals), 0, kMaxDevices - 1);
    move.address = parse_address("--move", text.substr(equals + 1, at - equals - 1));
    move.after_ms = parse_number<Millis>("--move", text.substr(at + 1), 0, kMaxMillis);
    return move;
}

// One of a few words, each naming a value; the error lists them as "a, b or c".
template <typename Value>
Value parse_choice(std::string_view name, std::string_view text,
                   std::initializer_list<std::pair<std::string_view, Value>> choices) {
    std::string words;
    std::size_t index = 0;
    for (const auto& [word, value] : choices) {
        if (word == text) {
            return value;
        }
        words += (index == 0 ? "" : index + 1 == choices.size() ? " or " : ", ") + std::string(word);
        ++index;
    }
    throw OptionError{std::string(name) + ": expected " + words + ", got '" + std::string(text) + "'"};
}

double parse_seconds(std::string_view name, std::string_view text) {
    double seconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (error != std::errc{} || end != text.data() + text.size() || !(seconds > 0) || seconds > 86400) {
        throw OptionError{std::string(name) + ": expected seconds above 0 and at most 86400, got '" +
                          std::string(text) + "'"};
    }
    return seconds;
}

// "[K=]VALUE": a rule for camera K, or for every camera.
template <typename Value>
CameraRule camera_rule(std::string_view name, std::string_view text,
                       std::function<Value(std::string_view)> parse, void (*store)(CameraSettings&, Value)) {
    CameraRule rule;
    if (const auto equals = text.find('='); equals != std::string_view::npos) {
        rule.camera = parse_number<std::size_t>(name, text.substr(0, equals), 0, kMaxOnvifDevices - 1);
        text = text.substr(equals + 1);
    }
    const Value value = parse(text);
    rule.apply = [store, value](CameraSettings& settings) { store(settings, value); };
    return rule;
}

double parse_offset(std::string_view text) {
    double seconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    // Ten years either way: enough for any clock a camera keeps.
    if (error != std::errc{} || end != text.data() + text.size() || !(std::fabs(seconds) <= 315360000)) {
        throw OptionError{"--onvif-clock-offset: expected [K=]SECONDS, within ten years, got '" +
                          std::string(text) + "'"};
    }
    return seconds;
}

using ValueHandler = std::function<void(Options&, std::string_view)>;
using FlagHandler = std::function<void(Options&)>;

const std::map<std::string_view, ValueHandler>& value_options() {
    static const std::map<std::string_view, ValueHandler> handlers{
        {"--devices",
         [](Options& o, std::string_view v) {
             o.devices = parse_number<std::size_t>("--devices", v, 0, kMaxDevices);
         }},
        {"--mac-base",
         [](Options& o, std::string_view v) {
             const auto mac = parse_mac(v);
             if (!mac) {
                 throw OptionError{"--mac-base: expected six hex bytes like 00:1a:2b:3c:4d:00, got '" +
                                   std::string(v) + "'"};
             }
             o.mac_base = *mac;
         }},
        {"--ip-base", [](Options& o, std::string_view v) { o.ip_base = parse_address("--ip-base", v); }},
        {"--http-port",
         [](Options& o, std::string_view v) { o.http_port = parse_number("--http-port", v, 0, 65535); }},
        {"--reply",
         [](Options& o, std::string_view v) {
             o.reply = parse_choice<ReplyMode>(
                 "--reply", v, {{"unicast", ReplyMode::unicast}, {"multicast", ReplyMode::multicast}});
         }},
        {"--ttl", [](Options& o, std::string_view v) { o.ttl = parse_number("--ttl", v, 1, 255); }},
        {"--delay",
         [](Options& o, std::string_view v) {
             o.delay_ms = parse_number<Millis>("--delay", v, 0, kMaxMillis);
         }},
        {"--jitter",
         [](Options& o, std::string_view v) {
             o.jitter_ms = parse_number<Millis>("--jitter", v, 0, kMaxMillis);
         }},
        {"--bind-ip", [](Options& o, std::string_view v) { o.bind_ip = parse_address("--bind-ip", v); }},
        {"--change",
         [](Options& o, std::string_view v) {
             o.change = parse_choice<ChangePolicy>("--change", v,
                                                   {{"confirm", ChangePolicy::confirm},
                                                    {"never", ChangePolicy::never},
                                                    {"other", ChangePolicy::other}});
         }},
        {"--change-delay",
         [](Options& o, std::string_view v) {
             o.change_delay_ms = parse_number<Millis>("--change-delay", v, 0, kMaxMillis);
         }},
        {"--other-ip", [](Options& o, std::string_view v) { o.other_ip = parse_address("--other-ip", v); }},
        {"--move", [](Options& o, std::string_view v) { o.moves.push_back(parse_move(v)); }},
        {"--raw",
         [](Options& o, std::string_view v) {
             auto bytes = parse_hex_bytes(v);
             if (!bytes) {
                 throw OptionError{"--raw: expected pairs of hex digits, got '" + std::string(v) + "'"};
             }
             if (bytes->size() > kMaxUdpPayload) {
                 throw OptionError{"--raw: larger than one UDP datagram can carry"};
             }
             o.raw.push_back(RawSource{std::move(*bytes), std::nullopt});
         }},
        {"--raw-file",
         [](Options& o, std::string_view v) {
             o.raw.push_back(RawSource{{}, std::string(v)});
         }},
        {"--raw-to", [](Options& o, std::string_view v) { o.raw_to = parse_address("--raw-to", v); }},
        {"--raw-count",
         [](Options& o, std::string_view v) { o.raw_count = parse_number("--raw-count", v, 1, 1000000); }},
        {"--raw-interval",
         [](Options& o, std::string_view v) {
             o.raw_interval_ms = parse_number<Millis>("--raw-interval", v, 0, kMaxMillis);
         }},
        {"--log", [](Options& o, std::string_view v) { o.log_path = std::string(v); }},
        {"--duration", [](Options& o, std::string_view v) { o.duration_s = parse_seconds("--duration", v); }},
        {"--flood", [](Options& o, std::string_view v) { o.flood_s = parse_seconds("--flood", v); }},
        {"--onvif",
         [](Options& o, std::string_view v) {
             o.onvif = parse_number<std::size_t>("--onvif", v, 0, kMaxOnvifDevices);
         }},
        {"--onvif-ip-base",
         [](Options& o, std::string_view v) { o.onvif_ip_base = parse_address("--onvif-ip-base", v); }},
        {"--onvif-raw-file", [](Options& o, std::string_view v) { o.onvif_raw_files.emplace_back(v); }},
        {"--onvif-user",
         [](Options& o, std::string_view v) {
             if (v.empty() || v.find_first_of(":\"<>&") != std::string_view::npos) {
                 throw OptionError{"--onvif-user: expected a name without : \" < > or &"};
             }
             o.onvif_user = std::string(v);
         }},
        {"--onvif-password-file",
         [](Options& o, std::string_view v) { o.onvif_password_file = std::string(v); }},
        {"--onvif-reboot-s",
         [](Options& o, std::string_view v) {
             o.onvif_reboot_s = parse_number<int>("--onvif-reboot-s", v, 0, 3600);
         }},
        {"--onvif-clock-offset",
         [](Options& o, std::string_view v) {
             o.onvif_rules.push_back(
                 camera_rule<double>("--onvif-clock-offset", v, parse_offset,
                                     [](CameraSettings& s, double x) { s.clock_offset_s = x; }));
         }},
        {"--onvif-auth",
         [](Options& o, std::string_view v) {
             o.onvif_rules.push_back(camera_rule<AuthMode>(
                 "--onvif-auth", v,
                 [](std::string_view t) {
                     return parse_choice<AuthMode>("--onvif-auth", t,
                                                   {{"token", AuthMode::token},
                                                    {"digest", AuthMode::digest},
                                                    {"both", AuthMode::both}});
                 },
                 [](CameraSettings& s, AuthMode x) { s.auth = x; }));
         }},
        {"--onvif-reboot-needed",
         [](Options& o, std::string_view v) {
             o.onvif_rules.push_back(camera_rule<bool>(
                 "--onvif-reboot-needed", v,
                 [](std::string_view t) {
                     return parse_choice<bool>("--onvif-reboot-needed", t,
                                               {{"true", true}, {"false", false}});
                 },
                 [](CameraSettings& s, bool x) { s.reboot_needed = x; }));
         }},
        {"--onvif-fault",
         [](Options& o, std::string_view v) {
             o.onvif_rules.push_back(camera_rule<CameraFault>(
                 "--onvif-fault", v,
                 [](std::string_view t) {
                     return parse_choice<CameraFault>("--onvif-fault", t,
                                                      {{"none", CameraFault::none},
                                                       {"hang", CameraFault::hang},
                                                       {"huge", CameraFault::huge}});
                 },
                 [](CameraSettings& s, CameraFault x) { s.fault = x; }));
         }},
        {"--seed",
         [](Options& o, std::string_view v) {
             o.seed = parse_number<std::uint64_t>("--seed", v, 0, UINT64_MAX);
         }},
    };
    return handlers;
}

const std::map<std::string_view, FlagHandler>& flag_options() {
    static const std::map<std::string_view, FlagHandler> handlers{
        {"--help", [](Options& o) { o.show_help = true; }},
        {"-h", [](Options& o) { o.show_help = true; }},
        {"--no-port", [](Options& o) { o.no_port = true; }},
        {"--raw-on-search", [](Options& o) { o.raw_on_search = true; }},
        {"--http", [](Options& o) { o.http = true; }},
        {"--onvif-no-xaddrs", [](Options& o) { o.onvif_no_xaddrs = true; }},
        {"--onvif-drop-first", [](Options& o) { o.onvif_drop_first = true; }},
    };
    return handlers;
}

void check_combinations(const Options& o) {
    if (o.devices > 0) {
        if (!offset_mac(o.mac_base, o.devices - 1)) {
            throw OptionError{"--mac-base: " + std::to_string(o.devices) +
                              " devices would run past ff-ff-ff-ff-ff-ff"};
        }
        if (!offset_ipv4(o.ip_base, o.devices - 1)) {
            throw OptionError{"--ip-base: " + std::to_string(o.devices) +
                              " devices would run past 255.255.255.255"};
        }
    }
    for (const auto& move : o.moves) {
        if (move.device >= o.devices) {
            throw OptionError{"--move: there is no device " + std::to_string(move.device) + " among " +
                              std::to_string(o.devices)};
        }
    }
    if (o.change == ChangePolicy::other && !o.other_ip) {
        throw OptionError{"--change other needs --other-ip A.B.C.D"};
    }
    if (o.change != ChangePolicy::other && o.other_ip) {
        throw OptionError{"--other-ip is only used with --change other"};
    }
    if (o.raw_on_search && o.raw.empty()) {
        throw OptionError{"--raw-on-search needs at least one --raw or --raw-file"};
    }
    if (o.flood_s && (!o.raw.empty() || o.raw_on_search || o.http || o.duration_s)) {
        throw OptionError{"--flood runs alone: it takes no --raw, --raw-file, --raw-on-search, --http or "
                          "--duration"};
    }
    if (o.onvif > 0 && !offset_ipv4(o.onvif_ip_base, o.onvif - 1)) {
        throw OptionError{"--onvif-ip-base: " + std::to_string(o.onvif) +
                          " cameras would run past 255.255.255.255"};
    }
    if ((o.onvif_no_xaddrs || o.onvif_drop_first) && o.onvif == 0) {
        throw OptionError{"--onvif-no-xaddrs and --onvif-drop-first need cameras: add --onvif N"};
    }
    for (const auto& rule : o.onvif_rules) {
        if (rule.camera && *rule.camera >= o.onvif) {
            throw OptionError{"--onvif-*: there is no camera " + std::to_string(*rule.camera) + " among " +
                              std::to_string(o.onvif)};
        }
    }
    if (o.onvif_password_file && !o.onvif_user) {
        throw OptionError{"--onvif-password-file needs --onvif-user NAME"};
    }
    if (o.onvif == 0 && (o.onvif_user || !o.onvif_rules.empty())) {
        throw OptionError{"--onvif-user, --onvif-auth, --onvif-clock-offset, --onvif-reboot-needed and "
                          "--onvif-fault need cameras: add --onvif N"};
    }
    if (o.flood_s && o.speaks_onvif()) {
        throw OptionError{"--flood runs alone: it takes no --onvif or --onvif-raw-file"};
    }
    if (o.http && o.no_port) {
        throw OptionError{"--http needs a port: drop --no-port"};
    }
}

} // namespace

ParsedOptions parse_options(std::span<const std::string_view> args) {
    Options options;
    try {
        for (std::size_t i = 0; i < args.size(); ++i) {
            std::string_view name = args[i];
            std::optional<std::string_view> inline_value;
            if (const auto equals = name.find('=');
                name.starts_with("--") && equals != std::string_view::npos) {
                inline_value = name.substr(equals + 1);
                name = name.substr(0, equals);
            }
            if (const auto flag = flag_options().find(name); flag != flag_options().end()) {
                if (inline_value) {
                    throw OptionError{std::string(name) + " takes no value"};
                }
                flag->second(options);
                continue;
            }
            const auto handler = value_options().find(name);
            if (handler == value_options().end()) {
                throw OptionError{"unknown option '" + std::string(args[i]) + "' (see --help)"};
            }
            if (!inline_value) {
                if (i + 1 >= args.size()) {
                    throw OptionError{std::string(name) + " needs a value"};
                }
                inline_value = args[++i];
            }
            handler->second(options, *inline_value);
        }
        if (!options.show_help) {
            check_combinations(options);
        }
    } catch (const OptionError& error) {
        return ParsedOptions{std::nullopt, error.message};
    }
    return ParsedOptions{std::move(options), {}};
}

FleetConfig make_fleet_config(const Options& options, std::uint64_t seed) {
    FleetConfig config;
    config.device_count = options.devices;
    config.mac_base = options.mac_base;
    config.ip_base = options.ip_base;
    config.change = ChangeRules{options.change, options.change_delay_ms, options.other_ip.value_or(Ipv4{})};
    config.reply.http_port = options.no_port ? std::nullopt : std::optional<int>(options.http_port);
    config.reply.mode = options.reply;
    config.reply.delay_ms = options.delay_ms;
    config.reply.jitter_ms = options.jitter_ms;
    config.seed = seed;
    config.moves = options.moves;
    return config;
}

CameraSettings camera_settings(const Options& options, std::size_t index) {
    CameraSettings settings;
    for (const auto& rule : options.onvif_rules) {
        if (!rule.camera || *rule.camera == index) {
            rule.apply(settings);
        }
    }
    return settings;
}

OnvifConfig make_onvif_config(const Options& options, std::uint64_t seed, std::uint64_t instance_id) {
    OnvifConfig config;
    config.device_count = options.onvif;
    config.ip_base = options.onvif_ip_base;
    config.http_port = options.http_port;
    config.no_xaddrs = options.onvif_no_xaddrs;
    config.drop_first = options.onvif_drop_first;
    config.delay_ms = options.delay_ms;
    config.jitter_ms = options.jitter_ms;
    config.seed = seed;
    config.instance_id = instance_id;
    return config;
}

} // namespace quillsim
