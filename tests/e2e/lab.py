"""Helpers for the end-to-end tests, which run inside the network lab (tools/lab.sh run -- ...).

The test process itself sits in the lab's pc namespace with the program. The simulated devices run
in the lan namespace; the program and the probe run under Wine through tools/wine-run. Waiting is
always polling against a deadline, never a fixed sleep.
"""

import json
import os
import queue
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

MAIN_CAPTION = "Quillmast (V2.003)"
DEVICE_LIST = 1000


class LabError(AssertionError):
    """A test expectation or a lab step that failed."""


def require_lab():
    """Ends the test with a clear failure when it is not run inside the lab."""
    if not os.environ.get("QM_LAB"):
        sys.stderr.write(
            "FAIL: QM_LAB is not set. This test sends and receives datagrams and must run inside the lab:\n"
            "  sudo tools/lab.sh run -- python3 " + sys.argv[0] + "\n"
        )
        sys.exit(1)


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


def log_dir():
    """Per-test directory for logs of the processes a test starts; kept when the test fails."""
    base = Path(os.environ.get("QM_E2E_LOGS") or tempfile.gettempdir())
    path = Path(tempfile.mkdtemp(prefix="qm-e2e-", dir=base))
    return path


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
    """quillsim in the lab's lan namespace, logging every datagram as a JSON line."""

    def __init__(self, logs, args=(), name="quillsim", ready_timeout=15):
        binary = sim_binary()
        if not binary.exists():
            raise LabError(f"{binary} does not exist: build the host tree first")
        self.json_log = Path(logs) / f"{name}.jsonl"
        argv = ["ip", "netns", "exec", os.environ["QM_LAN_NS"], binary, *args, "--log", self.json_log]
        super().__init__(name, argv, Path(logs) / f"{name}.log", stderr=subprocess.PIPE)
        self._reader = LineReader(self.popen.stderr, echo=_TextSink(self._log))
        try:
            self._reader.wait_for(lambda line: "quillsim: ready" in line, ready_timeout, "quillsim: ready")
        except LabError:
            self.stop()
            raise LabError(f"quillsim did not get ready: {self.log_tail()}") from None

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


class _TextSink:
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


def to_monotonic(sim_t):
    """Converts a time stamp of the simulator's log to this process's time.monotonic() scale.

    The log's "t" may be wall-clock or monotonic time, in seconds or milliseconds; the stamps of a
    test are recent, so the reading that lies shortly before "now" is the right one.
    """
    now_wall, now_mono = time.time(), time.monotonic()
    candidates = [
        (now_wall - sim_t, now_mono - (now_wall - sim_t)),
        (now_wall - sim_t / 1000.0, now_mono - (now_wall - sim_t / 1000.0)),
        (now_mono - sim_t, sim_t),
        (now_mono - sim_t / 1000.0, sim_t / 1000.0),
    ]
    for age, mono in candidates:
        if -1.0 <= age <= 3600.0:
            return mono
    raise LabError(f"cannot place the simulator's time stamp {sim_t} on a known clock")


class Session:
    """Everything one test starts, stopped in reverse order at the end (also when the test fails)."""

    def __init__(self, name):
        require_lab()
        self.name = name
        self.logs = log_dir()
        self._started = []
        self.failed = True

    def __enter__(self):
        return self

    def __exit__(self, kind, value, tb):
        for process in reversed(self._started):
            if isinstance(process, Probe):
                process.close()
            else:
                process.stop()
        if kind is None:
            self.failed = False
        else:
            print(f"[{self.name}] logs of this run: {self.logs}")
            for process in self._started:
                tail = process.log_tail()
                if tail:
                    print(f"--- {process.name} ({process.log_path}) ---\n{tail}")
        return False

    def add(self, process):
        self._started.append(process)
        return process

    def sim(self, *args, name="quillsim"):
        return self.add(Sim(self.logs, args, name=name))

    def program(self, *args, name="quillmast", exe=None):
        return self.add(Program(self.logs, exe=exe, args=args, name=name))

    def probe(self, caption=None, name="probe"):
        return self.add(Probe(self.logs, caption=caption, name=name))


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


def mac_text(base, index):
    """The simulator's MAC of device `index` for a base like "00:1a:2b:3c:4d:00", as the list shows it."""
    value = int(base.replace(":", "").replace("-", ""), 16) + index
    raw = value.to_bytes(6, "big")
    return "-".join(f"{b:02x}" for b in raw)


def run_tests(tests):
    """Runs test functions in order, prints PASS/FAIL per test, exits non-zero if any failed."""
    require_lab()
    failures = 0
    for test in tests:
        start = time.monotonic()
        try:
            test()
        except Exception as error:  # noqa: BLE001 - report every kind of failure the same way
            failures += 1
            print(f"FAIL {test.__name__} ({time.monotonic() - start:.1f} s): {error}")
        else:
            print(f"PASS {test.__name__} ({time.monotonic() - start:.1f} s)")
        sys.stdout.flush()
    sys.exit(1 if failures else 0)
