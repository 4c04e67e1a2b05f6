"""WEB with the real program, copied to a "downloads" folder: the system's "arp -d" started hidden with its
output on a pipe, then exactly "http://<ip>:<port>/" handed to the desktop's handler for http URLs.

Both launches are caught by a launch recorder (tests/web/launch_recorder.cpp). For "arp" it is installed
as the system folder's arp.exe of the lab's own Wine prefix, for this test only (the prefix's file is put
back afterwards), with "arp.exe=n" in WINEDLLOVERRIDES so that Wine runs that file instead of its
builtin arp. Further copies of the recorder, named arp.exe, lie beside the program and in its current
folder, as files a user downloaded would: they must never run. The recorder also lists the sockets and
pipe ends it inherited: only the write end of its output pipe may be among them.
"""

import os
import shutil
import subprocess
import tempfile
from pathlib import Path

import lab

MAC_BASE = "00:1a:2b:3c:4d:90"
WINE = str(lab.ROOT / "tools" / "wine-start")
SYSTEM_ARP = r"C:\windows\system32\arp.exe"


def windows_path(path):
    """The path as the lab's Wine prefix names it: C: for its own drive_c, Z: for the rest."""
    path = Path(path)
    drive_c = Path(os.environ["WINEPREFIX"]) / "drive_c"
    if path.is_relative_to(drive_c):
        return "C:\\" + str(path.relative_to(drive_c)).replace("/", "\\")
    return "Z:" + str(path).replace("/", "\\")


def read_records(path):
    """The recorder's lines as lists of fields (see launch_recorder.cpp)."""
    path = Path(path)
    if not path.exists():
        return []
    return [line.split("\t") for line in path.read_text(errors="replace").splitlines() if line]


def recorder_as_system_arp(recorder, monkeypatch):
    """Puts the recorder in place of the lab prefix's own arp.exe; returns what puts it back."""
    prefix = Path(os.environ["WINEPREFIX"])
    lab.expect(str(prefix).startswith(os.environ["QM_LAB_STATE"]), f"{prefix} is not this lab's prefix")
    system_arp = prefix / "drive_c" / "windows" / "system32" / "arp.exe"
    original = system_arp.read_bytes()
    shutil.copy(recorder, system_arp)
    overrides = os.environ.get("WINEDLLOVERRIDES", "")
    monkeypatch.setenv("WINEDLLOVERRIDES", overrides + (";" if overrides else "") + "arp.exe=n")
    return lambda: system_arp.write_bytes(original)


def short_scratch_folder():
    """A new folder with a short Windows path, inside the lab's own prefix: Wine 8's ShellExecute reads the
    http handler's command line, which names the recorder and its log, into 256 characters, and a
    program's own path is limited to 260. A checkout in a deep folder must not reach either."""
    drive_c = Path(os.environ["WINEPREFIX"]) / "drive_c"
    return Path(tempfile.mkdtemp(prefix="w", dir=drive_c))


def test_web_runs_the_systems_arp_and_opens_the_device_page(session, monkeypatch):
    recorder = Path(lab.program_exe()).parent / "web_tests" / "qm_launch_recorder.exe"
    lab.expect(recorder.exists(), f"{recorder} missing: build the Windows tree")
    restore = recorder_as_system_arp(recorder, monkeypatch)
    tmp = short_scratch_folder()
    try:
        check_web(session, monkeypatch, recorder, tmp)
    finally:
        restore()
        # The test's log folder keeps what the recorders wrote.
        shutil.copytree(tmp, session.logs / "web", ignore=shutil.ignore_patterns("*.exe"))
        shutil.rmtree(tmp, ignore_errors=True)


def check_web(session, monkeypatch, recorder, tmp):
    downloads, current = tmp / "downloads", tmp / "current"
    downloads.mkdir(parents=True)
    current.mkdir()
    exe = downloads / "quillmast.exe"
    shutil.copy(lab.program_exe(), exe)
    shutil.copy(recorder, downloads / "arp.exe")
    shutil.copy(recorder, current / "arp.exe")
    shutil.copy(recorder, tmp / "url.exe")
    arp_log, url_log = tmp / "arp.log", tmp / "url.log"
    handler = f'"{windows_path(tmp / "url.exe")}" --log {windows_path(url_log)} "%1"'
    subprocess.run([WINE, "reg", "add", r"HKCR\http\shell\open\command", "/ve", "/d", handler, "/f"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    monkeypatch.setenv("QM_RECORD_LOG", windows_path(arp_log))

    session.sim("--devices", "2", "--mac-base", MAC_BASE, "--ip-base", "198.51.100.30", "--reply", "unicast")
    with monkeypatch.context() as folder:
        folder.chdir(current)
        session.program(exe=exe)
    probe = session.probe()
    lab.mark_row(probe, rows=2, button_id=5)
    probe.cmd("click 5")
    lab.poll(lambda: read_records(url_log), 20, "the URL handler to be started")
    lab.poll(lambda: read_records(arp_log), 10, "arp to be started")
    # One click starts one arp: a planted one would have been started instead of the system's.

    url_command = read_records(url_log)[0][0]
    lab.expect(url_command.endswith('"http://198.51.100.30:80/"') or url_command.endswith(" http://198.51.100.30:80/"),
               f"handler command line {url_command!r}")
    arps = read_records(arp_log)
    lab.expect(len(arps) == 1, f"arp started {len(arps)} times: {arps}")
    arp = arps[0]
    command, flags, show, stdout_kind, stderr_kind, inherited, program = arp
    lab.expect(program.lower() == SYSTEM_ARP.lower(), f"{program} ran, not the system's arp")
    lab.expect(command == "arp -d", f"arp command line {command!r}")
    lab.expect(flags == "101" and show == "0", f"arp started with flags {flags}, show {show}")
    lab.expect(stdout_kind == "pipe" and stderr_kind == "pipe", f"arp output on {stdout_kind}/{stderr_kind}")
    # No socket of the program (bound to 5555 and 5556) and no read end of the pipe.
    lab.expect(inherited == "pipe-write", f"arp inherited {inherited}")
    print(f"OK handler got {url_command!r}; {program} started as {arp[:6]}")
