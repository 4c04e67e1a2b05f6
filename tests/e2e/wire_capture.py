"""What really went over the lab's wire: tcpdump on the lan side of a veth pair, written as pcap
and read back here, so the tests see destination addresses, TTLs and payloads exactly as sent."""

import struct
import subprocess
from dataclasses import dataclass
from pathlib import Path

import lab

ETHERTYPE_IPV4 = 0x0800
IPPROTO_UDP = 17


@dataclass
class Datagram:
    t: float  # on the time.monotonic() scale
    src: str
    sport: int
    dst: str
    dport: int
    ttl: int
    payload: bytes


def _address(raw):
    return ".".join(str(b) for b in raw)


def parse_pcap(data):
    """UDP over IPv4 in an Ethernet pcap file; a partly written last packet is left out."""
    if len(data) < 24:
        return []
    magic = struct.unpack("<I", data[:4])[0]
    if magic == 0xA1B2C3D4:
        fraction = 1e-6
    elif magic == 0xA1B23C4D:
        fraction = 1e-9
    else:
        raise lab.LabError(f"not a little-endian pcap file (magic {magic:#x})")
    out = []
    offset = 24
    while offset + 16 <= len(data):
        seconds, part, captured, _ = struct.unpack("<IIII", data[offset:offset + 16])
        frame = data[offset + 16:offset + 16 + captured]
        offset += 16 + captured
        if len(frame) < captured:
            break
        if len(frame) < 14 + 20 or struct.unpack("!H", frame[12:14])[0] != ETHERTYPE_IPV4:
            continue
        ip = frame[14:]
        header = (ip[0] & 0x0F) * 4
        if ip[9] != IPPROTO_UDP or len(ip) < header + 8:
            continue
        sport, dport, length = struct.unpack("!HHH", ip[header:header + 6])
        payload = ip[header + 8:header + length]
        out.append(Datagram(lab.monotonic_of(seconds + part * fraction), _address(ip[12:16]), sport,
                            _address(ip[16:20]), dport, ip[8], payload))
    return out


class Capture(lab.Process):
    """tcpdump of UDP on a segment's lan-side interface, from start to stop()."""

    def __init__(self, logs, name="capture", segment_number=1):
        self.pcap = Path(logs) / f"{name}.pcap"
        segment = lab.segment(segment_number)
        argv = ["ip", "netns", "exec", segment.lan_ns, "tcpdump", "-i", segment.lan_if,
                "-n", "-U", "-Z", "root", "-s", "2048", "-w", self.pcap, "udp"]
        super().__init__(name, argv, Path(logs) / f"{name}.log", stderr=subprocess.PIPE)
        self._reader = lab.LineReader(self.popen.stderr)
        self._reader.wait_for(lambda line: "listening on" in line, 15, "tcpdump to listen")

    def datagrams(self):
        try:
            return parse_pcap(self.pcap.read_bytes())
        except FileNotFoundError:
            return []
