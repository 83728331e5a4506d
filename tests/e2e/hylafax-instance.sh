#!/bin/bash
# A private HylaFAX server (faxq + hfaxd) on loopback, with its own spool and
# no modem, for the end-to-end tests and the benchmark.
#
#   hylafax-instance.sh start DIR PORT [PASSWORD]
#   hylafax-instance.sh stop DIR
#   hylafax-instance.sh renumber DIR
#
# renumber makes the server count its jobs from 1 again, as after its queue
# was cleaned and restarted: faxq stops, faxqclean -j 0 removes the finished
# jobs, sendq/seqf is set to 0, faxq starts again (and the test fax line is
# registered again when there is one). A job number of the past can then
# name a new job. faxq has to restart: while it runs it refuses a new job
# with the number of one it has known ("scheduler NAK'd request").
#
# With HYLAFAX_LINE=1, start also gives the server a test fax line, so that
# its jobs really end; the number's last digit chooses how:
#   1  FAILED, "No carrier detected", after two dials (no page tried)
#   2  busy: put back in the queue, "Busy signal detected", tried again
#      after 20 s, for ever
#   3  ACTIVE for 20 s, then DONE
#   any other digit: DONE, every page sent
# The line is a FIFO ("FIFO.ttyfake", drained by a reader of its own) that
# faxmodem registers with faxq; faxq starts the script etc/../bin/test-line
# (SendFaxCmd) for each try, which writes the outcome into the queue file
# and says it by its exit code (0: requeue, 1: failed, 2: done).
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
readonly LINE=ttyfake
# The line's capabilities as faxmodem takes them (resolutions, rates ...).
readonly LINE_CAPABILITIES='(0,1),(0-5),(0-2),(0-2),0,0,0,(0-7)'

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
    for tool in faxq hfaxd faxmodem openssl; do
        command -v "$tool" >/dev/null 2>&1 || PATH=$PATH:/usr/sbin:/sbin
        command -v "$tool" >/dev/null 2>&1 || die "$tool not found (install hylafax-server)"
    done
}

# The test fax line's send program: faxq runs it as "PROGRAM -m DEVICE
# QFILE" in the spool.
write_line_program() {
    local program=$1 spool=$2
    {
        printf '#!/bin/bash\nreadonly SPOOL=%q FAXMODEM=%q LINE=%q CAPABILITIES=%q\n' "$spool" \
            "$(command -v faxmodem)" "$LINE" "$LINE_CAPABILITIES"
        cat <<'LINE'
qfile=${3:?}
# faxq does not always give the line another job once this one is over:
# announced again a second after this program ended, it takes the next.
announce() {
    (
        sleep 1
        "$FAXMODEM" -q "$SPOOL" -c "$CAPABILITIES" "$LINE"
    ) </dev/null >/dev/null 2>&1 &
}
trap announce EXIT
number=$(sed -n 's/^number://p' "$qfile" | tail -n1)
pages=$(sed -n 's/^totpages://p' "$qfile" | tail -n1)
dials=$(sed -n 's/^totdials://p' "$qfile" | tail -n1)
tries=$(sed -n 's/^tottries://p' "$qfile" | tail -n1)
dials=${dials:-0} tries=${tries:-0} pages=${pages:-1}
# Sets the queue file's NAME: value lines.
set_fields() {
    local field
    for field in "$@"; do
        sed -i "/^${field%%:*}:/d" "$qfile"
        printf '%s\n' "$field" >>"$qfile"
    done
}
case ${number: -1} in
1)
    set_fields "status:No carrier detected" "ndials:2" "totdials:$((dials + 2))" "npages:0"
    exit 1
    ;;
2)
    set_fields "status:Busy signal detected" "ndials:1" "totdials:$((dials + 1))"
    exit 0
    ;;
3) sleep 20 ;;
esac
set_fields "status:" "npages:$pages" "ntries:1" "tottries:$((tries + 1))" "ndials:1" \
    "totdials:$((dials + 1))"
exit 2
LINE
    } >"$program"
    chmod 755 "$program"
}

# Registers the test fax line with the running faxq of the spool.
start_line() {
    local dir=$1 spool=$1/spool owner fifo
    owner=$(stat -c %U "$spool")
    fifo=$spool/FIFO.$LINE
    { mkfifo -m 600 "$fifo" && chown "$owner:" "$fifo"; } || die "cannot make $fifo"
    # Opened for reading and writing: it never reads an end, and faxq never
    # blocks on it.
    (exec setsid cat 0<>"$fifo" >/dev/null) </dev/null &
    echo $! >"$dir/line.pid"
    faxmodem -q "$spool" -c "$LINE_CAPABILITIES" "$LINE" || die "faxmodem did not register $LINE"
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

start_faxq() {
    local dir=$1 spool=$1/spool i faxq_pid
    rm -f "$spool/FIFO"
    (cd "$spool" && exec setsid faxq -D -q "$spool") >>"$dir/faxq.log" 2>&1 </dev/null &
    faxq_pid=$!
    echo "$faxq_pid" >"$dir/faxq.pid"
    for ((i = 0; i < READY_SECONDS * 10; i++)); do
        [[ -p $spool/FIFO ]] && return 0
        alive "$faxq_pid" || die "faxq exited at start (see $dir/faxq.log)"
        sleep 0.1
    done
    die "faxq made no FIFO within ${READY_SECONDS}s"
}

renumber() {
    local dir=$1 spool=$1/spool
    need_root
    [[ -f $dir/faxq.pid ]] || die "no server running in $dir"
    stop_one "$dir/faxq.pid"
    (cd "$spool" && faxqclean -j 0 -q "$spool") || die "faxqclean failed"
    echo 0 >"$spool/sendq/seqf"
    start_faxq "$dir"
    if [[ -f $dir/line.pid ]]; then
        faxmodem -q "$spool" -c "$LINE_CAPABILITIES" "$LINE" || die "faxmodem did not register $LINE again"
    fi
}

start() {
    local dir=$1 port=$2 password=${3:-kestrel-pw}
    need_root
    [[ $port =~ ^[0-9]+$ ]] || die "bad port: $port"
    mkdir -p "$dir" || die "cannot create $dir"
    chmod 755 "$dir"
    dir=$(cd "$dir" && pwd)
    local spool=$dir/spool i hfaxd_pid
    make_spool "$spool" "$password"
    if [[ ${HYLAFAX_LINE:-0} == 1 ]]; then
        write_line_program "$spool/bin/test-line" "$spool"
        printf '%s\n' "SendFaxCmd: $spool/bin/test-line" "JobRetryBusy: 20" "JobRetryOther: 20" \
            >>"$spool/etc/config"
    fi

    # faxq first: hfaxd hands submitted jobs to it through the FIFO.
    : >"$dir/faxq.log"
    start_faxq "$dir"
    [[ ${HYLAFAX_LINE:-0} == 1 ]] && start_line "$dir"

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
    stop_one "$dir/line.pid"
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
renumber)
    [[ $# -eq 2 ]] || die "usage: $0 renumber DIR"
    renumber "$2"
    ;;
*)
    die "usage: $0 start DIR PORT [PASSWORD] | stop DIR | renumber DIR"
    ;;
esac
