#!/usr/bin/env bash
# The virtual LAN in which the program, the device simulator and every test that sends or
# receives a datagram run: network namespaces joined by veth pairs (lab/network.sh), a virtual
# display (lab/display.sh), a Wine prefix (lab/wine.sh), all removed again (lab/cleanup.sh).
# Nothing touches a real interface; the only addresses are from 198.51.100.0/24 (segment 1:
# default and multicast routes) and 203.0.113.0/24 (segment 2, for tools that search every link).
#
#   lab.sh run [--display :N] -- CMD ARGS...   one lab for one command, always removed
#   lab.sh up NAME [--display :N]              a lab for manual use (NAME starts "qmlab-")
#   lab.sh exec NAME -- CMD ARGS...            run CMD in the pc namespace of a lab made by "up"
#   lab.sh down NAME                           remove a lab
#   lab.sh list                                labs that exist
#   lab.sh prune                               remove labs left by "run"s that died
#
# Needs root; run by a user, it runs itself again through sudo.
set -euo pipefail
export PATH=/usr/sbin:/sbin:$PATH

QM_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
readonly QM_ROOT LAB_DIR=$QM_ROOT/tools/lab
# shellcheck source=tools/as_root.sh
source "$QM_ROOT/tools/as_root.sh"
# shellcheck source=tools/lab/common.sh
source "$LAB_DIR/common.sh"
# shellcheck source=tools/lab/private_dirs.sh
source "$LAB_DIR/private_dirs.sh"
# shellcheck source=tools/lab/network.sh
source "$LAB_DIR/network.sh"
# shellcheck source=tools/lab/display.sh
source "$LAB_DIR/display.sh"
# shellcheck source=tools/lab/wine.sh
source "$LAB_DIR/wine.sh"
# shellcheck source=tools/lab/cleanup.sh
source "$LAB_DIR/cleanup.sh"

usage() {
    sed -n '2,/^set -euo/{/^#/s/^# \{0,1\}//p}' "${BASH_SOURCE[0]}" >&2
    exit 2
}

require_lab_host() {
    ((EUID == 0)) || die "must run as root: network namespaces need it"
    command -v ip >/dev/null || die "'ip' (iproute2) not found"
    ip netns list >/dev/null 2>&1 || die "'ip netns' is not usable here"
    require_private_dir "$STATE_ROOT"
    require_private_dir "$CACHE_ROOT"
    mkdir -p /run/netns || die "cannot create /run/netns"
}

write_env() {
    local name=$1 state
    state=$(state_dir "$name")
    {
        echo "QM_LAB=$name"
        echo "QM_PC_NS=$name-pc"
        cat "$state/net.env"
        echo "QM_ROOT=$QM_ROOT"
        echo "QM_BUILD_WIN=${QM_BUILD_WIN:-$QM_ROOT/build/win}"
        echo "QM_BUILD_HOST=${QM_BUILD_HOST:-$QM_ROOT/build/host}"
        echo "QM_WINE_RUN=$QM_ROOT/tools/wine-run"
        echo "QM_LAB_STATE=$state"
        wine_env "$state/prefix"
        display_env "$name"
    } >"$state/env"
}

# owner: "manual", or the pid of the run that made the lab.
lab_up() {
    local name=$1 display=$2 owner=$3 state
    state=$(state_dir "$name")
    [[ -e $state ]] && die "lab $name already exists ($state)"
    mkdir -m 0700 "$state"
    echo "$owner" >"$state/owner"
    net_up "$name"
    if [[ -n $display ]]; then
        echo "$display" >"$state/display"
    else
        x_up "$name"
    fi
    wine_up "$name"
    write_env "$name"
}

run_env() {
    local name=$1
    mapfile -t RUN_ENV <"$(state_dir "$name")/env"
}

cmd_list() {
    local name state
    for name in $(all_lab_names); do
        state=$(state_dir "$name")
        printf '%s\towner=%s\tdisplay=%s\n' "$name" "$(cat "$state/owner" 2>/dev/null || echo '?')" \
            "$(cat "$state/display" 2>/dev/null || echo '?')"
    done
}

parse_display() {
    [[ $1 =~ ^[A-Za-z0-9.:_/-]*:[0-9]+(\.[0-9]+)?$ ]] || die "bad display '$1'"
    echo "$1"
}

# The EXIT trap's clean-up. A second Ctrl+C (or timeout(1), which signals the command and then its
# whole process group) must not cut it short and leave namespaces behind; what it runs inherits the
# ignoring too.
clean_up_undisturbed() {
    trap '' INT TERM HUP
    lab_down "$1"
}

cmd_run() {
    local display=""
    while (($#)); do
        case $1 in
        --display)
            display=$(parse_display "${2:-}")
            shift 2
            ;;
        --) shift; break ;;
        *) usage ;;
        esac
    done
    (($#)) || usage
    require_lab_host
    prune_stale_labs
    RUN_NAME=qmlab-$$-$(od -An -N3 -tx1 /dev/urandom | tr -d ' \n')
    trap 'set +e; clean_up_undisturbed "$RUN_NAME"' EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM HUP
    lab_up "$RUN_NAME" "$display" "$$"
    run_env "$RUN_NAME"
    # In the background, so a TERM to this script is handled at once; --default-signal undoes
    # the SIGINT/SIGQUIT ignoring that bash gives background jobs, and stdin is passed on.
    local rc=0
    ip netns exec "$RUN_NAME-pc" env --default-signal=INT,QUIT "${RUN_ENV[@]}" "$@" <&0 &
    wait $! || rc=$?
    exit "$rc"
}

cmd_up() {
    local name=${1:-} display=""
    [[ -n $name ]] || usage
    shift
    valid_name "$name"
    if [[ ${1:-} == --display ]]; then
        display=$(parse_display "${2:-}")
    fi
    require_lab_host
    UP_NAME=$name
    trap 'set +e; log "set-up failed, removing $UP_NAME"; clean_up_undisturbed "$UP_NAME"' EXIT
    lab_up "$name" "$display" manual
    trap - EXIT
    log "lab $name is up; run commands in it with: tools/lab.sh exec $name -- CMD"
    cat "$(state_dir "$name")/env"
}

cmd_exec() {
    local name=${1:-}
    [[ -n $name && ${2:-} == -- ]] || usage
    shift 2
    (($#)) || usage
    valid_name "$name"
    require_lab_host
    [[ -f $(state_dir "$name")/env ]] || die "no lab $name (tools/lab.sh list)"
    run_env "$name"
    exec ip netns exec "$name-pc" env "${RUN_ENV[@]}" "$@"
}

cmd_down() {
    local name=${1:-}
    [[ -n $name ]] || usage
    valid_name "$name"
    require_lab_host
    lab_down "$name"
}

main() {
    local cmd=${1:-}
    case $cmd in
    run | up | exec | down | list | prune) run_as_root "$QM_ROOT/tools/lab.sh" "$@" ;;
    esac
    (($#)) && shift
    case $cmd in
    run) cmd_run "$@" ;;
    up) cmd_up "$@" ;;
    exec) cmd_exec "$@" ;;
    down) cmd_down "$@" ;;
    list) cmd_list ;;
    prune) require_lab_host && prune_stale_labs ;;
    *) usage ;;
    esac
}

main "$@"
