"""quillctl find on both links of the lab: which link each device answered on, whether it can be
reached there, addresses held twice, --interface, and the fixed CSV and JSON names."""

import json
import os
import subprocess

import lab
import quillctl_runner as ctl

NEAR_MACS = "00:1a:2b:3c:4d:d0"  # segment 1, addresses in its subnet
FAR_MACS = "00:1a:2b:3c:4d:c0"  # segment 2, addresses in its subnet
STRAY_MACS = "00:1a:2b:3c:4d:e0"  # segment 2, addresses of segment 1's subnet: unreachable there
DEVICES = 6


def start_both_segments(session):
    sims = {
        "near": session.sim("--devices", "2", "--ip-base", "198.51.100.30", "--mac-base", NEAR_MACS,
                            name="near"),
        "far": session.sim("--devices", "2", "--ip-base", "203.0.113.40", "--mac-base", FAR_MACS,
                           name="far", segment=2),
        # Its first device states 198.51.100.31, which a device of segment 1 holds too.
        "stray": session.sim("--devices", "2", "--ip-base", "198.51.100.31", "--mac-base", STRAY_MACS,
                             "--reply", "multicast", name="stray", segment=2),
    }
    return sims


def expected_rows(lab_info):
    near, far = lab_info.segments[1], lab_info.segments[2]
    rows = {}
    for base, ips, link, in_subnet in ((NEAR_MACS, ("198.51.100.30", "198.51.100.31"), near, True),
                                       (FAR_MACS, ("203.0.113.40", "203.0.113.41"), far, True),
                                       (STRAY_MACS, ("198.51.100.31", "198.51.100.32"), far, False)):
        for index, ip in enumerate(ips):
            rows[lab.mac_text(base, index)] = {
                "ip": ip, "interface": link.pc_ip, "in_subnet": in_subnet,
                "duplicate_ip": ip == "198.51.100.31", "source": link.lan_ip,
            }
    return rows


def test_find_lists_both_links_with_reach_and_duplicates_in_json_csv_and_jsonl(session, lab_info):
    start_both_segments(session)
    expected = expected_rows(lab_info)

    devices = ctl.find_json("--count", DEVICES, "--timeout", "5")
    found = {mac: {key: device[key] for key in ("ip", "interface", "in_subnet", "duplicate_ip", "source")}
             for mac, device in ctl.by_mac(devices).items()}
    lab.expect(found == expected, f"found {json.dumps(found, indent=1)}")
    lab.expect(sorted(d["number"] for d in devices) == list(range(1, DEVICES + 1)), f"numbers {devices}")
    lab.expect(all(d["http_port"] == 80 for d in devices), f"ports {[d['http_port'] for d in devices]}")

    header, rows = ctl.find_csv("--count", DEVICES, "--timeout", "5")
    lab.expect(header == ctl.FIELDS, f"CSV header {header}")
    from_csv = {row["mac"]: (row["ip"], row["interface"], row["in_subnet"], row["duplicate_ip"], row["http_port"])
                for row in rows}
    lab.expect(from_csv == {mac: (row["ip"], row["interface"], str(row["in_subnet"]).lower(),
                                  str(row["duplicate_ip"]).lower(), "80") for mac, row in expected.items()},
               f"CSV rows {rows}")

    result = ctl.run("find", "--format", "jsonl", "--count", DEVICES, "--timeout", "5")
    ctl.expect_status(result, 0)
    lines = [json.loads(line) for line in result.stdout.splitlines()]
    lab.expect(all(list(line) == ctl.FIELDS for line in lines), f"JSON lines {lines}")
    lab.expect(sorted(line["mac"] for line in lines) == sorted(expected), f"JSON lines name {lines}")


def test_find_with_too_few_answers_exits_4_after_its_wait(session):
    session.sim("--devices", "2", "--ip-base", "198.51.100.30", "--mac-base", NEAR_MACS)
    result = ctl.run("find", "--format", "json", "--count", "3", "--timeout", "1")
    ctl.expect_status(result, 4)
    lab.expect(len(json.loads(result.stdout)) == 2, f"listed {result.stdout!r}")


def test_interface_limits_the_search_to_one_link(session, lab_info):
    sims = start_both_segments(session)
    near, far = lab_info.segments[1], lab_info.segments[2]

    only_far = ctl.find_json("--interface", far.pc_if, "--timeout", "1.5")
    lab.expect(sorted(ctl.by_mac(only_far)) == sorted(mac for mac, row in expected_rows(lab_info).items()
                                                       if row["interface"] == far.pc_ip),
               f"--interface {far.pc_if} listed {only_far}")
    lab.expect(not sims["near"].records("search"), f"segment 1 heard {sims['near'].records('search')[:2]}")
    # The device of segment 1 that shares 198.51.100.31 was not searched for, so nothing is held twice.
    lab.expect(not any(d["duplicate_ip"] for d in only_far), f"duplicates with one link searched: {only_far}")

    heard_far = len(sims["far"].records("search"))
    only_near = ctl.find_json("--interface", near.pc_ip, "--timeout", "1.5")
    lab.expect({d["interface"] for d in only_near} == {near.pc_ip} and len(only_near) == 2,
               f"--interface {near.pc_ip} listed {only_near}")
    lab.expect(len(sims["far"].records("search")) == heard_far,
               f"segment 2 heard {sims['far'].records('search')[heard_far:]}")


def test_find_output_that_cannot_be_written_is_not_a_success(session):
    session.sim("--devices", "2", "--ip-base", "198.51.100.30", "--mac-base", NEAR_MACS)
    with open("/dev/full", "w") as full:
        result = subprocess.run([lab.quillctl_binary(), "find", "--format", "csv", "--timeout", "1"],
                                stdout=full, stderr=subprocess.PIPE, text=True, timeout=30)
    lab.expect(result.returncode == 1 and result.stderr.count("\n") == 1 and "No space" in result.stderr,
               f"to /dev/full: exit {result.returncode}, stderr {result.stderr!r}")
    # A reader that has gone (as head -1 leaves the pipe): ended quietly with status 1, not a signal.
    read_end, write_end = os.pipe()
    os.close(read_end)
    result = subprocess.run([lab.quillctl_binary(), "find", "--format", "csv", "--timeout", "1"],
                            stdout=write_end, stderr=subprocess.PIPE, text=True, timeout=30)
    os.close(write_end)
    lab.expect(result.returncode == 1 and result.stderr == "",
               f"to a closed pipe: exit {result.returncode}, stderr {result.stderr!r}")
