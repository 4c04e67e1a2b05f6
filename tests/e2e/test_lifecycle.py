"""Starting and ending the program many times while replies arrive, and pressing Refresh again and
again during a flood: every run must end by itself, leave no process behind, and never show a
broken list."""

import time

import pytest

import lab
import process_stats

RUNS_PER_ENDING = 50
REFRESH_PRESSES = 200
DEVICES = 8
MAX_ROWS = 256
# Exit waits for the receiver, which sees its stop flag after the next datagram. Searches stop at
# Exit, so without other traffic the receiver sits out its wait and Exit takes 9 s; a device that
# keeps announcing itself (as many do) ends it within a fraction of a second. Escape ends the window
# at once.
END_BOUND_S = 9.0 + 1.5
CHATTER_REPLY = b"198.51.100.99:HTTP80,MAC" + bytes.fromhex("001a2b3c4dff") + b"\x00"


def left_behind():
    return process_stats.exe_pids("quillmast.exe")


def start_and_end(session, probe, run, ending):
    """One run: start, wait for a listed device, end it by `ending` ("click 1" is Exit, "escape")."""
    program = session.program(name=f"quillmast-{run}")
    lab.poll(lambda: len(probe.windows(lab.MAIN_CAPTION)) == 1, 30, f"run {run}: the main window")
    probe.cmd("use")
    lab.poll(lambda: int(probe.cmd("count")) > 0, 20, f"run {run}: a listed device")
    ended = time.monotonic()
    probe.cmd(ending)
    code = program.wait_exit(END_BOUND_S + 5)
    seconds = time.monotonic() - ended
    lab.expect(seconds <= END_BOUND_S, f"run {run}: '{ending}' took {seconds:.1f} s to end the program")
    lab.poll(lambda: not left_behind(), 5, f"run {run}: no program process left")
    program.stop()
    return code, seconds


# A hundred starts and ends of the program take a few minutes under Wine.
@pytest.mark.timeout(600)
def test_many_starts_ended_by_exit_and_by_escape(session):
    session.sim("--devices", str(DEVICES), "--ip-base", "198.51.100.30")
    session.sim("--devices", "0", "--raw", CHATTER_REPLY.hex(), "--raw-count", "1000000", "--raw-interval", "200",
                name="chatter")
    probe = session.probe()
    times = {"click 1": [], "escape": []}
    for run in range(2 * RUNS_PER_ENDING):
        ending = "click 1" if run % 2 == 0 else "escape"
        code, seconds = start_and_end(session, probe, run, ending)
        lab.expect(code == 0, f"run {run}: exit code {code} after '{ending}'")
        times[ending].append(seconds)
    for ending, values in times.items():
        values.sort()
        print(f"[lifecycle] {len(values)} runs ended by '{ending}': median {values[len(values) // 2]:.2f} s, "
              f"max {values[-1]:.2f} s")


@pytest.mark.timeout(300)
def test_refresh_again_and_again_during_a_flood(session):
    program = session.program()
    probe = session.probe()
    probe.cmd(f"wait {lab.MAIN_CAPTION} 30000")
    flood = session.sim("--flood", "60", "--seed", "7", name="flood")
    lab.poll(lambda: int(probe.cmd("count")) > 0, 20, "the flood's first row")
    for press in range(REFRESH_PRESSES):
        probe.cmd("click 4")
        count = int(probe.cmd("count"))
        lab.expect(count <= MAX_ROWS, f"press {press}: {count} rows")
        probe.cmd("ping 200")
        lab.expect(flood.running(), f"the flood ended before press {press}")
    # Refresh empties the list and searching starts over: rows come back.
    lab.poll(lambda: int(probe.cmd("count")) > 0, 20, "rows after the last Refresh")
    lab.expect(program.running(), "the program ended during the presses")
    probe.cmd("escape")
    program.wait_exit(END_BOUND_S)
    lab.poll(lambda: not left_behind(), 5, "no program process left")

