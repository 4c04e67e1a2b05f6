"""The inside of the demo (tools/demo.sh runs it in the lab): simulated cameras in the lan
namespace, the program under Wine in the pc namespace, then either the user's own session on a
real display or a screenshot of the filled list on the virtual one."""

import argparse
import os
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
import lab  # noqa: E402

FIRST_IP = "198.51.100.30"


def wine_reg_add(key, value, data):
    subprocess.run([str(lab.WINE_RUN), "reg", "add", key, "/v", value, "/d", data, "/f"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def interactive(session, devices):
    # On a desktop the window manager should frame the window (the lab's default is for Xvfb).
    wine_reg_add(r"HKCU\Software\Wine\X11 Driver", "Managed", "Y")
    session.sim("--devices", str(devices), "--ip-base", FIRST_IP, "--reply", "unicast")
    program = session.program()
    print(f"demo: Quillmast is open on {os.environ.get('DISPLAY')} with {devices} simulated cameras; "
          "press Exit in its window to end the demo.", flush=True)
    program.wait_exit(timeout=24 * 3600)


def screenshot(session, devices, out):
    session.sim("--devices", str(devices), "--ip-base", FIRST_IP, "--reply", "unicast")
    session.program()
    probe = session.probe()
    probe.cmd(f"wait {lab.MAIN_CAPTION} 30000")
    lab.poll(lambda: probe.cmd("count") == str(devices), 30, f"{devices} devices in the list")
    for row in probe.rows():
        print("demo: row " + "  ".join(row))
    out.parent.mkdir(parents=True, exist_ok=True)
    subprocess.run(["import", "-window", "root", str(out)], check=True)
    probe.cmd("escape")
    probe.cmd(f"gone {lab.MAIN_CAPTION} 15000")
    owner = os.environ.get("SUDO_UID"), os.environ.get("SUDO_GID")
    if all(owner):
        os.chown(out, int(owner[0]), int(owner[1]))
    print(f"demo: screenshot saved to {out}", flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--interactive", action="store_true")
    parser.add_argument("--devices", type=int, default=6)
    parser.add_argument("--out", type=Path, default=lab.ROOT / "build" / "demo.png")
    args = parser.parse_args()
    # The demo's own processes log to a scratch folder, named if the demo fails.
    with lab.ProcessGroup(tempfile.mkdtemp(prefix="qm-demo-")) as session:
        if args.interactive:
            interactive(session, args.devices)
        else:
            screenshot(session, args.devices, args.out.resolve())


if __name__ == "__main__":
    main()
