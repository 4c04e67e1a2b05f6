"""The lab as the tests rely on it: a display only the lab's own processes may use, and a second LAN
segment that tools searching on every link can reach while the program, which searches by the
default route, sees segment 1 only; and Windows programs that start with the address layout Wine
needs."""

import os
from pathlib import Path
import socket
import subprocess

import pytest

import lab
import process_stats

SEARCH = b"PV_SearchNetDevice\x00"
GROUP = "235.5.6.7"


def display_geometry(**env):
    return subprocess.run(["xdotool", "getdisplaygeometry"], env={**os.environ, **env}, capture_output=True,
                          text=True, timeout=20)


def test_the_virtual_display_admits_only_holders_of_the_lab_cookie(lab_info):
    cookie = os.environ.get("XAUTHORITY", "")
    if not cookie.startswith(os.environ["QM_LAB_STATE"]):
        pytest.skip("the lab runs on a display of the caller's")
    lab.expect(display_geometry().returncode == 0, "the lab's cookie opens the display")
    refused = display_geometry(XAUTHORITY="/dev/null")
    lab.expect(refused.returncode != 0, f"the display let in a client without the cookie: {refused.stdout!r}")


def test_a_device_on_segment_two_answers_a_search_sent_on_that_link(session, lab_info):
    far = lab_info.segments[2]
    sim = session.sim("--devices", "1", "--ip-base", "203.0.113.40", "--mac-base", "00:1a:2b:3c:4d:b0",
                      "--reply", "unicast", segment=2)
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sock:
        sock.bind((far.pc_ip, 5555))
        sock.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_IF, socket.inet_aton(far.pc_ip))
        sock.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_TTL, 10)
        sock.settimeout(5)
        sock.sendto(SEARCH, (GROUP, 5556))
        reply, source = sock.recvfrom(2048)
    lab.expect(source[0] == far.lan_ip, f"answer from {source}")
    lab.expect(reply.startswith(b"203.0.113.40:HTTP80,MAC"), f"answer {reply!r}")
    searches = sim.records("search")
    lab.expect(len(searches) == 1 and searches[0]["src"] == far.pc_ip, f"the device heard {searches}")


def test_the_program_lists_the_default_segment_only(session, lab_info):
    far = session.sim("--devices", "2", "--ip-base", "203.0.113.30", "--mac-base", "00:1a:2b:3c:4d:c0",
                      "--reply", "multicast", name="segment-2", segment=2)
    near = session.sim("--devices", "2", "--ip-base", "198.51.100.30", "--mac-base", "00:1a:2b:3c:4d:d0",
                       "--reply", "unicast", name="segment-1")
    session.program()
    probe = session.probe()
    probe.cmd(f"wait {lab.MAIN_CAPTION} 30000")
    lab.poll(lambda: probe.cmd("count") == "2", 20, "the two devices of segment 1")
    lab.poll(lambda: len(near.records("search")) >= 4, 10, "three more searches")
    ips = sorted(row[1] for row in probe.rows())
    lab.expect(ips == ["198.51.100.30", "198.51.100.31"], f"listed {ips}")
    lab.expect(not far.records(), f"segment 2 heard the program: {far.records()[:3]}")


# Linux's personality flag that turns address randomization off for a process and its children.
ADDR_NO_RANDOMIZE = 0x0040000
# Debian's Wine loader is linked at 0x7d000000; its heap must start right after it, not anywhere in
# the gigabyte above, where Windows' shared user data (0x7ffe0000) lies.
HEAP_START_LIMIT = 0x7E000000


def heap_ranges(pid):
    ranges = []
    for line in Path(f"/proc/{pid}/maps").read_text().splitlines():
        if line.endswith("[heap]"):
            start, end = (int(part, 16) for part in line.split()[0].split("-"))
            ranges.append((start, end))
    return ranges


def test_windows_programs_start_with_their_heap_below_windows_fixed_areas(session):
    # Debian's Wine loader sits at a fixed address without a preloader; with the heap placed at
    # random above it, a start now and then failed before the program ran.
    session.program()
    probe = session.probe()
    probe.cmd(f"wait {lab.MAIN_CAPTION} 30000")
    for exe in ("quillmast.exe", "uiprobe.exe"):
        pid = process_stats.wait_for_pid(exe)
        personality = int(Path(f"/proc/{pid}/personality").read_text(), 16)
        lab.expect(personality & ADDR_NO_RANDOMIZE, f"{exe} runs with address randomization ({personality:#x})")
        for start, end in heap_ranges(pid):
            lab.expect(start < HEAP_START_LIMIT, f"{exe}'s heap {start:#x}-{end:#x} lies at random")
