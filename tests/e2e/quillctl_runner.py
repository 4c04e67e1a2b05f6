"""quillctl as a script runs it, from the lab's pc namespace: the native binary, or quillctl.exe under
Wine through tools/wine-run; its CSV and JSON read by the field names scripts rely on."""

import csv
import io
import json
import os
import subprocess
import time

import lab

FIELDS = ["number", "ip", "mac", "http_port", "interface", "in_subnet", "duplicate_ip", "source",
          "protocol", "endpoint", "name", "hardware", "xaddr", "duplicate_mac", "manufacturer", "model",
          "firmware", "serial", "dhcp", "prefix_length", "gateway", "auth"]
REPORT_FIELDS = ["mac", "old_ip", "new_ip", "status", "seconds", "detail", "in_subnet", "endpoint"]


def run(*args, windows=False, timeout=60, env=None):
    """Runs quillctl with these arguments to its end; returns the CompletedProcess (text output). `env`:
    variables added to the environment (e.g. QUILLCTL_PASSWORD)."""
    env = {**os.environ, **(env or {})}
    if windows:
        argv = [lab.WINE_RUN, lab.quillctl_exe()]
        # Wine's own notices would mix with the program's one-line errors on stderr.
        env["WINEDEBUG"] = "-all"
    else:
        argv = [lab.quillctl_binary()]
    if not os.path.exists(argv[-1]):
        raise lab.LabError(f"{argv[-1]} does not exist: build it first (tools/build.sh)")
    return subprocess.run([str(a) for a in argv] + [str(a) for a in args], capture_output=True, text=True,
                          timeout=timeout, env=env)


def windows_path(path):
    """A path as Windows names it, for quillctl.exe under Wine (whose drive Z: is the root of this
    machine's files): a positional argument starting with / would read as a Windows-style option."""
    return "Z:" + str(path).replace("/", "\\")


def expect_status(result, status):
    """Fails unless quillctl ended with `status`; the message shows what it printed."""
    lab.expect(result.returncode == status,
               f"exit {result.returncode}, expected {status}; stdout {result.stdout!r}; stderr {result.stderr!r}")


def find_json(*args, windows=False, status=0):
    """find --format json with these options: the list of device objects."""
    result = run("find", "--format", "json", *args, windows=windows)
    expect_status(result, status)
    devices = json.loads(result.stdout)
    for device in devices:
        lab.expect(list(device) == FIELDS, f"JSON keys {list(device)}")
    return devices


def find_csv(*args):
    """find --format csv with these options: the header and the rows as dicts of text."""
    result = run("find", "--format", "csv", *args)
    expect_status(result, 0)
    reader = csv.DictReader(io.StringIO(result.stdout))
    return reader.fieldnames, list(reader)


def by_mac(devices):
    return {device["mac"]: device for device in devices}


def nothing_changed_since(sim, *find_args):
    """Fails if `sim` was sent a change command. A search sent now by another quillctl and heard by the
    device is the barrier: the simulator logs in arrival order, so a command that an earlier run sent
    is in the log by the time this search is."""
    searches = len(sim.records("search"))
    run("find", "--format", "json", "--timeout", "1", *find_args)
    lab.poll(lambda: len(sim.records("search")) > searches, 10, "the simulator to hear the barrier search")
    changes = sim.records("change")
    lab.expect(not changes, f"a change command was sent: {changes[:3]}")


FLOOD_RATE = 20000


def find_under_flood(group, timeout_s, rate=FLOOD_RATE):
    """find --protocol all --timeout timeout_s while a hostile host on segment 1 floods the source of its
    first WS-Discovery probe at `rate` datagrams a second (quillsim --flood-onvif). Returns the
    CompletedProcess, the seconds from start to exit, and the flood's rate while find ran."""
    # From the probe on, for a little longer than find runs; it ends by itself, so its summary is logged.
    flood = group.sim("--flood", str(timeout_s + 2), "--flood-onvif", "--flood-rate", str(rate), "--seed",
                      "20261210", name="onvif-flood")
    started = time.monotonic()
    result = run("find", "--protocol", "all", "--format", "json", "--timeout", timeout_s,
                 timeout=timeout_s + 60)
    elapsed = time.monotonic() - started
    lab.expect(flood.wait_exit(timeout_s + 30) == 0, f"the flood sender failed: {flood.log_tail()}")
    summary = flood.records("flood")[-1]
    return result, elapsed, summary["sent"] / summary["seconds"]
