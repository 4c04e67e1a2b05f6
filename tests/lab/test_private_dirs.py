"""The lab runs as root and loads a Wine prefix template from its cache: it must refuse a cache or
state folder that another local user could have prepared. Needs root (chown); opens no socket, so it
runs outside the lab (tools/test.sh runs it)."""

import os
import pwd
import subprocess
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
LAB = ROOT / "tools" / "lab.sh"
NOBODY = pwd.getpwnam("nobody")

pytestmark = pytest.mark.skipif(os.geteuid() != 0, reason="needs root")


def require_private_dir(path):
    """Runs the lab's own check on `path`; returns (exit status, standard error)."""
    script = (f'source "{ROOT}/tools/lab/common.sh"; source "{ROOT}/tools/lab/private_dirs.sh"; '
              'require_private_dir "$1"')
    done = subprocess.run(["bash", "-c", script, "check", str(path)], capture_output=True, text=True)
    return done.returncode, done.stderr


def mode(path):
    return path.stat().st_mode & 0o7777


@pytest.fixture
def parent(tmp_path):
    """A folder as /var/cache is: root's, writable by root only."""
    tmp_path.chmod(0o755)
    return tmp_path


def test_a_missing_folder_is_made_root_only(parent):
    assert require_private_dir(parent / "cache") == (0, "")
    assert mode(parent / "cache") == 0o700


def test_a_root_folder_others_may_read_is_closed(parent):
    (parent / "cache").mkdir(mode=0o755)
    assert require_private_dir(parent / "cache")[0] == 0
    assert mode(parent / "cache") == 0o700


@pytest.mark.parametrize("kind", ["symlink", "other user's", "writable by all", "a file"])
def test_a_folder_someone_else_could_have_prepared_is_refused(parent, kind):
    cache = parent / "cache"
    if kind == "symlink":
        target = parent / "elsewhere"
        target.mkdir(mode=0o700)
        cache.symlink_to(target)
    elif kind == "other user's":
        cache.mkdir(mode=0o700)
        os.chown(cache, NOBODY.pw_uid, NOBODY.pw_gid)
    elif kind == "writable by all":
        cache.mkdir()
        cache.chmod(0o777)
    else:
        cache.write_text("")
    status, error = require_private_dir(cache)
    assert status != 0 and error.startswith("lab: error: ") and "refusing" in error, error


def test_a_folder_in_a_parent_others_may_write_is_refused(tmp_path):
    tmp_path.chmod(0o1777)
    status, error = require_private_dir(tmp_path / "cache")
    assert status != 0 and "writable by other users" in error, error
    assert not (tmp_path / "cache").exists()


@pytest.mark.parametrize("kind", ["symlink", "other user's"])
def test_the_lab_refuses_such_a_template_folder_before_it_writes_anything(parent, kind):
    """The whole command, as a user would start it: nothing lands where the link points, no lab is made."""
    target = parent / "planted"
    target.mkdir(mode=0o700)
    cache = parent / "cache"
    if kind == "symlink":
        cache.symlink_to(target)
    else:
        cache.mkdir(mode=0o700)
        os.chown(cache, NOBODY.pw_uid, NOBODY.pw_gid)
    done = subprocess.run(["bash", str(LAB), "run", "--", "touch", str(parent / "ran")],
                          env={**os.environ, "QM_LAB_CACHE": str(cache)}, capture_output=True, text=True,
                          timeout=60)
    assert done.returncode == 1 and "refusing it" in done.stderr, done.stderr
    assert not (parent / "ran").exists()
    assert list(target.iterdir()) == [] and list(cache.iterdir()) == []
