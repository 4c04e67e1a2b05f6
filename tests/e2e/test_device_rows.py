"""Simulated devices appear as rows in the order their replies arrive: running number from 1, IP
text, MAC in lower case joined by "-". Refresh empties the list, which then fills again from 1."""

import lab

MAC_BASE = "00:1a:2b:3c:4d:e0"
DEVICES = 5


def expected_rows(order):
    return [(str(n + 1), f"198.51.100.{30 + index}", lab.mac_text(MAC_BASE, index))
            for n, index in enumerate(order)]


def arrival_order(sim):
    """Device indexes in the order of their first reply in the simulator's log."""
    order = []
    for record in sim.records("reply"):
        ip = record.get("ip") or record.get("device_ip")
        if ip is None:
            return None
        index = int(ip.rsplit(".", 1)[1]) - 30
        if index not in order:
            order.append(index)
    return order


def start(session, *sim_args):
    sim = session.sim("--devices", str(DEVICES), "--mac-base", MAC_BASE, "--ip-base", "198.51.100.30",
                      "--reply", "unicast", *sim_args)
    session.program()
    probe = session.probe()
    probe.cmd(f"wait {lab.MAIN_CAPTION} 30000")
    lab.poll(lambda: probe.cmd("count") == str(DEVICES), 20, f"{DEVICES} rows")
    return sim, probe


def check_rows(sim, probe, what):
    rows = probe.rows()
    order = arrival_order(sim)
    if order is not None:
        lab.expect(rows == expected_rows(order[:DEVICES]), f"{what}: rows {rows}, arrival order {order}")
    else:
        lab.expect(sorted(rows, key=lambda r: r[1]) == expected_rows(range(DEVICES)) and
                   [r[0] for r in rows] == [str(n) for n in range(1, DEVICES + 1)], f"{what}: rows {rows}")


def test_rows_follow_the_order_of_arrival(session):
    # Jitter shuffles the order in which the devices answer a search.
    sim, probe = start(session, "--jitter", "400", "--seed", "7")
    check_rows(sim, probe, "first fill")
    # Further answers change nothing: no duplicate rows, no renumbering.
    searches = len(sim.records("search"))
    lab.poll(lambda: len(sim.records("search")) >= searches + 3, 10, "three more searches")
    check_rows(sim, probe, "after three more searches")


def test_refresh_empties_and_refills(session):
    first, probe = start(session)
    probe.cmd("select 2")
    lab.poll(lambda: probe.cmd("enabled 3") == "1", 5, "Config enabled by a click on a row")
    # With the devices quiet, the emptied list must stay empty.
    first.stop()
    # Sent, not posted: once it returns the whole click has been handled, and all it did can be read.
    probe.cmd("press 4")
    lab.expect(probe.cmd("count") == "0", "the list emptied by Refresh")
    lab.expect(probe.cmd("enabled 3") == "0" and probe.cmd("enabled 5") == "0",
               "Config and WEB disabled by Refresh")
    session.sim("--devices", "2", "--mac-base", "00:1a:2b:3c:4d:a0", "--ip-base", "198.51.100.40",
                "--reply", "unicast", name="quillsim-2")
    lab.poll(lambda: probe.cmd("count") == "2", 10, "the list to fill again")
    rows = sorted(probe.rows(), key=lambda row: row[1])
    lab.expect([row[1:] for row in rows] == [("198.51.100.40", "00-1a-2b-3c-4d-a0"),
                                             ("198.51.100.41", "00-1a-2b-3c-4d-a1")], f"new rows: {rows}")
    lab.expect(sorted(row[0] for row in rows) == ["1", "2"], f"numbered from 1 again: {rows}")
    lab.expect(probe.cmd("enabled 3") == "0", "rows that reappear do not enable Config")

