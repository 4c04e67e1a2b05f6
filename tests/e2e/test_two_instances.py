"""Two copies of the program on one host: both bind their ports without an error box, and both list
the devices (which answer by multicast: a unicast answer to a doubly bound port reaches only one)."""

import lab

ERROR_CAPTIONS = [
    "ConnectMulticastReceive: WSASocket error!",
    "ConnectMulticastReceive: setsockopt error!",
    "ConnectMulticastReceive: bind error!",
    "ConnectMulticastReceive: WSAJoinLeaf error!",
]
DEVICES = 3


def error_boxes(probe):
    return [caption for caption in ERROR_CAPTIONS if probe.windows(caption)]


def test_both_instances_list_the_devices(session):
    session.sim("--devices", str(DEVICES), "--ip-base", "198.51.100.30", "--reply", "multicast")
    session.program(name="quillmast-1")
    probe = session.probe()
    lab.poll(lambda: error_boxes(probe) or len(probe.windows(lab.MAIN_CAPTION)) == 1, 30,
             "the first main window")
    session.program(name="quillmast-2")
    # A failing set-up shows its box before the main window appears.
    lab.poll(lambda: error_boxes(probe) or len(probe.windows(lab.MAIN_CAPTION)) == 2, 30,
             "the second main window")
    lab.expect(not error_boxes(probe), f"error boxes: {error_boxes(probe)}")

    for handle in probe.windows(lab.MAIN_CAPTION):
        probe.cmd(f"use {handle}")
        lab.poll(lambda: probe.cmd("count") == str(DEVICES), 20, f"{DEVICES} rows in window {handle}")
        ips = sorted(row[1] for row in probe.rows())
        lab.expect(ips == [f"198.51.100.{30 + i}" for i in range(DEVICES)], f"window {handle}: {ips}")
    lab.expect(not error_boxes(probe), f"error boxes: {error_boxes(probe)}")

