"""The simulator's ONVIF cameras on the wire: found by an ONVIF client written by others (npm's onvif
package, run with Node in the pc namespace) on either segment, with the XAddr each announces; their
Hello and Bye heard in the pc namespace; and a client that must Resolve, after a lost first answer."""

import json
import os
import signal
import socket
import struct
import subprocess
import uuid
import xml.etree.ElementTree as ET
from urllib.parse import unquote

import pytest

import lab

GROUP = "239.255.255.250"
PORT = 3702
NS = {
    "s": "http://www.w3.org/2003/05/soap-envelope",
    "a": "http://schemas.xmlsoap.org/ws/2004/08/addressing",
    "d": "http://schemas.xmlsoap.org/ws/2005/04/discovery",
}
CAMERAS = 3
CLIENT = lab.ROOT / "tests" / "e2e" / "onvif_client" / "discover.js"
CLIENT_MODULES = lab.BUILD_HOST / "onvif_client" / "node_modules"


def discover(interface, timeout_ms=3000):
    """The npm client's probe on `interface`: {"devices": [...], "errors": [...]}."""
    if not CLIENT_MODULES.is_dir():
        raise lab.LabError(f"{CLIENT_MODULES} is missing: tools/e2e.sh installs the client")
    result = subprocess.run(["node", str(CLIENT), interface, str(timeout_ms)], capture_output=True, text=True,
                            timeout=60, env={**os.environ, "NODE_PATH": str(CLIENT_MODULES)})
    lab.expect(result.returncode == 0, f"node exit {result.returncode}: {result.stderr}")
    return json.loads(result.stdout)


def name_scope(scopes):
    prefix = "onvif://www.onvif.org/name/"
    return [unquote(s[len(prefix):]) for s in scopes if s.startswith(prefix)]


@pytest.mark.parametrize("number", [1, 2])
def test_the_onvif_client_finds_each_camera_of_its_segment_with_its_xaddr(session, lab_info, number):
    bases = {1: "198.51.100.130", 2: "203.0.113.130"}
    sims = {n: session.sim("--devices", "0", "--onvif", str(CAMERAS), "--onvif-ip-base", base, name=f"onvif-{n}",
                           segment=n) for n, base in bases.items()}
    here = lab_info.segments[number]

    # The package binds its socket to the named interface's address; Linux then sends a multicast from
    # a bound address out of that address's own link, so segment 2 is probed without any route.
    found = discover(here.pc_if)

    lab.expect(not found["errors"], f"client errors: {found['errors']}")
    by_endpoint = {device["endpoint"]: device for device in found["devices"]}
    lab.expect(sorted(by_endpoint) == [lab.camera_endpoint(bases[number], k) for k in range(CAMERAS)],
               f"found {sorted(by_endpoint)} on segment {number}")
    for k in range(CAMERAS):
        device = by_endpoint[lab.camera_endpoint(bases[number], k)]
        xaddr = f"http://{lab.camera_address(bases[number], k)}:80/onvif/device_service"
        lab.expect(device["xaddrs"] == [xaddr], f"camera {k}: XAddrs {device['xaddrs']}, announced {xaddr}")
        lab.expect(name_scope(device["scopes"]) == [f"Sim Camera {k}"], f"camera {k}: scopes {device['scopes']}")
        lab.expect((device["from"], device["port"]) == (here.lan_ip, PORT), f"camera {k} answered from "
                   f"{device['from']}:{device['port']}")
    probes = sims[number].records("onvif-probe")
    lab.expect(len(probes) == 1 and probes[0]["answered"] == CAMERAS and probes[0]["src"] == here.pc_ip,
               f"the cameras of segment {number} heard {probes}")
    other = sims[3 - number].records("onvif-probe")
    lab.expect(not other, f"the other segment heard the probe: {other}")


def group_listener(interface_ip):
    """A socket in the pc namespace that hears the WS-Discovery group on one link."""
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.bind(("", PORT))
    membership = struct.pack("4s4s", socket.inet_aton(GROUP), socket.inet_aton(interface_ip))
    sock.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP, membership)
    return sock


def receive_messages(sock, action, count, timeout=10):
    """The first `count` messages with this Action (the discovery namespace's name, like "Hello")."""
    wanted = f"{NS['d']}/{action}"
    found = []

    def one_more():
        sock.settimeout(0.2)
        try:
            data, source = sock.recvfrom(65535)
        except socket.timeout:
            return False
        root = ET.fromstring(data)
        if root.findtext("s:Header/a:Action", namespaces=NS) == wanted:
            found.append((root, source))
        return len(found) >= count

    lab.poll(one_more, timeout, f"{count} {action} message(s)", interval=0)
    return found


def test_hello_at_start_and_bye_at_the_end_reach_the_pc(session, lab_info):
    near = lab_info.segments[1]
    with group_listener(near.pc_ip) as sock:
        sim = session.sim("--devices", "0", "--onvif", "2")
        hellos = receive_messages(sock, "Hello", 2)
        announced = {root.findtext("s:Body/d:Hello/a:EndpointReference/a:Address", namespaces=NS):
                     root.findtext("s:Body/d:Hello/d:XAddrs", namespaces=NS) for root, _ in hellos}
        lab.expect(announced == {lab.camera_endpoint(lab.ONVIF_BASE, k):
                                 f"http://198.51.100.{130 + k}:80/onvif/device_service"
                                 for k in range(2)}, f"Hellos announced {announced}")
        lab.expect(all(source == (near.lan_ip, PORT) for _, source in hellos), f"from {[s for _, s in hellos]}")

        sim.popen.send_signal(signal.SIGTERM)
        lab.expect(sim.wait_exit(10) == 0, "quillsim did not end cleanly")
        byes = receive_messages(sock, "Bye", 2)
        gone = sorted(root.findtext("s:Body/d:Bye/a:EndpointReference/a:Address", namespaces=NS)
                      for root, _ in byes)
        lab.expect(gone == [lab.camera_endpoint(lab.ONVIF_BASE, k) for k in range(2)], f"Byes for {gone}")
    kinds = [record["kind"] for record in sim.records() if record["kind"] in ("onvif-hello", "onvif-bye")]
    lab.expect(kinds == ["onvif-hello"] * 2 + ["onvif-bye"] * 2, f"log: {kinds}")


def soap(action, body, message_id):
    return (f'<s:Envelope xmlns:s="{NS["s"]}" xmlns:a="{NS["a"]}" xmlns:d="{NS["d"]}"><s:Header>'
            f"<a:MessageID>{message_id}</a:MessageID><a:To>urn:schemas-xmlsoap-org:ws:2005:04:discovery</a:To>"
            f"<a:Action>{NS['d']}/{action}</a:Action></s:Header><s:Body>{body}</s:Body></s:Envelope>").encode()


def test_a_client_that_must_resolve_after_a_lost_first_answer(session, lab_info):
    near = lab_info.segments[1]
    sim = session.sim("--devices", "0", "--onvif", "2", "--onvif-no-xaddrs", "--onvif-drop-first")
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sock:
        sock.bind((near.pc_ip, 0))
        sock.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_IF, socket.inet_aton(near.pc_ip))

        first = f"urn:uuid:{uuid.uuid4()}"
        sock.sendto(soap("Probe", "<d:Probe/>", first), (GROUP, PORT))
        lab.poll(lambda: len(sim.records("onvif-dropped")) == 2, 10, "both first answers dropped")

        second = f"urn:uuid:{uuid.uuid4()}"
        sock.sendto(soap("Probe", "<d:Probe><d:Types>dn:NetworkVideoTransmitter</d:Types></d:Probe>"
                         .replace("<d:Types>", '<d:Types xmlns:dn="http://www.onvif.org/ver10/network/wsdl">'),
                         second), (GROUP, PORT))
        matches = receive_messages(sock, "ProbeMatches", 2)
        for root, _ in matches:
            lab.expect(root.findtext("s:Header/a:RelatesTo", namespaces=NS) == second,
                       "a ProbeMatch relates to the second Probe, the first one's answer was dropped")
            lab.expect(root.find("s:Body/d:ProbeMatches/d:ProbeMatch/d:XAddrs", NS) is None, "XAddrs announced")

        resolve_id = f"urn:uuid:{uuid.uuid4()}"
        camera = lab.camera_endpoint(lab.ONVIF_BASE, 1)
        sock.sendto(soap("Resolve", f"<d:Resolve><a:EndpointReference><a:Address>{camera}</a:Address>"
                                    "</a:EndpointReference></d:Resolve>", resolve_id), (GROUP, PORT))
        (root, source), = receive_messages(sock, "ResolveMatches", 1)
    lab.expect(root.findtext("s:Header/a:RelatesTo", namespaces=NS) == resolve_id, "RelatesTo of the Resolve")
    lab.expect(root.findtext("s:Body/d:ResolveMatches/d:ResolveMatch/d:XAddrs", namespaces=NS)
               == "http://198.51.100.131:80/onvif/device_service", "the XAddr of camera 1")
    lab.expect(source == (near.lan_ip, PORT), f"from {source}")


def test_crafted_replies_carry_the_probe_id_and_bad_datagrams_are_only_logged(session, lab_info):
    near = lab_info.segments[1]
    template = session.logs / "reply.xml"
    template.write_text("<x><RelatesTo>{{RelatesTo}}</RelatesTo><again>{{RelatesTo}}</again></x>")
    sim = session.sim("--devices", "0", "--onvif-raw-file", str(template))
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sock:
        sock.bind((near.pc_ip, 0))
        sock.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_IF, socket.inet_aton(near.pc_ip))
        hostile = [b"", b"<unclosed", b'<!DOCTYPE x [<!ENTITY a "aaaa">]><x>&a;&a;</x>', b"<a>" * 5000]
        for datagram in hostile:
            sock.sendto(datagram, (GROUP, PORT))
        message_id = f"urn:uuid:{uuid.uuid4()}"
        # Arrives after the hostile ones: by its answer, the simulator has read them all.
        sock.sendto(soap("Probe", "<d:Probe/>", message_id), (GROUP, PORT))
        sock.settimeout(10)
        reply, source = sock.recvfrom(65535)
    lab.expect(reply.decode() == f"<x><RelatesTo>{message_id}</RelatesTo><again>{message_id}</again></x>",
               f"crafted reply {reply!r}")
    lab.expect(source == (near.lan_ip, PORT), f"from {source}")
    others = [record for record in sim.records("other") if record.get("port") == PORT]
    lab.expect([record["len"] for record in others] == [len(d) for d in hostile], f"logged {others}")
    lab.expect(sim.running(), "quillsim ended")
