"""A device that answers with another address keeps its row: same number, same MAC, new IP text."""

import lab

MAC_BASE = "00:1a:2b:3c:4d:50"
NEW_IP = "198.51.100.77"


def reply_bytes(ip, mac_hex, port=80):
    """A device reply as the program reads it: "<ip>:HTTP<port>,MAC" followed by six raw MAC bytes."""
    return f"{ip}:HTTP{port},MAC".encode() + bytes.fromhex(mac_hex) + b"\x00"


def test_row_is_updated_in_place(session):
    devices = session.sim("--devices", "3", "--mac-base", MAC_BASE, "--ip-base", "198.51.100.30",
                          "--reply", "unicast")
    session.program()
    probe = session.probe()
    probe.cmd(f"wait {lab.MAIN_CAPTION} 30000")
    lab.poll(lambda: probe.cmd("count") == "3", 20, "three rows")
    before = probe.rows()
    # The devices go quiet, so only the changed device's answer reaches the program.
    devices.stop()

    changed_mac = lab.mac_text(MAC_BASE, 1)
    raw = reply_bytes(NEW_IP, changed_mac.replace("-", "")).hex()
    session.sim("--devices", "0", "--raw", raw, "--raw-to", "198.51.100.1", "--raw-count", "3",
                "--raw-interval", "300", name="changed-device")

    lab.poll(lambda: probe.rows()[1][1] == NEW_IP, 10, f"row 2 to show {NEW_IP}")
    after = probe.rows()
    lab.expect(after[1] == ("2", NEW_IP, changed_mac), f"changed row: {after[1]}")
    lab.expect(after[0] == before[0] and after[2] == before[2], f"other rows untouched: {after}")
    lab.expect(len(after) == 3, f"no row added: {after}")

