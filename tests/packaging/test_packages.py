"""The downloads tools/build.sh makes: named with the version, holding what they should, and working.

The .deb is installed into a temporary root with its own package database (dpkg --root), so this
machine's packages are never touched. Run: python3 -m pytest -q tests/packaging
"""

import os
import subprocess
import zipfile
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
PACKAGES = Path(os.environ.get("QM_PACKAGES") or ROOT / "build" / "packages")
VERSION = "2.003"
ZIP = PACKAGES / f"quillmast-{VERSION}-win64.zip"
DEB = PACKAGES / f"quillctl_{VERSION}_amd64.deb"
TOP = f"quillmast-{VERSION}-win64"
# DLLs every Windows has: a portable .exe may import these and nothing else.
SYSTEM_DLLS = {
    "advapi32.dll", "bcrypt.dll", "comctl32.dll", "crypt32.dll", "gdi32.dll", "iphlpapi.dll", "kernel32.dll",
    "msvcrt.dll", "ole32.dll", "shell32.dll", "user32.dll", "winhttp.dll", "ws2_32.dll",
}


def run(*argv, **kwargs):
    return subprocess.run([str(a) for a in argv], capture_output=True, text=True, timeout=60, **kwargs)


def imported_dlls(exe):
    result = run("x86_64-w64-mingw32-objdump", "-p", exe)
    assert result.returncode == 0, result.stderr
    return {line.split(":", 1)[1].strip().lower() for line in result.stdout.splitlines() if "DLL Name:" in line}


@pytest.fixture(scope="module")
def windows_zip():
    assert ZIP.is_file(), f"{ZIP} is missing: run tools/build.sh win"
    return zipfile.ZipFile(ZIP)


def test_zip_holds_both_programs_and_the_text(windows_zip):
    files = sorted(name for name in windows_zip.namelist() if not name.endswith("/"))
    assert files == [f"{TOP}/README.txt", f"{TOP}/pugixml-LICENSE.txt", f"{TOP}/quillctl.exe", f"{TOP}/quillmast.exe"]
    assert "Permission is hereby granted" in windows_zip.read(f"{TOP}/pugixml-LICENSE.txt").decode("ascii")
    text = windows_zip.read(f"{TOP}/README.txt").decode("ascii")
    assert f"Quillmast {VERSION}" in text
    for words in ("quillmast.exe", "quillctl.exe", "quillctl find", "quillctl set-ip", "quillctl apply"):
        assert words in text
    assert "\r\n" in text and "\n" not in text.replace("\r\n", ""), "CRLF line ends for Notepad"


def test_zipped_programs_need_no_dll_beyond_the_system(windows_zip, tmp_path):
    for name in ("quillmast.exe", "quillctl.exe"):
        exe = tmp_path / name
        exe.write_bytes(windows_zip.read(f"{TOP}/{name}"))
        assert imported_dlls(exe) <= SYSTEM_DLLS, name


@pytest.fixture(scope="module")
def installed_root(tmp_path_factory):
    assert DEB.is_file(), f"{DEB} is missing: run tools/build.sh package"
    root = tmp_path_factory.mktemp("debroot")
    for folder in ("var/lib/dpkg/info", "var/lib/dpkg/updates"):
        (root / folder).mkdir(parents=True)
    (root / "var/lib/dpkg/status").write_text("")
    # The temporary root's database knows none of the machine's libraries: depends are not checked there.
    result = run("dpkg", f"--root={root}", "--log=/dev/null", "--force-depends", "--force-not-root", "-i", DEB)
    assert result.returncode == 0, result.stdout + result.stderr
    return root


def test_deb_is_named_and_described_with_the_version():
    fields = run("dpkg-deb", "-f", DEB, "Package", "Version", "Architecture").stdout
    assert fields.splitlines() == ["Package: quillctl", f"Version: {VERSION}", "Architecture: amd64"]
    contents = run("dpkg-deb", "-c", DEB).stdout
    for path in ("./usr/bin/quillctl", "./usr/bin/quillsim", "./usr/share/doc/quillctl/README.md",
                 "./usr/share/doc/quillctl/copyright", "./usr/share/doc/quillctl/changelog.gz",
                 "./usr/share/man/man1/quillctl.1.gz", "./usr/share/man/man1/quillsim.1.gz",
                 "./usr/share/bash-completion/completions/quillctl"):
        assert f" {path}\n" in contents + "\n", path


def test_installed_quillctl_runs(installed_root):
    version = run(installed_root / "usr/bin/quillctl", "--version")
    assert (version.returncode, version.stdout) == (0, f"quillctl {VERSION}\n")
    help_text = run(installed_root / "usr/bin/quillsim", "--help")
    assert help_text.returncode == 0
    # The package is built without the sanitizers of the test tree.
    for name in ("quillctl", "quillsim"):
        assert b"__asan" not in (installed_root / "usr/bin" / name).read_bytes(), name


def test_machine_package_database_untouched(installed_root):
    assert run("dpkg-query", "-W", "quillctl").returncode != 0


def test_debians_checker_finds_nothing_to_report():
    # Every tag lintian shows by default (errors, warnings and informational notes): a package users
    # install beside Debian's own should meet the same rules.
    result = subprocess.run(["lintian", "--info", "--tag-display-limit", "0", str(DEB)], capture_output=True,
                            text=True, timeout=300)
    tags = [line for line in result.stdout.splitlines() if line[:2] in ("E:", "W:", "I:")]
    assert tags == [] and result.returncode == 0, result.stdout + result.stderr


def test_manual_pages_hold_every_command_and_option(installed_root):
    # roff writes a hyphen as "\-".
    page = run("zcat", installed_root / "usr/share/man/man1/quillctl.1.gz").stdout.replace("\\-", "-")
    for words in (".SS find", ".SS set-ip", ".SS apply", ".SS web", "--format", "--dry-run", "Exit status"):
        assert words in page, words
    quillsim = run("zcat", installed_root / "usr/share/man/man1/quillsim.1.gz").stdout
    assert "quillsim" in quillsim and VERSION in quillsim


def test_completion_offers_commands_and_fixed_values(installed_root):
    script = installed_root / "usr/share/bash-completion/completions/quillctl"
    env = dict(os.environ, PATH=f"{installed_root / 'usr/bin'}:{os.environ['PATH']}")

    def complete(line):
        words = line.split(" ")
        program = f"""source {script}; COMP_WORDS=({' '.join(repr(w) for w in words)}); COMP_CWORD={len(words) - 1}
                      _quillctl; printf '%s\\n' "${{COMPREPLY[@]}}" """
        return run("bash", "-c", program, env=env).stdout.split()

    assert complete("quillctl ") == ["find", "set-ip", "apply", "web", "info"]
    assert complete("quillctl find --form") == ["--format"]
    assert complete("quillctl find --format ") == ["table", "csv", "json", "jsonl"]
    assert complete("quillctl apply --select d") == ["duplicate"]
