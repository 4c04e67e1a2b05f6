"""Helpers for the end-to-end tests, which run inside the network lab (tools/e2e.sh, or
tools/lab.sh run -- ...), and for the demo and the benchmark, which use the same processes.

The test process itself sits in the lab's pc namespace with the program. The simulated devices run
in a lan namespace, one per LAN segment; the program and the probe run under Wine through
tools/wine-run. Waiting is always polling against a deadline, never a fixed sleep.
"""

import ipaddress
import json
import os
import queue
import subprocess
import threading
import time
from dataclasses import dataclass
from pathlib import Path

MAIN_CAPTION = "Quillmast (V2.003)"
DEVICE_LIST = 1000


class LabError(AssertionError):
    """A test expectation or a lab step that failed."""


def in_lab():
    """True inside a lab made by tools/lab.sh, the only place where datagrams may be sent."""
    return bool(os.environ.get("QM_LAB"))


def env_path(name, default):
    return Path(os.environ.get(name) or default)


ROOT = env_path("QM_ROOT", Path(__file__).resolve().parents[2])
BUILD_WIN = env_path("QM_BUILD_WIN", ROOT / "build" / "win")
BUILD_HOST = env_path("QM_BUILD_HOST", ROOT / "build" / "host")
WINE_RUN = env_path("QM_WINE_RUN", ROOT / "tools" / "wine-run")


def program_exe():
    return BUILD_WIN / "bin" / "quillmast.exe"


def probe_exe():
    return BUILD_WIN / "bin" / "uiprobe.exe"


def sim_binary():
    return BUILD_HOST / "bin" / "quillsim"


def quillctl_binary():
    """The native quillctl; QM_QUILLCTL names another build of it (the benchmark's, without sanitizers)."""
    return env_path("QM_QUILLCTL", BUILD_HOST / "bin" / "quillctl")


def quillctl_exe():
    return BUILD_WIN / "bin" / "quillctl.exe"


@dataclass(frozen=True)
class Segment:
    """One LAN segment of the lab: a link from the pc namespace to a lan namespace of its own.

    Segment 1 carries the pc namespace's default and multicast routes, so a program that chooses no
    interface searches there only; segment 2 is there for tools that search on every link.
    """

    number: int
    lan_ns: str  # where simulated devices of this segment run
    pc_ip: str  # the pc namespace's address on it (the program's, the tests')
    lan_ip: str  # the lan namespace's own address
    pc_if: str
    lan_if: str
    net: str  # like "198.51.100.0/24"


SEGMENT_NUMBERS = (1, 2)


def segment(number=1):
    """The lab's segment `number`, from the environment tools/lab.sh gives every command it runs
    (segment 1's names unnumbered, segment N's with N appended)."""
    if number not in SEGMENT_NUMBERS:
        raise LabError(f"the lab has no segment {number}")
    suffix = "" if number == 1 else str(number)
    try:
        return Segment(number, *(os.environ[f"QM_{key}{suffix}"]
                                 for key in ("LAN_NS", "PC_IP", "LAN_IP", "PC_IF", "LAN_IF", "NET")))
    except KeyError as missing:
        raise LabError(f"{missing} is not set: run inside a lab made by tools/lab.sh") from None


def forget_neighbours():
    """Empties the pc namespace's neighbour table. An earlier run's simulated cameras held real addresses,
    and the table still names them for a while: quillctl would rightly see those addresses as held."""
    subprocess.run(["ip", "-4", "neigh", "flush", "all"], check=True)


def poll(check, timeout, what, interval=0.05):
    """Calls check() until it returns something truthy, and returns that; fails after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = check()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise LabError(f"timeout after {timeout:.1f} s waiting for {what}")
        time.sleep(interval)


class Process:
    """A child process with its output in a log file; stop() kills it and waits until it is reaped.

    stdout and stderr go to the log unless the caller asks for a pipe.
    """

    def __init__(self, name, argv, log_path, stdin=subprocess.DEVNULL, stdout=None, stderr=None):
        self.name = name
        self.argv = [str(a) for a in argv]
        self.log_path = Path(log_path)
        self._log = open(self.log_path, "wb")
        self.started = time.monotonic()
        self.popen = subprocess.Popen(
            self.argv, stdin=stdin, stdout=stdout or self._log, stderr=stderr or self._log
        )

    def running(self):
        return self.popen.poll() is None

    def wait_exit(self, timeout):
        """Waits until the process has ended and been reaped; returns its exit code."""
        try:
            return self.popen.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise LabError(f"{self.name} still running after {timeout:.1f} s") from None

    def stop(self):
        if self.running():
            self.popen.kill()
        try:
            self.popen.wait(timeout=10)
        except subprocess.TimeoutExpired:
            pass
        self._log.close()

    def log_tail(self, lines=20):
        try:
            text = self.log_path.read_text(errors="replace")
        except OSError:
            return ""
        return "\n".join(text.splitlines()[-lines:])


class LineReader:
    """Reads a pipe line by line on a thread, so a caller can wait for a line with a time-out."""

    def __init__(self, pipe, echo=None):
        self.lines = queue.Queue()
        self._echo = echo
        self._thread = threading.Thread(target=self._run, args=(pipe,), daemon=True)
        self._thread.start()

    def _run(self, pipe):
        for raw in iter(pipe.readline, b""):
            line = raw.decode("utf-8", "replace").rstrip("\r\n")
            if self._echo:
                self._echo.write(line + "\n")
                self._echo.flush()
            self.lines.put(line)
        self.lines.put(None)

    def next(self, timeout, what):
        try:
            line = self.lines.get(timeout=timeout)
        except queue.Empty:
            raise LabError(f"no {what} within {timeout:.1f} s") from None
        if line is None:
            raise LabError(f"{what}: the pipe closed")
        return line

    def wait_for(self, predicate, timeout, what):
        """Returns the first line for which predicate(line) is true; earlier lines are dropped."""
        deadline = time.monotonic() + timeout
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                raise LabError(f"timeout after {timeout:.1f} s waiting for {what}")
            line = self.next(left, what)
            if predicate(line):
                return line


def unescape(value):
    """Undoes the probe's escaping of backslash, tab, CR and LF inside one answer value."""
    out = []
    i = 0
    while i < len(value):
        c = value[i]
        if c == "\\" and i + 1 < len(value):
            out.append({"\\": "\\", "t": "\t", "r": "\r", "n": "\n"}.get(value[i + 1], value[i + 1]))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


class ProbeError(LabError):
    """The probe answered "err ..."."""


class Probe(Process):
    """uiprobe.exe under Wine: one process per test, one command per line (tests/probe/main.cpp)."""

    LISTING = {"rows", "windows", "columns", "help"}

    def __init__(self, logs, caption=None, name="probe"):
        argv = [WINE_RUN, probe_exe()] + (["--caption", caption] if caption else [])
        super().__init__(name, argv, Path(logs) / f"{name}.log", stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self._reader = LineReader(self.popen.stdout)

    def send(self, line, timeout=30):
        """Runs one command; returns (value, extra_lines). Raises ProbeError on an "err" answer."""
        self.popen.stdin.write((line + "\n").encode("utf-8"))
        self.popen.stdin.flush()
        answer = self._reader.next(timeout, f"answer of the probe to '{line}'")
        if answer.startswith("err"):
            raise ProbeError(f"probe: '{line}' -> {answer}")
        if not answer.startswith("ok"):
            raise LabError(f"probe: '{line}' -> unexpected answer '{answer}'")
        value = answer[3:]
        extra = []
        if line.split(" ", 1)[0] in self.LISTING:
            for _ in range(int(value.split()[0])):
                extra.append(self._reader.next(timeout, f"listing of '{line}'"))
        return value, extra

    def cmd(self, line, timeout=30):
        return unescape(self.send(line, timeout)[0])

    def attempt(self, line, timeout=30):
        """Like cmd(), but returns (True, value) or (False, error text) instead of raising."""
        try:
            return True, self.cmd(line, timeout)
        except ProbeError as error:
            return False, str(error)

    def rows(self, where=""):
        _, lines = self.send("rows" + where)
        return [tuple(unescape(cell) for cell in line.split("\t")) for line in lines]

    def windows(self, caption):
        """Handles of the visible dialogs with that caption."""
        _, lines = self.send(f'windows "{caption}"')
        return [line.split("\t")[0] for line in lines]

    def close(self):
        try:
            if self.running():
                self.popen.stdin.write(b"quit\n")
                self.popen.stdin.flush()
                self.popen.wait(timeout=5)
        except (OSError, subprocess.TimeoutExpired):
            pass
        self.stop()


class Program(Process):
    """A Windows program under Wine (the program under test by default), started in this namespace."""

    def __init__(self, logs, exe=None, args=(), name="quillmast"):
        exe = Path(exe or program_exe())
        if not exe.exists():
            raise LabError(f"{exe} does not exist: build the Windows tree first")
        super().__init__(name, [WINE_RUN, exe, *args], Path(logs) / f"{name}.log")
        self.launched = self.started


class Sim(Process):
    """quillsim in a lan namespace of the lab (segment 1 unless told), logging every datagram as a
    JSON line. Its stamps ("t") are Unix time in seconds: see monotonic_of()."""

    def __init__(self, logs, args=(), name="quillsim", ready_timeout=15, segment_number=1):
        binary = sim_binary()
        if not binary.exists():
            raise LabError(f"{binary} does not exist: build the host tree first")
        self.segment = segment(segment_number)
        self.json_log = Path(logs) / f"{name}.jsonl"
        argv = ["ip", "netns", "exec", self.segment.lan_ns, binary, *args, "--log", self.json_log]
        super().__init__(name, argv, Path(logs) / f"{name}.log", stderr=subprocess.PIPE)
        self._reader = LineReader(self.popen.stderr, echo=TextSink(self._log))
        try:
            self._reader.wait_for(lambda line: "quillsim: ready" in line, ready_timeout, "quillsim: ready")
        except LabError:
            self.stop()
            raise LabError(f"quillsim did not get ready: {self.log_tail()}") from None

    def stop(self):
        """Asks quillsim to end (SIGTERM) so that it takes the cameras' addresses off the link again,
        and kills it only when it has not ended within a few seconds: killed, it would leave them to
        answer in the tests that follow."""
        if self.running():
            self.popen.terminate()
            try:
                self.popen.wait(timeout=5)
            except subprocess.TimeoutExpired:
                pass
        super().stop()

    def records(self, kind=None):
        """The log's records so far (a partly written last line is left for the next call)."""
        try:
            text = self.json_log.read_text(errors="replace")
        except FileNotFoundError:
            return []
        out = []
        for line in text.splitlines():
            line = line.strip()
            if not line:
                continue
            try:
                record = json.loads(line)
            except json.JSONDecodeError:
                continue
            if kind is None or record.get("kind") == kind:
                out.append(record)
        return out


class TextSink:
    """Lets a LineReader copy lines into a binary log file."""

    def __init__(self, binary_file):
        self._file = binary_file

    def write(self, text):
        try:
            self._file.write(text.encode("utf-8", "replace"))
        except ValueError:  # the log was closed when the process was stopped
            pass

    def flush(self):
        try:
            self._file.flush()
        except ValueError:
            pass


def monotonic_of(unix_t):
    """Places a time stamp of the simulator's log (Unix time in seconds) on this process's
    time.monotonic() scale, where the tests take their own times."""
    return unix_t - time.time() + time.monotonic()


class ProcessGroup:
    """The processes one test (or the demo, or one benchmark run) started, with their logs in one
    folder; stop_all() ends them in reverse order. The e2e tests get one from the `session` fixture
    (conftest.py), which also stops it and reports a failure's logs; other users stop it with `with`.
    """

    def __init__(self, logs):
        self.logs = Path(logs)
        self.logs.mkdir(parents=True, exist_ok=True)
        self.started = []

    def __enter__(self):
        return self

    def __exit__(self, kind, value, tb):
        self.stop_all()
        if kind is not None:
            print(f"logs of this run: {self.logs}\n{self.log_tails()}")
        return False

    def add(self, process):
        self.started.append(process)
        return process

    def sim(self, *args, name="quillsim", segment=1):
        """quillsim with these options on LAN segment `segment`; returns once it is ready."""
        return self.add(Sim(self.logs, args, name=name, segment_number=segment))

    def program(self, *args, name="quillmast", exe=None):
        return self.add(Program(self.logs, exe=exe, args=args, name=name))

    def probe(self, caption=None, name="probe"):
        return self.add(Probe(self.logs, caption=caption, name=name))

    def stop_all(self):
        for process in reversed(self.started):
            if isinstance(process, Probe):
                process.close()
            else:
                process.stop()

    def log_tails(self, lines=20):
        parts = []
        for process in self.started:
            tail = process.log_tail(lines)
            if tail:
                parts.append(f"--- {process.name} ({process.log_path}) ---\n{tail}")
        return "\n".join(parts)


def expect(condition, message):
    if not condition:
        raise LabError(message)


def mark_row(probe, rows, row=0, button_id=3):
    """Waits for the main window to list `rows` devices, clicks row `row` and waits until the click has
    enabled the button `button_id` (3 Config, 5 WEB)."""
    probe.cmd(f"wait {MAIN_CAPTION} 30000")
    poll(lambda: probe.cmd("count") == str(rows), 20, f"{rows} devices listed")
    probe.cmd(f"select {row}")
    poll(lambda: probe.cmd(f"enabled {button_id}") == "1", 10, f"button {button_id} enabled by the click")


ONVIF_BASE = "198.51.100.130"  # quillsim's default --onvif-ip-base


def camera_address(base, k):
    """The address of the simulator's ONVIF camera k, for its --onvif-ip-base `base` (carrying)."""
    return str(ipaddress.IPv4Address(base) + k)


def camera_endpoint(base, k):
    """The endpoint the simulator gives camera k: derived from its address, so two simulators differ."""
    return f"urn:uuid:5a1b0000-0000-4000-8000-{int(ipaddress.IPv4Address(camera_address(base, k))):08x}{k:04x}"


def mac_text(base, index):
    """The simulator's MAC of device `index` for a base like "00:1a:2b:3c:4d:00", as the list shows it."""
    value = int(base.replace(":", "").replace("-", ""), 16) + index
    raw = value.to_bytes(6, "big")
    return "-".join(f"{b:02x}" for b in raw)
