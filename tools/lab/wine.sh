# shellcheck shell=bash
# Wine for a lab: a prefix template made once per machine (wineboot -i takes seconds) in the
# root-only cache, copied into each lab, and the lab's wineserver, which creates the program's
# sockets and so runs in the pc namespace.

# Bump when wine_template_recipe.sh changes, so cached templates are rebuilt.
readonly TEMPLATE_RECIPE=4
readonly TEMPLATE=$CACHE_ROOT/wine-template

wine_env() {
    local prefix=$1
    printf '%s\n' "WINEPREFIX=$prefix" "WINESERVER=$WINESERVER" "WINEDLLOVERRIDES=$DLL_OVERRIDES" \
        "WINEDEBUG=${WINEDEBUG:-fixme-all}" LC_ALL=C.UTF-8
}

# Built in a namespace of its own with no interface but a down loopback.
build_template() {
    local scratch=$1 ns=$2 ok=1
    local -a env
    mapfile -t env < <(wine_env "$scratch/prefix")
    ip netns add "$ns"
    ip netns exec "$ns" env -u DISPLAY -u XAUTHORITY "${env[@]}" \
        bash "$LAB_DIR/wine_template_recipe.sh" "$WINE" "$WINESERVER" </dev/null >"$scratch/build.log" 2>&1 || ok=""
    ip netns del "$ns"
    if [[ -z $ok ]]; then
        tail -n 30 "$scratch/build.log" >&2
        die "building the Wine template failed (log: $scratch/build.log)"
    fi
}

ensure_template() {
    local stamp lock_fd scratch
    stamp="recipe=$TEMPLATE_RECIPE $("$WINE" --version)"
    require_private_dir "$CACHE_ROOT"
    exec {lock_fd}>"$CACHE_ROOT/lock"
    flock "$lock_fd"
    if [[ ! -f $TEMPLATE/stamp || $(cat "$TEMPLATE/stamp") != "$stamp" ]]; then
        log "building the Wine prefix template in $TEMPLATE (once)"
        scratch=$(mktemp -d "$CACHE_ROOT/new.XXXXXX")
        build_template "$scratch" "qmlab-$$-tpl"
        echo "$stamp" >"$scratch/stamp"
        rm -rf "$TEMPLATE"
        mv "$scratch" "$TEMPLATE"
    fi
    exec {lock_fd}>&-
}

wine_up() {
    local name=$1 state pc
    state=$(state_dir "$name")
    pc=$name-pc
    ensure_template
    cp -a "$TEMPLATE/prefix" "$state/prefix"
    # The Windows programs see the build tree as drive W: (tools/wine-run starts them there), so their
    # paths stay short however deep the checkout lies: Wine 8 cuts a program's path at 260 characters.
    ln -sfn "${QM_BUILD_WIN:-$QM_ROOT/build/win}" "$state/prefix/dosdevices/w:"
    local -a env
    mapfile -t env < <(wine_env "$state/prefix"; display_env "$name")
    # Wine's services inherit the stderr of whoever starts them first: start them here, into a log,
    # so no test runner ends up waiting on them.
    ip netns exec "$pc" env "${env[@]}" "$WINESERVER" -p </dev/null >>"$state/wine.log" 2>&1
    ip netns exec "$pc" env "${env[@]}" "$WINE" wineboot </dev/null >>"$state/wine.log" 2>&1 ||
        die "wineboot failed (log: $state/wine.log)"
}

# The socket folder of the lab's wineserver: Debian's Wine keeps it in
# /tmp/<name in $prefix/wineserver>/server-<device>-<inode>, one per prefix. Empty when unknown.
wine_server_dir() {
    local prefix=$1 tmp_name
    [[ -d $prefix ]] || return 0
    tmp_name=$(cat "$prefix/wineserver" 2>/dev/null || true)
    [[ $tmp_name =~ ^wine-[A-Za-z0-9]+$ ]] || return 0
    # Wine makes it root's own; anything else there is not ours to remove.
    [[ -d /tmp/$tmp_name && ! -L /tmp/$tmp_name && $(stat -c '%u' "/tmp/$tmp_name") == 0 ]] || return 0
    echo "/tmp/$tmp_name/server-$(stat -c '%D' "$prefix")-$(printf '%x' "$(stat -c '%i' "$prefix")")"
}

wine_down() {
    local name=$1 prefix
    prefix=$(state_dir "$name")/prefix
    [[ -d $prefix ]] && netns_exists "$name-pc" || return 0
    ip netns exec "$name-pc" env WINEPREFIX="$prefix" timeout 10 "$WINESERVER" -k \
        </dev/null >/dev/null 2>&1 || true
}
