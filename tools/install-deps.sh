#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and the demo need.
# Idempotent: asks apt only when a package is missing, and then updates the
# package lists first so a fresh machine works.
set -euo pipefail

# The one list. Keep it sorted by purpose, not alphabetically.
PACKAGES=(
    # host build and tests
    cmake g++ make python3 googletest
    # header-only libraries of quillctl (command line, JSON), used by both builds
    libcli11-dev nlohmann-json3-dev
    # the simulator's XML reader (its ONVIF cameras read WS-Discovery probes)
    libpugixml-dev
    # the fuzzers (libFuzzer comes with clang's runtime); clang also builds the Linux package
    clang libclang-rt-14-dev
    # the downloads: CPack's .deb needs dpkg-shlibdeps, its manual pages help2man; their checks run
    # under pytest, the .deb's also through Debian's own checker
    dpkg-dev help2man lintian python3-pytest
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
    # an ONVIF client written by others, which the simulated cameras are checked against (npm package
    # pinned in tests/e2e/onvif_client)
    nodejs
)
# Debian ships npm apart from nodejs; a Node.js build that brings its own npm needs no second one.
command -v npm >/dev/null || PACKAGES+=(npm)

missing=()
for pkg in "${PACKAGES[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    if [[ $status != "install ok installed" ]]; then
        missing+=("$pkg")
    fi
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

if ((EUID != 0)); then
    echo "install-deps: missing packages: ${missing[*]}" >&2
    echo "install-deps: run as root (sudo) to install them" >&2
    exit 1
fi

echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
# Another apt run may hold the lock (a big install at machine set-up): wait for it.
apt_opts=(-y -q -o DPkg::Lock::Timeout=1800)
apt-get "${apt_opts[@]}" update
apt-get "${apt_opts[@]}" install "${missing[@]}"
