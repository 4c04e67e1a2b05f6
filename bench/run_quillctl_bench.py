"""Speed and size of quillctl in the lab. A benchmark, not a test: it prints a table and writes the
figures as JSON. Run it inside the lab:

    tools/bench.sh quillctl [--repeats N]       (installs what it needs, builds, runs this in a fresh lab)
    tools/lab.sh run -- /usr/bin/python3 bench/run_quillctl_bench.py [--out DIR] [--repeats N]

What it measures, with the native binary of the package tree (no sanitizers) unless --quillctl names
another:
  - find with 256 devices answering (--format jsonl --count 256): the time from its first search, as
    the devices' log stamps it, to the last device's line arriving on its output; and from its start
    to its exit;
  - apply of a plan to 64 devices that confirm at once: from its start to its exit, and the slowest
    confirmation in its report; against 64 set-ip runs one after the other;
  - find --protocol all with 200 of our devices and 56 ONVIF cameras, half on each of the lab's two
    links: from the first search or probe, as the simulators' logs stamp it, to the last device's line;
    every camera's row checked for its endpoint, name and XAddr;
  - the size of quillctl.exe; the native binary's start-to-exit time for find --count 1;
  - find --protocol all --timeout 2 while a hostile host answers its WS-Discovery probe 20,000 times
    a second (quillsim --flood-onvif): from its start to its exit, and the rate the flood reached;
  - info on 56 ONVIF cameras, 28 on each link (those of link 2 on HTTP Digest, their clocks an hour
    ahead): from its start to its exit, and from the first device service call to the last, as the
    cameras log them; every field of every camera checked against the simulator's settings;
  - apply of the mixed plan of the camera change tests (8 of ours and 8 cameras on two links, one camera
    needing a reboot, all re-addressed): from its start to its exit, and from its first SetNetworkInterfaces
    to its exit against the slowest camera's reboot (its silence, as the simulator logs it).
--only flood|info56|mixed measures only that figure.
"""

import argparse
import csv
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

import camera_site as site  # noqa: E402
import lab  # noqa: E402
import quillctl_runner as ctl  # noqa: E402

FIND_DEVICES = 256
MIXED_QUILL_PER_LINK, MIXED_CAMERAS_PER_LINK = 100, 28
APPLY_DEVICES = 64
START_RUNS = 20


def run_logs(name):
    """A fresh folder for the logs of one measuring run (named on the console if the run fails); the
    neighbour table forgets the addresses an earlier run's cameras held."""
    lab.forget_neighbours()
    return tempfile.mkdtemp(prefix=f"qm-ctl-bench-{name}-")


def find_run():
    """One find of 256 devices; its lines stamped in Unix time as they arrive, like the devices' log."""
    with lab.ProcessGroup(run_logs("find")) as group:
        sim = group.sim("--devices", str(FIND_DEVICES), "--ip-base", "10.1.0.1")
        argv = [str(lab.quillctl_binary()), "find", "--format", "jsonl", "--count", str(FIND_DEVICES),
                "--timeout", "5"]
        started = time.time()
        process = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        arrivals = [time.time() for _ in iter(process.stdout.readline, b"")]
        status = process.wait()
        ended = time.time()
        lab.expect(status == 0 and len(arrivals) == FIND_DEVICES, f"find: exit {status}, {len(arrivals)} lines")
        first_search = lab.poll(lambda: sim.records("search"), 5, "the search in the log")[0]["t"]
        return {"first_search_to_last_line": max(arrivals) - first_search,
                "start_to_first_search": first_search - started, "start_to_exit": ended - started}


def mixed_find_run():
    """One find --protocol all of 200 of ours and 56 cameras on two links; every camera row checked."""
    with lab.ProcessGroup(run_logs("mixed")) as group:
        cameras = {1: "198.51.100.100", 2: "203.0.113.100"}
        sims = [group.sim("--devices", str(MIXED_QUILL_PER_LINK), "--ip-base", f"10.{n}.0.1",
                          "--mac-base", f"00:1a:2b:{n:02x}:00:00", "--onvif", str(MIXED_CAMERAS_PER_LINK),
                          "--onvif-ip-base", base, name=f"mixed{n}", segment=n) for n, base in cameras.items()]
        total = 2 * (MIXED_QUILL_PER_LINK + MIXED_CAMERAS_PER_LINK)
        argv = [str(lab.quillctl_binary()), "find", "--protocol", "all", "--format", "jsonl", "--count",
                str(total), "--timeout", "5"]
        process = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        lines = [(time.time(), json.loads(line)) for line in iter(process.stdout.readline, b"")]
        status = process.wait()
        lab.expect(status == 0 and len(lines) == total, f"find: exit {status}, {len(lines)} lines")
        rows = {row["endpoint"]: row for _, row in lines if row["protocol"] == "onvif"}
        for n, base in cameras.items():
            for k in range(MIXED_CAMERAS_PER_LINK):
                address = lab.camera_address(base, k)
                row = rows.get(lab.camera_endpoint(base, k), {})
                lab.expect(row.get("name") == f"Sim Camera {k}" and
                           row.get("xaddr") == f"http://{address}:80/onvif/device_service",
                           f"camera {k} of link {n}: {row}")
        first = min(record["t"] for sim in sims for kind in ("search", "onvif-probe")
                    for record in lab.poll(lambda: sim.records(kind), 5, f"the first {kind}")[:1])
        return {"first_request_to_last_line": max(t for t, _ in lines) - first}


def write_plan(rows, header, path):
    with open(path, "w", newline="") as file:
        writer = csv.DictWriter(file, fieldnames=header + ["new_ip"])
        writer.writeheader()
        writer.writerows({**row, "new_ip": f"198.51.100.{100 + index}"} for index, row in enumerate(rows))


def apply_run():
    """apply of a plan for 64 devices, made as a user makes it: find --format csv plus new_ip."""
    logs = run_logs("apply")
    with lab.ProcessGroup(logs) as group:
        sim = group.sim("--devices", str(APPLY_DEVICES), "--ip-base", "10.64.0.1")
        header, rows = ctl.find_csv("--count", APPLY_DEVICES, "--timeout", "5")
        plan, report = Path(logs) / "plan.csv", Path(logs) / "result.json"
        write_plan(rows, header, plan)
        started = time.monotonic()
        result = ctl.run("apply", plan, "--report", report, "--timeout", "10")
        elapsed = time.monotonic() - started
        ctl.expect_status(result, 0)
        items = json.loads(report.read_text())
        lab.expect(all(item["status"] == "confirmed" for item in items) and len(items) == APPLY_DEVICES,
                   f"report {items}")
        changes = sim.records("change")
        changed = sim.records("changed")
        return {"start_to_exit": elapsed, "slowest_confirmation": max(item["seconds"] for item in items),
                "first_command_to_last_change": max(c["t"] for c in changed) - min(c["t"] for c in changes)}


def sequential_run():
    """The same 64 changes as 64 set-ip runs, one after the other."""
    with lab.ProcessGroup(run_logs("sequential")) as group:
        group.sim("--devices", str(APPLY_DEVICES), "--ip-base", "10.64.0.1", "--mac-base", "00:1a:2b:3c:4d:00")
        each = []
        started = time.monotonic()
        for index in range(APPLY_DEVICES):
            one = time.monotonic()
            result = ctl.run("set-ip", lab.mac_text("00:1a:2b:3c:4d:00", index), f"198.51.100.{100 + index}",
                             "--timeout", "10")
            each.append(time.monotonic() - one)
            ctl.expect_status(result, 0)
        return {"total": time.monotonic() - started, "each_median": statistics.median(each),
                "each_max": max(each)}


def start_to_exit_runs():
    """find --count 1 with one device answering, from fork to reaped exit."""
    with lab.ProcessGroup(run_logs("start")) as group:
        group.sim("--devices", "1")
        times = []
        for _ in range(START_RUNS):
            started = time.monotonic()
            result = subprocess.run([str(lab.quillctl_binary()), "find", "--count", "1", "--format", "json"],
                                    capture_output=True, timeout=10)
            times.append(time.monotonic() - started)
            lab.expect(result.returncode == 0, f"find --count 1: exit {result.returncode}")
        return times


FLOOD_TIMEOUT_S = 2


def flood_run():
    """find --timeout 2 under the WS-Discovery flood: start to exit, and the flood's rate."""
    with lab.ProcessGroup(run_logs("flood")) as group:
        result, elapsed, rate = ctl.find_under_flood(group, FLOOD_TIMEOUT_S)
        ctl.expect_status(result, 0)
        return {"start_to_exit": elapsed, "flood_rate": rate}


INFO_CAMERAS_PER_LINK = 28


def secret_file(logs):
    password = site.new_password()
    return password, site.write_secret(Path(logs) / site.SECRET_NAME, password)


def info_run():
    """info on 56 cameras of two links; every row checked by the simulator's settings."""
    logs = run_logs("info")
    with lab.ProcessGroup(logs) as group:
        password, secret = secret_file(logs)
        bases = {n: site.card_prefix(n) + "100" for n in (1, 2)}
        sims = [group.sim("--devices", "0", "--onvif", str(INFO_CAMERAS_PER_LINK), "--onvif-ip-base", base,
                          "--onvif-user", site.USER, "--onvif-password-file", str(secret),
                          *(["--onvif-auth", "digest", "--onvif-clock-offset", "3600"] if n == 2 else []),
                          name=f"info{n}", segment=n) for n, base in bases.items()]
        started = time.monotonic()
        result = ctl.run("info", "--format", "json", "--user", site.USER, env={"QUILLCTL_PASSWORD": password})
        elapsed = time.monotonic() - started
        ctl.expect_status(result, 0)
        rows = json.loads(result.stdout)
        for n, base in bases.items():
            site.expect_details({row["endpoint"]: row for row in rows if row["xaddr"].startswith(
                f"http://{site.card_prefix(n)}")}, INFO_CAMERAS_PER_LINK, base)
        calls = [c["t"] for sim in sims for c in sim.records("onvif-call")]
        site.expect_nowhere(Path(logs), password, [result.stdout, result.stderr])
        return {"start_to_exit": elapsed, "first_call_to_last_call": max(calls) - min(calls),
                "calls": len(calls)}


MIXED_REBOOT_S = 3


def mixed_apply_run():
    """apply of the mixed 8 + 8 plan on two links; the slowest camera's reboot from the simulators' logs."""
    logs = run_logs("mixed-apply")
    with lab.ProcessGroup(logs) as group:
        password, secret = secret_file(logs)
        sims = site.start_site(group, secret, MIXED_REBOOT_S)
        header, rows = ctl.find_csv("--protocol", "all", "--count", 4 * site.PER_CARD, "--timeout", "5")
        plan, report = Path(logs) / "plan.csv", Path(logs) / "result.json"
        site.write_plan(header, rows, plan, site.site_plan())
        started = time.monotonic()
        result = ctl.run("apply", plan, "--report", report, "--user", site.USER,
                         env={"QUILLCTL_PASSWORD": password}, timeout=300)
        elapsed, ended = time.monotonic() - started, time.time()
        ctl.expect_status(result, 0)
        items = json.loads(report.read_text())
        lab.expect(len(items) == 4 * site.PER_CARD and all(item["status"] == "confirmed" for item in items),
                   f"report {items}")
        reboots = []
        for sim in sims.values():
            back = {record["device"]: record["t"] for record in sim.records("onvif-back")}
            reboots += [back[record["device"]] - record["t"] for record in sim.records("onvif-reboot")]
        first_set = min(c["t"] for sim in sims.values() for c in sim.records("onvif-call")
                        if c["operation"] == "SetNetworkInterfaces")
        return {"start_to_exit": elapsed, "first_set_to_exit": ended - first_set,
                "slowest_reboot": max(reboots), "reboot_s": MIXED_REBOOT_S,
                "slowest_confirmation": max(item["seconds"] for item in items)}


CAMERA_RUNS = {"info56": ("info56", info_run, "info, 56 cameras on two links"),
               "mixed": ("mixed_apply", mixed_apply_run, "apply, 8 of ours and 8 cameras on two links")}


def measure(repeats, only=None):
    figures = {"binary": str(lab.quillctl_binary())}
    if only in (None, "flood"):
        figures["flood"] = []
        for repeat in range(repeats):
            figures["flood"].append(flood_run())
            print(f"  find --timeout 2 under a flood, run {repeat + 1}: {figures['flood'][-1]}", flush=True)
    for name, (key, run, what) in CAMERA_RUNS.items():
        if only in (None, name):
            figures[key] = []
            for repeat in range(repeats):
                figures[key].append(run())
                print(f"  {what}, run {repeat + 1}: {figures[key][-1]}", flush=True)
    if only is None:
        return measure_the_rest(figures, repeats)
    return figures


def measure_the_rest(figures, repeats):
    figures.update({"find": [], "apply": [], "sequential": []})
    for repeat in range(repeats):
        figures["find"].append(find_run())
        print(f"  find 256, run {repeat + 1}: {figures['find'][-1]}", flush=True)
    figures["mixed"] = []
    for repeat in range(repeats):
        figures["mixed"].append(mixed_find_run())
        print(f"  find --protocol all, 200 + 56 on two links, run {repeat + 1}: {figures['mixed'][-1]}", flush=True)
    for repeat in range(repeats):
        figures["apply"].append(apply_run())
        print(f"  apply 64, run {repeat + 1}: {figures['apply'][-1]}", flush=True)
    figures["sequential"].append(sequential_run())
    print(f"  64 set-ip runs: {figures['sequential'][-1]}", flush=True)
    figures["start_to_exit"] = start_to_exit_runs()
    figures["exe_bytes"] = lab.quillctl_exe().stat().st_size
    figures["native_bytes"] = lab.quillctl_binary().stat().st_size
    return figures


def spread_text(runs, key, unit_scale=1.0, unit="s", digits=3):
    values = [run[key] * unit_scale for run in runs]
    return (f"{statistics.median(values):.{digits}f} {unit} (worst {max(values):.{digits}f} {unit}, "
            f"{len(values)} runs)")


def table(figures):
    rows = []
    if "flood" in figures:
        rates = [run["flood_rate"] for run in figures["flood"]]
        rows.append((f"find --timeout {FLOOD_TIMEOUT_S} while a host answers its probe "
                     f"{ctl.FLOOD_RATE:,} times a second: start to exit (bound 2.5 s)",
                     spread_text(figures["flood"], "start_to_exit") +
                     f"; flood {min(rates):,.0f} to {max(rates):,.0f} datagrams/s"))
    if "info56" in figures:
        rows += [("info, 56 ONVIF cameras on two links (28 by UsernameToken, 28 by HTTP Digest an hour ahead), "
                  "every field checked: start to exit, its 2 s search included",
                  spread_text(figures["info56"], "start_to_exit")),
                 ("the same: first device service call to the last",
                  spread_text(figures["info56"], "first_call_to_last_call"))]
    if "mixed_apply" in figures:
        runs = figures["mixed_apply"]
        rows += [("apply, 8 of ours and 8 ONVIF cameras on two links, one needing a reboot: start to exit, "
                  "its 2 s search included", spread_text(runs, "start_to_exit")),
                 (f"the same: first SetNetworkInterfaces to exit, against the slowest camera's reboot "
                  f"(--onvif-reboot-s {MIXED_REBOOT_S})",
                  spread_text(runs, "first_set_to_exit") + "; slowest reboot " + spread_text(runs, "slowest_reboot"))]
    if "find" in figures:
        rows += other_rows(figures)
    lines = ["| figure | value |", "|---|---|"] + [f"| {name} | {value} |" for name, value in rows]
    return "\n".join(lines)


def other_rows(figures):
    start = figures["start_to_exit"]
    sequential = figures["sequential"][0]
    return [
        ("find, 256 devices: first search to last device reported (bound 0.3 s)",
         spread_text(figures["find"], "first_search_to_last_line")),
        ("find --count 256: start to exit (bound 0.5 s)", spread_text(figures["find"], "start_to_exit")),
        ("find --protocol all, 200 of ours and 56 ONVIF cameras on two links: first request to last "
         "device reported (bound 0.3 s)", spread_text(figures["mixed"], "first_request_to_last_line")),
        ("apply, 64 devices: start to exit, search included (bound 3 s)",
         spread_text(figures["apply"], "start_to_exit")),
        ("apply, 64 devices: slowest confirmation in the report",
         spread_text(figures["apply"], "slowest_confirmation")),
        ("64 set-ip runs one after the other",
         f"{sequential['total']:.2f} s (each: median {sequential['each_median']:.3f} s, "
         f"worst {sequential['each_max']:.3f} s)"),
        ("quillctl.exe", f"{figures['exe_bytes']:,} bytes"),
        ("native quillctl: find --count 1, start to exit",
         f"median {statistics.median(start) * 1000:.0f} ms ({min(start) * 1000:.0f} to "
         f"{max(start) * 1000:.0f} ms, {len(start)} runs)"),
    ]


def default_binary():
    release = lab.env_path("QM_BUILD_PACKAGE", ROOT / "build" / "package") / "bin" / "quillctl"
    return release if release.exists() else lab.quillctl_binary()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", type=Path, default=ROOT / "build" / "bench")
    parser.add_argument("--repeats", type=int, default=3)
    parser.add_argument("--only", choices=["flood", *CAMERA_RUNS], default=None, help="measure only this figure")
    parser.add_argument("--quillctl", type=Path, default=None,
                        help="the native binary to measure (default: the package tree's, else the host tree's)")
    args = parser.parse_args()
    if not lab.in_lab():
        sys.exit("bench: QM_LAB is not set: run it inside the lab (tools/bench.sh quillctl)")
    os.environ["QM_QUILLCTL"] = str(args.quillctl or default_binary())
    args.out.mkdir(parents=True, exist_ok=True)
    figures = measure(args.repeats, args.only)
    (args.out / "quillctl.json").write_text(json.dumps(figures, indent=1))
    text = table(figures)
    (args.out / "quillctl.md").write_text(text + "\n")
    print(text)
    print(f"figures: {args.out / 'quillctl.json'}")


if __name__ == "__main__":
    main()
