#!/usr/bin/env bash
# The virtual LAN in which the program, the device simulator and every test that
# sends or receives a datagram run. Nothing here touches a real interface: the
# veth pair is created directly inside the two namespaces and never exists in the
# root namespace, and the only addresses are from 198.51.100.0/24.
#
#   lab.sh run [--display :N] -- CMD ARGS...   one lab for one command, always removed
#   lab.sh up NAME [--display :N]              a lab for manual use (NAME starts "qmlab-")
#   lab.sh exec NAME -- CMD ARGS...            run CMD in the pc namespace of a lab made by "up"
#   lab.sh down NAME                           remove a lab
#   lab.sh list                                labs that exist
#   lab.sh prune                               remove labs left by "run"s that died
set -euo pipefail
export PATH=/usr/sbin:/sbin:$PATH

QM_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
readonly QM_ROOT
readonly PC_IP=198.51.100.1 LAN_IP=198.51.100.2 NET_BITS=24 LAB_NET=198.51.100.
readonly STATE_ROOT=/run/quillmast-labs
readonly TEMPLATE=/var/tmp/quillmast-wine-template
# Bump when the template recipe below changes, so cached templates are rebuilt.
readonly TEMPLATE_RECIPE=3
readonly WINE=/usr/lib/wine/wine64
# The Debian wrapper /usr/lib/wine/wineserver adds -p0; the lab wants its own persistence.
readonly WINESERVER=/usr/lib/wine/wineserver64
readonly DLL_OVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d'
readonly SCREEN=1024x768x24

log() { echo "lab: $*" >&2; }
die() {
    echo "lab: error: $*" >&2
    exit 1
}

usage() {
    sed -n '2,/^set -euo/{/^#/s/^# \{0,1\}//p}' "${BASH_SOURCE[0]}" >&2
    exit 2
}

require_root() {
    ((EUID == 0)) || die "must run as root (sudo): network namespaces need it"
    command -v ip >/dev/null || die "'ip' (iproute2) not found"
    ip netns list >/dev/null 2>&1 || die "'ip netns' is not usable here"
    mkdir -p "$STATE_ROOT" /run/netns || die "cannot create $STATE_ROOT"
}

valid_name() {
    [[ $1 =~ ^qmlab-[A-Za-z0-9-]{1,36}$ ]] || die "lab name must be qmlab-<letters, digits, ->: '$1'"
}

state_dir() { echo "$STATE_ROOT/$1"; }

netns_exists() { ip netns list | awk '{print $1}' | grep -qxF "$1"; }

# ---------------------------------------------------------------- network

# Only loopback and lab addresses may exist in a lab namespace; checked after set-up
# so a mistake in this script cannot put a program on some other network.
check_ns_addresses() {
    local ns=$1 ifname cidr
    while read -r ifname cidr; do
        case $cidr in
        127.*) ;;
        "$LAB_NET"*) ;;
        *) die "namespace $ns has address $cidr on $ifname, which is not a lab address" ;;
        esac
    done < <(ip -n "$ns" -4 -o addr show | awk '{print $2, $4}')
}

wait_link_up() {
    local ns=$1 ifname=$2 deadline=$((SECONDS + 10))
    until ip -n "$ns" link show dev "$ifname" | grep -q LOWER_UP; do
        ((SECONDS < deadline)) || die "link $ifname in $ns did not come up"
        sleep 0.05
    done
}

setup_side() {
    local ns=$1 ifname=$2 addr=$3
    # No IPv6: keeps router solicitations and MLD reports out of captures.
    ip netns exec "$ns" sysctl -q -w net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1
    ip -n "$ns" link set lo up
    ip -n "$ns" addr add "$addr/$NET_BITS" dev "$ifname"
    ip -n "$ns" link set "$ifname" up
    ip -n "$ns" route add 224.0.0.0/4 dev "$ifname"
}

net_up() {
    local name=$1 state pc lan tag pc_if lan_if
    state=$(state_dir "$name")
    pc=$name-pc
    lan=$name-lan
    netns_exists "$pc" && die "namespace $pc already exists"
    netns_exists "$lan" && die "namespace $lan already exists"
    # Interface names are at most 15 characters: derive a short tag from the unique lab name.
    tag=$(printf '%s' "$name" | sha1sum | cut -c1-8)
    pc_if=qm${tag}p
    lan_if=qm${tag}l
    ip netns add "$pc"
    ip netns add "$lan"
    ip link add "$pc_if" netns "$pc" type veth peer name "$lan_if" netns "$lan"
    setup_side "$pc" "$pc_if" "$PC_IP"
    setup_side "$lan" "$lan_if" "$LAN_IP"
    wait_link_up "$pc" "$pc_if"
    wait_link_up "$lan" "$lan_if"
    check_ns_addresses "$pc"
    check_ns_addresses "$lan"
    echo "$pc_if" >"$state/pc_if"
    echo "$lan_if" >"$state/lan_if"
}

# ---------------------------------------------------------------- X server

x_up() {
    local name=$1 state pc deadline
    state=$(state_dir "$name")
    pc=$name-pc
    : >"$state/display.fd"
    # In the pc namespace, so the lab's process sweep ends it; -displayfd picks a free display.
    ip netns exec "$pc" setsid Xvfb -displayfd 3 -screen 0 "$SCREEN" -nolisten tcp -noreset \
        3>"$state/display.fd" </dev/null >"$state/xvfb.log" 2>&1 &
    echo $! >"$state/xvfb.pid"
    deadline=$((SECONDS + 20))
    until [[ -s $state/display.fd ]]; do
        if ! kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null; then
            tail -n 20 "$state/xvfb.log" >&2
            die "Xvfb exited"
        fi
        ((SECONDS < deadline)) || die "Xvfb did not report a display"
        sleep 0.05
    done
    echo ":$(tr -dc 0-9 <"$state/display.fd")" >"$state/display"
}

# ---------------------------------------------------------------- Wine

wine_env() {
    local prefix=$1 display=$2
    printf '%s\n' "WINEPREFIX=$prefix" "WINESERVER=$WINESERVER" "WINEDLLOVERRIDES=$DLL_OVERRIDES" \
        "WINEDEBUG=${WINEDEBUG:-fixme-all}" LC_ALL=C.UTF-8
    [[ -z $display ]] || echo "DISPLAY=$display"
}

# The template is made once per machine (wineboot -i takes seconds) and copied per lab.
# It is built in a namespace of its own with no interface but a down loopback.
build_template() {
    local tmp=$1 ns=$2 prefix=$1/prefix font
    ip netns add "$ns"
    local -a env
    mapfile -t env < <(wine_env "$prefix" "")
    # shellcheck disable=SC2016 # expanded by the inner shell
    if ! ip netns exec "$ns" env -u DISPLAY "${env[@]}" bash -euc '
        "$0" wineboot -i
        "$0" reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /t REG_SZ /d N /f
        "$0" reg add "HKCU\\Software\\Wine\\WineDbg" /v ShowCrashDialog /t REG_DWORD /d 0 /f
        # A new prefix has no Arial: without this Wine picks a serif face for the dialogs font.
        "$0" reg add "HKCU\\Software\\Wine\\Fonts\\Replacements" /v Arial /t REG_SZ /d "Liberation Sans" /f
        "$0" reg add "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink" \
            /v "Liberation Sans" /t REG_MULTI_SZ /d "wqy-microhei.ttc,WenQuanYi Micro Hei" /f
        "$1" -w
    ' "$WINE" "$WINESERVER" </dev/null >"$tmp/build.log" 2>&1; then
        ip netns del "$ns"
        tail -n 30 "$tmp/build.log" >&2
        die "building the Wine template failed (log: $tmp/build.log)"
    fi
    ip netns del "$ns"
    for font in tahoma.ttf tahomabd.ttf marlett.ttf; do
        [[ -f /usr/share/wine/fonts/$font ]] || die "/usr/share/wine/fonts/$font missing (package fonts-wine)"
        ln -sf "/usr/share/wine/fonts/$font" "$prefix/drive_c/windows/Fonts/$font"
    done
}

ensure_template() {
    local stamp lock_fd tmp
    stamp="recipe=$TEMPLATE_RECIPE $("$WINE" --version)"
    mkdir -p "$(dirname "$TEMPLATE")"
    exec {lock_fd}>"$TEMPLATE.lock"
    flock "$lock_fd"
    if [[ ! -f $TEMPLATE/stamp || $(cat "$TEMPLATE/stamp") != "$stamp" ]]; then
        log "building the Wine prefix template in $TEMPLATE (once)"
        tmp=$TEMPLATE.new.$$
        rm -rf "$tmp"
        mkdir -p "$tmp"
        build_template "$tmp" "qmlab-$$-tpl"
        echo "$stamp" >"$tmp/stamp"
        rm -rf "$TEMPLATE"
        mv "$tmp" "$TEMPLATE"
    fi
    exec {lock_fd}>&-
}

wine_up() {
    local name=$1 state pc
    state=$(state_dir "$name")
    pc=$name-pc
    ensure_template
    cp -a "$TEMPLATE/prefix" "$state/prefix"
    local -a env
    mapfile -t env < <(wine_env "$state/prefix" "$(cat "$state/display")")
    # wineserver creates the program's sockets, so it runs in the pc namespace. Wine's
    # services inherit the stderr of whoever starts them first: start them here, into a log,
    # so no test runner ends up waiting on them.
    ip netns exec "$pc" env "${env[@]}" "$WINESERVER" -p </dev/null >>"$state/wine.log" 2>&1
    ip netns exec "$pc" env "${env[@]}" "$WINE" wineboot </dev/null >>"$state/wine.log" 2>&1 ||
        die "wineboot failed (log: $state/wine.log)"
}

# ---------------------------------------------------------------- lab as a whole

write_env() {
    local name=$1 state
    state=$(state_dir "$name")
    {
        echo "QM_LAB=$name"
        echo "QM_PC_NS=$name-pc"
        echo "QM_LAN_NS=$name-lan"
        echo "QM_PC_IP=$PC_IP"
        echo "QM_LAN_IP=$LAN_IP"
        echo "QM_PC_IF=$(cat "$state/pc_if")"
        echo "QM_LAN_IF=$(cat "$state/lan_if")"
        echo "QM_ROOT=$QM_ROOT"
        echo "QM_BUILD_WIN=${QM_BUILD_WIN:-$QM_ROOT/build/win}"
        echo "QM_BUILD_HOST=${QM_BUILD_HOST:-$QM_ROOT/build/host}"
        echo "QM_WINE_RUN=$QM_ROOT/tools/wine-run"
        echo "QM_LAB_STATE=$state"
        wine_env "$state/prefix" "$(cat "$state/display")"
    } >"$state/env"
}

# owner: "manual", or "<pid> <start time>" of the run that made the lab.
lab_up() {
    local name=$1 display=$2 owner=$3 state
    state=$(state_dir "$name")
    [[ -e $state ]] && die "lab $name already exists ($state)"
    mkdir -p "$state"
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

kill_ns_processes() {
    local ns=$1 pids deadline
    netns_exists "$ns" || return 0
    pids=$(ip netns pids "$ns" 2>/dev/null | tr '\n' ' ')
    [[ -n ${pids// /} ]] || return 0
    # shellcheck disable=SC2086
    kill -TERM $pids 2>/dev/null || true
    deadline=$((SECONDS + 3))
    while [[ -n $(ip netns pids "$ns" 2>/dev/null) ]] && ((SECONDS < deadline)); do
        sleep 0.1
    done
    pids=$(ip netns pids "$ns" 2>/dev/null | tr '\n' ' ')
    # shellcheck disable=SC2086
    [[ -z ${pids// /} ]] || kill -KILL $pids 2>/dev/null || true
}

lab_down() {
    local name=$1 state pc lan server_dir=""
    state=$(state_dir "$name")
    pc=$name-pc
    lan=$name-lan
    if [[ -d $state/prefix ]]; then
        # Debian's wineserver keeps its socket directory in /tmp/<name in $prefix/wineserver>,
        # one server-<device>-<inode> per prefix.
        local tmp_name
        tmp_name=$(cat "$state/prefix/wineserver" 2>/dev/null || true)
        if [[ $tmp_name =~ ^wine-[A-Za-z0-9]+$ ]]; then
            server_dir=/tmp/$tmp_name/server-$(stat -c '%D' "$state/prefix")-$(printf '%x' "$(stat -c '%i' "$state/prefix")")
        fi
        if netns_exists "$pc"; then
            ip netns exec "$pc" env WINEPREFIX="$state/prefix" timeout 10 "$WINESERVER" -k \
                </dev/null >/dev/null 2>&1 || true
        fi
    fi
    kill_ns_processes "$pc"
    kill_ns_processes "$lan"
    # Xvfb of a lab made with a display of its own is in the pc namespace; this is belt and braces.
    if [[ -f $state/xvfb.pid ]]; then
        kill -KILL "$(cat "$state/xvfb.pid")" 2>/dev/null || true
    fi
    ! netns_exists "$pc" || ip netns del "$pc"
    ! netns_exists "$lan" || ip netns del "$lan"
    [[ -z $server_dir || ! -d $server_dir ]] || rm -rf "$server_dir"
    if [[ -d $state && $state == "$STATE_ROOT"/qmlab-* ]]; then
        rm -rf "$state"
    fi
}

run_env() {
    local name=$1
    mapfile -t RUN_ENV <"$(state_dir "$name")/env"
}

# A lab made by a run whose process is gone: its name holds the pid.
is_stale() {
    local name=$1 pid
    [[ $name =~ ^qmlab-([0-9]+)-([0-9a-f]+|tpl)$ ]] || return 1
    pid=${BASH_REMATCH[1]}
    ! kill -0 "$pid" 2>/dev/null
}

all_lab_names() {
    {
        ip netns list | awk '{print $1}' | sed -n 's/^\(qmlab-.*\)-\(pc\|lan\)$/\1/p'
        ip netns list | awk '{print $1}' | grep '^qmlab-.*-tpl$' || true
        [[ ! -d $STATE_ROOT ]] || ls "$STATE_ROOT"
    } | sort -u
}

cmd_prune() {
    local name
    for name in $(all_lab_names); do
        if is_stale "$name"; then
            log "removing stale lab $name"
            if [[ $name == *-tpl ]]; then
                kill_ns_processes "$name"
                ip netns del "$name" 2>/dev/null || true
            else
                lab_down "$name"
            fi
        fi
    done
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
    require_root
    cmd_prune
    RUN_NAME=qmlab-$$-$(od -An -N3 -tx1 /dev/urandom | tr -d ' \n')
    trap 'set +e; lab_down "$RUN_NAME"' EXIT
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
    require_root
    UP_NAME=$name
    trap 'set +e; log "set-up failed, removing $UP_NAME"; lab_down "$UP_NAME"' EXIT
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
    require_root
    [[ -f $(state_dir "$name")/env ]] || die "no lab $name (tools/lab.sh list)"
    run_env "$name"
    exec ip netns exec "$name-pc" env "${RUN_ENV[@]}" "$@"
}

cmd_down() {
    local name=${1:-}
    [[ -n $name ]] || usage
    valid_name "$name"
    require_root
    lab_down "$name"
}

main() {
    local cmd=${1:-}
    (($#)) && shift
    case $cmd in
    run) cmd_run "$@" ;;
    up) cmd_up "$@" ;;
    exec) cmd_exec "$@" ;;
    down) cmd_down "$@" ;;
    list) cmd_list ;;
    prune) require_root && cmd_prune ;;
    *) usage ;;
    esac
}

main "$@"
