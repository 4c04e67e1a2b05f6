"""WEB with the real program: "arp -d" started hidden with its output on a pipe, then exactly
"http://<ip>:<port>/" handed to the desktop's handler for http URLs.

Both are caught by a launch recorder: copied beside a copy of the program as arp.exe (found before the
system's own), and registered in the lab's fresh Wine prefix as the http handler.
"""

import shutil
import subprocess
from pathlib import Path

import lab

MAC_BASE = "00:1a:2b:3c:4d:90"
WINE = "/usr/lib/wine/wine64"


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def read_lines(path):
    return Path(path).read_text(errors="replace").splitlines() if Path(path).exists() else []


def test_web_opens_the_device_page(session, monkeypatch):
    recorder = Path(lab.program_exe()).parent / "web_tests" / "qm_launch_recorder.exe"
    lab.expect(recorder.exists(), f"{recorder} missing: build the Windows tree")
    # In the test's log folder, so a failure keeps what the recorders wrote.
    tmp = session.logs / "web"
    tmp.mkdir()
    exe = tmp / "quillmast.exe"
    shutil.copy(lab.program_exe(), exe)
    shutil.copy(recorder, tmp / "arp.exe")
    shutil.copy(recorder, tmp / "url.exe")
    arp_log, url_log = tmp / "arp.log", tmp / "url.log"
    handler = f'"{windows_path(tmp / "url.exe")}" --log {windows_path(url_log)} "%1"'
    subprocess.run([WINE, "reg", "add", r"HKCR\http\shell\open\command", "/ve", "/d", handler, "/f"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    monkeypatch.setenv("QM_RECORD_LOG", windows_path(arp_log))

    session.sim("--devices", "2", "--mac-base", MAC_BASE, "--ip-base", "198.51.100.30", "--reply", "unicast")
    session.program(exe=exe)
    probe = session.probe()
    lab.mark_row(probe, rows=2, button_id=5)
    probe.cmd("click 5")
    lab.poll(lambda: read_lines(url_log), 20, "the URL handler to be started")
    lab.poll(lambda: read_lines(arp_log), 10, "arp to be started")

    url_command = read_lines(url_log)[0].split("\t")[0]
    lab.expect(url_command.endswith('"http://198.51.100.30:80/"') or url_command.endswith(" http://198.51.100.30:80/"),
               f"handler command line {url_command!r}")
    arp = read_lines(arp_log)[0].split("\t")
    lab.expect(arp[0] == "arp -d", f"arp command line {arp[0]!r}")
    lab.expect(arp[1] == "101" and arp[2] == "0", f"arp started with flags {arp[1]}, show {arp[2]}")
    lab.expect(arp[3] == "pipe" and arp[4] == "pipe", f"arp output on {arp[3]}/{arp[4]}")
    print(f"OK handler got {url_command!r}; arp started as {arp}")
