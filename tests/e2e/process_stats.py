"""What Linux knows about the Windows processes of this lab: which of them run a given .exe, and their
memory and CPU time. Wine runs every Windows process as a Linux process whose command line is the
program's path, so /proc answers without any help from the program.

Only processes of this lab's Wine prefix are looked at, so labs that run side by side do not mix.
"""

import os
from pathlib import Path

import lab

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def _prefix_of(pid):
    try:
        environ = Path(f"/proc/{pid}/environ").read_bytes().split(b"\0")
    except OSError:
        return None
    for entry in environ:
        if entry.startswith(b"WINEPREFIX="):
            return entry[len(b"WINEPREFIX="):].decode(errors="replace")
    return None


def _command_line(pid):
    try:
        return Path(f"/proc/{pid}/cmdline").read_bytes().split(b"\0")[0].decode(errors="replace")
    except OSError:
        return ""


def exe_pids(exe_name, prefix=None):
    """Linux process ids of the running processes of `exe_name` (like "quillmast.exe") in this lab."""
    prefix = prefix or os.environ.get("WINEPREFIX")
    wanted = exe_name.lower()
    pids = []
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        command = _command_line(entry.name).replace("\\", "/").lower()
        if command.rsplit("/", 1)[-1] != wanted:
            continue
        if prefix and _prefix_of(entry.name) != prefix:
            continue
        if _is_zombie(entry.name):
            continue
        pids.append(int(entry.name))
    return sorted(pids)


def wait_for_pid(exe_name, timeout=10):
    """The Linux process id of the one running `exe_name` in this lab, once Wine has started it."""
    return lab.poll(lambda: exe_pids(exe_name), timeout, f"the Linux process of {exe_name}")[0]


def _is_zombie(pid):
    try:
        stat = Path(f"/proc/{pid}/stat").read_text()
    except OSError:
        return True
    return stat.rsplit(")", 1)[1].split()[0] in ("Z", "X")


def memory_kib(pid):
    """(resident, peak resident) in KiB, or None when the process is gone."""
    try:
        status = Path(f"/proc/{pid}/status").read_text()
    except OSError:
        return None
    fields = {}
    for line in status.splitlines():
        name, _, value = line.partition(":")
        if name in ("VmRSS", "VmHWM"):
            fields[name] = int(value.split()[0])
    return fields.get("VmRSS", 0), fields.get("VmHWM", 0)


def cpu_seconds(pid):
    """User plus system CPU time of the process and all its threads, or None when it is gone."""
    try:
        stat = Path(f"/proc/{pid}/stat").read_text()
    except OSError:
        return None
    fields = stat.rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS
