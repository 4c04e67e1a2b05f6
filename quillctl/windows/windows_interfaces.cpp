#include "windows_interfaces.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>

#include <memory>

#include "net/exit_status.h"

namespace quillctl {

std::string Utf8FromWide(const wchar_t* text) {
    if (text == nullptr || *text == 0)
        return "";
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return "";
    std::string out(static_cast<size_t>(size - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    return out;
}

std::vector<HostInterface> ListWindowsInterfaces() {
    const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    ULONG size = 16 * 1024;
    std::unique_ptr<uint8_t[]> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    // The list may grow between the two calls: try a few times.
    for (int attempt = 0; attempt < 4 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer = std::make_unique<uint8_t[]>(size);
        result = GetAdaptersAddresses(AF_INET, flags, nullptr,
                                      reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.get()), &size);
    }
    if (result == ERROR_NO_DATA)
        return {};
    if (result != NO_ERROR)
        throw CommandError(kExitFailure, "cannot list the network interfaces: GetAdaptersAddresses error " +
                                             std::to_string(result));
    std::vector<HostInterface> interfaces;
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.get()); adapter != nullptr;
         adapter = adapter->Next) {
        HostInterface itf;
        itf.name = Utf8FromWide(adapter->FriendlyName);
        if (itf.name.empty() && adapter->AdapterName != nullptr)
            itf.name = adapter->AdapterName;
        itf.index = adapter->IfIndex;
        itf.up = adapter->OperStatus == IfOperStatusUp;
        itf.loopback = adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK;
        for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr; unicast = unicast->Next) {
            const SOCKADDR* address = unicast->Address.lpSockaddr;
            if (address == nullptr || address->sa_family != AF_INET)
                continue;
            // A tentative address cannot be bound yet, and one Windows marked duplicate after a conflict
            // (with a camera, say) or deprecated is not this host's to search from.
            if (unicast->DadState != IpDadStatePreferred)
                continue;
            const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
            itf.addresses.push_back(
                InterfaceAddress{Ipv4{ntohl(v4->sin_addr.s_addr)}, unicast->OnLinkPrefixLength});
        }
        interfaces.push_back(std::move(itf));
    }
    return interfaces;
}

} // namespace quillctl
