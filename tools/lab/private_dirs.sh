# shellcheck shell=bash
# The lab runs as root and keeps state that root's Wine later loads (the prefix template, its
# registry) or writes through (the lock). A folder another local user could have made first, or
# pointed somewhere with a symlink, would let that user choose what root runs. So every such folder
# is root's own, mode 0700, in a parent only root can write to, and is checked on every use.

# require_private_dir DIR: creates DIR (mode 0700) if missing, else refuses it unless it is a real
# directory owned by root that nobody else can write to; a root-owned folder that others may only
# read is tightened to 0700.
require_private_dir() {
    local dir=$1 parent owner mode
    [[ $dir == /* ]] || die "$dir: the lab's folders must be absolute paths"
    parent=$(dirname "$dir")
    [[ -d $parent && ! -L $parent ]] || die "$parent: not a directory"
    read -r owner mode < <(stat -c '%u %a' "$parent")
    ((owner == 0)) || die "$parent is not owned by root: refusing to keep the lab's state under it"
    # Writable by group or others (e.g. /tmp): someone else could swap the folder; not usable.
    ((8#$mode & 8#022)) && die "$parent is writable by other users: refusing to keep the lab's state under it"
    if [[ ! -e $dir && ! -L $dir ]]; then
        mkdir -m 0700 "$dir" || die "cannot create $dir"
    fi
    [[ -L $dir ]] && die "$dir is a symlink: refusing it (remove it; the lab makes its own)"
    [[ -d $dir ]] || die "$dir is not a directory: refusing it"
    read -r owner mode < <(stat -c '%u %a' "$dir")
    ((owner == 0)) || die "$dir is not owned by root (uid $owner): refusing it (remove it; the lab makes its own)"
    ((8#$mode & 8#022)) && die "$dir is writable by other users (mode $mode): refusing it (remove it; the lab makes its own)"
    if ((8#$mode & 8#077)); then
        chmod 0700 "$dir"
    fi
    return 0
}
