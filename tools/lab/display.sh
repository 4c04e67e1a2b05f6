# shellcheck shell=bash
# The lab's virtual display: an Xvfb in the pc namespace that only holders of the lab's cookie may
# use. Its socket in /tmp/.X11-unix is open to every local user, so without a cookie anyone could
# watch or type into the program under test (and into root's Wine).

readonly SCREEN=1024x768x24

# x_up NAME: starts the display; writes its name to $state/display and the cookie file that
# clients need (XAUTHORITY) to $state/xauth.
x_up() {
    local name=$1 state pc deadline cookie display
    state=$(state_dir "$name")
    pc=$name-pc
    cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
    (umask 077 && : >"$state/xauth")
    # The server loads every cookie in its file whatever display the entry names; the display
    # number is not known before -displayfd reports it.
    xauth -q -f "$state/xauth" add :0 MIT-MAGIC-COOKIE-1 "$cookie"
    : >"$state/display.fd"
    # In the pc namespace, so the lab's process sweep ends it; -displayfd picks a free display.
    ip netns exec "$pc" setsid Xvfb -displayfd 3 -auth "$state/xauth" -screen 0 "$SCREEN" \
        -nolisten tcp -noreset 3>"$state/display.fd" </dev/null >"$state/xvfb.log" 2>&1 &
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
    display=:$(tr -dc 0-9 <"$state/display.fd")
    # Clients look their cookie up by display number.
    xauth -q -f "$state/xauth" add "$display" MIT-MAGIC-COOKIE-1 "$cookie"
    echo "$display" >"$state/display"
}

# display_env NAME: the environment lines a client of the lab's display needs. A lab on a
# display of the caller's (--display) leaves XAUTHORITY to the caller.
display_env() {
    local state
    state=$(state_dir "$1")
    echo "DISPLAY=$(cat "$state/display")"
    [[ ! -f $state/xauth ]] || echo "XAUTHORITY=$state/xauth"
}
