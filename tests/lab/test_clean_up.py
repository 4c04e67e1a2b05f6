"""A lab made for one command is removed however the command ends: also when Ctrl+C comes twice, the
second time while the lab is being taken down (an impatient user, or timeout(1), which signals the
command and then its whole process group). Needs root; makes a lab but sends no datagram."""

import os
import subprocess
import tempfile
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]

pytestmark = pytest.mark.skipif(os.geteuid() != 0, reason="needs root")

# Inside the lab: note the lab's name, survive the clean-up's TERM (so it waits its 3 s before KILL),
# and interrupt the lab's own script twice, the second time while it is cleaning up.
INTERRUPT_TWICE = r'''
echo "$QM_LAB" > "$1"
trap "" TERM
owner=${QM_LAB#qmlab-}
owner=${owner%%-*}
kill -INT "$owner"
sleep 1
kill -INT "$owner"
sleep 20
'''


def namespaces():
    return subprocess.run(["ip", "netns", "list"], capture_output=True, text=True, check=True).stdout


def test_a_second_interrupt_does_not_cut_the_clean_up_short():
    with tempfile.TemporaryDirectory() as tmp:
        name_file = Path(tmp) / "name"
        # A background job of a shell ignores SIGINT, and a shell cannot trap what it was started
        # ignoring: give the lab the default, as a terminal's foreground job has it.
        done = subprocess.run(["env", "--default-signal=INT", "bash", str(ROOT / "tools" / "lab.sh"), "run", "--",
                               "bash", "-c", INTERRUPT_TWICE, "interrupt", str(name_file)],
                              capture_output=True, text=True, timeout=120)
        name = name_file.read_text().strip()
    assert done.returncode == 130, done.stderr
    assert name.startswith("qmlab-")
    left = [ns for ns in namespaces().split() if ns.startswith(name + "-")]
    assert not left, f"left behind: {left}"
    assert not Path("/run/quillmast-lab", name).exists()
