#pragma once

#include "base/ipv4_address.hpp"

#include <optional>
#include <set>
#include <string>

namespace quillsim {

// The cameras' own addresses on the simulator's link, so each serves its device service at the address it
// announces. Only lab addresses are ever added, only in the simulator's own namespace (the safety checks
// have passed before one is made), and every address added is removed again, at the latest when this
// object goes.
class LinkAddresses {
  public:
    // The link that holds `bind_ip`, or the one non-loopback link; nothing if that is not one link.
    static std::optional<LinkAddresses> open(std::optional<Ipv4> bind_ip, std::string& problem);
    LinkAddresses(LinkAddresses&& other) noexcept;
    LinkAddresses(const LinkAddresses&) = delete;
    LinkAddresses& operator=(const LinkAddresses&) = delete;
    ~LinkAddresses();

    const std::string& link_name() const { return name_; }
    // A message when the address cannot be put on the link. One the link already has (another simulator's
    // camera, the namespace's own address) is left alone and not removed later.
    std::optional<std::string> add(Ipv4 address, int prefix_length);
    void remove(Ipv4 address); // only the ones this object added

  private:
    LinkAddresses(int socket, unsigned index, std::string name)
        : socket_(socket), index_(index), name_(std::move(name)) {}
    int request(int type, int flags, Ipv4 address, int prefix_length);

    int socket_ = -1;
    unsigned index_ = 0;
    std::string name_;
    std::set<std::pair<Ipv4, int>> added_;
};

} // namespace quillsim
