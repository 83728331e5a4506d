#!/bin/bash
# A private HylaFAX server (faxq + hfaxd) on loopback, with its own spool and
# no modem, for the end-to-end tests and the benchmark.
#
#   hylafax-instance.sh start DIR PORT [PASSWORD]
#   hylafax-instance.sh stop DIR
#
# start makes DIR/spool, writes its hosts.hfaxd and starts faxq, then hfaxd on
# 127.0.0.1:PORT, each in its own process group; it returns once the server
# greets. Users: "faxpw" needs PASSWORD (default "kestrel-pw"), "denied" is
# refused, anyone else from 127.0.0.1 logs in without a password.
# The process ids are kept in DIR/faxq.pid and DIR/hfaxd.pid for stop.
#
# Exit status 77 (the test harness's "skipped") when not run as root: hfaxd
# chroot()s into its spool and changes to the spool's owner at login.
# No modem is ever configured: faxq would then start the system's faxsend
# wrapper, which changes mounts outside this private spool.

set -u

readonly SYSTEM_SPOOL=/var/spool/hylafax
# Where hfaxd listens, and the client address it lets in (a regular
# expression); loopback unless the caller names another link.
readonly LISTEN=${HYLAFAX_LISTEN:-127.0.0.1}
readonly CLIENT=${HYLAFAX_CLIENT:-127\.0\.0\.1}
readonly SYSTEM_ETC=/etc/hylafax
readonly READY_SECONDS=30

die() {
    echo "hylafax-instance: $*" >&2
    exit 1
}

need_root() {
    if [[ $(id -u) -ne 0 ]]; then
        echo "hylafax-instance: skipped: a private hfaxd needs root (it chroot()s into its spool)" >&2
        exit 77
    fi
    local tool
    for tool in faxq hfaxd openssl; do
        command -v "$tool" >/dev/null 2>&1 || PATH=$PATH:/usr/sbin:/sbin
        command -v "$tool" >/dev/null 2>&1 || die "$tool not found (install hylafax-server)"
    done
}

# Does the server on 127.0.0.1:$1 greet with 220? Reads the greeting lines
# (a few "130" warnings may come first) with a short time limit.
greets() {
    local port=$1 line
    { exec 9<>"/dev/tcp/$LISTEN/$port"; } 2>/dev/null || return 1
    while IFS= read -r -t 5 line <&9; do
        case $line in
        220*)
            exec 9>&-
            return 0
            ;;
        130*) ;;
        *) break ;;
        esac
    done
    exec 9>&-
    return 1
}

alive() { [[ -n $1 ]] && kill -0 "$1" 2>/dev/null; }

make_spool() {
    local spool=$1 password=$2 owner hash d
    owner=$(stat -c %U "$SYSTEM_SPOOL") || die "no $SYSTEM_SPOOL (install hylafax-server)"
    rm -rf "$spool"
    mkdir -p "$spool" || die "cannot create $spool"
    for d in archive client config dev docq doneq info log pollq recvq sendq status tmp; do
        mkdir "$spool/$d"
    done
    chmod 1777 "$spool/tmp"
    cp -a "$SYSTEM_SPOOL/bin" "$spool/bin"
    mkdir "$spool/etc"
    cp -a "$SYSTEM_ETC/." "$spool/etc/"
    hash=$(openssl passwd -6 "$password") || die "openssl passwd failed"
    # Regular expressions over user@address; the first match wins.
    cat >"$spool/etc/hosts.hfaxd" <<EOF
!^denied@
^faxpw@$CLIENT\$:1001:$hash
^.*@$CLIENT\$
EOF
    chown -R "$owner:" "$spool"
    chown -R root: "$spool/bin"
    chmod 600 "$spool/etc/hosts.hfaxd"
    # The daemons run as the owner: every folder above the spool must let it in.
    runuser -u "$owner" -- test -w "$spool/sendq" ||
        die "$owner cannot reach $spool (a parent folder is closed to it)"
}

start() {
    local dir=$1 port=$2 password=${3:-kestrel-pw}
    need_root
    [[ $port =~ ^[0-9]+$ ]] || die "bad port: $port"
    mkdir -p "$dir" || die "cannot create $dir"
    chmod 755 "$dir"
    dir=$(cd "$dir" && pwd)
    local spool=$dir/spool i faxq_pid hfaxd_pid
    make_spool "$spool" "$password"

    # faxq first: hfaxd hands submitted jobs to it through the FIFO.
    (cd "$spool" && exec setsid faxq -D -q "$spool") >"$dir/faxq.log" 2>&1 </dev/null &
    faxq_pid=$!
    echo "$faxq_pid" >"$dir/faxq.pid"
    for ((i = 0; i < READY_SECONDS * 10; i++)); do
        [[ -p $spool/FIFO ]] && break
        alive "$faxq_pid" || die "faxq exited at start (see $dir/faxq.log)"
        sleep 0.1
    done
    [[ -p $spool/FIFO ]] || die "faxq made no FIFO within ${READY_SECONDS}s"

    # -l must come before -i, or the address is ignored.
    (cd "$spool" && exec setsid hfaxd -d -q "$spool" -l "$LISTEN" -i "$port") \
        >"$dir/hfaxd.log" 2>&1 </dev/null &
    hfaxd_pid=$!
    echo "$hfaxd_pid" >"$dir/hfaxd.pid"
    for ((i = 0; i < READY_SECONDS * 10; i++)); do
        greets "$port" && return 0
        alive "$hfaxd_pid" || die "hfaxd exited at start (see $dir/hfaxd.log)"
        sleep 0.1
    done
    die "hfaxd did not greet on $LISTEN:$port within ${READY_SECONDS}s"
}

# Stops one daemon by its process id; it leads its own process group, which
# also holds hfaxd's per-connection children.
stop_one() {
    local pidfile=$1 pid i
    [[ -f $pidfile ]] || return 0
    pid=$(<"$pidfile")
    rm -f "$pidfile"
    [[ $pid =~ ^[0-9]+$ ]] || return 0
    kill -TERM -- "-$pid" 2>/dev/null || kill -TERM "$pid" 2>/dev/null
    for ((i = 0; i < 50; i++)); do
        alive "$pid" || break
        sleep 0.1
    done
    kill -KILL -- "-$pid" 2>/dev/null
    kill -KILL "$pid" 2>/dev/null
    return 0
}

stop() {
    local dir=$1
    stop_one "$dir/faxq.pid"
    stop_one "$dir/hfaxd.pid"
}

case ${1:-} in
start)
    [[ $# -ge 3 ]] || die "usage: $0 start DIR PORT [PASSWORD]"
    start "$2" "$3" "${4:-}"
    ;;
stop)
    [[ $# -eq 2 ]] || die "usage: $0 stop DIR"
    stop "$2"
    ;;
*)
    die "usage: $0 start DIR PORT [PASSWORD] | stop DIR"
    ;;
esac
