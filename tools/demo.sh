#!/usr/bin/env bash
# The demo: installs what is missing, builds, and runs the program in the network lab with six
# simulated cameras (198.51.100.30 to .35).
#   With $DISPLAY set: the program opens on that display; close it with Exit to end the demo.
#   Without: it runs on a virtual display, and a screenshot of the filled list is saved
#   (build/demo.png, or --out FILE).
# Usage: tools/demo.sh [--devices N] [--out FILE]
# Needs root; run by a user, it runs itself again through sudo.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=tools/as_root.sh
source "$ROOT/tools/as_root.sh"
run_as_root "$ROOT/tools/demo.sh" "$@"
CALLER_DIR=$PWD
cd "$ROOT"

die() {
    echo "demo: $*" >&2
    exit 1
}

session_args=()
while (($#)); do
    case $1 in
    --devices)
        [[ $# -ge 2 ]] || die "$1 needs a value"
        session_args+=("$1" "$2")
        shift 2
        ;;
    --out)
        [[ $# -ge 2 ]] || die "$1 needs a value"
        # Relative to where the user ran the demo, not to the repository.
        [[ $2 == /* ]] && session_args+=(--out "$2") || session_args+=(--out "$CALLER_DIR/$2")
        shift 2
        ;;
    *) die "usage: tools/demo.sh [--devices N] [--out FILE]" ;;
    esac
done

bash tools/install-deps.sh
bash tools/build.sh

granted_root=""
revoke_root_access() {
    [[ -z $granted_root ]] || sudo -u "$SUDO_USER" env DISPLAY="$DISPLAY" xhost -SI:localuser:root >/dev/null 2>&1 || true
}

display_usable() { xdotool getdisplaygeometry >/dev/null 2>&1; }

# root may reach the user's X server through the user's cookie, or be let in with xhost.
prepare_display() {
    case $DISPLAY in
    :* | unix:*) ;;
    *) die "DISPLAY=$DISPLAY is a network display, which the lab's namespace cannot reach; unset DISPLAY to get a screenshot instead" ;;
    esac
    display_usable && return 0
    if [[ -n ${SUDO_USER:-} ]]; then
        local home
        home=$(getent passwd "$SUDO_USER" | cut -d: -f6)
        if [[ -z ${XAUTHORITY:-} && -f $home/.Xauthority ]]; then
            export XAUTHORITY=$home/.Xauthority
            display_usable && return 0
        fi
        if sudo -u "$SUDO_USER" env DISPLAY="$DISPLAY" ${XAUTHORITY:+XAUTHORITY="$XAUTHORITY"} \
            xhost +SI:localuser:root >/dev/null 2>&1; then
            granted_root=1
            trap revoke_root_access EXIT
            display_usable && return 0
        fi
    fi
    die "cannot open display $DISPLAY as root (try: xhost +SI:localuser:root), or unset DISPLAY for a screenshot"
}

if [[ -n ${DISPLAY:-} ]]; then
    prepare_display
    bash tools/lab.sh run --display "$DISPLAY" -- python3 tools/demo_session.py --interactive "${session_args[@]}"
else
    bash tools/lab.sh run -- python3 tools/demo_session.py "${session_args[@]}"
fi
