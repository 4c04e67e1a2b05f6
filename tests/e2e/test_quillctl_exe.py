"""quillctl.exe, the Windows build, under Wine in the lab: find on both links and a confirmed set-ip."""

import csv

import lab
import quillctl_runner as ctl

NEAR_MACS = "00:1a:2b:3c:4d:90"
FAR_MACS = "00:1a:2b:3c:4d:a0"


def test_the_windows_build_finds_the_devices_of_both_links(session, lab_info):
    near, far = lab_info.segments[1], lab_info.segments[2]
    session.sim("--devices", "2", "--ip-base", "198.51.100.30", "--mac-base", NEAR_MACS, name="near")
    session.sim("--devices", "1", "--ip-base", "198.51.100.31", "--mac-base", FAR_MACS, name="far", segment=2)
    devices = ctl.find_json("--count", "3", "--timeout", "10", windows=True)
    found = {d["mac"]: (d["ip"], d["interface"], d["in_subnet"], d["duplicate_ip"]) for d in devices}
    lab.expect(found == {lab.mac_text(NEAR_MACS, 0): ("198.51.100.30", near.pc_ip, True, False),
                         lab.mac_text(NEAR_MACS, 1): ("198.51.100.31", near.pc_ip, True, True),
                         lab.mac_text(FAR_MACS, 0): ("198.51.100.31", far.pc_ip, False, True)},
               f"found {devices}")


def test_the_windows_build_changes_an_address(session):
    sim = session.sim("--devices", "1", "--ip-base", "198.51.100.30", "--mac-base", NEAR_MACS)
    mac = lab.mac_text(NEAR_MACS, 0)
    result = ctl.run("set-ip", mac, "198.51.100.78", "--timeout", "10", "--find-timeout", "5", windows=True)
    ctl.expect_status(result, 0)
    lab.expect(f"{mac}: 198.51.100.30 -> 198.51.100.78" in result.stdout, f"stdout {result.stdout!r}")
    lab.expect([c["new"] for c in sim.records("changed")] == ["198.51.100.78"], f"{sim.records('changed')}")


def test_the_windows_build_takes_a_plan_and_report_deeper_than_260_characters(session, tmp_path):
    # Wine opens such paths in either form; this keeps them working in the Windows build, and the
    # extended form Windows needs is checked by the unit test (long_path_test.cpp).
    sim = session.sim("--devices", "1", "--ip-base", "198.51.100.30", "--mac-base", NEAR_MACS)
    header, rows = ctl.find_csv("--count", "1", "--timeout", "5")
    deep = tmp_path.joinpath(*["d" * 100] * 3)
    deep.mkdir(parents=True)
    plan, report = deep / "plan.csv", deep / "result.json"
    with open(plan, "w", newline="") as file:
        writer = csv.DictWriter(file, fieldnames=header + ["new_ip"])
        writer.writeheader()
        writer.writerow({**rows[0], "new_ip": "198.51.100.79"})
    lab.expect(len(ctl.windows_path(report)) > 260, f"{ctl.windows_path(report)} is not deep enough")
    result = ctl.run("apply", ctl.windows_path(plan), "--report", ctl.windows_path(report), "--timeout", "10", windows=True)
    ctl.expect_status(result, 0)
    lab.expect('"confirmed"' in report.read_text(), f"report {report.read_text()!r}")
    lab.expect([c["new"] for c in sim.records("changed")] == ["198.51.100.79"], f"{sim.records('changed')}")
