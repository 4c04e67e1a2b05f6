#pragma once
// The two requests quillctl sends to WS-Discovery devices: a Probe for devices of some types, and a
// Resolve for one endpoint that answered without saying where it is. Each has a fresh MessageID, so
// that answers can be told apart from those to someone else's requests.
#include <random>
#include <string>
#include <vector>

#include "onvif/wsd_names.h"

namespace quillctl::wsd {

// urn:uuid:... of a random (version 4) UUID.
std::string NewMessageId(std::mt19937_64& random);

std::string BuildProbe(const std::string& messageId, const std::vector<TypeName>& types);

// The endpoint came from the network: it is written escaped, as any text in the document.
std::string BuildResolve(const std::string& messageId, const std::string& endpoint);

} // namespace quillctl::wsd
