"""quillctl set-ip and apply against simulated devices: a change confirmed, never confirmed and
confirmed with another address; 64 devices re-addressed in one run, from a plan and with --from; a swap
carried out without two devices on one address."""

import csv
import json

import pytest

import lab
import quillctl_runner as ctl

MAC_BASE = "00:1a:2b:3c:4d:70"
MAC = lab.mac_text(MAC_BASE, 0)


@pytest.mark.parametrize("segment_number, old_ip, new_ip", [(1, "198.51.100.30", "198.51.100.77"),
                                                            (2, "203.0.113.30", "203.0.113.77")])
def test_set_ip_confirmed_on_either_link(session, segment_number, old_ip, new_ip):
    sim = session.sim("--devices", "1", "--ip-base", old_ip, "--mac-base", MAC_BASE, segment=segment_number)
    result = ctl.run("set-ip", MAC.upper().replace("-", ":"), new_ip, "--timeout", "5")
    ctl.expect_status(result, 0)
    lab.expect(f"{MAC}: {old_ip} -> {new_ip}" in result.stdout, f"stdout {result.stdout!r}")
    changed = sim.records("changed")
    lab.expect([(c["old"], c["new"]) for c in changed] == [(old_ip, new_ip)], f"the device logged {changed}")


def test_set_ip_never_confirmed_exits_3_and_the_device_keeps_its_address(session):
    sim = session.sim("--devices", "1", "--ip-base", "198.51.100.30", "--mac-base", MAC_BASE,
                      "--change", "never")
    result = ctl.run("set-ip", MAC, "198.51.100.77", "--timeout", "1.2")
    ctl.expect_status(result, 3)
    lab.expect("did not confirm 198.51.100.77" in result.stderr and "198.51.100.30" in result.stderr,
               f"stderr {result.stderr!r}")
    lab.expect(sim.records("change"), "no change command reached the device")
    lab.expect(not sim.records("changed"), f"the device changed: {sim.records('changed')}")
    devices = ctl.find_json("--count", "1", "--timeout", "3")
    lab.expect([d["ip"] for d in devices] == ["198.51.100.30"], f"find afterwards: {devices}")


def test_set_ip_confirmed_with_another_address_exits_3_naming_it(session):
    sim = session.sim("--devices", "1", "--ip-base", "198.51.100.30", "--mac-base", MAC_BASE,
                      "--change", "other", "--other-ip", "198.51.100.99")
    result = ctl.run("set-ip", MAC, "198.51.100.77", "--timeout", "5")
    ctl.expect_status(result, 3)
    lab.expect("198.51.100.99" in result.stderr and "another address" in result.stderr,
               f"stderr {result.stderr!r}")
    lab.expect(f"{MAC}: 198.51.100.30 -> 198.51.100.99" in result.stdout, f"stdout {result.stdout!r}")
    lab.expect([c["new"] for c in sim.records("changed")] == ["198.51.100.99"], f"{sim.records('changed')}")


def test_apply_gives_64_devices_the_addresses_of_their_plan(session):
    count = 64
    sim = session.sim("--devices", str(count), "--ip-base", "10.64.0.1", "--mac-base", "00:1a:2b:3c:5e:00")
    header, rows = ctl.find_csv("--count", count, "--timeout", "5")
    lab.expect(len(rows) == count and not any(row["in_subnet"] == "true" for row in rows), f"found {rows}")
    plan = {row["mac"]: f"198.51.100.{100 + index}" for index, row in enumerate(rows)}
    plan_path = session.logs / "plan.csv"
    with open(plan_path, "w", newline="") as file:
        writer = csv.DictWriter(file, fieldnames=header + ["new_ip"])
        writer.writeheader()
        writer.writerows({**row, "new_ip": plan[row["mac"]]} for row in rows)
    report_path = session.logs / "result.json"

    result = ctl.run("apply", plan_path, "--report", report_path, "--timeout", "10")
    ctl.expect_status(result, 0)
    report = json.loads(report_path.read_text())
    lab.expect(all(list(item) == ctl.REPORT_FIELDS for item in report), f"report keys {report[:1]}")
    lab.expect({item["mac"]: (item["new_ip"], item["status"]) for item in report}
               == {mac: (ip, "confirmed") for mac, ip in plan.items()}, f"report {report}")
    # All commands go out together: every device confirms within the first few rounds.
    slowest = max(item["seconds"] for item in report)
    lab.expect(slowest < 3.0, f"the last confirmation came after {slowest} s")
    changed = {c["mac"]: c["new"] for c in sim.records("changed")}
    lab.expect(changed == plan, f"the devices took {changed}")


def test_apply_from_gives_the_unreachable_devices_the_free_addresses_in_mac_order(session):
    sim = session.sim("--devices", "3", "--ip-base", "10.9.0.1", "--mac-base", "00:1a:2b:3c:6f:00",
                      name="unreachable")
    # Holds an address of the range, which must be skipped; and, reachable, it is not selected.
    holder = session.sim("--devices", "1", "--ip-base", "198.51.100.101", "--mac-base", "00:1a:2b:3c:6f:10",
                         name="holder")
    result = ctl.run("apply", "--from", "198.51.100.100", "--select", "unreachable", "--find-timeout", "1.5",
                     "--timeout", "5")
    ctl.expect_status(result, 0)
    changed = {c["mac"]: c["new"] for c in sim.records("changed")}
    lab.expect(changed == {lab.mac_text("00:1a:2b:3c:6f:00", 0): "198.51.100.100",
                           lab.mac_text("00:1a:2b:3c:6f:00", 1): "198.51.100.102",
                           lab.mac_text("00:1a:2b:3c:6f:00", 2): "198.51.100.103"}, f"the devices took {changed}")
    lab.expect(not holder.records("changed"), f"the reachable device changed: {holder.records('changed')}")


def test_apply_swaps_two_addresses_through_a_free_one(session):
    sim = session.sim("--devices", "2", "--ip-base", "198.51.100.30", "--mac-base", "00:1a:2b:3c:7a:00")
    first, second = lab.mac_text("00:1a:2b:3c:7a:00", 0), lab.mac_text("00:1a:2b:3c:7a:00", 1)
    plan_path = session.logs / "swap.csv"
    plan_path.write_text(f"mac,new_ip\n{first},198.51.100.31\n{second},198.51.100.30\n")
    report_path = session.logs / "swap.json"
    result = ctl.run("apply", plan_path, "--report", report_path, "--timeout", "5")
    ctl.expect_status(result, 0)
    report = json.loads(report_path.read_text())
    lab.expect([(item["status"], item["detail"], item["in_subnet"]) for item in report]
               == [("confirmed", "", True)] * 2, f"report {report}")
    # In the devices' own order: the first leaves for a free address (not the lab's .1 or .2, which
    # answer ARP), the second takes its old one, the first takes the second's.
    changed = [(c["mac"], c["old"], c["new"]) for c in sim.records("changed")]
    lab.expect(len(changed) == 3, f"the devices changed {changed}")
    stop = changed[0][2]
    lab.expect(stop not in ("198.51.100.1", "198.51.100.2", "198.51.100.30", "198.51.100.31")
               and changed == [(first, "198.51.100.30", stop), (second, "198.51.100.31", "198.51.100.30"),
                               (first, stop, "198.51.100.31")], f"the devices changed {changed}")
