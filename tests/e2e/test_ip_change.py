"""Changing a device's address through the IP Config dialog, against simulated devices.

A device that confirms after about 3 s: the dialog closes at the next poll and the row shows the new
address, and in the meantime 41-byte commands with the device's MAC and the new text replace the
searches. A device that never confirms: commands for 15 s, searches again before "Set IP fail!", and
the dialog closes only once the box is dismissed.
"""

import time

import lab

MAC_BASE = "00:1a:2b:3c:4d:70"
OLD_IP = "198.51.100.30"
NEW_IP = "198.51.100.60"
CONFIG_CAPTION = "IP Config"


def open_config(session, change_args):
    sim = session.sim("--devices", "1", "--mac-base", MAC_BASE, "--ip-base", OLD_IP, "--reply", "unicast",
                      *change_args)
    session.program()
    probe = session.probe()
    lab.mark_row(probe, rows=1, button_id=3)
    probe.cmd("click 3")
    dialog = probe.cmd(f'wait "{CONFIG_CAPTION}" 10000')
    probe.cmd(f"use {dialog}")
    lab.expect(probe.cmd("text 1002") == lab.mac_text(MAC_BASE, 0), "the MAC shown")
    lab.expect(probe.cmd("ipaddr 1007").split()[0] == OLD_IP, "the row's address shown")
    probe.cmd(f"setipaddr 1007 {NEW_IP}")
    return sim, probe


def commands_in(records):
    return [r for r in records if r["kind"] == "change"]


def test_confirmed_change_closes_the_dialog(session):
    sim, probe = open_config(session, ("--change", "confirm", "--change-delay", "3000"))
    pressed = time.monotonic()
    probe.cmd("click 1")
    probe.cmd(f'gone "{CONFIG_CAPTION}" 20000')
    closed = time.monotonic()
    probe.cmd("use")
    lab.poll(lambda: probe.rows()[0][1] == NEW_IP, 5, "the row to show the new address")
    lab.expect(probe.rows()[0] == ("1", NEW_IP, lab.mac_text(MAC_BASE, 0)), f"row {probe.rows()[0]}")

    records = sim.records()
    commands = commands_in(records)
    lab.expect(commands, "no change-IP command on the wire")
    lab.expect(all(c["len"] == 41 and c["mac"] == lab.mac_text(MAC_BASE, 0) and c["ip"] == NEW_IP
                   for c in commands), f"commands: {commands[:3]}")
    first, last = commands[0]["t"], commands[-1]["t"]
    lab.expect(not [r for r in records if r["kind"] == "search" and first < r["t"] < last],
               "searches sent while the command was pending")
    changed = [r for r in records if r["kind"] == "changed"]
    lab.expect(changed, "the simulated device never took the address")
    confirm_to_close = closed - lab.monotonic_of(changed[0]["t"])
    print(f"OK pressed to dialog closed: {closed - pressed:.2f} s; device's new address to dialog closed: "
          f"{confirm_to_close * 1000:.0f} ms; commands sent: {len(commands)}")
    lab.expect(confirm_to_close < 1.5, f"dialog closed {confirm_to_close:.2f} s after the confirmation")


def test_unconfirmed_change_fails_after_fifteen_seconds(session):
    sim, probe = open_config(session, ("--change", "never"))
    pressed = time.monotonic()
    probe.cmd("click 1")
    text = probe.cmd('msgbox "Error" 25000')
    shown = time.monotonic()
    lab.expect(text == "Set IP fail!", f"message box text {text!r}")
    lab.expect(13.5 < shown - pressed < 18, f"box after {shown - pressed:.1f} s")
    lab.expect(probe.windows(CONFIG_CAPTION), "the dialog closed before the box was dismissed")
    # The flag is cleared before the box: searches go out again while it is shown.
    lab.poll(lambda: any(r["kind"] == "search" and lab.monotonic_of(r["t"]) > shown - 0.5
                         for r in sim.records()), 5, "searches again while the box is shown")
    commands = commands_in(sim.records())
    print(f"OK commands sent in the 15 s wait: {len(commands)}")
    lab.expect(14 <= len(commands) <= 18, f"{len(commands)} commands")
    probe.cmd('dismiss "Error"')
    probe.cmd(f'gone "{CONFIG_CAPTION}" 10000')
    probe.cmd("use")
    lab.expect(probe.rows()[0][1] == OLD_IP, "the row kept its address")



def stays_false(check, seconds):
    """Polls check() for `seconds`; True when it never held."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if check():
            return False
        time.sleep(0.05)
    return not check()


def press_ok_with_blank_fields(sim, probe, focused):
    """OK with a field blank: no command on the wire, no box, the dialog open and editable, the focus
    on the first blank field."""
    pressed = time.monotonic()
    probe.cmd("click 1")
    lab.poll(lambda: probe.cmd("ipfocus 1007") == str(focused), 5, f"the focus on blank field {focused}")
    # A queued command would replace the next search, within one 900 ms period; two periods pass, and
    # searches going on in them show that the wire was watched.
    lab.expect(stays_false(lambda: commands_in(sim.records()), 2.5),
               f"a change-IP command was sent: {commands_in(sim.records())[:2]}")
    lab.expect(any(r["kind"] == "search" and lab.monotonic_of(r["t"]) > pressed for r in sim.records()),
               "no search seen after OK")
    lab.expect(not probe.windows("Error"), "a message box was shown")
    lab.expect(probe.windows(CONFIG_CAPTION), "the dialog closed")
    lab.expect(probe.cmd("enabled 1") == "1" and probe.cmd("enabled 2") == "1", "OK or Cancel disabled")


def test_blank_fields_send_nothing_until_filled(session):
    sim, probe = open_config(session, ("--change", "confirm"))
    probe.cmd("ipclear 1007 2")
    lab.expect(probe.cmd("ipaddr 1007").split()[1] == "3", "one field blank")
    press_ok_with_blank_fields(sim, probe, focused=2)

    for field in (3, 1, 0):
        probe.cmd(f"ipclear 1007 {field}")
    lab.expect(probe.cmd("ipaddr 1007") == "0.0.0.0 0", "every field blank")
    press_ok_with_blank_fields(sim, probe, focused=0)

    probe.cmd(f"setipaddr 1007 {NEW_IP}")
    probe.cmd("click 1")
    probe.cmd(f'gone "{CONFIG_CAPTION}" 20000')
    probe.cmd("use")
    lab.poll(lambda: probe.rows()[0][1] == NEW_IP, 5, "the row to show the new address")
    commands = commands_in(sim.records())
    lab.expect(commands and all(c["ip"] == NEW_IP for c in commands), f"commands: {commands[:3]}")
