"""quillctl's WS-Discovery against a responder the project did not write: Debian's wsdd, started as
installed in a lan namespace of the lab. It answers a probe for wsdp:Device without an address, so
quillctl must resolve the endpoint, and the ResolveMatch gives the XAddr that quillctl lists."""

import subprocess
import uuid
from pathlib import Path

import pytest

import lab
import quillctl_runner as ctl


class Wsdd(lab.Process):
    """wsdd on one segment's lan-side address, IPv4 only, with a UUID of the test's choosing."""

    def __init__(self, logs, segment_number, device_uuid, name):
        segment = lab.segment(segment_number)
        # By its address, not the interface: by the interface wsdd also serves every address of the
        # simulated cameras on that link (still there after earlier tests, whose quillsim is killed) and
        # may answer with an XAddr at one of them.
        argv = ["ip", "netns", "exec", segment.lan_ns, "/usr/sbin/wsdd", "-i", segment.lan_ip, "-4",
                "-U", device_uuid, "-n", f"LABHOST{segment_number}", "-v"]
        super().__init__(name, argv, Path(logs) / f"{name}.log", stderr=subprocess.PIPE)
        self._reader = lab.LineReader(self.popen.stderr, echo=lab.TextSink(self._log))
        # It logs each interface it has joined the group on; after that it answers.
        self._reader.wait_for(lambda line: "joined" in line.lower() or "scheduling" in line.lower()
                              or "listening" in line.lower(), 20, "wsdd to join the group")


@pytest.mark.parametrize("segment_number", [1, 2])
def test_wsdd_is_resolved_and_listed_with_the_xaddr_of_its_resolve_match(session, lab_info, segment_number):
    device_uuid = str(uuid.uuid4())
    session.add(Wsdd(session.logs, segment_number, device_uuid, f"wsdd{segment_number}"))
    segment = lab_info.segments[segment_number]
    endpoint = f"urn:uuid:{device_uuid}"

    def listed():
        devices = ctl.find_json("--protocol", "onvif", "--onvif-types", "wsdp:Device", "--count", "1",
                                "--timeout", "5")
        return [d for d in devices if d["endpoint"] == endpoint]

    rows = lab.poll(listed, 30, "wsdd to be listed")
    row = rows[0]
    lab.expect(row["protocol"] == "onvif", f"row {row}")
    lab.expect(row["ip"] == segment.lan_ip and row["http_port"] == 5357, f"row {row}")
    lab.expect(row["xaddr"] == f"http://{segment.lan_ip}:5357/{device_uuid}", f"row {row}")
    lab.expect(row["interface"] == segment.pc_ip and row["in_subnet"] is True, f"row {row}")
    lab.expect(row["mac"] is None, f"row {row}")

    # wsdd is not a camera: a probe for video transmitters alone finds nothing of it.
    cameras = ctl.find_json("--protocol", "onvif", "--timeout", "2")
    lab.expect(not [d for d in cameras if d["endpoint"] == endpoint], f"found {cameras}")
