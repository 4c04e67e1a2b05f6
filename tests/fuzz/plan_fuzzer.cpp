// Feeds any bytes to quillctl's plan reader as a plan file, then checks the plan against a fixed set of
// devices and cameras, as apply does. After every input: no line is both taken and refused, every line
// number is one of the file's own lines, and nothing taken breaks a rule the checks exist for. For inputs
// simple enough to split by hand (no quotes, "\n" line ends, a plain "mac,new_ip" header), every line with a
// bad MAC or address must be refused by its number.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "plan/address_rules.h"
#include "device_url.h"
#include "fuzz_check.h"
#include "plan/plan_check.h"
#include "plan/plan_reader.h"
#include "output/text_files.h"

using namespace quillctl;

namespace {

using fuzzing::Check;

// Devices 00-1a-2b-3c-4d-00 to -0f at 198.51.100.30 to .45, and -10 to -13 at one factory address;
// cameras urn:uuid:0 to urn:uuid:3 at 198.51.100.130 to .133, the first two with MACs -20 and -21.
struct World {
    World() {
        for (uint8_t i = 0; i < 4; ++i) {
            OnvifDevice camera;
            camera.endpoint = "urn:uuid:" + std::to_string(i);
            const Ipv4 address{ParseIpv4("198.51.100.130")->value + i};
            camera.xaddr = HttpXAddr{"http://" + FormatIpv4(address) + "/onvif/device_service", address, 80};
            if (i < 2)
                camera.mac = Mac{0, 0x1a, 0x2b, 0x3c, 0x4d, static_cast<uint8_t>(0x20 + i)};
            camera.source = address;
            devices.ApplyOnvif(camera);
        }
        for (uint8_t i = 0; i < 20; ++i) {
            quillmast::DeviceReply reply;
            std::string ip = i < 16 ? "198.51.100." + std::to_string(30 + i) : "192.168.0.10";
            std::memcpy(reply.ip, ip.c_str(), ip.size() + 1);
            reply.hasMac = true;
            const uint8_t mac[6] = {0, 0x1a, 0x2b, 0x3c, 0x4d, i};
            std::memcpy(reply.mac, mac, 6);
            devices.Apply(reply, 0, *ParseIpv4(ip));
        }
    }
    DeviceList devices;
    std::vector<Link> links{Link{"lan0", 2, Subnet{*ParseIpv4("198.51.100.1"), 24}}};
    std::vector<Ipv4> host{*ParseIpv4("198.51.100.1"), *ParseIpv4("127.0.0.1")};
};

int LineCount(std::string_view text) {
    int lines = 1;
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n' || (text[i] == '\r' && !(i + 1 < text.size() && text[i + 1] == '\n')))
            ++lines;
    return lines;
}

// The MAC rule, written again independently of the reader.
bool PlainMac(std::string_view cell) {
    if (cell.size() != 17 || (cell[2] != '-' && cell[2] != ':'))
        return false;
    for (size_t i = 0; i < 17; ++i) {
        bool ok = i % 3 == 2 ? cell[i] == cell[2] : std::isxdigit(static_cast<unsigned char>(cell[i])) != 0;
        if (!ok)
            return false;
    }
    return true;
}

std::string_view Trim(std::string_view cell) {
    while (!cell.empty() && (cell.front() == ' ' || cell.front() == '\t'))
        cell.remove_prefix(1);
    while (!cell.empty() && (cell.back() == ' ' || cell.back() == '\t'))
        cell.remove_suffix(1);
    return cell;
}

bool RefusedAddressCell(std::string_view cell) {
    std::string text(cell);
    if (text.find('\0') != std::string::npos || !quillmast::IsDottedIpv4(text.c_str()))
        return true;
    return !RefusalOf(*ParseIpv4(text), nullptr).empty();
}

// Lines the simple splitter says must be refused (empty when the input is not simple enough).
std::set<int> MustRefuse(std::string_view text) {
    std::set<int> refused;
    const std::string_view header = "mac,new_ip\n";
    if (text.substr(0, header.size()) != header || text.find_first_of("\"\r") != std::string_view::npos)
        return refused;
    int line = 1;
    size_t start = header.size();
    while (start < text.size()) {
        ++line;
        size_t end = text.find('\n', start);
        std::string_view row =
            text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        start = end == std::string_view::npos ? text.size() : end + 1;
        size_t comma = row.find(',');
        // One leading ' (a spreadsheet's text marker, as find writes it) is not part of a cell.
        auto cell = [](std::string_view field) {
            return Trim(field.substr(!field.empty() && field.front() == '\'' ? 1 : 0));
        };
        std::string_view mac = cell(row.substr(0, comma));
        std::string_view ip =
            comma == std::string_view::npos ? std::string_view() : cell(row.substr(comma + 1));
        if (ip.find(',') != std::string_view::npos)
            continue; // more cells than the header: refused or not depends on what they hold
        if ((mac.empty() && ip.empty()))
            continue;
        if (!PlainMac(mac) || (!ip.empty() && RefusedAddressCell(ip)))
            refused.insert(line);
    }
    return refused;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const World world;
    // As apply reads a plan file: UTF-16 with a byte order mark becomes UTF-8 first.
    std::string error;
    const std::optional<std::string> utf8 =
        TextAsUtf8(std::string_view(reinterpret_cast<const char*>(data), size), error);
    if (!utf8) {
        Check(!error.empty(), "a text that cannot be read says why");
        return 0;
    }
    const std::string_view text(*utf8);
    const int lines = LineCount(text);

    Plan plan = ReadPlan(text);
    std::set<int> refused;
    for (const PlanProblem& problem : plan.problems) {
        Check(problem.line >= 1 && problem.line <= lines, "a problem names one of the file's lines");
        Check(!problem.message.empty(), "a problem says what is wrong");
        for (char c : problem.message)
            Check(c != '\x1b' && c != '\r' && c != '\n', "messages carry no control bytes");
        refused.insert(problem.line);
    }
    std::multimap<std::string, std::string> names; // MAC or endpoint, with the interface named, lower case
    std::set<Ipv4> addresses;
    int previous = 1;
    for (const PlanLine& line : plan.lines) {
        Check(line.line > previous && line.line <= lines, "taken lines come in order, after the header");
        previous = line.line;
        Check(!refused.count(line.line), "no line is both taken and refused");
        std::string interface = line.interface;
        for (char& c : interface)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        std::string name = line.camera ? "endpoint " + line.endpoint : MacText(line.mac);
        for (char& c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        bool clash = false;
        for (auto [known, end] = names.equal_range(name); known != end; ++known)
            clash |= known->second.empty() || interface.empty() || known->second == interface;
        Check(!clash, "no MAC or endpoint taken twice but on two interfaces");
        names.emplace(name, interface);
        if (line.camera) {
            Check(!line.endpoint.empty(), "a camera's line has its endpoint");
            Check(!line.prefixLength ||
                      (*line.prefixLength >= kMinPrefixLength && *line.prefixLength <= kMaxPrefixLength),
                  "no prefix length taken outside the bounds");
            Check(!line.gateway || RefusalOf(*line.gateway, nullptr).empty(),
                  "no gateway taken that no device can take");
        } else {
            Check(!line.prefixLength && !line.gateway && line.user.empty(),
                  "our devices' lines ask only an address");
        }
        if (line.newIp) {
            Check(addresses.insert(*line.newIp).second, "no address taken twice");
            Check(RefusalOf(*line.newIp, nullptr).empty(), "no address taken that no device can take");
        }
    }
    for (int line : MustRefuse(text))
        Check(refused.count(line) == 1, "a line with a bad MAC or address is refused by its number");

    CheckedPlan checked = CheckPlan(plan.lines, NetworkView{world.devices, world.links, world.host});
    std::map<Mac, std::string> moving;
    std::map<std::string, std::string> camerasMoving; // by endpoint
    for (const ChangeItem& item : checked.items)
        if (item.status == ChangeStatus::Waiting) {
            if (item.camera)
                camerasMoving[item.camera->endpoint] = item.newIp;
            else
                moving[item.mac] = item.newIp;
        }
    for (const PlanProblem& problem : checked.problems)
        Check(problem.line >= 2 && problem.line <= lines, "a check names one of the plan's lines");
    for (size_t i = 0; i < checked.items.size(); ++i) {
        const ChangeItem& item = checked.items[i];
        Check(!refused.count(checked.itemLines[i]), "no refused line is checked");
        if (item.status != ChangeStatus::Waiting)
            continue;
        Ipv4 target = *ParseIpv4(item.newIp);
        if (item.camera) {
            const OnvifDevice* camera = world.devices.FindOnvif(item.camera->endpoint);
            Check(camera != nullptr, "only cameras that answered are changed");
            Check(FormatIpv4(camera->xaddr.host) == item.oldIp && item.oldIp != item.newIp,
                  "nothing is sent to a camera that already has the address");
            const Subnet subnet{target,
                                item.camera->prefixLength.value_or(world.links[0].subnet.prefixLength)};
            Check(!item.camera->gateway ||
                      (subnet.Contains(*item.camera->gateway) && *item.camera->gateway != target),
                  "a camera's gateway lies in its new subnet");
        } else {
            const FoundDevice* device = world.devices.Find(item.mac);
            Check(device != nullptr, "only devices that answered are changed");
            Check(device->ipText != item.newIp, "nothing is sent to a device that already has the address");
        }
        Check(RefusalOf(target, &world.links[0]).empty(), "no subnet or broadcast address is sent");
        for (Ipv4 own : world.host)
            Check(own != target, "no address of this host is sent");
        for (const FoundDevice& other : world.devices.devices()) {
            if ((!item.camera && other.mac == item.mac) || other.ipText != item.newIp)
                continue;
            auto move = moving.find(other.mac);
            Check(move != moving.end() && move->second != other.ipText,
                  "no address is taken from a device that keeps it");
        }
        for (const OnvifDevice& other : world.devices.onvifDevices()) {
            if ((item.camera && other.endpoint == item.camera->endpoint) || other.xaddr.host != target)
                continue;
            auto move = camerasMoving.find(other.endpoint);
            Check(move != camerasMoving.end() && move->second != item.newIp,
                  "no address is taken from a camera that keeps it");
        }
    }
    return 0;
}
