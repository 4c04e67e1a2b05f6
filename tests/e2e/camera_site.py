"""The simulated ONVIF cameras as the tests and the benchmark set them up: what camera k says about itself
(sim/README.md), a password that must leak nowhere, and the mixed site of our devices and cameras on both
of the lab's cards with the plan that re-addresses every one of them."""

import csv
import ipaddress
import uuid

import lab

USER = "installer"
SECRET_NAME = "camera-password"  # the simulator's password file: the one file allowed to hold it


def new_password():
    """A password unlike any other text of a run, so finding it anywhere means it leaked."""
    return f"pw-{uuid.uuid4().hex}"


def write_secret(path, password):
    """`password` as the first line of a file only its owner may read (as quillctl wants it on Linux)."""
    path.write_text(password + "\n")
    path.chmod(0o600)
    return path


def expect_nowhere(folder, password, outputs):
    """Fails when `password` is in one of the texts or in a file under `folder` but the simulator's own."""
    for text in outputs:
        lab.expect(password not in text, "the password is in an output")
    for path in folder.rglob("*"):
        if path.is_file() and path.name != SECRET_NAME:
            lab.expect(password.encode() not in path.read_bytes(), f"the password is in {path}")


def expected_facts(k, base=lab.ONVIF_BASE):
    """Camera k's device information and MAC, as the simulator derives them from its first address."""
    address = lab.camera_address(base, k)
    value = int(ipaddress.IPv4Address(address))
    makes = [("Sim Optics", "SO-"), ("Lab Imaging", "LI-"), ("Test & <Vision>", "TV-")]
    maker, prefix = makes[k % 3]
    return {"manufacturer": maker, "model": f"{prefix}{100 + k % 7}", "firmwareVersion": f"5.{k % 10}.0",
            "serialNumber": f"QS{value:08X}{k:04X}", "hardwareId": f"QS-{k}",
            "mac": "02:5a:" + ":".join(f"{b:02x}" for b in value.to_bytes(4, "big"))}


def expected_details(k, base=lab.ONVIF_BASE, auth="ok"):
    """The fields `quillctl info` fills for camera k (DHCP on for odd k; the gateway its /24's first host)."""
    facts = expected_facts(k, base)
    gateway = str(ipaddress.IPv4Network(f"{lab.camera_address(base, k)}/24", strict=False).network_address + 1)
    return {"manufacturer": facts["manufacturer"], "model": facts["model"], "firmware": facts["firmwareVersion"],
            "serial": facts["serialNumber"], "mac": facts["mac"].replace(":", "-"), "dhcp": k % 2 == 1,
            "prefix_length": 24, "gateway": gateway, "auth": auth}


def expect_details(rows, count, base=lab.ONVIF_BASE, auth="ok"):
    """Fails unless `rows` (info's, by endpoint) give cameras 0..count-1 of `base` as they are."""
    lab.expect(len(rows) == count, f"{len(rows)} rows for {count} cameras")
    for k in range(count):
        want, row = expected_details(k, base, auth), rows.get(lab.camera_endpoint(base, k), {})
        lab.expect({key: row.get(key) for key in want} == want, f"camera {k} of {base}: {row}")


# The mixed site: on each card 4 of our devices and 4 cameras, every one to be re-addressed in one plan.
PER_CARD = 4
REBOOT_NEEDED = (1, 1)  # (card, camera): answers RebootNeeded, so it needs a SystemReboot
CLOCK_AHEAD = (2, 2)  # its clock an hour ahead
DIGEST_ONLY = (2, 3)  # takes HTTP Digest only


def card_prefix(n):
    """"198.51.100." for card 1, "203.0.113." for card 2."""
    return lab.segment(n).net.split("/")[0].rsplit(".", 1)[0] + "."


def ours_mac_base(n):
    return f"00:1a:2b:3c:8{n}:00"


def camera_base(n):
    return card_prefix(n) + "130"


def start_site(group, password_file, reboot_s):
    """Both cards' simulators (each 4 of ours and 4 cameras with the user and the password of the file);
    returns them by card number."""
    sims = {}
    for n in (1, 2):
        special = []
        for (card, k), option in ((REBOOT_NEEDED, ("--onvif-reboot-needed", "true")),
                                  (CLOCK_AHEAD, ("--onvif-clock-offset", "3600")),
                                  (DIGEST_ONLY, ("--onvif-auth", "digest"))):
            if card == n:
                special += [option[0], f"{k}={option[1]}"]
        sims[n] = group.sim("--devices", str(PER_CARD), "--ip-base", card_prefix(n) + "30", "--mac-base",
                            ours_mac_base(n), "--onvif", str(PER_CARD), "--onvif-ip-base", camera_base(n),
                            "--onvif-user", USER, "--onvif-password-file", str(password_file),
                            "--onvif-reboot-s", str(reboot_s), *special, name=f"card{n}", segment=n)
    return sims


def row_key(row):
    """A row's device: our MAC, or a camera's endpoint."""
    return row["endpoint"] if row["protocol"] == "onvif" else row["mac"]


def site_plan():
    """Every device's new address by row_key: ours to .60 up, cameras to .160 up; camera 0 of card 1 takes
    the address our device 0 leaves, so the plan's order must hold across makes."""
    plan = {}
    for n in (1, 2):
        prefix = card_prefix(n)
        for i in range(PER_CARD):
            plan[lab.mac_text(ours_mac_base(n), i)] = f"{prefix}{60 + i}"
            plan[lab.camera_endpoint(camera_base(n), i)] = f"{prefix}{160 + i}"
    plan[lab.camera_endpoint(camera_base(1), 0)] = card_prefix(1) + "30"
    return plan


def write_plan(header, rows, path, plan):
    """The export of `find --protocol all --format csv` with the plan's `new_ip` column added."""
    with open(path, "w", newline="") as file:
        writer = csv.DictWriter(file, fieldnames=header + ["new_ip"])
        writer.writeheader()
        writer.writerows({**row, "new_ip": plan[row_key(row)]} for row in rows)
