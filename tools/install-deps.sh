#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and the demo need.
# Idempotent: asks apt only when a package is missing, and then updates the
# package lists first so a fresh machine works.
set -euo pipefail

# The one list. Keep it sorted by purpose, not alphabetically.
PACKAGES=(
    # host build and tests
    cmake g++ make python3 googletest
    # header-only libraries of quillctl (command line, JSON), used by both builds; the XML parser of
    # quillctl and the simulator (the Windows build compiles the same version from Debian's source,
    # see tools/fetch-sources.sh)
    libcli11-dev nlohmann-json3-dev libpugixml-dev curl
    # quillctl on Linux: HTTP to the cameras' device services; SHA-1, MD5, Base64 and random nonces
    # from libcrypto, for quillctl's and the simulated cameras' authentication
    libcurl4-openssl-dev libssl-dev
    # the fuzzers (libFuzzer comes with clang's runtime); clang also builds the Linux package
    clang libclang-rt-14-dev
    # the downloads: CPack's .deb needs dpkg-shlibdeps, its manual pages help2man; their checks run
    # under pytest, the .deb's also through Debian's own checker
    dpkg-dev help2man lintian python3-pytest
    # the Windows programs' resources read back (version, manifest), and the release's Authenticode
    # signature (tools/sign-release.sh) made and checked, with a throw-away certificate in the tests
    python3-pefile osslsigncode openssl
    # Windows cross-build
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    # running the Windows build
    wine wine64 fonts-wine fonts-liberation fonts-wqy-microhei
    # display: virtual X server, screenshots, access to a user's X server
    xvfb xauth x11-xserver-utils imagemagick xdotool
    # the network lab
    iproute2 procps tcpdump util-linux
    # the end-to-end and lab tests (Debian's python3, which tools/e2e.sh runs)
    python3-pytest python3-pytest-timeout
    # a WS-Discovery responder the project did not write, started by the tests in the lab only
    wsdd
    # an ONVIF client written by others, which the simulated cameras are checked against (npm package
    # pinned in tests/e2e/onvif_client)
    nodejs
)
# Debian ships npm apart from nodejs; a Node.js build that brings its own npm needs no second one.
command -v npm >/dev/null || PACKAGES+=(npm)

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

missing=()
for pkg in "${PACKAGES[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    if [[ $status != "install ok installed" ]]; then
        missing+=("$pkg")
    fi
done

if ((${#missing[@]} == 0)); then
    bash "$ROOT/tools/fetch-sources.sh"
    exit 0
fi

if ((EUID != 0)); then
    echo "install-deps: missing packages: ${missing[*]}" >&2
    echo "install-deps: run as root (sudo) to install them" >&2
    exit 1
fi

echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive

# Daemons among the packages (wsdd) must never run on this machine's own network: masked before
# they are installed, so neither the install nor a boot starts them; the tests start them in the lab.
for service in wsdd.service; do
    if [[ ! -e /etc/systemd/system/$service ]]; then
        mkdir -p /etc/systemd/system
        ln -s /dev/null "/etc/systemd/system/$service"
    fi
done
# And no service start at all while packages are set up (Debian's policy-rc.d convention).
policy=/usr/sbin/policy-rc.d
made_policy=""
if [[ ! -e $policy ]]; then
    printf '#!/bin/sh\n# Made by Quillmast tools/install-deps.sh while it installs; removed after.\nexit 101\n' >"$policy"
    chmod 755 "$policy"
    made_policy=1
fi
trap 'if [[ -n $made_policy ]]; then rm -f "$policy"; fi' EXIT

# Another apt run may hold the lock (a big install at machine set-up): wait for it.
apt_opts=(-y -q -o DPkg::Lock::Timeout=1800)
apt-get "${apt_opts[@]}" update
apt-get "${apt_opts[@]}" install "${missing[@]}"
bash "$ROOT/tools/fetch-sources.sh"
if [[ -d /run/systemd/system ]] && systemctl is-active --quiet wsdd.service; then
    systemctl stop wsdd.service
    echo "install-deps: wsdd.service was running on this machine's network and was stopped" >&2
    exit 1
fi
