"""The commands that need root run themselves again through sudo when a user starts them, and say
so in one line where there is no sudo. Run as root: the user is played by "nobody"."""

import os
import shutil
import subprocess
import tempfile
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]

pytestmark = pytest.mark.skipif(os.geteuid() != 0, reason="needs root (runs the commands as nobody)")


def as_nobody(argv, sudo):
    env = {"PATH": "/usr/bin:/bin", "HOME": "/", "QM_SUDO": str(sudo), "QM_BUILD_WIN": "/x/win", "OTHER": "1"}
    return subprocess.run(["runuser", "-u", "nobody", "--", "env", "-i", *(f"{k}={v}" for k, v in env.items()),
                           *argv], capture_output=True, text=True, timeout=30, cwd="/")


@pytest.fixture
def shared():
    """A folder that nobody may use (pytest's own are root's only)."""
    path = Path(tempfile.mkdtemp(prefix="qm-as-root-"))
    path.chmod(0o777)
    yield path
    shutil.rmtree(path)


@pytest.mark.parametrize("command", ["tools/test.sh", "tools/demo.sh", "tools/bench.sh", "tools/e2e.sh",
                                     "tools/lab.sh"])
def test_without_sudo_a_user_is_told_in_one_line(shared, command):
    args = ["run", "--", "true"] if command == "tools/lab.sh" else []
    done = as_nobody(["bash", str(ROOT / command), *args], shared / "no-sudo")
    assert done.returncode == 1
    assert done.stdout == ""
    assert done.stderr.count("\n") == 1 and "needs root" in done.stderr, done.stderr


def test_with_sudo_the_command_runs_itself_again_keeping_the_project_settings(shared):
    record = shared / "sudo-args"
    sudo = shared / "sudo"
    sudo.write_text(f'#!/bin/sh\nprintf "%s\\n" "$@" > {record}\n')
    sudo.chmod(0o755)
    done = as_nobody(["bash", str(ROOT / "tools" / "test.sh"), "--an-argument"], sudo)
    assert done.returncode == 0, done.stderr
    args = record.read_text().splitlines()
    assert args[:2] == ["--", "env"]
    assert "QM_BUILD_WIN=/x/win" in args and not any(a.startswith("OTHER=") for a in args)
    assert args[-2:] == [str(ROOT / "tools" / "test.sh"), "--an-argument"]
    assert args[-3].endswith("/bash")
