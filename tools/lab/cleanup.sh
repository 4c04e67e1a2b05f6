# shellcheck shell=bash
# Taking labs down: the one a run made (on exit, failure or Ctrl+C), one made by "up", and those
# left by runs that died (their name holds the pid of the run).

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
    local name=$1 state ns server_dir
    state=$(state_dir "$name")
    server_dir=$(wine_server_dir "$state/prefix")
    wine_down "$name"
    for ns in $(lab_namespaces "$name"); do
        kill_ns_processes "$ns"
    done
    # Xvfb of a lab made with a display of its own is in the pc namespace; this is belt and braces.
    if [[ -f $state/xvfb.pid ]]; then
        kill -KILL "$(cat "$state/xvfb.pid")" 2>/dev/null || true
    fi
    for ns in $(lab_namespaces "$name"); do
        ! netns_exists "$ns" || ip netns del "$ns"
    done
    [[ -z $server_dir || ! -d $server_dir ]] || rm -rf "$server_dir"
    if [[ -d $state && $state == "$STATE_ROOT"/qmlab-* ]]; then
        rm -rf "$state"
    fi
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
        ip netns list | awk '{print $1}' | sed -n 's/^\(qmlab-.*\)-\(pc\|lan[0-9]*\)$/\1/p'
        ip netns list | awk '{print $1}' | grep '^qmlab-.*-tpl$' || true
        [[ ! -d $STATE_ROOT ]] || ls "$STATE_ROOT"
    } | sort -u
}

prune_stale_labs() {
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
