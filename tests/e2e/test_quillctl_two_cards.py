"""One MAC simulated on both segments: two devices, a row per card, a change refused until a card is
named, and a change settled only by the reply on the card it went out on."""

import lab
import quillctl_runner as ctl

MAC_BASE = "00:1a:2b:3c:4d:90"
MAC = lab.mac_text(MAC_BASE, 0)


def test_one_mac_on_both_cards_is_two_devices_each_changed_through_its_own_card(session):
    near, far = lab.segment(1), lab.segment(2)
    # The near one never takes a new address: the far one's confirmation must not settle its change.
    near_sim = session.sim("--devices", "1", "--ip-base", "198.51.100.30", "--mac-base", MAC_BASE,
                           "--change", "never", name="near")
    far_sim = session.sim("--devices", "1", "--ip-base", "203.0.113.30", "--mac-base", MAC_BASE,
                          name="far", segment=2)
    rows = ctl.find_json("--count", "2", "--timeout", "3")
    lab.expect(sorted((row["interface"], row["ip"], row["duplicate_mac"]) for row in rows)
               == [(near.pc_ip, "198.51.100.30", True), (far.pc_ip, "203.0.113.30", True)], f"rows {rows}")

    refused = ctl.run("set-ip", MAC, "203.0.113.77")
    ctl.expect_status(refused, 2)
    lab.expect(near.pc_if in refused.stderr and far.pc_if in refused.stderr, f"stderr {refused.stderr!r}")
    lab.expect(not near_sim.records("change") and not far_sim.records("change"), "a command went out")

    plan_path = session.logs / "plan.csv"
    plan_path.write_text(f"mac,interface,new_ip\n{MAC},{near.pc_ip},198.51.100.77\n"
                         f"{MAC},{far.pc_if},203.0.113.77\n")
    result = ctl.run("apply", plan_path, "--timeout", "2")
    ctl.expect_status(result, 3)
    lines = {line.split()[1]: line.split()[3] for line in result.stdout.splitlines()[1:]}
    lab.expect(lines == {"198.51.100.30": "failed", "203.0.113.30": "confirmed"}, f"stdout {result.stdout!r}")
    lab.expect([c["new"] for c in far_sim.records("changed")] == ["203.0.113.77"], "the far one changed")
    lab.expect(not near_sim.records("changed"), f"the near one changed: {near_sim.records('changed')}")
