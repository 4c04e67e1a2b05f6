"""Bad input to quillctl set-ip and apply: each kind gets its exit status and its message, and not
one change command leaves, not even for the good lines of a plan with a bad one."""

import pytest

import lab
import quillctl_runner as ctl

MAC_BASE = "00:1a:2b:3c:4d:80"
FIRST, SECOND = lab.mac_text(MAC_BASE, 0), lab.mac_text(MAC_BASE, 1)  # 198.51.100.30 and .31
UNKNOWN = "00-1a-2b-3c-4d-ff"


def plan_file(folder, *lines):
    path = folder / "plan.csv"
    path.write_text("\n".join(["mac,new_ip", *lines]) + "\n")
    return path


# (name, arguments with {plan} for a plan file of these lines, plan lines, status, words of the message)
CASES = [
    ("unreadable plan", ["apply", "{logs}/no-such-plan.csv"], None, 2, ["cannot read the plan"]),
    ("plan with a bad line", ["apply", "{plan}"], [f"{FIRST},198.51.100.60", f"{SECOND},198.51.100.300"], 2,
     ["plan.csv:3: bad address '198.51.100.300'", "nothing was sent"]),
    ("plan naming an unknown MAC", ["apply", "{plan}"], [f"{FIRST},198.51.100.60", f"{UNKNOWN},198.51.100.61"],
     4, [f"plan.csv:3: no device with MAC {UNKNOWN} answered"]),
    ("plan giving a held address", ["apply", "{plan}"], [f"{FIRST},198.51.100.31"], 2,
     [f"plan.csv:2: 198.51.100.31 is held by device {SECOND}"]),
    ("plan giving the broadcast address", ["apply", "{plan}"], [f"{SECOND},198.51.100.70", f"{FIRST},198.51.100.255"],
     2, ["plan.csv:3: 198.51.100.255 is the broadcast address"]),
    ("set-ip of an unknown MAC", ["set-ip", UNKNOWN, "198.51.100.60", "--find-timeout", "1"], None, 4,
     [f"no device {UNKNOWN} answered"]),
    ("set-ip to the broadcast address", ["set-ip", FIRST, "198.51.100.255"], None, 2,
     ["198.51.100.255 is the broadcast address"]),
    ("set-ip to a loopback address", ["set-ip", FIRST, "127.0.0.9"], None, 2, ["127.0.0.9 is a loopback address"]),
    ("set-ip to an address another device holds", ["set-ip", FIRST, "198.51.100.31"], None, 2,
     [f"198.51.100.31 is held by device {SECOND}"]),
    # The lab's lan namespace holds .2: no simulated device, but it answers ARP.
    ("set-ip to an address a machine answers ARP for", ["set-ip", FIRST, "198.51.100.2"], None, 2,
     ["198.51.100.2 answers ARP on", "not a device of this search"]),
    ("plan giving an address a machine answers ARP for", ["apply", "{plan}"], [f"{FIRST},198.51.100.2"], 2,
     ["plan.csv:2: 198.51.100.2 answers ARP on"]),
    ("set-ip to this host's address", ["set-ip", FIRST, "198.51.100.1"], None, 2,
     ["198.51.100.1 is an address of this host"]),
    ("set-ip on an unknown interface", ["set-ip", FIRST, "198.51.100.60", "--interface", "nosuch0"], None, 2,
     ["no interface named 'nosuch0'"]),
    ("apply on an unknown interface address", ["apply", "{plan}", "--interface", "203.0.113.9"],
     [f"{FIRST},198.51.100.60"], 2, ["no interface has the address 203.0.113.9"]),
]


@pytest.mark.parametrize("name, args, lines, status, words", CASES, ids=[case[0] for case in CASES])
def test_bad_input_is_refused_before_any_change_is_sent(session, name, args, lines, status, words):
    sim = session.sim("--devices", "2", "--ip-base", "198.51.100.30", "--mac-base", MAC_BASE)
    plan = plan_file(session.logs, *lines) if lines else None
    argv = [arg.format(plan=plan, logs=session.logs) for arg in args]
    result = ctl.run(*argv, "--timeout", "3")
    ctl.expect_status(result, status)
    error_lines = result.stderr.splitlines()
    lab.expect(error_lines and all(line.startswith("quillctl: ") for line in error_lines),
               f"stderr {result.stderr!r}")
    for word in words:
        lab.expect(word in result.stderr, f"{word!r} not in stderr {result.stderr!r}")
    ctl.nothing_changed_since(sim, "--count", "2")
