#pragma once

#include "flood_mix.hpp"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace quillsim {

// A hostile stream of WS-Discovery datagrams for a client's probe socket, each one well-formed:
// answers to its probe that name a new endpoint without an address (each asks for a Resolve), Hellos
// of the same kind, and answers crowded with attributes and elements (each name in them is looked up
// through every attribute around it).
class OnvifFloodMix {
  public:
    // `relates_to`: the MessageID of the probe the answers claim to answer.
    OnvifFloodMix(std::uint64_t seed, std::string relates_to);

    FloodDatagram next();

  private:
    std::string next_endpoint();
    std::vector<std::uint8_t> crowded();

    std::mt19937_64 random_;
    std::string relates_to_;
    std::uint64_t sent_ = 0;
    // The crowded answer is built once (about 20 KB of text: building it each time kept a loaded
    // sender well below its rate); each one sent gets the new endpoint written over the old.
    std::vector<std::uint8_t> crowded_;
    std::size_t crowded_endpoint_at_ = 0;
};

} // namespace quillsim
