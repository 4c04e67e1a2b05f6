"""The window at 96, 144 and 192 DPI (100, 150 and 200 %), set as Wine's LogPixels of the lab's prefix for
this test only. The running program, read by the probe: per-monitor DPI aware, its columns and row
height the design's times DPI / 96 (within a pixel), every caption and column title within its control.
The main window tests then run at the same DPI in all five languages (main_window_dpi_test.cpp: the font
height read back, and a DPI change), and the busy indicator's gap and outline test. Screenshots at 144 and 192 DPI go to build/e2e/screenshots/."""

import os
import re
import subprocess

import pytest

import lab

DESIGN_COLUMNS = (80, 180, 190)
BUTTONS = (1, 3, 4, 5)  # Exit, Config, Refresh, WEB
BUTTON_MARGIN, HEADER_MARGIN = 3, 6  # what a button and a header item keep free beside the text at 96 DPI
DESKTOP = r"HKCU\Control Panel\Desktop"
WINESERVER = os.environ.get("WINESERVER", "/usr/lib/wine/wineserver64")  # the lab's, for its WINEPREFIX
SCREENSHOTS = lab.ROOT / "build" / "e2e" / "screenshots"


def reg(*args):
    return subprocess.run([str(lab.WINE_RUN), "reg", *args], capture_output=True, text=True, timeout=60)


def set_dpi(dpi):
    """LogPixels, then a fresh wineserver and desktop: Wine gives a per-monitor aware window the DPI of its
    desktop, which keeps the DPI of the moment it was made (a new process alone takes the new value)."""
    made = reg("add", DESKTOP, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f")
    lab.expect(made.returncode == 0, made.stderr)
    quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
    subprocess.run([WINESERVER, "-k"], **quiet)
    subprocess.run([WINESERVER, "-w"], **quiet)
    # As the lab starts them: its services must not hold a test's output open.
    subprocess.run([WINESERVER, "-p"], **quiet)
    subprocess.run([str(lab.WINE_RUN), "wineboot"], **quiet)


def scaled(pixels, dpi):
    return pixels * dpi / 96


def near(value, expected):
    return abs(value - expected) <= 1


def rect(probe, command):
    left, top, right, bottom = (int(v) for v in probe.cmd(command).split())
    return left, top, right, bottom


def check_running_window(session, dpi):
    session.program(name=f"quillmast-{dpi}")
    probe = session.probe(name=f"probe-{dpi}")
    probe.cmd(f"wait {lab.MAIN_CAPTION} 30000")
    lab.poll(lambda: probe.cmd("count") == "3", 20, "three rows")
    lab.expect(probe.cmd("dpi") == f"{dpi} 2", f"per-monitor aware at {dpi}: {probe.cmd('dpi')}")
    _, columns = probe.send("columns")
    widths = [int(line.split("\t")[1]) for line in columns]
    lab.expect(all(near(w, scaled(d, dpi)) for w, d in zip(widths, DESIGN_COLUMNS)), f"columns {widths} at {dpi}")
    for line in columns:
        title, width = line.split("\t")
        lab.expect(int(probe.cmd(f"textwidth {title}")) + 2 * scaled(HEADER_MARGIN, dpi) <= int(width),
                   f"column title '{title}' fits {width} at {dpi}")
    for button in BUTTONS:
        left, _, right, _ = rect(probe, f"rect {button}")
        text = probe.cmd(f"text {button}")
        lab.expect(int(probe.cmd(f"textwidth {text}")) + 2 * scaled(BUTTON_MARGIN, dpi) <= right - left,
                   f"caption '{text}' fits {right - left} at {dpi}")
    row = int(probe.cmd("rowheight"))
    if dpi != 96:
        SCREENSHOTS.mkdir(parents=True, exist_ok=True)
        left, top, right, bottom = rect(probe, "dialogrect")
        subprocess.run(["import", "-window", "root", "-crop", f"{right - left}x{bottom - top}+{left}+{top}",
                        str(SCREENSHOTS / f"main-window-{dpi}dpi.png")], check=True, timeout=60)
    probe.cmd("escape")
    probe.cmd(f"gone {lab.MAIN_CAPTION} 15000")
    return widths, row


def run_window_tests(session, dpi, exe, test_filter, count):
    """Windows tests that read the DPI from the system, run as they run under ctest, at this DPI."""
    tests = session.program(f"--gtest_filter={test_filter}", name=f"{exe}-{dpi}", exe=lab.BUILD_WIN / "bin" / exe)
    status = tests.wait_exit(170)
    log = tests.log_path.read_text(errors="replace")
    # Under Wine a crashed test program can still exit with 0: GoogleTest must say it passed.
    lab.expect(status == 0 and f"[  PASSED  ] {count} test" in log,
               f"{exe} {test_filter} at {dpi} DPI: status {status}\n{tests.log_tail(40)}")
    for line in log.splitlines():
        if line.startswith("figures:"):
            print(line)


@pytest.mark.timeout(600)
def test_window_is_sharp_and_whole_at_150_and_200_percent(session):
    before = reg("query", DESKTOP, "/v", "LogPixels")
    old = re.search(r"REG_DWORD\s+0x([0-9a-fA-F]+)", before.stdout)
    session.sim("--devices", "3", "--ip-base", "198.51.100.30")
    rows = {}
    try:
        for dpi in (96, 144, 192):
            set_dpi(dpi)
            widths, rows[dpi] = check_running_window(session, dpi)
            print(f"dpi {dpi}: columns {widths}, row height {rows[dpi]}")
            run_window_tests(session, dpi, "main_window_tests.exe", "Languages/MainWindowDpi.*", 5)
            run_window_tests(session, dpi, "busy_ctrl_tests.exe", "BusyGeometry.GapAndOutlineFollowTheDpi", 1)
    finally:
        set_dpi(int(old.group(1), 16) if old else 96)
        if not old:
            reg("delete", DESKTOP, "/v", "LogPixels", "/f")
    for dpi in (144, 192):
        lab.expect(near(rows[dpi], scaled(rows[96], dpi)), f"row height {rows[dpi]} at {dpi}, {rows[96]} at 96")
