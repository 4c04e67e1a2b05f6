# shellcheck shell=bash
# Shared by every part of the lab: where its state lives, its names, and how it reports.
# Sourced by tools/lab.sh; defines only constants and small functions.

# shellcheck disable=SC2034 # used by the other parts
{
    readonly STATE_ROOT=/run/quillmast-lab
    # Survives reboots, so the Wine template (seconds to build) is made once per machine. Another
    # place only for the lab's own tests, which show that a planted one is refused.
    readonly CACHE_ROOT=${QM_LAB_CACHE:-/var/cache/quillmast-lab}
    # Debian's Wine loader, started with the address layout it needs (tools/wine-start says why).
    readonly WINE="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/wine-start"
    # The Debian wrapper /usr/lib/wine/wineserver adds -p0; the lab wants its own persistence.
    readonly WINESERVER=/usr/lib/wine/wineserver64
    readonly DLL_OVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d'
}

log() { echo "lab: $*" >&2; }
die() {
    echo "lab: error: $*" >&2
    exit 1
}

valid_name() {
    [[ $1 =~ ^qmlab-[A-Za-z0-9-]{1,36}$ ]] || die "lab name must be qmlab-<letters, digits, ->: '$1'"
}

state_dir() { echo "$STATE_ROOT/$1"; }

netns_exists() { ip netns list | awk '{print $1}' | grep -qxF "$1"; }
