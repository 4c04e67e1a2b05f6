#include "usage_text.hpp"

namespace quillsim {

std::string usage_text() {
    return R"(Usage: quillsim [OPTIONS]

Pretends to be N network cameras on a lab LAN. Listens on UDP port 5556, joined to the
multicast group 235.5.6.7, and answers the discovery search "PV_SearchNetDevice" and the
change-IP command "PV_ChangeDeviceIp" the way the devices do, replying to UDP port 5555.

Runs only inside a network namespace other than the root one, and only when every IPv4
address on its non-loopback interfaces is in 198.51.100.0/24 or 203.0.113.0/24; otherwise
it exits with status 2 before opening any socket. It never sends to other addresses.

Devices
  --devices N           number of devices, 0 to 10000 (default 1; 0 = only listen/log/raw)
  --mac-base MAC        MAC of device 0 (default 00:1a:2b:3c:4d:00); device k has MAC+k,
                        carrying across bytes
  --ip-base A.B.C.D     address text of device 0 (default 198.51.100.30); device k has +k.
                        Only written into replies, so any address is accepted
  --http-port P         port written into replies (default 80)
  --no-port             replies carry no HTTP field: "<ip>:MAC" + 6 bytes

Replies ("<ip>:HTTP<port>,MAC" followed by the 6 raw MAC bytes)
  --reply unicast|multicast
                        unicast (default): to the request's source address, port 5555;
                        multicast: to 235.5.6.7 port 5555
  --ttl N               time-to-live of multicast replies (default 10)
  --delay MS            each device answers MS milliseconds after the request (default 0)
  --jitter MS           plus a uniform random 0..MS ms drawn per device and answer (default 0)
  --seed N              seed for the jitter (default: random, printed at start)
  --bind-ip A.B.C.D     interface address to join the group on and send from (default: the
                        routing default); must be a lab address

Change-IP commands (a command whose MAC is not one of ours is ignored)
  --change confirm|never|other
                        confirm (default): take the requested address;
                        never: ignore commands, no answer;
                        other: take --other-ip instead of the requested address
  --change-delay MS     take the new address MS ms after the first command (default 0);
                        until then commands are answered with the old address, afterwards
                        every command and every search with the new one
  --other-ip A.B.C.D    the address taken with --change other
  --move K=A.B.C.D@MS   device K (0 is the first) takes the address by itself MS ms after the
                        start, logged as "changed"; repeatable

ONVIF cameras (WS-Discovery on UDP 3702, group 239.255.255.250, same interface)
  --onvif N             N cameras besides the --devices ones, 0 to 1000 (default 0); they
                        answer Probes and Resolves, send Hello at start and Bye at the end.
                        Camera k: endpoint urn:uuid:5a1b0000-0000-4000-8000-<address, 8
                        hex digits><k, 4 hex digits>, XAddr http://<address>:<--http-port>/onvif/device_service,
                        name scope onvif://www.onvif.org/name/Sim%20Camera%20<k>
  --onvif-ip-base A.B.C.D
                        address text of camera 0 (default 198.51.100.130); camera k has +k.
                        Only written into messages; may equal a quill device's address
  --onvif-no-xaddrs     ProbeMatches and Hello carry no XAddrs: a client must Resolve
  --onvif-drop-first    each camera drops its first ProbeMatch, as if it were lost
  --onvif-raw-file PATH a crafted reply sent to every Probe's source address and port, each
                        {{RelatesTo}} in it replaced by the Probe's MessageID; repeatable
  --delay and --jitter hold back ProbeMatches and ResolveMatches as they do quill answers

ONVIF device service (SOAP 1.2 over HTTP POST at each camera's XAddr, TCP --http-port)
  Each camera puts its address on the simulator's link (lab addresses only) and serves
  GetSystemDateAndTime, GetCapabilities (anyone), GetDeviceInformation,
  GetNetworkInterfaces, GetNetworkDefaultGateway, SetNetworkInterfaces,
  SetNetworkDefaultGateway, SystemReboot, media GetProfiles and GetStreamUri (the user).
  A reboot (SystemReboot, or SetNetworkInterfaces without RebootNeeded) makes the camera
  silent for --onvif-reboot-s seconds: no address, no answers; then it holds its new
  address and says Hello from there. Options marked [K=] apply to camera K only when
  K= is given, else to every camera; later ones win.
  --onvif-user NAME     the cameras' one user; without it every call is served
  --onvif-password-file FILE
                        the user's password (one line); else from the environment
                        variable QUILLSIM_ONVIF_PASSWORD. Never an option value
  --onvif-auth [K=]token|digest|both
                        token (default): WS-Security UsernameToken with PasswordDigest,
                        HTTP 400 ter:NotAuthorized without; digest: HTTP Digest only (MD5,
                        qop=auth), HTTP 401 with a challenge without; both: either
  --onvif-clock-offset [K=]SECONDS
                        the camera's clock runs SECONDS ahead (negative: behind); a
                        UsernameToken's Created must lie within 300 s of it
  --onvif-reboot-needed [K=]true|false
                        true: SetNetworkInterfaces answers RebootNeeded true and the new
                        address waits for SystemReboot (default false: it reboots at once)
  --onvif-reboot-s S    how long a reboot keeps a camera silent, 0 to 3600 (default 3)
  --onvif-fault [K=]none|hang|huge
                        hang: read every call and never answer; huge: every answer padded
                        past 2 MiB

Crafted datagrams (hostile-input tests)
  --raw HEX             a datagram as hex digits, spaces allowed ("" = empty); repeatable
  --raw-file PATH       a file's bytes as one datagram; repeatable
  --raw-to A.B.C.D      destination, port 5555 (default 198.51.100.1); a lab address or
                        235.5.6.7
  --raw-count N         send the whole set N times (default 1)
  --raw-interval MS     between the sets (default 0)
  --raw-on-search       send the set after every search request instead of once at start

Flood (robustness tests)
  --flood SEC           instead of being devices, send for SEC seconds and as fast as the
                        socket takes them a mix of datagrams to --raw-to port 5555: answers
                        of 10,000 pool devices (MAC 02-f1-a0-xx-yy-zz, no byte zero; address
                        text 198.51.100.(10 + k % 240)), random bytes, answers padded to 512
                        and to 65,000 bytes, answers without any zero byte, and texts that end
                        in a marker or a MAC cut short. Random bytes never hold "M". --seed
                        makes the mix repeatable; the log gets one "flood" line at the end

Running
  --log PATH            one JSON line per event, flushed at once; "-" = standard output
  --duration SEC        exit 0 after SEC seconds (default: run until SIGINT or SIGTERM,
                        which also exit 0)
  --http                serve a small HTML page on TCP --http-port of each device address
                        that is assigned to an interface here (others are skipped)
  -h, --help            this text

Standard error gets "quillsim: ready" once the socket is bound and joined; wait for it.
Exit status: 0 normal end, 1 socket, log file or camera link failure, 2 bad option,
unreadable --raw-file or password, or unsafe environment.

Log lines (every line has "t": Unix time in seconds with milliseconds, and "kind")
  received on port 5556:
    {"t", "kind": "search"|"change"|"other", "src", "sport", "dst", "ttl", "len"}
    "change" adds "mac" (00-1a-2b-3c-4d-5e) and "ip" (the address field up to its zero);
    "other" adds "data" (all bytes, hex). Only exactly 19-byte searches and 41-byte
    commands count as such. "dst" is the datagram's destination address; "ttl" is null
    if the kernel did not say.
  received on port 3702 (with --onvif or --onvif-raw-file):
    {"t", "kind": "onvif-probe", "src", "sport", "dst", "ttl", "len", "message_id",
     "types": ["{namespace}name", ...], "scopes": [...], "answered"}
    {"t", "kind": "onvif-resolve", ..., "message_id", "endpoint", "answered"}
    {"t", "kind": "other", ..., "port": 3702, "data"}   anything else, Hellos of others too
  sent:
    {"t", "kind": "reply", "dst", "dport", "len", "mac", "ip"}   a device's answer
    {"t", "kind": "onvif-match"|"onvif-resolve-match"|"onvif-hello"|"onvif-bye",
     "dst", "dport", "len", "device", "ip"}            a camera's message ("device" is k)
    {"t", "kind": "onvif-raw", "dst", "dport", "len"}   an --onvif-raw-file reply
    {"t", "kind": "raw", "dst", "dport", "len"}                  a crafted datagram
    {"t", "kind": "flood", "dst", "dport", "seconds", "bytes", "errors", "reply",
     "random_bytes", "full_buffer", "oversized", "no_zero", "marker_at_end", "sent"}
                                                      the end of a --flood run, datagrams
                                                      sent per kind
  other:
    {"t", "kind": "changed", "mac", "old", "new"}   a device took a new address
    {"t", "kind": "onvif-dropped", "device", "dst", "dport"}   --onvif-drop-first
    {"t", "kind": "onvif-call", "device", "ip", "src", "sport", "operation", "auth",
     "user", "result", "status", "len"[, "detail"]}   a device service call: auth
                                                      "none"|"token"|"digest"; result
                                                      "ok"|"fault"|"needed"|"refused"|"hung"
    {"t", "kind": "onvif-reboot", "device", "ip", "seconds"}   a camera goes silent
    {"t", "kind": "onvif-back", "device", "old", "ip", "prefix_length"}   back from it
    {"t", "kind": "refused", "dst", "dport", "len", ...}   not sent: destination outside
                                                      the lab ranges
    {"t", "kind": "send-error", "dst", "dport", "len", ..., "error"}
)";
}

} // namespace quillsim
