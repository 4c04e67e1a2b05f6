# shellcheck shell=bash
# Sourced by the commands that need root (the network lab does): run by a user, such a command
# runs itself again through sudo, so "tools/test.sh" works the same for root (where sudo may not
# even be installed) and for a user who may use sudo.

# run_as_root SCRIPT ARGS...: returns when already root; else replaces this process by
# "sudo env QM_*=... bash SCRIPT ARGS...", or ends with a one-line error when there is no sudo.
# sudo clears the environment; the project's own QM_* settings and the caller's display go along.
run_as_root() {
    local script=$1 sudo=${QM_SUDO:-/usr/bin/sudo} name
    shift
    ((EUID == 0)) && return 0
    name=$(basename "$script" .sh)
    if [[ ! -x $sudo ]]; then
        echo "$name: needs root (the network lab does): run it as root, or install sudo and run it as a user who may use it" >&2
        exit 1
    fi
    local -a keep=()
    local var
    for var in $(compgen -e); do
        [[ $var == QM_* || $var == DISPLAY || $var == XAUTHORITY ]] && keep+=("$var=${!var}")
    done
    exec "$sudo" -- env "${keep[@]}" "$BASH" "$script" "$@"
}
