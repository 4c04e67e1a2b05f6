"""quillctl set-ip and apply for ONVIF cameras: a site of 8 of our devices and 8 cameras on two cards
re-addressed in one apply run from its own find export (a camera that needs a reboot, one an hour ahead,
one on HTTP Digest only, one taking the address one of ours leaves), each confirmed and found there
afterwards, by both builds; a camera given a wrong password fails alone and is sent nothing more; set-ip
of a camera by its endpoint with a prefix length and a gateway. The password shows in no output, report or
log."""

import csv
import io
import json

import pytest

import camera_site as site
import lab
import quillctl_runner as ctl

REBOOT_S = 2


def report_by_device(path):
    """The report (CSV or JSON by its extension) by device: a camera's endpoint, else our MAC."""
    text = path.read_text(encoding="utf-8-sig")
    items = json.loads(text) if path.suffix == ".json" else list(csv.DictReader(io.StringIO(text)))
    lab.expect(items and all(list(item) == ctl.REPORT_FIELDS for item in items), f"report {items[:1]}")
    return {item["endpoint"] or item["mac"]: item for item in items}


@pytest.mark.timeout(240)
@pytest.mark.parametrize("windows", [False, True], ids=["linux", "exe"])
def test_one_apply_re_addresses_our_devices_and_cameras_on_both_cards(session, windows):
    password = site.new_password()
    sims = site.start_site(session, site.write_secret(session.logs / site.SECRET_NAME, password), REBOOT_S)
    total = 4 * site.PER_CARD
    header, rows = ctl.find_csv("--protocol", "all", "--count", total, "--timeout", "5")
    plan = site.site_plan()
    plan_path, report_path = session.logs / "plan.csv", session.logs / "report.json"
    site.write_plan(header, rows, plan_path, plan)

    named = ctl.windows_path if windows else str
    result = ctl.run("apply", named(plan_path), "--report", named(report_path), "--timeout", "40", "--user", site.USER,
                     env={"QUILLCTL_PASSWORD": password}, windows=windows, timeout=150)
    ctl.expect_status(result, 0)
    report = report_by_device(report_path)
    lab.expect({key: (item["new_ip"], item["status"]) for key, item in report.items()}
               == {key: (ip, "confirmed") for key, ip in plan.items()}, f"report {report}")

    # The camera taking the address our device 0 leaves is asked only once that one has left it.
    held = site.card_prefix(1) + "30"
    left = [r["t"] for r in sims[1].records("changed") if r["old"] == held]
    taken = [c["t"] for c in sims[1].records("onvif-call") if c["device"] == 0
             and c["operation"] == "SetNetworkInterfaces"]
    lab.expect(left and taken and left[0] <= taken[0], f"{held} left at {left}, asked of the camera at {taken}")
    card, k = site.REBOOT_NEEDED
    calls = [(c["device"], c["operation"]) for c in sims[card].records("onvif-call") if c["result"] == "ok"]
    lab.expect((k, "SystemReboot") in calls, f"camera {k} of card {card} was not rebooted: {calls}")
    for n, sim in sims.items():
        back = {record["device"]: record["ip"] for record in sim.records("onvif-back")}
        lab.expect(back == {i: plan[lab.camera_endpoint(site.camera_base(n), i)] for i in range(site.PER_CARD)},
                   f"card {n}'s cameras came back at {back}")
    found = ctl.find_json("--protocol", "all", "--count", total, "--timeout", "5")
    lab.expect({site.row_key(row): row["ip"] for row in found} == plan, f"find afterwards: {found}")
    site.expect_nowhere(session.logs, password, [result.stdout, result.stderr])


def test_a_camera_refusing_its_password_fails_alone_and_is_sent_nothing_more(session, tmp_path):
    password, wrong = site.new_password(), site.new_password()
    sim = session.sim("--devices", "1", "--ip-base", "198.51.100.30", "--mac-base", site.ours_mac_base(1),
                      "--onvif", "3", "--onvif-user", site.USER, "--onvif-password-file",
                      str(site.write_secret(session.logs / site.SECRET_NAME, password)),
                      "--onvif-reboot-s", str(REBOOT_S))
    refused = lab.camera_endpoint(lab.ONVIF_BASE, 1)
    # Outside the logs, which must hold neither password.
    credentials = site.write_secret(tmp_path / "credentials", f"# one camera's own\n{refused} {site.USER} {wrong}")
    header, rows = ctl.find_csv("--protocol", "all", "--count", "4", "--timeout", "5")
    plan = {site.row_key(row): f"198.51.100.{170 + index}" for index, row in enumerate(rows)}
    plan_path, report_path = session.logs / "plan.csv", session.logs / "report.csv"
    site.write_plan(header, rows, plan_path, plan)

    result = ctl.run("apply", plan_path, "--report", report_path, "--timeout", "30", "--user", site.USER,
                     "--credentials", credentials, env={"QUILLCTL_PASSWORD": password}, timeout=120)
    ctl.expect_status(result, 3)
    report = report_by_device(report_path)
    outcome = {key: (item["status"], item["detail"].split(":")[0]) for key, item in report.items()}
    lab.expect(outcome == {key: ("failed", "auth refused") if key == refused else ("confirmed", "")
                           for key in plan}, f"report {outcome}")
    mine = [(c["operation"], c["auth"], c["result"]) for c in sim.records("onvif-call") if c["device"] == 1]
    lab.expect(mine and mine[-1][2] == "refused"
               and all(call == ("GetSystemDateAndTime", "none", "ok") for call in mine[:-1]),
               f"the refusing camera was sent {mine}")
    lab.expect(not [r for r in sim.records("onvif-back") if r["device"] == 1], "the refusing camera moved")
    for secret in (password, wrong):
        site.expect_nowhere(session.logs, secret, [result.stdout, result.stderr])


def test_set_ip_of_a_camera_by_its_endpoint_with_prefix_length_and_gateway_and_one_left_unrebooted(session):
    password = site.new_password()
    password_file = site.write_secret(session.logs / site.SECRET_NAME, password)
    sim = session.sim("--devices", "0", "--onvif", "2", "--onvif-user", site.USER, "--onvif-password-file",
                      str(password_file), "--onvif-reboot-s", str(REBOOT_S), "--onvif-auth", "0=digest",
                      "--onvif-reboot-needed", "1=true")
    endpoint, old, new = lab.camera_endpoint(lab.ONVIF_BASE, 0), lab.ONVIF_BASE, "198.51.100.200"
    # quillctl reads the same file: it must take a password file the simulator takes.
    result = ctl.run("set-ip", endpoint, new, "--prefix-length", "25", "--gateway", "198.51.100.254", "--user",
                     site.USER, "--password-file", password_file, timeout=150)
    ctl.expect_status(result, 0)
    lab.expect(f"{endpoint}: {old} -> {new}" in result.stdout.splitlines(), f"stdout {result.stdout!r}")
    read = ctl.run("info", new, "--format", "json", "--user", site.USER, env={"QUILLCTL_PASSWORD": password})
    ctl.expect_status(read, 0)
    (row,) = json.loads(read.stdout)
    lab.expect((row["endpoint"], row["ip"], row["dhcp"], row["prefix_length"], row["gateway"])
               == (endpoint, new, False, 25, "198.51.100.254"), f"info afterwards: {row}")

    # --no-reboot: the camera holds the change unapplied, and is left so (by its address this time).
    unrebooted = ctl.run("set-ip", lab.camera_address(lab.ONVIF_BASE, 1), "198.51.100.201", "--no-reboot",
                         "--user", site.USER, env={"QUILLCTL_PASSWORD": password}, timeout=150)
    ctl.expect_status(unrebooted, 3)
    lab.expect("reboot" in unrebooted.stderr, f"stderr {unrebooted.stderr!r}")
    sent = [c["operation"] for c in sim.records("onvif-call") if c["device"] == 1 and c["result"] == "ok"]
    lab.expect("SetNetworkInterfaces" in sent and "SystemReboot" not in sent, f"camera 1 was sent {sent}")
    lab.expect([r["device"] for r in sim.records("onvif-reboot")] == [0], f"{sim.records('onvif-reboot')}")
    site.expect_nowhere(session.logs, password, [result.stdout, result.stderr, read.stdout, read.stderr,
                                                 unrebooted.stdout, unrebooted.stderr])
