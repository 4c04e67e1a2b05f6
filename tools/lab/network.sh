# shellcheck shell=bash
# The lab's virtual LAN: network namespaces joined by veth pairs. Nothing here touches a real
# interface: each veth pair is created directly inside its two namespaces and never exists in the
# root namespace, and the only addresses are from the lab ranges below.
#
# The pc namespace (the program, the tests) has one link per segment; each segment's far end is a
# namespace of its own where simulated devices run. Segment 1 carries the default route and the
# multicast route, so a program that picks no interface searches there only.

# number  lan namespace suffix  network prefix  pc address  lan address
readonly SEGMENTS=(
    "1 lan 198.51.100. 198.51.100.1 198.51.100.2"
    "2 lan2 203.0.113. 203.0.113.1 203.0.113.2"
)
readonly NET_BITS=24
# Anything else on an interface of a lab namespace means a mistake in the set-up.
readonly LAB_PREFIXES=(198.51.100. 203.0.113.)

# Only loopback and lab addresses may exist in a lab namespace; checked after set-up
# so a mistake in this script cannot put a program on some other network.
check_ns_addresses() {
    local ns=$1 ifname cidr prefix ok
    while read -r ifname cidr; do
        ok=""
        [[ $cidr == 127.* ]] && ok=1
        for prefix in "${LAB_PREFIXES[@]}"; do
            [[ $cidr == "$prefix"* ]] && ok=1
        done
        [[ -n $ok ]] || die "namespace $ns has address $cidr on $ifname, which is not a lab address"
    done < <(ip -n "$ns" -4 -o addr show | awk '{print $2, $4}')
}

wait_link_up() {
    local ns=$1 ifname=$2 deadline=$((SECONDS + 10))
    until ip -n "$ns" link show dev "$ifname" | grep -q LOWER_UP; do
        ((SECONDS < deadline)) || die "link $ifname in $ns did not come up"
        sleep 0.05
    done
}

new_namespace() {
    local ns=$1
    netns_exists "$ns" && die "namespace $ns already exists"
    ip netns add "$ns"
    # No IPv6: keeps router solicitations and MLD reports out of captures.
    ip netns exec "$ns" sysctl -q -w net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1
    ip -n "$ns" link set lo up
}

link_side_up() {
    local ns=$1 ifname=$2 addr=$3
    ip -n "$ns" addr add "$addr/$NET_BITS" dev "$ifname"
    ip -n "$ns" link set "$ifname" up
}

# Interface names are at most 15 characters: a short tag derived from the unique lab name.
link_names() {
    local name=$1 number=$2 tag suffix=""
    tag=$(printf '%s' "$name" | sha1sum | cut -c1-8)
    ((number == 1)) || suffix=$number
    echo "qm${tag}p$suffix qm${tag}l$suffix"
}

# Writes the lab's network facts as environment lines (segment 1 unnumbered, segment N with N
# appended to each name) into $state/net.env.
net_up() {
    local name=$1 state pc segment number lan_suffix prefix pc_ip lan_ip lan pc_if lan_if env_suffix
    state=$(state_dir "$name")
    pc=$name-pc
    new_namespace "$pc"
    : >"$state/net.env"
    for segment in "${SEGMENTS[@]}"; do
        read -r number lan_suffix prefix pc_ip lan_ip <<<"$segment"
        lan=$name-$lan_suffix
        read -r pc_if lan_if < <(link_names "$name" "$number")
        new_namespace "$lan"
        ip link add "$pc_if" netns "$pc" type veth peer name "$lan_if" netns "$lan"
        link_side_up "$pc" "$pc_if" "$pc_ip"
        link_side_up "$lan" "$lan_if" "$lan_ip"
        wait_link_up "$pc" "$pc_if"
        wait_link_up "$lan" "$lan_if"
        # Each simulated device sends its multicast on its only link.
        ip -n "$lan" route add 224.0.0.0/4 dev "$lan_if"
        if ((number == 1)); then
            ip -n "$pc" route add 224.0.0.0/4 dev "$pc_if"
            # Nothing forwards beyond the lan namespace: traffic for other networks ends there.
            ip -n "$pc" route add default via "$lan_ip" dev "$pc_if"
            env_suffix=""
        else
            env_suffix=$number
        fi
        check_ns_addresses "$lan"
        printf '%s\n' "QM_LAN_NS$env_suffix=$lan" "QM_PC_IP$env_suffix=$pc_ip" "QM_LAN_IP$env_suffix=$lan_ip" \
            "QM_PC_IF$env_suffix=$pc_if" "QM_LAN_IF$env_suffix=$lan_if" \
            "QM_NET$env_suffix=${prefix}0/$NET_BITS" >>"$state/net.env"
    done
    check_ns_addresses "$pc"
}

# Names of the namespaces of a lab, pc first.
lab_namespaces() {
    local name=$1 segment number lan_suffix rest
    echo "$name-pc"
    for segment in "${SEGMENTS[@]}"; do
        read -r number lan_suffix rest <<<"$segment"
        echo "$name-$lan_suffix"
    done
}
