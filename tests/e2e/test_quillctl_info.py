"""quillctl info and find --details against the simulator's cameras, which have a user and a password:
every appended field as the simulator's settings predict it, by UsernameToken and by HTTP Digest, with a
camera whose clock is an hour off; a wrong password gives `auth` refused and nothing more is sent to that
camera, none gives `needed`. The password reaches quillctl by the environment or a file only, and shows
in no output or log."""

import csv
import io
import json
import uuid

import pytest

import lab
import quillctl_runner as ctl
from camera_site import expect_details, expect_nowhere

USER = "installer"
# Unlike any other text of a test run, so finding it anywhere means it leaked.
PASSWORD = f"pw-{uuid.uuid4().hex}"
COUNT = 3


def cameras(session):
    """Camera 0 takes UsernameTokens, 1 HTTP Digest only (and has DHCP on), 2 runs an hour ahead."""
    secret = session.logs / "camera-password"
    secret.write_text(PASSWORD + "\n")
    secret.chmod(0o600)
    return session.sim("--devices", "0", "--onvif", str(COUNT), "--onvif-user", USER, "--onvif-password-file",
                       str(secret), "--onvif-auth", "1=digest", "--onvif-clock-offset", "2=3600")


def info(*args, password=PASSWORD, status=0, windows=False):
    """info --format json for all cameras: the rows by endpoint, and the whole output."""
    env = {"QUILLCTL_PASSWORD": password} if password else {}
    result = ctl.run("info", "--format", "json", "--find-timeout", "3", *args, env=env, windows=windows)
    ctl.expect_status(result, status)
    rows = json.loads(result.stdout)
    lab.expect(len(rows) == COUNT and all(list(row) == ctl.FIELDS for row in rows), f"rows {rows}")
    return {row["endpoint"]: row for row in rows}, result.stdout + result.stderr


# Both builds: the native one with libcurl and libcrypto, quillctl.exe with WinHTTP and BCrypt under Wine.
BUILDS = pytest.mark.parametrize("windows", [False, True], ids=["linux", "exe"])


@BUILDS
def test_info_and_find_details_tell_each_camera_by_token_and_digest_on_its_own_clock(session, windows):
    sim = cameras(session)
    rows, output = info("--user", USER, windows=windows)
    expect_details(rows, COUNT)
    # The Digest camera's first call goes without credentials, to be given a challenge.
    calls = [c for c in sim.records("onvif-call") if c["operation"] == "GetDeviceInformation"]
    lab.expect(sorted((c["device"], c["auth"]) for c in calls if c["result"] == "ok")
               == [(0, "token"), (1, "digest"), (2, "token")], f"calls {calls}")

    password_file = session.logs / "quillctl-password"
    password_file.write_text(PASSWORD + "\n")
    password_file.chmod(0o600)
    found = ctl.run("find", "--protocol", "onvif", "--details", "--format", "csv", "--count", str(COUNT),
                    "--timeout", "5", "--user", USER, "--password-file", password_file, windows=windows)
    ctl.expect_status(found, 0)
    table = list(csv.DictReader(io.StringIO(found.stdout)))
    csv_rows = {r["endpoint"]: {**r, "dhcp": r["dhcp"] == "true", "prefix_length": int(r["prefix_length"])}
                for r in table}
    expect_details(csv_rows, COUNT)

    # --output as for find: the whole list in the file, UTF-8 CSV with a byte order mark, nothing on stdout.
    listed = session.logs / f"info-{'exe' if windows else 'linux'}.csv"
    written = ctl.run("info", "--format", "csv", "--find-timeout", "3", "--user", USER, "--password-file",
                      password_file, "--output", listed, windows=windows)
    ctl.expect_status(written, 0)
    lab.expect(written.stdout == "", f"stdout {written.stdout!r}")
    text = listed.read_bytes()
    lab.expect(text.startswith(b"\xef\xbb\xbf"), f"{listed} starts {text[:8]!r}")
    lab.expect(len(list(csv.DictReader(io.StringIO(text[3:].decode())))) == COUNT, f"{listed}: {text!r}")
    password_file.unlink()
    expect_nowhere(session.logs, PASSWORD, [output, found.stdout, found.stderr, written.stderr])


@BUILDS
def test_a_wrong_password_is_refused_once_and_none_is_needed(session, windows):
    sim = cameras(session)
    wrong = "not-" + PASSWORD[::-1]
    rows, refused_output = info("--user", USER, password=wrong, status=3, windows=windows)
    lab.expect({row["auth"] for row in rows.values()} == {"refused"}, f"rows {rows}")
    lab.expect(all(row["manufacturer"] is None for row in rows.values()), f"rows {rows}")
    calls = sim.records("onvif-call")
    for k in range(COUNT):
        mine = [c["result"] for c in calls if c["device"] == k]
        lab.expect(mine[-1] == "refused" and mine.count("refused") == 1, f"camera {k} calls {mine}")

    rows, needed_output = info(password=None, windows=windows)
    lab.expect({row["auth"] for row in rows.values()} == {"needed"}, f"rows {rows}")
    lab.expect({row["ip"] for row in rows.values()}
               == {lab.camera_address(lab.ONVIF_BASE, k) for k in range(COUNT)}, f"rows {rows}")
    for password in (PASSWORD, wrong):
        expect_nowhere(session.logs, password, [refused_output, needed_output])
