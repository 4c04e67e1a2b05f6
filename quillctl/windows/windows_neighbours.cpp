#include "windows_neighbours.h"

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace quillctl {

namespace {

// Shared with the threads, which may outlive the query: SendARP cannot be cut short.
struct Pending {
    std::mutex mutex;
    std::condition_variable done;
    std::map<Ipv4, Mac> answers;
    size_t left = 0;
};

class WindowsNeighbourQuery : public NeighbourQuery {
  public:
    WindowsNeighbourQuery(const Link& link, const std::vector<Ipv4>& addresses)
        : pending_(std::make_shared<Pending>()) {
        pending_->left = addresses.size();
        const IPAddr source = htonl(link.Address().value);
        for (Ipv4 address : addresses) {
            std::thread([pending = pending_, address, source] {
                ULONG raw[2] = {};
                ULONG length = 6;
                DWORD result = SendARP(htonl(address.value), source, raw, &length);
                std::lock_guard<std::mutex> lock(pending->mutex);
                if (result == NO_ERROR && length == 6) {
                    Mac mac;
                    std::memcpy(mac.data(), raw, mac.size());
                    if (mac != Mac{})
                        pending->answers[address] = mac;
                }
                --pending->left;
                pending->done.notify_all();
            }).detach();
        }
    }

    std::map<Ipv4, Mac> Answers(Clock::time_point until) override {
        std::unique_lock<std::mutex> lock(pending_->mutex);
        pending_->done.wait_until(lock, until, [&] { return pending_->left == 0; });
        return pending_->answers;
    }

  private:
    std::shared_ptr<Pending> pending_;
};

} // namespace

std::unique_ptr<NeighbourQuery> AskWindowsNeighbours(const Link& link, const std::vector<Ipv4>& addresses) {
    return std::make_unique<WindowsNeighbourQuery>(link, addresses);
}

} // namespace quillctl
