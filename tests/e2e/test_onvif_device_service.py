"""The simulated cameras' device service, checked by two ONVIF clients written by others and run with Node
in the pc namespace: npm's onvif reads and re-addresses cameras with a UsernameToken and with HTTP Digest,
their clocks an hour off, and the new address takes effect (Hello from there, the service answering
there, nothing at the old one); node-onvif initialises a camera and reads it. The password reaches the
simulator by a file and the clients by the environment only, and shows in no output or log."""

import http.client
import json
import os
import socket
import subprocess
import time
import uuid
import xml.etree.ElementTree as ET

import pytest

import lab
from camera_site import expected_facts
from test_onvif_sim import NS, group_listener, receive_messages

USER = "installer"
# Unlike any other text of a test run, so finding it anywhere means it leaked.
PASSWORD = f"pw-{uuid.uuid4().hex}"
CLIENTS = lab.ROOT / "tests" / "e2e" / "onvif_client"
MODULES = lab.BUILD_HOST / "onvif_client" / "node_modules"
REBOOT_S = 2
TDS = "{http://www.onvif.org/ver10/device/wsdl}"


def node(script, *args, password=PASSWORD):
    """One of the client scripts; returns its JSON and its whole output (to search for the password)."""
    if not MODULES.is_dir():
        raise lab.LabError(f"{MODULES} is missing: tools/e2e.sh installs the clients")
    result = subprocess.run(["node", str(CLIENTS / script), *args], capture_output=True, text=True, timeout=120,
                            env={**os.environ, "NODE_PATH": str(MODULES), "QUILLSIM_TEST_PASSWORD": password})
    lab.expect(result.returncode == 0, f"{script} exit {result.returncode}: {result.stderr}")
    return json.loads(result.stdout), result.stdout + result.stderr


def cameras(session, *extra, count=2):
    secret = session.logs / "camera-password"
    secret.write_text(PASSWORD + "\n")
    secret.chmod(0o600)
    return session.sim("--devices", "0", "--onvif", str(count), "--onvif-user", USER, "--onvif-password-file",
                       str(secret), "--onvif-reboot-s", str(REBOOT_S), "--onvif-clock-offset", "3600", *extra)


def expect_password_nowhere(session, outputs):
    for text in outputs:
        lab.expect(PASSWORD not in text, "the password is in a client's output")
    for path in session.logs.rglob("*"):
        if path.is_file() and path.name != "camera-password":
            lab.expect(PASSWORD.encode() not in path.read_bytes(), f"the password is in {path}")


@pytest.mark.parametrize("auth, reboot_needed", [("token", False), ("digest", True)])
def test_the_onvif_client_reads_and_re_addresses_a_camera_whose_clock_is_an_hour_off(session, lab_info, auth,
                                                                                     reboot_needed):
    sim = cameras(session, "--onvif-auth", auth, "--onvif-reboot-needed", f"0={str(reboot_needed).lower()}")
    old, new = lab.camera_address(lab.ONVIF_BASE, 0), "198.51.100.200"
    flags = ["--set-ip", f"{new}/24", "--gateway", "198.51.100.254"] + (["--digest"] if auth == "digest" else [])
    with group_listener(lab_info.segments[1].pc_ip) as hellos:
        found, output = node("device_calls.js", old, "80", USER, *flags, *(["--reboot"] if reboot_needed else []))
        lab.expect(not found["errors"], f"client errors: {found['errors']}")
        facts = expected_facts(0)
        information = found["deviceInformation"]
        lab.expect({key: information[key] for key in facts if key != "mac"} ==
                   {key: value for key, value in facts.items() if key != "mac"}, f"device information {information}")
        (interface,) = found["networkInterfaces"]
        lab.expect(interface["$"]["token"] == "eth0" and interface["info"]["hwAddress"] == facts["mac"],
                   f"interface {interface}")
        lab.expect(interface["IPv4"]["config"]["manual"] == {"address": old, "prefixLength": 24}
                   and interface["IPv4"]["config"]["DHCP"] is False, f"IPv4 {interface['IPv4']}")
        lab.expect(found["defaultGateway"]["IPv4Address"] == "198.51.100.1", f"gateway {found['defaultGateway']}")
        lab.expect(found["setNetworkInterfaces"]["rebootNeeded"] is reboot_needed, f"{found['setNetworkInterfaces']}")

        # Back from its reboot, it announces the new address under its old endpoint.
        (hello, _), = receive_messages(hellos, "Hello", 1, timeout=REBOOT_S + 15)
    lab.expect(hello.findtext("s:Body/d:Hello/d:XAddrs", namespaces=NS) == f"http://{new}:80/onvif/device_service"
               and hello.findtext("s:Body/d:Hello/a:EndpointReference/a:Address", namespaces=NS)
               == lab.camera_endpoint(lab.ONVIF_BASE, 0), "Hello from the new address")
    calls = sim.records("onvif-call")
    lab.expect({c["auth"] for c in calls if c["operation"] == "GetDeviceInformation" and c["result"] == "ok"}
               == {auth}, f"authenticated by {auth}: {calls}")
    reboot, back = sim.records("onvif-reboot")[0], sim.records("onvif-back")[0]
    # Logged once sent: the datagram may be heard before its line is written.
    hello_sent = lab.poll(lambda: [r for r in sim.records("onvif-hello") if r["ip"] == new], 5, "the Hello logged")[0]
    print(f"reboot to Hello: {hello_sent['t'] - reboot['t']:.3f} s (--onvif-reboot-s {REBOOT_S})")
    lab.expect(back["ip"] == new and REBOOT_S - 0.05 <= hello_sent["t"] - reboot["t"] < REBOOT_S + 1, f"{reboot} {back}")

    again, output_again = node("device_calls.js", new, "80", USER, *(["--digest"] if auth == "digest" else []))
    lab.expect(not again["errors"], f"at the new address: {again['errors']}")
    lab.expect(again["networkInterfaces"][0]["IPv4"]["config"]["manual"]["address"] == new
               and again["defaultGateway"]["IPv4Address"] == "198.51.100.254", f"{again}")
    with pytest.raises(OSError):
        socket.create_connection((old, 80), timeout=2).close()
    expect_password_nowhere(session, [output, output_again])


def test_node_onvif_initialises_a_camera_and_reads_it(session):
    cameras(session)
    xaddr = f"http://{lab.camera_address(lab.ONVIF_BASE, 1)}:80/onvif/device_service"
    found, output = node("node_onvif_calls.js", xaddr, USER)
    lab.expect(not found["errors"], f"client errors: {found['errors']}")
    facts = expected_facts(1)
    lab.expect(found["information"]["Manufacturer"] == facts["manufacturer"]
               and found["information"]["SerialNumber"] == facts["serialNumber"], f"{found['information']}")
    interface = found["networkInterfaces"]
    lab.expect(interface["Info"]["HwAddress"] == facts["mac"] and interface["IPv4"]["Config"]["DHCP"] == "true"
               and interface["IPv4"]["Config"]["FromDHCP"]["Address"] == lab.camera_address(lab.ONVIF_BASE, 1),
               f"camera 1's address is from DHCP: {interface}")
    expect_password_nowhere(session, [output])


def test_a_wrong_password_is_refused_by_both_kinds_of_camera(session):
    sim = cameras(session, "--onvif-auth", "1=digest")
    outputs = []
    for k, flags in ((0, []), (1, ["--digest"])):
        found, output = node("device_calls.js", lab.camera_address(lab.ONVIF_BASE, k), "80", USER, *flags,
                             password="not-" + PASSWORD[::-1])
        outputs.append(output)
        lab.expect(any(e.startswith("deviceInformation") for e in found["errors"]), f"camera {k}: {found}")
    refused = {c["device"]: c for c in sim.records("onvif-call") if c["result"] == "refused"}
    lab.expect(refused[0]["status"] == 400 and refused[1]["status"] == 401, f"refusals {refused}")
    expect_password_nowhere(session, outputs)


def soap_post(address, operation, timeout):
    body = (f'<s:Envelope xmlns:s="{NS["s"]}"><s:Body><{operation} xmlns="{TDS[1:-1]}"/></s:Body></s:Envelope>')
    connection = http.client.HTTPConnection(address, 80, timeout=timeout)
    connection.request("POST", "/onvif/device_service", body, {"Content-Type": "application/soap+xml"})
    return connection.getresponse().read()


def test_a_camera_that_hangs_and_one_that_answers_too_much(session):
    sim = cameras(session, "--onvif-fault", "0=hang", "--onvif-fault", "1=huge")
    started = time.monotonic()
    with pytest.raises(socket.timeout):
        soap_post(lab.camera_address(lab.ONVIF_BASE, 0), "GetSystemDateAndTime", timeout=2)
    lab.expect(time.monotonic() - started >= 2, "the hanging camera answered")
    huge = soap_post(lab.camera_address(lab.ONVIF_BASE, 1), "GetSystemDateAndTime", timeout=10)
    lab.expect(len(huge) > 1024 * 1024, f"{len(huge)} bytes")
    lab.expect(ET.fromstring(huge).find(f"s:Body/{TDS}GetSystemDateAndTimeResponse", NS) is not None,
               "the huge answer is well-formed")
    lab.expect([c["result"] for c in sim.records("onvif-call")] == ["hung", "ok"], f"{sim.records('onvif-call')}")
