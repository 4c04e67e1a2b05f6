#include "onvif_device.hpp"

#include "device_fleet.hpp"
#include "onvif/camera_facts.hpp"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace quillsim {

namespace {

constexpr std::string_view kRelatesToMark = "{{RelatesTo}}";

const std::vector<QualifiedName>& camera_types() {
    static const std::vector<QualifiedName> types{{std::string(ns::dn), "NetworkVideoTransmitter"},
                                                  {std::string(ns::tds), "Device"}};
    return types;
}

// The requested scope matches when it is the device's, or its start up to a "/" (whole path segments, as
// the default rule has it; case and percent-encoding are not normalised).
bool scope_matches(std::string_view wanted, std::string_view held, ScopeRule rule) {
    if (wanted == held) {
        return true;
    }
    if (rule == ScopeRule::exact || !held.starts_with(wanted)) {
        return false;
    }
    return wanted.ends_with('/') || held[wanted.size()] == '/';
}

std::string xml_escape(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

} // namespace

std::string onvif_endpoint(Ipv4 address, std::size_t index) {
    char text[64];
    std::snprintf(text, sizeof text, "urn:uuid:5a1b0000-0000-4000-8000-%08x%04zx", address.value,
                  index & 0xffff);
    return text;
}

std::vector<std::string> onvif_scopes(std::size_t index) {
    const std::string k = std::to_string(index);
    return {"onvif://www.onvif.org/type/video_encoder", "onvif://www.onvif.org/name/Sim%20Camera%20" + k,
            "onvif://www.onvif.org/hardware/QS-" + k, "onvif://www.onvif.org/location/lab"};
}

std::string onvif_xaddr(std::string_view address, int http_port) { return service_xaddr(address, http_port); }

bool probe_matches(const DiscoveryMessage& probe, const std::vector<QualifiedName>& types,
                   const std::vector<std::string>& scopes) {
    const bool typed =
        probe.types.empty() || std::any_of(probe.types.begin(), probe.types.end(), [&](const auto& t) {
            return std::find(types.begin(), types.end(), t) != types.end();
        });
    return typed && std::all_of(probe.scopes.begin(), probe.scopes.end(), [&](const std::string& wanted) {
               return std::any_of(scopes.begin(), scopes.end(), [&](const std::string& held) {
                   return scope_matches(wanted, held, probe.scope_rule);
               });
           });
}

std::vector<std::uint8_t> fill_template(std::span<const std::uint8_t> raw, std::string_view relates_to) {
    const std::string text(raw.begin(), raw.end());
    const std::string value = xml_escape(relates_to);
    std::string out;
    std::size_t at = 0;
    for (std::size_t mark; (mark = text.find(kRelatesToMark, at)) != std::string::npos;
         at = mark + kRelatesToMark.size()) {
        out.append(text, at, mark - at);
        out += value;
    }
    out.append(text, at, std::string::npos);
    return {out.begin(), out.end()};
}

// Seeded apart from the quill devices' jitter draws, so adding cameras leaves those draws as they were for a
// given --seed.
OnvifFleet::OnvifFleet(const OnvifConfig& config) : config_(config), random_(config.seed ^ 0x5a1bULL) {
    cameras_.reserve(config.device_count);
    for (std::size_t k = 0; k < config.device_count; ++k) {
        const auto ip = offset_ipv4(config.ip_base, k);
        if (!ip) {
            throw std::invalid_argument("camera addresses run past the end of their range");
        }
        Camera camera;
        camera.ip = *ip;
        camera.instance_id = config.instance_id;
        camera.xaddrs = onvif_xaddr(format_ipv4(*ip), config.http_port);
        camera.description =
            CameraDescription{onvif_endpoint(*ip, k), camera_types(), onvif_scopes(k),
                              config.no_xaddrs ? std::nullopt : std::optional<std::string>(camera.xaddrs), 1};
        cameras_.push_back(std::move(camera));
    }
}

std::string OnvifFleet::address(std::size_t index) const { return format_ipv4(cameras_.at(index).ip); }

std::string OnvifFleet::random_urn() {
    const std::uint64_t high = random_();
    const std::uint64_t low = random_();
    char text[64];
    // Version 4, variant 1: random apart from those bits.
    std::snprintf(text, sizeof text, "urn:uuid:%08x-%04x-4%03x-%04x-%012llx",
                  static_cast<unsigned>(high >> 32), static_cast<unsigned>((high >> 16) & 0xffff),
                  static_cast<unsigned>(high & 0x0fff),
                  static_cast<unsigned>(0x8000 | ((low >> 48) & 0x3fff)),
                  static_cast<unsigned long long>(low & 0xffffffffffffULL));
    return text;
}

MessageHeader OnvifFleet::header(Camera& camera, std::string_view to, std::optional<std::string> relates_to) {
    return MessageHeader{random_urn(), std::move(relates_to), std::string(to), camera.instance_id,
                         ++camera.sent};
}

OutgoingDatagram OnvifFleet::datagram(std::size_t index, Millis due, Destination to, OutgoingKind kind,
                                      std::vector<std::uint8_t> bytes) const {
    return OutgoingDatagram{due, to, std::move(bytes), kind, std::nullopt, address(index), index};
}

void OnvifFleet::answer_probe(const DiscoveryMessage& probe, Destination from, Millis now, OutgoingQueue& out,
                              OnvifReception& reception) {
    for (std::size_t k = 0; k < cameras_.size(); ++k) {
        Camera& camera = cameras_[k];
        if (camera.silent || !probe_matches(probe, camera.description.types, camera.description.scopes)) {
            continue;
        }
        ++reception.answered;
        const Millis due = now + answer_wait(config_.delay_ms, config_.jitter_ms, random_);
        if (config_.drop_first && !camera.dropped_first) {
            camera.dropped_first = true;
            reception.dropped.push_back(OnvifDrop{k, from});
            continue;
        }
        auto bytes = build_probe_match(header(camera, kAnonymousTo, probe.message_id), camera.description);
        out.push(datagram(k, due, from, OutgoingKind::onvif_match, std::move(bytes)));
    }
    for (const auto& raw : config_.templates) {
        out.push(OutgoingDatagram{now,
                                  from,
                                  fill_template(raw, probe.message_id),
                                  OutgoingKind::onvif_raw,
                                  std::nullopt,
                                  {},
                                  std::nullopt});
    }
}

void OnvifFleet::answer_resolve(const DiscoveryMessage& resolve, Destination from, Millis now,
                                OutgoingQueue& out, OnvifReception& reception) {
    for (std::size_t k = 0; k < cameras_.size(); ++k) {
        Camera& camera = cameras_[k];
        if (camera.silent || camera.description.endpoint != resolve.resolve_endpoint) {
            continue;
        }
        ++reception.answered;
        // Whatever was announced, the answer to a Resolve is where a client learns the address.
        CameraDescription full = camera.description;
        full.xaddrs = camera.xaddrs;
        auto bytes = build_resolve_match(header(camera, kAnonymousTo, resolve.message_id), full);
        const Millis due = now + answer_wait(config_.delay_ms, config_.jitter_ms, random_);
        out.push(datagram(k, due, from, OutgoingKind::onvif_resolve_match, std::move(bytes)));
    }
}

OnvifReception OnvifFleet::on_datagram(const ReceivedDatagram& datagram, Millis now, OutgoingQueue& out) {
    OnvifReception reception{parse_discovery_message(datagram.bytes), 0, {}};
    const Destination from{datagram.source, datagram.source_port};
    switch (reception.message.kind) {
    case DiscoveryKind::probe:
        answer_probe(reception.message, from, now, out, reception);
        break;
    case DiscoveryKind::resolve:
        answer_resolve(reception.message, from, now, out, reception);
        break;
    case DiscoveryKind::other:
        break;
    }
    return reception;
}

std::vector<OutgoingDatagram> OnvifFleet::hellos(Millis now) {
    std::vector<OutgoingDatagram> out;
    for (std::size_t k = 0; k < cameras_.size(); ++k) {
        auto bytes = build_hello(header(cameras_[k], kDiscoveryTo, std::nullopt), cameras_[k].description);
        out.push_back(datagram(k, now, {kWsDiscoveryGroup, kWsDiscoveryPort}, OutgoingKind::onvif_hello,
                               std::move(bytes)));
    }
    return out;
}

std::vector<OutgoingDatagram> OnvifFleet::byes(Millis now) {
    std::vector<OutgoingDatagram> out;
    for (std::size_t k = 0; k < cameras_.size(); ++k) {
        if (cameras_[k].silent) {
            continue;
        }
        auto bytes =
            build_bye(header(cameras_[k], kDiscoveryTo, std::nullopt), cameras_[k].description.endpoint);
        out.push_back(datagram(k, now, {kWsDiscoveryGroup, kWsDiscoveryPort}, OutgoingKind::onvif_bye,
                               std::move(bytes)));
    }
    return out;
}

OutgoingDatagram OnvifFleet::come_back(std::size_t index, Ipv4 address, std::uint64_t instance_id,
                                       Millis now) {
    Camera& camera = cameras_.at(index);
    if (camera.ip != address) {
        camera.ip = address;
        camera.xaddrs = onvif_xaddr(format_ipv4(address), config_.http_port);
        if (camera.description.xaddrs) {
            camera.description.xaddrs = camera.xaddrs;
        }
        ++camera.description.metadata_version;
    }
    camera.silent = false;
    // The instance a camera comes back as is newer than every one before it, even within the same second.
    camera.instance_id = std::max(instance_id, camera.instance_id + 1);
    camera.sent = 0;
    auto bytes = build_hello(header(camera, kDiscoveryTo, std::nullopt), camera.description);
    return datagram(index, now, {kWsDiscoveryGroup, kWsDiscoveryPort}, OutgoingKind::onvif_hello,
                    std::move(bytes));
}

} // namespace quillsim
