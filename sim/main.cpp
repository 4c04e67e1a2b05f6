// quillsim: pretends to be N network cameras for the discovery and change-IP protocol. See --help.

#include "device_fleet.hpp"
#include "device_service_server.hpp"
#include "event_loop.hpp"
#include "flood_sender.hpp"
#include "host_environment.hpp"
#include "http_page_server.hpp"
#include "link_addresses.hpp"
#include "log_sink.hpp"
#include "onvif_device.hpp"
#include "options.hpp"
#include "raw_schedule.hpp"
#include "real_clocks.hpp"
#include "safety_rules.hpp"
#include "send_gate.hpp"
#include "stop_signals.hpp"
#include "udp_endpoint.hpp"
#include "usage_text.hpp"
#include "wire_format.hpp"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include <sys/resource.h>

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitRefused = 2;

int refuse(const std::string& message) {
    std::fprintf(stderr, "quillsim: %s\n", message.c_str());
    return kExitRefused;
}

// One file's bytes as one datagram; a message naming `option` if it cannot be.
std::optional<std::string> read_datagram_file(std::string_view option, const std::string& path,
                                              std::vector<std::vector<std::uint8_t>>& payloads) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::string(option) + ": cannot read " + path;
    }
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (bytes.size() > quillsim::kMaxUdpPayload) {
        return std::string(option) + ": " + path + " is larger than one UDP datagram can carry";
    }
    payloads.push_back(std::move(bytes));
    return std::nullopt;
}

std::optional<std::string> read_raw_payloads(const quillsim::Options& options,
                                             std::vector<std::vector<std::uint8_t>>& payloads) {
    for (const auto& source : options.raw) {
        if (!source.file) {
            payloads.push_back(source.bytes);
        } else if (auto problem = read_datagram_file("--raw-file", *source.file, payloads)) {
            return problem;
        }
    }
    return std::nullopt;
}

std::optional<std::string> read_onvif_templates(const quillsim::Options& options,
                                                std::vector<std::vector<std::uint8_t>>& templates) {
    for (const auto& path : options.onvif_raw_files) {
        if (auto problem = read_datagram_file("--onvif-raw-file", path, templates)) {
            return problem;
        }
    }
    return std::nullopt;
}

// The cameras' password: from --onvif-password-file, else from QUILLSIM_ONVIF_PASSWORD; never an option
// value, which every user of the machine could read in the process list. A message if there is none.
std::optional<std::string> read_password(const quillsim::Options& options, std::string& password) {
    if (options.onvif_password_file) {
        std::ifstream file(*options.onvif_password_file, std::ios::binary);
        if (!file) {
            return "--onvif-password-file: cannot read " + *options.onvif_password_file;
        }
        password.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        while (!password.empty() && (password.back() == '\n' || password.back() == '\r')) {
            password.pop_back();
        }
    } else if (const char* text = std::getenv("QUILLSIM_ONVIF_PASSWORD")) {
        password = text;
    }
    if (password.empty()) {
        return "--onvif-user needs a password: --onvif-password-file FILE or QUILLSIM_ONVIF_PASSWORD";
    }
    return std::nullopt;
}

std::vector<quillsim::CameraService>
make_camera_services(const quillsim::Options& options, const quillsim::OnvifFleet& fleet,
                     const std::optional<quillsim::CameraCredentials>& user) {
    using namespace quillsim;
    std::vector<CameraService> cameras;
    for (std::size_t k = 0; k < fleet.size(); ++k) {
        CameraServiceConfig config;
        config.index = k;
        config.first_address = *offset_ipv4(options.onvif_ip_base, k);
        config.http_port = options.http_port;
        config.reboot_ms = static_cast<Millis>(options.onvif_reboot_s * 1000.0);
        config.settings = camera_settings(options, k);
        config.credentials = user;
        config.may_hold = is_lab_unicast;
        cameras.emplace_back(std::move(config));
    }
    return cameras;
}

// A listener and a link address per camera, besides the connections: a thousand cameras need more
// descriptors than the usual soft limit.
void raise_descriptor_limit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

void print_onvif_summary(const quillsim::OnvifFleet& onvif, std::size_t templates, std::uint64_t seed) {
    if (onvif.size() > 0) {
        std::fprintf(stderr, "quillsim: %zu ONVIF camera(s), address %s..%s, endpoint %s..%s, seed %llu\n",
                     onvif.size(), onvif.address(0).c_str(), onvif.address(onvif.size() - 1).c_str(),
                     onvif.camera(0).endpoint.c_str(), onvif.camera(onvif.size() - 1).endpoint.c_str(),
                     static_cast<unsigned long long>(seed));
    }
    if (templates > 0) {
        std::fprintf(stderr, "quillsim: %zu crafted reply(ies) to every WS-Discovery Probe\n", templates);
    }
}

void print_summary(const quillsim::Options& options, std::uint64_t seed, const quillsim::DeviceFleet& fleet) {
    using namespace quillsim;
    if (fleet.size() == 0) {
        std::fprintf(stderr, "quillsim: no devices\n");
        return;
    }
    const auto& first = fleet.device(0);
    const auto& last = fleet.device(fleet.size() - 1);
    std::fprintf(stderr, "quillsim: %zu device(s), MAC %s..%s, address %s..%s, replies %s, seed %llu\n",
                 fleet.size(), format_mac(first.mac()).c_str(), format_mac(last.mac()).c_str(),
                 first.address().c_str(), last.address().c_str(),
                 options.reply == ReplyMode::multicast ? "multicast" : "unicast",
                 static_cast<unsigned long long>(seed));
}

int run(const quillsim::Options& options) {
    using namespace quillsim;
    // Nothing may touch the network before these checks have passed.
    if (auto problem = check_host_is_lab()) {
        return refuse(*problem);
    }
    if (auto problem = check_option_addresses(options)) {
        return refuse(*problem);
    }
    RawPlan raw;
    if (auto problem = read_raw_payloads(options, raw.payloads)) {
        return refuse(*problem);
    }
    raw.count = options.raw_count;
    raw.interval_ms = options.raw_interval_ms;
    raw.to = Destination{options.raw_to, kReplyPort};

    std::vector<std::vector<std::uint8_t>> onvif_templates;
    if (auto problem = read_onvif_templates(options, onvif_templates)) {
        return refuse(*problem);
    }

    std::optional<CameraCredentials> camera_user;
    if (options.onvif_user) {
        std::string password;
        if (auto problem = read_password(options, password)) {
            return refuse(*problem);
        }
        camera_user = CameraCredentials{*options.onvif_user, std::move(password)};
    }

    LogSink log;
    if (auto problem = log.open(options.log_path)) {
        std::fprintf(stderr, "quillsim: %s\n", problem->c_str());
        return kExitFailure;
    }
    const std::uint64_t seed = options.seed.value_or(std::random_device{}());
    DeviceFleet fleet(make_fleet_config(options, seed));
    // The start time is the cameras' AppSequence InstanceId: a restarted simulator is a new instance.
    OnvifConfig onvif_config = make_onvif_config(options, seed, static_cast<std::uint64_t>(wall_seconds()));
    onvif_config.templates = std::move(onvif_templates);
    OnvifFleet onvif(onvif_config);
    const StopSignals signals;

    try {
        UdpEndpoint udp(options.bind_ip, options.ttl);
        std::unique_ptr<UdpEndpoint> onvif_udp;
        if (options.speaks_onvif()) {
            onvif_udp = std::make_unique<UdpEndpoint>(options.bind_ip, options.ttl,
                                                      UdpService{kWsDiscoveryPort, kWsDiscoveryGroup, false});
        }
        std::unique_ptr<DeviceServiceServer> services;
        if (onvif.size() > 0) {
            raise_descriptor_limit();
            std::string problem;
            auto link = LinkAddresses::open(options.bind_ip, problem);
            if (!link) {
                std::fprintf(stderr, "quillsim: %s\n", problem.c_str());
                return kExitFailure;
            }
            const std::string link_name = link->link_name();
            services =
                std::make_unique<DeviceServiceServer>(make_camera_services(options, onvif, camera_user),
                                                      options.http_port, std::move(*link), onvif, log);
            std::fprintf(stderr, "quillsim: device service on %zu camera address(es) of %s, %s\n",
                         services->listening(), link_name.c_str(),
                         camera_user ? ("user " + *options.onvif_user).c_str()
                                     : "no user: every call served");
        }
        std::unique_ptr<HttpPageServer> http;
        if (options.http) {
            http = std::make_unique<HttpPageServer>(fleet, options.http_port, list_interface_addresses());
            std::fprintf(stderr, "quillsim: web pages on %zu device address(es)\n", http->listener_count());
        }
        if (options.flood_s) {
            std::fprintf(stderr, "quillsim: flooding %s port %u for %.1f s, seed %llu\n",
                         format_ipv4(raw.to.address).c_str(), raw.to.port, *options.flood_s,
                         static_cast<unsigned long long>(seed));
            std::fprintf(stderr, "quillsim: ready\n");
            std::fflush(stderr);
            const FloodPlan plan{raw.to, static_cast<Millis>(*options.flood_s * 1000.0), seed};
            return run_flood(udp, plan, signals, log) ? 0 : kExitFailure;
        }
        if (fleet.size() > 0 || onvif.size() == 0) {
            print_summary(options, seed, fleet);
        }
        print_onvif_summary(onvif, onvif_config.templates.size(), seed);
        if (onvif_udp) {
            deliver_all_now(*onvif_udp, onvif.hellos(monotonic_ms()), log);
        }
        std::fprintf(stderr, "quillsim: ready\n");
        std::fflush(stderr);

        std::optional<Millis> run_for;
        if (options.duration_s) {
            run_for = static_cast<Millis>(*options.duration_s * 1000.0);
        }
        LoopParts parts{udp,
                        fleet,
                        log,
                        signals,
                        http.get(),
                        std::move(raw),
                        options.raw_on_search,
                        run_for,
                        onvif_udp.get(),
                        &onvif,
                        services.get()};
        run_event_loop(parts);
        if (onvif_udp) {
            deliver_all_now(*onvif_udp, onvif.byes(monotonic_ms()), log);
        }
    } catch (const std::system_error& error) {
        std::fprintf(stderr, "quillsim: %s\n", error.what());
        return kExitFailure;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    const auto parsed = quillsim::parse_options(args);
    if (!parsed.options) {
        std::fprintf(stderr, "quillsim: %s\n", parsed.error.c_str());
        return kExitRefused;
    }
    if (parsed.options->show_help) {
        std::fputs(quillsim::usage_text().c_str(), stdout);
        return 0;
    }
    return run(*parsed.options);
}
