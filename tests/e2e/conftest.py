"""Fixtures of the end-to-end tests, which run only inside the network lab (tools/e2e.sh makes one
and runs pytest in it; see README.md).

`session` is the group of processes one test starts, stopped when the test ends however it ends;
`sim`, `program` and `probe` start one process each in it. The logs of a test live in a folder of
their own: removed when the test passes, kept and named in the report when it fails.
"""

import os
import re
import shutil
import tempfile
from pathlib import Path
from types import SimpleNamespace

import pytest

import lab


def logs_base():
    base = Path(os.environ.get("QM_E2E_LOGS") or lab.ROOT / "build" / "e2e" / "logs")
    base.mkdir(parents=True, exist_ok=True)
    return base


@pytest.hookimpl(hookwrapper=True, tryfirst=True)
def pytest_runtest_makereport(item, call):
    """Keeps each phase's report on the test, so its fixtures can tell whether it failed."""
    outcome = yield
    report = outcome.get_result()
    setattr(item, f"report_{report.when}", report)


def _failed(item):
    reports = [getattr(item, f"report_{when}", None) for when in ("setup", "call")]
    return any(report is None or report.failed for report in reports)


def pytest_terminal_summary(terminalreporter, config):
    kept = getattr(config, "qm_kept_logs", [])
    if kept:
        terminalreporter.section("logs of failed tests")
        for nodeid, folder in kept:
            terminalreporter.write_line(f"{nodeid}: {folder}")


@pytest.fixture(scope="session")
def lab_info():
    """The lab this run is in: its name and LAN segments (segment 1 is the program's)."""
    if not lab.in_lab():
        pytest.exit("QM_LAB is not set: the end-to-end tests send datagrams and run only inside the lab "
                    "(tools/e2e.sh [-k NAME])", returncode=2)
    return SimpleNamespace(name=os.environ["QM_LAB"],
                           segments={n: lab.segment(n) for n in lab.SEGMENT_NUMBERS})


@pytest.fixture
def session(request, lab_info):
    """The processes this test starts (lab.ProcessGroup): stopped in reverse order at its end."""
    name = re.sub(r"[^A-Za-z0-9_.-]+", "_", request.node.name)[:80]
    folder = Path(tempfile.mkdtemp(prefix=f"{name}-", dir=logs_base()))
    group = lab.ProcessGroup(folder)
    lab.forget_neighbours()
    yield group
    group.stop_all()
    if _failed(request.node):
        # Printed during teardown: pytest shows it under the failure as "Captured stdout teardown".
        print(f"logs of this test: {folder}\n{group.log_tails()}")
        request.config.qm_kept_logs = getattr(request.config, "qm_kept_logs", []) + [(request.node.nodeid, folder)]
    else:
        shutil.rmtree(folder, ignore_errors=True)


@pytest.fixture
def sim(session):
    """sim(*quillsim options, name=..., segment=1): a simulator, started and ready."""
    return session.sim


@pytest.fixture
def program(session):
    """program(*args, name=..., exe=...): the program (or another .exe) under Wine."""
    return session.program


@pytest.fixture
def probe(session):
    """probe(caption=None, name=...): a uiprobe process; cmd(), rows(), windows() talk to it."""
    return session.probe
