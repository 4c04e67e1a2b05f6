#include "camera_service.hpp"

#include "soap_answers.hpp"
#include "soap_call.hpp"

#include <charconv>

namespace quillsim {

namespace {

ServiceExchange soap_answer(std::string operation, std::string body) {
    ServiceExchange exchange;
    exchange.operation = std::move(operation);
    exchange.result = "ok";
    exchange.answer.body = std::move(body);
    return exchange;
}

// Sender faults are the caller's (HTTP 400), Receiver faults the camera's (HTTP 500), as SOAP 1.2 binds them.
ServiceExchange fault(std::string operation, std::string_view code, std::string_view subcode,
                      std::string reason) {
    ServiceExchange exchange;
    exchange.operation = std::move(operation);
    exchange.result = "fault";
    exchange.answer.status = code == "Sender" ? 400 : 500;
    exchange.answer.body = soap_fault(code, subcode, reason);
    exchange.detail = std::move(reason);
    return exchange;
}

std::optional<int> prefix_length(const std::optional<std::string>& text) {
    int value = 0;
    if (!text ||
        std::from_chars(text->data(), text->data() + text->size(), value).ptr !=
            text->data() + text->size() ||
        text->empty() || value < 1 || value > 32) {
        return std::nullopt;
    }
    return value;
}

bool is_pre_auth(const QualifiedName& operation) {
    return operation.uri == onvif_ns::tds &&
           (operation.local == "GetSystemDateAndTime" || operation.local == "GetCapabilities");
}

} // namespace

CameraService::CameraService(CameraServiceConfig config)
    : config_(std::move(config)), facts_(camera_facts(config_.first_address, config_.index)) {
    network_ = CameraNetwork{config_.first_address, kFirstPrefixLength, facts_.dhcp,
                             first_gateway(config_.first_address)};
    if (config_.credentials) {
        auth_.emplace(*config_.credentials, config_.settings.auth);
    }
}

ServiceExchange CameraService::handle(const HttpRequest& request, Millis now, double wall_seconds) {
    const SoapCall call = parse_soap_call(request.body);
    ServiceExchange exchange;
    if (config_.settings.fault == CameraFault::hang) {
        exchange.operation = call.operation.local;
        exchange.hang = true;
        exchange.result = "hung";
        return exchange;
    }
    if (request.method != "POST") {
        exchange.answer.status = 405;
        exchange.answer.headers.emplace_back("Allow", "POST");
        exchange.result = "fault";
        exchange.detail = "not POST";
        return exchange;
    }
    if (!call.envelope) {
        return fault("", "Sender", "WellFormed", "not a SOAP 1.2 envelope with a body");
    }
    const std::string& operation = call.operation.local;
    AuthOutcome outcome{AuthVerdict::granted, "none", {}, {}, false};
    if (auth_ && !is_pre_auth(call.operation)) {
        const auto header = request.headers.find("authorization");
        const OfferedCredentials offered{
            call.token,
            header == request.headers.end() ? std::nullopt : std::optional<std::string>(header->second),
            request.method, request.target};
        outcome = auth_->check(offered, camera_seconds(wall_seconds), now);
    }
    if (outcome.verdict != AuthVerdict::granted) {
        // A refused UsernameToken is told so in the SOAP fault; a caller without credentials that the camera
        // takes by Digest, or with a Digest answer that does not hold, is challenged (again).
        const bool challenge = outcome.method == "digest" ||
                               (outcome.verdict == AuthVerdict::missing && auth_->mode() != AuthMode::token);
        exchange = fault(operation, "Sender", "NotAuthorized", "Sender not authorized");
        exchange.auth = outcome;
        exchange.detail = outcome.reason.empty() ? "no credentials" : outcome.reason;
        exchange.result = outcome.verdict == AuthVerdict::refused ? "refused" : "needed";
        if (challenge) {
            exchange.answer.status = 401;
            exchange.answer.headers.emplace_back("WWW-Authenticate", auth_->challenge(now, outcome.stale));
        }
        return exchange;
    }
    exchange = answer(call, now, wall_seconds);
    exchange.auth = outcome;
    if (config_.settings.fault == CameraFault::huge) {
        exchange.answer.body = padded_answer(std::move(exchange.answer.body), kHugeAnswerBytes);
    }
    return exchange;
}

ServiceExchange CameraService::answer(const SoapCall& call, Millis now, double wall_seconds) {
    const std::string& name = call.operation.local;
    const std::string address = format_ipv4(network_.address);
    if (call.operation.uri == onvif_ns::tds) {
        if (name == "GetSystemDateAndTime") {
            return soap_answer(name, date_and_time_answer(camera_seconds(wall_seconds)));
        }
        if (name == "GetCapabilities") {
            return soap_answer(
                name, capabilities_answer(service_xaddr(address, config_.http_port),
                                          service_xaddr(address, config_.http_port, "media_service")));
        }
        if (name == "GetDeviceInformation") {
            return soap_answer(name, device_information_answer(facts_));
        }
        if (name == "GetNetworkInterfaces") {
            return soap_answer(name, network_interfaces_answer(facts_, network_));
        }
        if (name == "GetNetworkDefaultGateway") {
            return soap_answer(name, default_gateway_answer(network_));
        }
        if (name == "SetNetworkInterfaces") {
            return set_interfaces(call, now);
        }
        if (name == "SetNetworkDefaultGateway") {
            return set_gateway(call);
        }
        if (name == "SystemReboot") {
            start_reboot(now);
            auto exchange = soap_answer(
                name, reboot_answer("Rebooting in " + std::to_string(config_.reboot_ms / 1000) + " seconds"));
            exchange.going_silent = true;
            return exchange;
        }
    } else if (call.operation.uri == onvif_ns::trt) {
        if (name == "GetProfiles") {
            return soap_answer(name, profiles_answer());
        }
        if (name == "GetStreamUri") {
            return soap_answer(name, stream_uri_answer("rtsp://" + address + ":554/main"));
        }
    }
    return fault(name, "Receiver", "ActionNotSupported", "the simulated camera does not offer " + name);
}

ServiceExchange CameraService::set_interfaces(const SoapCall& call, Millis now) {
    const std::string name = "SetNetworkInterfaces";
    const InterfaceChange& change = call.interface_change;
    if (change.interface_token != facts_.interface_token) {
        return fault(name, "Sender", "InvalidArgVal",
                     "no network interface '" + change.interface_token + "'");
    }
    if (!change.has_ipv4) {
        return fault(name, "Sender", "InvalidArgVal", "no IPv4 settings: the camera changes only IPv4");
    }
    CameraNetwork next = pending_.value_or(network_);
    if (change.dhcp && *change.dhcp == "true") {
        next.dhcp = true; // the lease keeps the address the camera has: the lab has no DHCP server
    } else {
        const auto address = change.address ? parse_ipv4(*change.address) : std::nullopt;
        const auto prefix = prefix_length(change.prefix_length);
        if (!address || !prefix) {
            return fault(name, "Sender", "InvalidArgVal",
                         "a manual IPv4 address and prefix length 1..32 are needed");
        }
        if (!config_.may_hold || !config_.may_hold(*address)) {
            return fault(name, "Sender", "InvalidArgVal",
                         "the simulator holds only addresses of 198.51.100.0/24 and 203.0.113.0/24");
        }
        next = CameraNetwork{*address, *prefix, false, next.gateway};
    }
    pending_ = next;
    auto exchange = soap_answer(name, set_interfaces_answer(config_.settings.reboot_needed));
    if (!config_.settings.reboot_needed) {
        start_reboot(now);
        exchange.going_silent = true;
    }
    return exchange;
}

ServiceExchange CameraService::set_gateway(const SoapCall& call) {
    const std::string name = "SetNetworkDefaultGateway";
    const auto gateway = call.gateways.empty() ? std::nullopt : parse_ipv4(call.gateways.front());
    if (!gateway) {
        return fault(name, "Sender", "InvalidArgVal", "an IPv4 gateway address is needed");
    }
    network_.gateway = *gateway;
    if (pending_) {
        pending_->gateway = *gateway;
    }
    return soap_answer(name, set_gateway_answer());
}

void CameraService::start_reboot(Millis now) { back_at_ = now + config_.reboot_ms; }

std::optional<CameraReturn> CameraService::come_back(Millis now) {
    if (!back_at_ || now < *back_at_) {
        return std::nullopt;
    }
    back_at_.reset();
    CameraReturn back{config_.index, network_.address, pending_.value_or(network_)};
    network_ = back.network;
    pending_.reset();
    return back;
}

} // namespace quillsim
