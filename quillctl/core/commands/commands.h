#pragma once
// The commands, each given its options already read from the command line. They print results to
// `out` and warnings and progress to `err`, return the exit status and throw CommandError for any
// other ending.
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "commands/credential_options.h"
#include "commands/host.h"
#include "output/row_formats.h"
#include "onvif/wsd_names.h"

namespace quillctl {

// Which searches find makes: ours (what it always made), WS-Discovery, or both.
enum class FindProtocol { Quill, Onvif, All };

struct FindOptions {
    std::vector<std::string> interfaces;
    FindProtocol protocol = FindProtocol::Quill;
    std::vector<wsd::TypeName> onvifTypes; // what the WS-Discovery probe asks for
    double timeoutSeconds = 2.0;
    std::optional<int> count;
    RowFormat format = RowFormat::Table;
    bool watch = false;
    std::string outputPath; // empty: standard output
    bool details = false;   // ask each ONVIF camera's device service too
    CredentialOptions credentials;
};

// What set-ip and apply do with cameras beside our devices.
struct CameraChangeOptions {
    double cameraTimeoutSeconds = 120.0; // the wait for a camera's confirmation (it may reboot)
    bool noReboot = false;               // a camera that needs a reboot is left so
    CredentialOptions credentials;
};

struct SetIpOptions : CameraChangeOptions {
    std::vector<std::string> interfaces;
    std::string target; // our device's MAC, or a camera's endpoint, address or MAC
    std::string newIp;
    std::optional<int> prefixLength; // a camera's, when it is to change
    std::string gateway;             // a camera's new default gateway; empty: left as it is
    double findTimeoutSeconds = 2.0;
    double timeoutSeconds = 15.0;
    bool force = false;
};

struct ApplyOptions : CameraChangeOptions {
    std::vector<std::string> interfaces;
    std::string planPath; // or, instead of a plan:
    std::string from;
    std::string select;
    bool dryRun = false;
    std::string reportPath;
    double findTimeoutSeconds = 2.0;
    double timeoutSeconds = 15.0;
};

struct WebOptions {
    std::vector<std::string> interfaces;
    std::string target; // a MAC, an IPv4 address or a WS-Discovery endpoint
    double findTimeoutSeconds = 2.0;
};

// What ONVIF cameras say of themselves through their device service.
struct InfoOptions {
    std::vector<std::string> interfaces;
    std::vector<std::string> targets; // MACs, IPv4 addresses or endpoints; none: every camera found
    double findTimeoutSeconds = 2.0;
    RowFormat format = RowFormat::Table;
    std::string outputPath; // empty: standard output
    CredentialOptions credentials;
};

int RunFind(Host& host, const FindOptions& options, std::ostream& out, std::ostream& err);
int RunSetIp(Host& host, const SetIpOptions& options, std::ostream& out, std::ostream& err);
int RunApply(Host& host, const ApplyOptions& options, std::ostream& out, std::ostream& err);
int RunWeb(Host& host, const WebOptions& options, std::ostream& out, std::ostream& err);
int RunInfo(Host& host, const InfoOptions& options, std::ostream& out, std::ostream& err);

} // namespace quillctl
