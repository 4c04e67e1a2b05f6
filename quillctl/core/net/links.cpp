#include "net/links.h"

#include <algorithm>

#include "net/text_escape.h"

namespace quillctl {

namespace {

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

Link MakeLink(const HostInterface& itf, const InterfaceAddress& address) {
    return Link{itf.name, itf.index, Subnet{address.address, address.prefixLength}};
}

bool Usable(const HostInterface& itf) { return itf.up && !itf.loopback && !itf.addresses.empty(); }

void AddOnce(std::vector<Link>& links, const Link& link) {
    for (const Link& known : links)
        if (known.index == link.index && known.Address() == link.Address())
            return;
    links.push_back(link);
}

// The links for one --interface word, or an error.
std::string AddWanted(const std::vector<HostInterface>& interfaces, const std::string& word,
                      std::vector<Link>& links) {
    std::optional<Ipv4> address = ParseIpv4(word);
    for (const HostInterface& itf : interfaces) {
        if (address) {
            for (const InterfaceAddress& own : itf.addresses) {
                if (own.address != *address)
                    continue;
                if (itf.loopback)
                    return "interface " + EscapeName(itf.name) + " (" + word + ") is the loopback interface";
                if (!itf.up)
                    return "interface " + EscapeName(itf.name) + " (" + word + ") is down";
                AddOnce(links, MakeLink(itf, own));
                return "";
            }
            continue;
        }
        if (!SameNameIgnoringCase(itf.name, word))
            continue;
        if (itf.loopback)
            return "interface " + EscapeName(itf.name) + " is the loopback interface";
        if (!itf.up)
            return "interface " + EscapeName(itf.name) + " is down";
        if (itf.addresses.empty())
            return "interface " + EscapeName(itf.name) + " has no IPv4 address";
        for (const InterfaceAddress& own : itf.addresses)
            AddOnce(links, MakeLink(itf, own));
        return "";
    }
    return address ? "no interface has the address " + word : "no interface named '" + EscapeName(word) + "'";
}

} // namespace

std::string DescribeLink(const Link& link) {
    return EscapeName(link.name) + " (" + FormatIpv4(link.Address()) + ")";
}

bool LinkNamed(const Link& link, std::string_view word) {
    std::optional<Ipv4> address = ParseIpv4(word);
    return address ? *address == link.Address() : SameNameIgnoringCase(link.name, word);
}

LinkSelection SelectLinks(const std::vector<HostInterface>& interfaces,
                          const std::vector<std::string>& wanted) {
    LinkSelection selection;
    if (wanted.empty()) {
        for (const HostInterface& itf : interfaces)
            if (Usable(itf))
                for (const InterfaceAddress& own : itf.addresses)
                    AddOnce(selection.links, MakeLink(itf, own));
        if (selection.links.empty())
            selection.error = "no network interface is up with an IPv4 address";
        return selection;
    }
    for (const std::string& word : wanted) {
        selection.error = AddWanted(interfaces, word, selection.links);
        if (!selection.error.empty()) {
            selection.links.clear();
            return selection;
        }
    }
    return selection;
}

std::vector<Ipv4> HostAddresses(const std::vector<HostInterface>& interfaces) {
    std::vector<Ipv4> out;
    for (const HostInterface& itf : interfaces)
        for (const InterfaceAddress& own : itf.addresses)
            out.push_back(own.address);
    return out;
}

std::optional<size_t> ArrivalLink(const std::vector<Link>& links, const ArrivalFacts& facts) {
    auto bySubnet = [&](auto accept) -> std::optional<size_t> {
        std::optional<size_t> first;
        for (size_t i = 0; i < links.size(); ++i) {
            if (!accept(links[i]))
                continue;
            if (links[i].subnet.Contains(facts.source))
                return i;
            if (!first)
                first = i;
        }
        return first;
    };
    if (facts.interfaceIndex) {
        // Several addresses on one interface: the one whose subnet holds the sender.
        return bySubnet([&](const Link& link) { return link.index == *facts.interfaceIndex; });
    }
    if (facts.destination)
        for (size_t i = 0; i < links.size(); ++i)
            if (links[i].Address() == *facts.destination)
                return i;
    for (size_t i = 0; i < links.size(); ++i)
        if (links[i].subnet.Contains(facts.source))
            return i;
    if (links.size() == 1)
        return 0;
    return std::nullopt;
}

} // namespace quillctl
