#include "onvif_flood_mix.hpp"

#include "onvif_messages.hpp"

#include <algorithm>
#include <cstdio>

namespace quillsim {

namespace {

// Attributes on the envelope and decoy elements in the body of a crowded answer: far more than a client
// should read, in about 20 KB.
constexpr int kCrowdAttributes = 300;
constexpr int kCrowdDecoys = 1000;

} // namespace

OnvifFloodMix::OnvifFloodMix(std::uint64_t seed, std::string relates_to)
    : random_(seed), relates_to_(std::move(relates_to)) {}

std::string OnvifFloodMix::next_endpoint() {
    char text[64];
    std::snprintf(text, sizeof(text), "urn:uuid:f100d000-0000-4000-8000-%012llx",
                  static_cast<unsigned long long>(sent_));
    return text;
}

FloodDatagram OnvifFloodMix::next() {
    ++sent_;
    MessageHeader header;
    header.message_id = "urn:uuid:f100d001-0000-4000-8000-" + std::to_string(1000000000000 + sent_);
    header.instance_id = 1;
    header.message_number = sent_;
    CameraDescription camera;
    camera.endpoint = next_endpoint();
    camera.types = {{std::string(ns::dn), "NetworkVideoTransmitter"}};
    camera.scopes = {"onvif://www.onvif.org/name/Flood"};
    FloodDatagram datagram;
    switch (random_() % 10) {
    case 0:
        datagram.kind = FloodKind::onvif_crowded;
        datagram.bytes = crowded();
        break;
    case 1:
    case 2:
        header.to = kDiscoveryTo;
        datagram.kind = FloodKind::onvif_hello;
        datagram.bytes = build_hello(header, camera);
        break;
    default:
        header.relates_to = relates_to_;
        header.to = kAnonymousTo;
        datagram.kind = FloodKind::onvif_unresolved;
        datagram.bytes = build_probe_match(header, camera);
        break;
    }
    return datagram;
}

std::vector<std::uint8_t> OnvifFloodMix::crowded() {
    const std::string endpoint = next_endpoint(); // always the same length
    if (crowded_.empty()) {
        std::string text = "<s:Envelope xmlns:s=\"" + std::string(ns::soap) + "\"";
        for (int i = 0; i < kCrowdAttributes; ++i)
            text += " a" + std::to_string(i) + "=\"\"";
        text += " xmlns:a=\"" + std::string(ns::wsa) + "\" xmlns:d=\"" + std::string(ns::wsd) +
                "\" xmlns:q=\"urn:decoy\"><s:Header><a:RelatesTo>" + relates_to_ +
                "</a:RelatesTo></s:Header><s:Body>";
        for (int i = 0; i < kCrowdDecoys; ++i)
            text += "<q:ProbeMatches/>";
        text += "<d:ProbeMatches><d:ProbeMatch><a:EndpointReference><a:Address>";
        crowded_endpoint_at_ = text.size();
        text += endpoint + "</a:Address></a:EndpointReference></d:ProbeMatch></d:ProbeMatches></s:Body>"
                           "</s:Envelope>";
        crowded_.assign(text.begin(), text.end());
    }
    std::copy(endpoint.begin(), endpoint.end(),
              crowded_.begin() + static_cast<std::ptrdiff_t>(crowded_endpoint_at_));
    return crowded_;
}

} // namespace quillsim
