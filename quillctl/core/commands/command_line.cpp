#include "commands/command_line.h"

#include <algorithm>
#include <functional>
#include <utility>

#include <CLI/CLI.hpp>

#include "commands/commands.h"
#include "net/exit_status.h"
#include "net/text_escape.h"
#include "onvif/wsd_names.h"

#ifndef QUILLCTL_VERSION
#error QUILLCTL_VERSION must be defined by the build
#endif

namespace quillctl {

namespace {

const char* const kExitStatusText = R"(
Exit status:
  0  done as asked
  1  anything else, e.g. a socket that cannot be set up or no change command that could be sent (the
     system's message says why), an interruption, a device for web whose reply holds no dotted address
  2  bad usage: an unknown command, option or interface, a refused address, an unreadable plan, a plan
     with errors (a password column among them), a password that cannot be had
  3  a change not confirmed within the wait, confirmed with another address than asked, or not sent
     because a change it waited for failed; a camera that refused the credentials (auth refused) or
     was left waiting for a reboot (--no-reboot); for info and find --details: a camera refused the
     credentials or did not tell its details
  4  a named device not found (for apply: the plan's only errors are MACs that did not answer; for
     find: fewer than --count devices answered))";

const char* const kInterfaceHelp = "Search only on this interface (its name, or one of its addresses); "
                                   "repeatable. Default: every interface that is up, has an IPv4 address "
                                   "and is not loopback";

void AddInterfaceOption(CLI::App& command, std::vector<std::string>& interfaces) {
    command.add_option("-i,--interface", interfaces, kInterfaceHelp)
        ->type_name("NAME|ADDRESS")
        ->allow_extra_args(false);
}

const char* const kCredentialsHelp = R"(
Camera credentials: --user NAME with the password from the environment variable QUILLCTL_PASSWORD,
else --password-file, else typed on the terminal (not echoed); --credentials FILE gives them per camera,
one line each: ENDPOINT|MAC|* USER PASSWORD (lines starting with # skipped; on Linux the file must not be
readable by group or others). The password travels only as a digest: WS-Security UsernameToken with
PasswordDigest, or HTTP Digest when the camera asks for it; never Basic.)";

void AddCredentialOptions(CLI::App& command, CredentialOptions& credentials) {
    command.add_option("--user", credentials.user, "The cameras' user name")->type_name("NAME");
    command
        .add_option("--password-file", credentials.passwordFile,
                    "Read the password from FILE's first line (when QUILLCTL_PASSWORD is not set)")
        ->type_name("FILE");
    command.add_option("--credentials", credentials.credentialsFile, "Per-camera user names and passwords")
        ->type_name("FILE");
}

CLI::Option* AddSeconds(CLI::App& command, const std::string& name, double& value, const std::string& help) {
    return command.add_option(name, value, help)
        ->type_name("SECONDS")
        ->check(CLI::Range(0.001, 86400.0).description(""))
        ->capture_default_str();
}

// --timeout for our devices, and for cameras too when given; a camera's own default is far longer, as a
// reboot into its new address takes a minute on many.
CLI::Option* AddChangeOptions(CLI::App& command, double& timeout, CameraChangeOptions& cameras) {
    CLI::Option* option = AddSeconds(command, "-t,--timeout", timeout,
                                     "How long to wait for a confirmation; cameras wait " +
                                         std::to_string(static_cast<int>(cameras.cameraTimeoutSeconds)) +
                                         " s unless it is given");
    command.add_flag("--no-reboot", cameras.noReboot,
                     "Leave a camera that needs a reboot for its new address unrebooted (reported as "
                     "failed, detail \"reboot needed\")");
    AddCredentialOptions(command, cameras.credentials);
    return option;
}

CLI::Option* AddOutputOption(CLI::App& command, std::string& path) {
    return command
        .add_option("-o,--output", path,
                    "Write the list to FILE instead, in UTF-8 (CSV with a byte order mark, for "
                    "spreadsheets), replacing the file at once when the list is complete")
        ->type_name("FILE");
}

// A reader that went away (a closed pipe) ends the run quietly, as it ends other tools; any other
// failure is named.
int OutputFailed(Host& host, std::ostream& err) {
    std::optional<WriteFailure> failure = host.OutputFailure();
    if (!failure || !failure->readerGone)
        err << "quillctl: cannot write the output: " << (failure ? failure->reason : "write error") << '\n';
    return kExitFailure;
}

} // namespace

int RunCommandLine(const std::vector<std::string>& args, Host& host, std::ostream& out, std::ostream& err) {
    CLI::App app{"quillctl " QUILLCTL_VERSION
                 ": finds network cameras and similar devices by their multicast "
                 "search (and by WS-Discovery,\nwhatever their make), on every network card, and gives "
                 "them new IPv4 addresses.",
                 "quillctl"};
    app.set_version_flag("--version", "quillctl " QUILLCTL_VERSION, "Print the version and exit");
    app.require_subcommand(1);
    app.footer(kExitStatusText);

    FindOptions find;
    std::string format = "table", protocol = "quill";
    std::vector<std::string> onvifTypes = {"dn:NetworkVideoTransmitter"};
    CLI::App* findCommand = app.add_subcommand("find", "List the devices that answer the search");
    AddInterfaceOption(*findCommand, find.interfaces);
    findCommand
        ->add_option("-p,--protocol", protocol,
                     "quill: our own search; onvif: WS-Discovery (any make of camera); all: both, for an "
                     "inventory of the site")
        ->type_name("quill|onvif|all")
        ->check(CLI::IsMember({"quill", "onvif", "all"}).description(""))
        ->capture_default_str();
    CLI::Option* typesOption =
        findCommand
            ->add_option("--onvif-types", onvifTypes,
                         "What the WS-Discovery probe asks for, as prefix:name, comma-separated; prefixes: " +
                             wsd::KnownPrefixesText())
            ->type_name("LIST")
            ->delimiter(',')
            ->capture_default_str();
    CLI::Option* findTimeout = AddSeconds(*findCommand, "-t,--timeout", find.timeoutSeconds,
                                          "How long to search (searches go out every 0.9 s)");
    CLI::Option* count =
        findCommand->add_option("-n,--count", find.count, "Return as soon as this many devices are known")
            ->type_name("N")
            ->check(CLI::Range(1, 4096).description(""));
    findCommand
        ->add_option("-f,--format", format,
                     "table: aligned for reading; csv: with a header; json: one array; jsonl: one object "
                     "per line, each device as it appears")
        ->type_name("table|csv|json|jsonl")
        ->check(CLI::IsMember({"table", "csv", "json", "jsonl"}).description(""))
        ->capture_default_str();
    CLI::Option* watch = findCommand
                             ->add_flag("-w,--watch", find.watch,
                                        "Keep searching and print each new or changed device until "
                                        "interrupted (Ctrl-C)")
                             ->excludes(findTimeout)
                             ->excludes(count);
    findCommand->add_flag("--details", find.details,
                          "Also ask each ONVIF camera's device service what it is (as info does)");
    AddOutputOption(*findCommand, find.outputPath)->excludes(watch);
    AddCredentialOptions(*findCommand, find.credentials);
    findCommand->footer(std::string(kCredentialsHelp) + "\n" + kExitStatusText);

    SetIpOptions setIp;
    CLI::App* setIpCommand = app.add_subcommand(
        "set-ip",
        "Give one device a new address: search until it answers, then send the change command every "
        "0.9 s until it answers with another address; a camera through its device service, "
        "confirmed when it answers at the new address");
    setIpCommand
        ->add_option("DEVICE", setIp.target,
                     "Our device's MAC, e.g. 00-1a-2b-3c-4d-5e or 00:1A:2B:3C:4D:5E; or an ONVIF camera's "
                     "endpoint (urn:...), address or MAC")
        ->required();
    setIpCommand->add_option("NEW_IP", setIp.newIp, "The new address, dotted (e.g. 198.51.100.40)")
        ->required();
    AddInterfaceOption(*setIpCommand, setIp.interfaces);
    AddSeconds(*setIpCommand, "--find-timeout", setIp.findTimeoutSeconds,
               "How long to search for the device and anyone holding the new address (the whole time)");
    setIpCommand
        ->add_option("--prefix-length", setIp.prefixLength, "A camera's new prefix length (default: its own)")
        ->type_name("N")
        ->check(CLI::Range(8, 30).description(""));
    setIpCommand->add_option("--gateway", setIp.gateway, "A camera's new default gateway")->type_name("IP");
    CLI::Option* setIpTimeout = AddChangeOptions(*setIpCommand, setIp.timeoutSeconds, setIp);
    setIpCommand->add_flag(
        "--force", setIp.force,
        "Send even an address another device, this host or a machine answering ARP holds, or "
        "the subnet's own or broadcast address (never 0.0.0.0/8, 127.0.0.0/8, 224.0.0.0 and "
        "above, which no device can take)");
    setIpCommand->footer(std::string(kCredentialsHelp) + "\n" + kExitStatusText);

    ApplyOptions apply;
    CLI::App* applyCommand = app.add_subcommand(
        "apply", "Change many addresses in one run, all commands at once (a device whose new address "
                 "another still holds after that one): from a plan, or consecutive addresses with --from");
    CLI::Option* plan = applyCommand->add_option(
        "PLAN", apply.planPath,
        "A CSV file: find --format csv with one more column, new_ip (empty: no change)");
    CLI::Option* from = applyCommand
                            ->add_option("--from", apply.from,
                                         "Give the selected devices addresses from FIRST_IP up (by MAC "
                                         "order, skipping every address in use)")
                            ->type_name("FIRST_IP");
    CLI::Option* select = applyCommand
                              ->add_option("--select", apply.select,
                                           "Which devices --from re-addresses, among those on the link "
                                           "whose subnet holds FIRST_IP")
                              ->type_name("unreachable|duplicate|all")
                              ->check(CLI::IsMember({"unreachable", "duplicate", "all"}).description(""));
    from->needs(select);
    select->needs(from);
    plan->excludes(from);
    applyCommand->add_flag("--dry-run", apply.dryRun,
                           "Print MAC, old and new address of each change, and the order when some must wait "
                           "for others; send none");
    applyCommand
        ->add_option("--report", apply.reportPath,
                     "Also write the results to FILE (.csv or .json): mac, old_ip, new_ip, status, seconds, "
                     "detail, in_subnet")
        ->type_name("FILE");
    AddInterfaceOption(*applyCommand, apply.interfaces);
    AddSeconds(*applyCommand, "--find-timeout", apply.findTimeoutSeconds,
               "How long to search for the devices and anyone holding their new addresses (the whole time)");
    CLI::Option* applyTimeout = AddChangeOptions(*applyCommand, apply.timeoutSeconds, apply);
    applyCommand->footer(std::string(kCredentialsHelp) + "\n" + kExitStatusText);

    WebOptions web;
    CLI::App* webCommand = app.add_subcommand(
        "web", "Search for a device, print its web page's URL and open it in the desktop's browser");
    webCommand
        ->add_option("DEVICE", web.target,
                     "The device's MAC or IPv4 address, or a WS-Discovery device's endpoint (urn:...)")
        ->type_name("MAC|IP|ENDPOINT")
        ->required();
    AddInterfaceOption(*webCommand, web.interfaces);
    AddSeconds(*webCommand, "--find-timeout", web.findTimeoutSeconds, "How long to search for the device");
    webCommand->footer(kExitStatusText);

    InfoOptions info;
    std::string infoFormat = "table";
    CLI::App* infoCommand = app.add_subcommand(
        "info", "Ask ONVIF cameras through their device service what they are: maker, model, firmware, "
                "serial, MAC, DHCP, prefix length and gateway");
    infoCommand
        ->add_option(
            "DEVICE", info.targets,
            "A camera's MAC, IPv4 address or endpoint (urn:...); repeatable. None: every camera that "
            "answers the search")
        ->type_name("MAC|IP|ENDPOINT");
    AddInterfaceOption(*infoCommand, info.interfaces);
    AddSeconds(*infoCommand, "--find-timeout", info.findTimeoutSeconds, "How long to search for the cameras");
    infoCommand->add_option("-f,--format", infoFormat, "As for find")
        ->type_name("table|csv|json|jsonl")
        ->check(CLI::IsMember({"table", "csv", "json", "jsonl"}).description(""))
        ->capture_default_str();
    AddOutputOption(*infoCommand, info.outputPath);
    AddCredentialOptions(*infoCommand, info.credentials);
    infoCommand->footer(std::string(kCredentialsHelp) + "\n" + kExitStatusText);

    // CLI11 would answer `quillctl bogus --help` with the main help and status 0.
    if (!args.empty() && !args[0].empty() && args[0][0] != '-') {
        const std::function<bool(const CLI::App*)> all = [](const CLI::App*) { return true; };
        const std::vector<const CLI::App*> commands = std::as_const(app).get_subcommands(all);
        if (std::none_of(commands.begin(), commands.end(),
                         [&](const CLI::App* command) { return command->get_name() == args[0]; })) {
            err << "quillctl: unknown command '" << EscapeText(args[0])
                << "' (quillctl --help lists the commands)\n";
            return kExitUsage;
        }
    }
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::Success& done) {
        int status = app.exit(done, out, err);
        out.flush();
        return out ? status : OutputFailed(host, err);
    } catch (const CLI::ExtrasError&) {
        // Named by their option names only: the word after a mistaken "--password" is a password.
        std::string named;
        size_t words = 0;
        for (const std::string& extra : app.remaining(true))
            if (!extra.empty() && extra[0] == '-')
                named += (named.empty() ? "" : " ") + EscapeText(extra.substr(0, extra.find('=')));
            else
                ++words;
        err << "quillctl: unexpected " << (named.empty() ? "" : named + (words > 0 ? " and " : ""))
            << (words > 0 ? std::to_string(words) + (words == 1 ? " word" : " words") + " (not shown)" : "")
            << "; a password is never an option (quillctl --help lists the options)\n";
        return kExitUsage;
    } catch (const CLI::ParseError& error) {
        err << "quillctl: " << EscapeName(error.what()) << " (quillctl --help lists the options)\n";
        return kExitUsage;
    }

    int status = kExitFailure;
    std::string message;
    try {
        if (findCommand->parsed()) {
            find.format = *ParseRowFormat(format);
            find.protocol = protocol == "onvif" ? FindProtocol::Onvif
                            : protocol == "all" ? FindProtocol::All
                                                : FindProtocol::Quill;
            if (typesOption->count() > 0 && find.protocol == FindProtocol::Quill)
                throw CommandError(kExitUsage, "--onvif-types needs --protocol onvif or all");
            for (const std::string& text : onvifTypes) {
                std::optional<wsd::TypeName> type = wsd::ParseTypeName(text);
                if (!type)
                    throw CommandError(kExitUsage, "bad type '" + EscapeText(text) +
                                                       "' for --onvif-types (prefix:name; prefixes: " +
                                                       wsd::KnownPrefixesText() + ")");
                find.onvifTypes.push_back(*type);
            }
            status = RunFind(host, find, out, err);
        } else if (setIpCommand->parsed()) {
            if (setIpTimeout->count() > 0)
                setIp.cameraTimeoutSeconds = setIp.timeoutSeconds;
            status = RunSetIp(host, setIp, out, err);
        } else if (applyCommand->parsed()) {
            if (applyTimeout->count() > 0)
                apply.cameraTimeoutSeconds = apply.timeoutSeconds;
            status = RunApply(host, apply, out, err);
        } else if (infoCommand->parsed()) {
            info.format = *ParseRowFormat(infoFormat);
            status = RunInfo(host, info, out, err);
        } else {
            status = RunWeb(host, web, out, err);
        }
    } catch (const CommandError& error) {
        status = error.status();
        message = error.what();
    } catch (const std::exception& error) {
        message = error.what();
    }
    // Results that did not reach their reader are no result: that failure is the one reported.
    out.flush();
    if (!out)
        return OutputFailed(host, err);
    if (!message.empty())
        err << "quillctl: " << message << '\n';
    return status;
}

} // namespace quillctl
