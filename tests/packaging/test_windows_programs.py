"""What Windows learns of the two programs in the ZIP: their version resources and manifests, read out of
the files as Windows reads them (Debian's python3-pefile), and an Authenticode signature made by the
release step (tools/sign-release.sh) with a throw-away certificate and checked with osslsigncode. No time
stamp server is named, so nothing here touches the network.
"""

import os
import subprocess
import xml.etree.ElementTree as ET
import zipfile

import pefile
import pytest

from test_packages import ROOT, TOP, VERSION, ZIP

PROGRAMS = ("quillmast.exe", "quillctl.exe")
# Windows 7, 8, 8.1, and 10 and 11.
SUPPORTED_OS = {
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
}
NS = {
    "v1": "urn:schemas-microsoft-com:asm.v1", "v3": "urn:schemas-microsoft-com:asm.v3",
    "compat": "urn:schemas-microsoft-com:compatibility.v1",
    "ws2005": "http://schemas.microsoft.com/SMI/2005/WindowsSettings",
    "ws2016": "http://schemas.microsoft.com/SMI/2016/WindowsSettings",
}


@pytest.fixture(scope="module")
def programs(tmp_path_factory):
    assert ZIP.is_file(), f"{ZIP} is missing: run tools/build.sh win"
    folder = tmp_path_factory.mktemp("programs")
    with zipfile.ZipFile(ZIP) as archive:
        for name in PROGRAMS:
            (folder / name).write_bytes(archive.read(f"{TOP}/{name}"))
    return folder


def manifest_of(pe):
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id == pefile.RESOURCE_TYPE["RT_MANIFEST"]:
            data = kind.directory.entries[0].directory.entries[0].data.struct
            return ET.fromstring(pe.get_data(data.OffsetToData, data.Size))
    raise AssertionError("no manifest resource")


def version_strings(pe):
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            return {k.decode(): v.decode() for k, v in info.StringTable[0].entries.items()}
    raise AssertionError("no StringFileInfo")


@pytest.mark.parametrize("name", PROGRAMS)
def test_version_resource_and_manifest(programs, name):
    pe = pefile.PE(str(programs / name))
    fixed = pe.VS_FIXEDFILEINFO[0]
    major, minor = (int(part) for part in VERSION.split("."))
    for ms, ls in ((fixed.FileVersionMS, fixed.FileVersionLS), (fixed.ProductVersionMS, fixed.ProductVersionLS)):
        assert (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF) == (major, minor, 0, 0)
    strings = version_strings(pe)
    assert strings["FileVersion"] == strings["ProductVersion"] == VERSION
    assert strings["OriginalFilename"] == name and strings["ProductName"] == "Quillmast"
    assert name.removesuffix(".exe") in strings["FileDescription"].lower()

    manifest = manifest_of(pe)
    level = manifest.find(".//v3:requestedExecutionLevel", NS)
    assert level.get("level") == "asInvoker" and level.get("uiAccess") == "false"
    assert {os_.get("Id") for os_ in manifest.iterfind(".//compat:supportedOS", NS)} == SUPPORTED_OS
    settings = manifest.find("v3:application/v3:windowsSettings", NS)
    if name == "quillctl.exe":
        assert settings.find("ws2016:longPathAware", NS).text == "true"
    else:
        # Per-monitor v2 where Windows knows it, per-monitor on 8.1, system-wide on 7 and 8.
        assert settings.find("ws2016:dpiAwareness", NS).text.replace(" ", "") == "PerMonitorV2,PerMonitor"
        assert settings.find("ws2005:dpiAware", NS).text == "true/pm"


def run(*argv, **kwargs):
    return subprocess.run([str(a) for a in argv], capture_output=True, text=True, timeout=120, **kwargs)


def test_release_step_signs_both_programs(programs, tmp_path):
    passphrase = "throw-away pass 7f3c"
    (tmp_path / "pass").write_text(passphrase + "\n")
    made = run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-days", "2", "-subj", "/CN=Quillmast test signer",
               "-addext", "extendedKeyUsage=codeSigning", "-keyout", tmp_path / "key.pem",
               "-out", tmp_path / "cert.pem", "-passout", f"file:{tmp_path / 'pass'}")
    assert made.returncode == 0, made.stderr
    for name in PROGRAMS:
        unsigned = run("osslsigncode", "verify", "-CAfile", tmp_path / "cert.pem", "-in", programs / name)
        assert unsigned.returncode != 0, f"{name} was signed before the release step"

    env = {k: v for k, v in os.environ.items() if not k.startswith("QM_SIGN_")}
    env.update(QM_SIGN_CERT=str(tmp_path / "cert.pem"), QM_SIGN_KEY=str(tmp_path / "key.pem"),
               QM_SIGN_PASS_FILE=str(tmp_path / "pass"), QM_SIGN_CAFILE=str(tmp_path / "cert.pem"))
    signed = run(ROOT / "tools" / "sign-release.sh", *(programs / name for name in PROGRAMS), env=env,
                 stdin=subprocess.DEVNULL)
    assert signed.returncode == 0, signed.stdout + signed.stderr
    assert passphrase not in signed.stdout + signed.stderr

    for name in PROGRAMS:
        check = run("osslsigncode", "verify", "-CAfile", tmp_path / "cert.pem", "-in", programs / name)
        assert check.returncode == 0 and "Signature verification: ok" in check.stdout, check.stdout + check.stderr
        assert "CN=Quillmast test signer" in check.stdout
        # The signed file is still the program, with its resources.
        assert version_strings(pefile.PE(str(programs / name)))["FileVersion"] == VERSION

    # Without a certificate nothing is signed, and the script says why.
    refused = run(ROOT / "tools" / "sign-release.sh", programs / PROGRAMS[0],
                  env={k: v for k, v in env.items() if not k.startswith("QM_SIGN_")})
    assert refused.returncode == 2 and "QM_SIGN_CERT" in refused.stderr
