"""The search requests on the wire: exactly the 19-byte request, multicast to 235.5.6.7:5556 from
198.51.100.1:5556 with TTL 10, every 900 ms, the first one about 900 ms after start-up. Prints the
measured rhythm and how long the first device takes to appear in the list."""

import statistics
import time

import lab
from wire_capture import Capture

SEARCH = b"PV_SearchNetDevice\x00"
SENDS = 21  # 20 gaps


def test_search_requests_on_the_wire(session):
    capture = session.add(Capture(session.logs))
    sim = session.sim("--devices", "1", "--reply", "unicast")
    program = session.program()
    probe = session.probe()

    probe.cmd(f"wait {lab.MAIN_CAPTION} 30000")
    first_row = lab.poll(lambda: probe.cmd("count") != "0" and time.monotonic(), 15,
                         "the first device in the list")

    def sent():
        return [d for d in capture.datagrams() if d.src == "198.51.100.1"]

    lab.poll(lambda: len(sent()) >= SENDS, SENDS * 1.3 + 10, f"{SENDS} datagrams from the program")
    datagrams = sent()[:SENDS]

    for d in datagrams:
        lab.expect((d.dst, d.dport, d.sport) == ("235.5.6.7", 5556, 5556),
                   f"sent to {d.dst}:{d.dport} from port {d.sport}")
        lab.expect(d.ttl == 10, f"TTL {d.ttl}")
        lab.expect(d.payload == SEARCH, f"payload {d.payload!r}")

    gaps = [b.t - a.t for a, b in zip(datagrams, datagrams[1:])]
    mean = statistics.mean(gaps)
    first_send = datagrams[0].t - program.launched
    print(f"search interval over {len(gaps)} gaps: mean {mean * 1000:.1f} ms, "
          f"min {min(gaps) * 1000:.1f} ms, max {max(gaps) * 1000:.1f} ms, "
          f"stdev {statistics.stdev(gaps) * 1000:.1f} ms")
    print(f"launch to first search: {first_send * 1000:.0f} ms; "
          f"launch to first listed device: {(first_row - program.launched) * 1000:.0f} ms")
    lab.expect(0.850 <= mean <= 1.050, f"mean interval {mean * 1000:.1f} ms")
    for gap in gaps:
        lab.expect(0.700 <= gap <= 1.300, f"interval {gap * 1000:.1f} ms")
    lab.expect(0 < first_send <= 3.0, f"first search {first_send:.2f} s after launch")

    # The device saw the same: only search requests, from the program's port, with TTL 10.
    received = [r for r in sim.records() if r.get("kind") != "reply"]
    lab.expect(len(received) >= SENDS, f"the simulator logged {len(received)} datagrams")
    for record in received:
        lab.expect((record.get("kind"), record.get("len"), record.get("src"), record.get("sport"),
                    record.get("ttl")) == ("search", 19, "198.51.100.1", 5556, 10),
                   f"simulator saw {record}")

