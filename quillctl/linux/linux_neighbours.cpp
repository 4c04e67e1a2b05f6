#include "linux_neighbours.h"

#include <arpa/inet.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace quillctl {

namespace {

constexpr uint16_t kDiscardPort = 9;
// The table's flag of an entry the neighbour has answered for (reachable, stale, delay or probe).
constexpr unsigned kArpComplete = 0x2;

class LinuxNeighbourQuery : public NeighbourQuery {
  public:
    LinuxNeighbourQuery(const Link& link, std::vector<Ipv4> addresses)
        : device_(link.name.substr(0, link.name.find(':'))), addresses_(std::move(addresses)) {
        int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return;
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(link.Address().value);
        if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) == 0) {
            for (Ipv4 address : addresses_) {
                sockaddr_in to{};
                to.sin_family = AF_INET;
                to.sin_addr.s_addr = htonl(address.value);
                to.sin_port = htons(kDiscardPort);
                // Whatever comes of it: the question is asked by the ARP request it causes.
                (void)sendto(fd, nullptr, 0, MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&to),
                             sizeof(to));
            }
        }
        close(fd);
    }

    std::map<Ipv4, Mac> Answers(Clock::time_point until) override {
        for (;;) {
            std::map<Ipv4, Mac> found = ReadTable();
            if (found.size() == addresses_.size() || Clock::now() >= until)
                return found;
            poll(nullptr, 0, 20);
        }
    }

  private:
    std::map<Ipv4, Mac> ReadTable() const {
        // IP address, HW type, Flags, HW address, Mask, Device
        std::ifstream table("/proc/net/arp");
        std::map<Ipv4, Mac> found;
        std::string line;
        std::getline(table, line);
        while (std::getline(table, line)) {
            std::istringstream fields(line);
            std::string ip, type, flags, hw, mask, device;
            if (!(fields >> ip >> type >> flags >> hw >> mask >> device) || device != device_)
                continue;
            std::optional<Ipv4> address = ParseIpv4(ip);
            std::optional<Mac> mac = ParseMacArgument(hw);
            if (!address || !mac || (std::stoul(flags, nullptr, 16) & kArpComplete) == 0 || *mac == Mac{})
                continue;
            for (Ipv4 wanted : addresses_)
                if (wanted == *address)
                    found[wanted] = *mac;
        }
        return found;
    }

    std::string device_;
    std::vector<Ipv4> addresses_;
};

} // namespace

std::unique_ptr<NeighbourQuery> AskLinuxNeighbours(const Link& link, const std::vector<Ipv4>& addresses) {
    return std::make_unique<LinuxNeighbourQuery>(link, addresses);
}

} // namespace quillctl
