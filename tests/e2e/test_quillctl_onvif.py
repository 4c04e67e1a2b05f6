"""quillctl find --protocol onvif|all against the simulator's ONVIF cameras beside our own devices, on
both links: every camera listed with its endpoint, name and XAddr, an address held across makes
flagged on both rows, a lost answer found by the next probe, an answer without an address resolved,
hostile replies counted and never printed as they came, Hello and Bye in --watch, and a password
taken neither as an option nor from a plan."""

import signal
import socket
import subprocess

import lab
import quillctl_runner as ctl

NEAR_CAMERAS, FAR_CAMERAS = "198.51.100.130", "203.0.113.130"


def onvif_rows(devices):
    return {d["endpoint"]: d for d in devices if d["protocol"] == "onvif"}


def test_find_all_lists_both_makes_on_both_links(session, lab_info):
    session.sim("--devices", "3", "--ip-base", "198.51.100.30", "--onvif", "2", "--onvif-ip-base", NEAR_CAMERAS,
                name="near")
    session.sim("--devices", "2", "--ip-base", "203.0.113.30", "--mac-base", "00:1a:2b:3c:4d:c0",
                "--onvif", "2", "--onvif-ip-base", FAR_CAMERAS, name="far", segment=2)
    devices = ctl.find_json("--protocol", "all", "--count", "9", "--timeout", "5")
    lab.expect(len(devices) == 9, f"found {devices}")
    lab.expect(sorted(d["number"] for d in devices) == list(range(1, 10)), f"numbers {devices}")
    lab.expect(sum(d["protocol"] == "quill" for d in devices) == 5, f"ours {devices}")
    cameras = onvif_rows(devices)
    for base, segment in ((NEAR_CAMERAS, lab_info.segments[1]), (FAR_CAMERAS, lab_info.segments[2])):
        for k in range(2):
            row = cameras.get(lab.camera_endpoint(base, k))
            lab.expect(row is not None, f"camera {k} of {base} missing: {sorted(cameras)}")
            address = lab.camera_address(base, k)
            expected = {"ip": address, "http_port": 80, "mac": None, "interface": segment.pc_ip,
                        "in_subnet": True, "duplicate_ip": False, "source": segment.lan_ip,
                        "name": f"Sim Camera {k}", "hardware": f"QS-{k}",
                        "xaddr": f"http://{address}:80/onvif/device_service"}
            lab.expect({key: row[key] for key in expected} == expected, f"camera row {row}")

    header, rows = ctl.find_csv("--protocol", "all", "--count", "9", "--timeout", "5")
    lab.expect(header == ctl.FIELDS, f"CSV header {header}")
    lab.expect(sorted(r["protocol"] for r in rows) == ["onvif"] * 4 + ["quill"] * 5, f"CSV rows {rows}")

    # The default is what scripts always saw: our devices only.
    lab.expect({d["protocol"] for d in ctl.find_json("--count", "5", "--timeout", "5")} == {"quill"}, "default")


def test_an_address_held_across_makes_is_flagged_on_both_rows(session):
    session.sim("--devices", "2", "--ip-base", "198.51.100.30", "--onvif", "1", "--onvif-ip-base", "198.51.100.31")
    devices = ctl.find_json("--protocol", "all", "--count", "3", "--timeout", "5")
    held = [d for d in devices if d["ip"] == "198.51.100.31"]
    lab.expect(sorted(d["protocol"] for d in held) == ["onvif", "quill"], f"rows {devices}")
    lab.expect(all(d["duplicate_ip"] for d in held), f"both rows flagged: {held}")
    lab.expect(not [d for d in devices if d["ip"] == "198.51.100.30"][0]["duplicate_ip"], f"rows {devices}")
    table = ctl.run("find", "--protocol", "all", "--count", "3", "--timeout", "5")
    ctl.expect_status(table, 0)
    lab.expect("2 with an address held twice" in table.stdout, f"table {table.stdout}")


def test_a_lost_answer_is_found_by_the_next_probe_and_an_answer_without_address_is_resolved(session):
    lost = session.sim("--devices", "0", "--onvif", "1", "--onvif-drop-first", name="lost")
    devices = ctl.find_json("--protocol", "onvif", "--count", "1", "--timeout", "3")
    lab.expect([d["ip"] for d in devices] == ["198.51.100.130"], f"found {devices}")
    lab.expect(len(lost.records("onvif-dropped")) == 1, f"dropped {lost.records('onvif-dropped')}")
    probes = lost.records("onvif-probe")
    lab.expect(len(probes) >= 2 and len({p["message_id"] for p in probes}) == len(probes),
               f"probes {probes}")
    lost.stop()

    quiet = session.sim("--devices", "0", "--onvif", "2", "--onvif-ip-base", "198.51.100.140",
                        "--onvif-no-xaddrs", name="quiet")
    devices = ctl.find_json("--protocol", "onvif", "--count", "2", "--timeout", "3")
    lab.expect(sorted(d["xaddr"] for d in devices) ==
               [f"http://198.51.100.{140 + k}:80/onvif/device_service" for k in range(2)], f"found {devices}")
    resolves = quiet.records("onvif-resolve")
    lab.expect(sorted(r["endpoint"] for r in resolves[:2]) ==
               [lab.camera_endpoint("198.51.100.140", k) for k in range(2)], f"resolves {resolves}")


BAD_REPLIES = {
    "not_xml": "<s:Envelope>{{RelatesTo}}",
    "doctype": '<?xml version="1.0"?><!DOCTYPE s [<!ENTITY a "aaaa">]>' + "{envelope}",
    "deep": "<a>" * 40 + "</a>" * 40,
    "hostname": "{envelope}",
    "stranger": "{envelope}",
    "escaped": "{envelope}",
}


def envelope(relates_to, address, name, endpoint):
    return ('<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" '
            'xmlns:a="http://schemas.xmlsoap.org/ws/2004/08/addressing" '
            'xmlns:d="http://schemas.xmlsoap.org/ws/2005/04/discovery"><s:Header>'
            f'<a:RelatesTo>{relates_to}</a:RelatesTo></s:Header><s:Body><d:ProbeMatches><d:ProbeMatch>'
            f'<a:EndpointReference><a:Address>{endpoint}</a:Address></a:EndpointReference>'
            f'<d:Scopes>onvif://www.onvif.org/name/{name}</d:Scopes>'
            f'<d:XAddrs>{address}</d:XAddrs></d:ProbeMatch></d:ProbeMatches></s:Body></s:Envelope>')


def test_hostile_replies_are_counted_and_never_printed_as_they_came(session):
    files = []
    for kind, template in BAD_REPLIES.items():
        body = {
            "hostname": envelope("{{RelatesTo}}", "http://camera.local/onvif", "x", "urn:uuid:bad-1"),
            "stranger": envelope("urn:uuid:not-a-probe-of-this-run", "http://198.51.100.201/", "x", "urn:uuid:bad-2"),
            "escaped": envelope("{{RelatesTo}}", "http://198.51.100.202/", "%1b%5b2J%07Ring", "urn:uuid:bad-3"),
        }.get(kind, envelope("{{RelatesTo}}", "http://198.51.100.203/", "x", "urn:uuid:bad-4"))
        path = session.logs / f"{kind}.xml"
        path.write_text(template.replace("{envelope}", body))
        files += ["--onvif-raw-file", path]
    session.sim("--devices", "0", "--onvif", "1", *files)
    result = ctl.run("find", "--protocol", "onvif", "--format", "csv", "--timeout", "1")
    ctl.expect_status(result, 0)
    lab.expect("\x1b" not in result.stdout and "\x07" not in result.stdout, f"raw bytes in {result.stdout!r}")
    lab.expect("\\x1b[2J\\x07Ring" in result.stdout, f"the escaped name in {result.stdout!r}")
    ips = sorted(line.split(",")[1] for line in result.stdout.splitlines()[1:])
    lab.expect(ips == ["198.51.100.130", "198.51.100.202"], f"listed {ips}")
    notes = result.stderr.splitlines()
    lab.expect(len(notes) == 1 and notes[0].startswith("quillctl: note: ignored "), f"stderr {result.stderr!r}")
    for reason in ("not well-formed XML", "with a DOCTYPE", "nested too deep", "answering no probe of this run",
                   "without an http XAddr at a dotted IPv4 address"):
        lab.expect(reason in notes[0], f"{reason!r} not in {notes[0]!r}")


def test_watch_prints_a_camera_and_notes_its_bye(session):
    watcher = subprocess.Popen([str(lab.quillctl_binary()), "find", "--protocol", "onvif", "--watch",
                                "--format", "csv"], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        out, err = lab.LineReader(watcher.stdout), lab.LineReader(watcher.stderr)
        out.wait_for(lambda line: line.startswith("number,"), 10, "the header: quillctl is listening")
        sim = session.sim("--devices", "0", "--onvif", "1", "--onvif-ip-base", "198.51.100.150")
        out.wait_for(lambda line: ",198.51.100.150," in line and ",onvif," in line, 10, "the camera's row")
        sim.popen.send_signal(signal.SIGTERM)
        lab.expect(sim.wait_exit(10) == 0, "quillsim did not end cleanly")
        err.wait_for(lambda line: "said Bye" in line and lab.camera_endpoint("198.51.100.150", 0) in line, 10,
                     "the Bye noted")
        watcher.send_signal(signal.SIGINT)
        lab.expect(watcher.wait(10) == 0, "an interrupted watch ends with 0")
    finally:
        if watcher.poll() is None:
            watcher.kill()
            watcher.wait()


def test_a_password_is_never_an_option_nor_a_plan_column(session):
    sim = session.sim("--devices", "1", "--onvif", "1")
    camera = lab.camera_endpoint(NEAR_CAMERAS, 0)
    refused = ctl.run("set-ip", camera, "198.51.100.77", "--user", "admin", "--password", "Sesame-7!")
    ctl.expect_status(refused, 2)

    exported = ctl.run("find", "--protocol", "all", "--format", "csv", "--count", "2", "--timeout", "5")
    ctl.expect_status(exported, 0)
    lines = exported.stdout.splitlines()
    plan = [lines[0] + ",new_ip,password"] + [
        line + (",198.51.100.77,Sesame-7!" if ",onvif," in line else ",,") for line in lines[1:]]
    path = session.logs / "plan.csv"
    path.write_text("\n".join(plan) + "\n")
    applied = ctl.run("apply", path, "--user", "admin", env={"QUILLCTL_PASSWORD": "Sesame-7!"})
    ctl.expect_status(applied, 2)
    lab.expect("password" in applied.stderr and "Sesame-7!" not in applied.stderr + applied.stdout,
               f"stderr {applied.stderr!r}")
    ctl.nothing_changed_since(sim, "--count", "1")


def test_the_windows_build_finds_both_kinds(session):
    session.sim("--devices", "1", "--onvif", "1")
    devices = ctl.find_json("--protocol", "all", "--count", "2", "--timeout", "10", windows=True)
    lab.expect(sorted(d["protocol"] for d in devices) == ["onvif", "quill"], f"found {devices}")
    camera = onvif_rows(devices)[lab.camera_endpoint(NEAR_CAMERAS, 0)]
    lab.expect(camera["xaddr"] == f"http://{NEAR_CAMERAS}:80/onvif/device_service", f"row {camera}")


def test_watch_without_the_announcement_port_still_finds_cameras_by_probing(session):
    # Another discovery program holds port 3702 for itself (no address reuse).
    holder = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    holder.bind(("0.0.0.0", 3702))
    watcher = subprocess.Popen([str(lab.quillctl_binary()), "find", "--protocol", "onvif", "--watch",
                                "--format", "csv"], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        out, err = lab.LineReader(watcher.stdout), lab.LineReader(watcher.stderr)
        err.wait_for(lambda line: line.startswith("quillctl: warning: Hello and Bye are not heard: ")
                     and "3702" in line, 10, "the warning")
        session.sim("--devices", "0", "--onvif", "1", "--onvif-ip-base", "198.51.100.160")
        out.wait_for(lambda line: ",198.51.100.160," in line, 10, "the camera found by a probe")
        watcher.send_signal(signal.SIGINT)
        lab.expect(watcher.wait(10) == 0, "an interrupted watch ends with 0")
    finally:
        holder.close()
        if watcher.poll() is None:
            watcher.kill()
            watcher.wait()
