"""What the program shows when its sockets cannot be set up, and what it writes to the debugger.

A port held by another program (bound without address reuse) makes the program's own bind fail: on the
receiving port the user is told in a box whose caption names the step, on the sending port nothing is
shown; either way the window opens. The receiver's time-out text goes to the debugger output, which Wine
prints when asked to (WINEDEBUG=+debugstr).
"""

import socket
import time

import lab

MAC_BASE = "00:1a:2b:3c:4d:a0"


def hold_port(port):
    """A UDP socket on the port, without address reuse, as another program might hold it."""
    held = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    held.bind(("0.0.0.0", port))
    return held


def test_a_taken_reply_port_is_shown_in_a_box_and_the_window_still_opens(session):
    held = hold_port(5555)
    try:
        session.program()
        probe = session.probe()
        text = probe.cmd('msgbox "ConnectMulticastReceive: bind error!" 30000')
        lab.expect(text == "Error", f"box text {text!r}")
        probe.cmd('dismiss "ConnectMulticastReceive: bind error!"')
        probe.cmd(f"wait {lab.MAIN_CAPTION} 30000")
        lab.expect(probe.cmd("count") == "0", "rows listed without a receiving socket")
    finally:
        held.close()


def test_a_taken_search_port_shows_nothing_and_sends_nothing(session):
    held = hold_port(5556)
    try:
        sim = session.sim("--devices", "1", "--mac-base", MAC_BASE)
        session.program()
        probe = session.probe()
        probe.cmd(f"wait {lab.MAIN_CAPTION} 30000")
        shown = time.monotonic()
        # Two search periods: no box appears, and no search leaves.
        while time.monotonic() - shown < 2.0:
            lab.expect(not probe.windows("Error") and not probe.windows("ConnectMulticastReceive: bind error!"),
                       "a box was shown")
            time.sleep(0.1)
        lab.expect(not sim.records("search"), "searches were sent from a socket whose set-up failed")
    finally:
        held.close()


def test_the_receivers_time_out_text_reaches_the_debugger_output(session, monkeypatch):
    monkeypatch.setenv("WINEDEBUG", "+debugstr")
    program = session.program()
    probe = session.probe()
    probe.cmd(f"wait {lab.MAIN_CAPTION} 30000")
    # Nothing answers: after its 0.5 s start delay and one 10 s wait, the receiver says so.
    lab.poll(lambda: "No Live Server Found , time out!" in program.log_path.read_text(errors="replace"), 20,
             "the time-out text in Wine's debug output")
