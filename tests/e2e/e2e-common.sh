# shellcheck shell=bash
# Helpers shared by the end-to-end tests and the benchmark; sourced, not run.
# shellcheck disable=SC2034 # SIM_* are read by the scripts that source this

# start_simulator BINARY DIR HTTP_PORT FAX_PORT [extra options...]
# Starts the appliance simulator on 127.0.0.1 with its store under DIR/store
# and waits for its ready line. Sets SIM_PID, SIM_HTTP_PORT, SIM_FAX_PORT.
start_simulator() {
    local binary=$1 dir=$2 http=$3 fax=$4 i line
    shift 4
    mkdir -p "$dir/store"
    "$binary" --listen 127.0.0.1 --http-port "$http" --fax-port "$fax" \
        --store "$dir/store" --quiet "$@" >"$dir/simulator.out" 2>"$dir/simulator.err" </dev/null &
    SIM_PID=$!
    for ((i = 0; i < 300; i++)); do
        line=$(grep -m1 '^kestrel-appliance-sim ready ' "$dir/simulator.out" 2>/dev/null)
        if [[ -n $line ]]; then
            [[ $line =~ http=([0-9]+) ]] && SIM_HTTP_PORT=${BASH_REMATCH[1]}
            [[ $line =~ fax=([0-9]+) ]] && SIM_FAX_PORT=${BASH_REMATCH[1]}
            return 0
        fi
        if ! kill -0 "$SIM_PID" 2>/dev/null; then
            echo "simulator exited at start:" >&2
            cat "$dir/simulator.err" >&2
            SIM_PID=
            return 1
        fi
        sleep 0.1
    done
    echo "simulator printed no ready line within 30s" >&2
    return 1
}

# stop_pid PID: ends one process this script started, and waits for it.
stop_pid() {
    local pid=$1 i
    [[ -n $pid ]] || return 0
    kill -TERM "$pid" 2>/dev/null || return 0
    for ((i = 0; i < 50; i++)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    return 0
}

# make_postscript FILE PAGES: a small valid PostScript document of PAGES pages.
make_postscript() {
    local file=$1 pages=$2 p
    {
        printf '%%!PS-Adobe-3.0\n%%%%Pages: %d\n%%%%EndComments\n' "$pages"
        printf '/Helvetica findfont 24 scalefont setfont\n'
        for ((p = 1; p <= pages; p++)); do
            printf '%%%%Page: %d %d\n72 720 moveto (Kestrel test page %d) show\n' "$p" "$p" "$p"
            printf '72 680 moveto (0123456789 ABCDEFGHIJKLMNOPQRSTUVWXYZ) show\nshowpage\n'
        done
        printf '%%%%EOF\n'
    } >"$file"
}

# make_padded_postscript FILE BYTES: a one-page PostScript document padded
# with comment lines to exactly BYTES bytes (at least 200).
make_padded_postscript() {
    local file=$1 bytes=$2 head tail pad lines rest
    head=$'%!PS-Adobe-3.0\n%%Pages: 1\n%%EndComments\n/Helvetica findfont 24 scalefont setfont\n72 720 moveto (Kestrel benchmark page) show\n'
    tail=$'showpage\n%%EOF\n'
    pad=$((bytes - ${#head} - ${#tail}))
    ((pad >= 2)) || {
        echo "make_padded_postscript: $bytes bytes is too small" >&2
        return 1
    }
    # Comment lines of 64 bytes ("%" + 62 characters + newline), then one shorter.
    lines=$((pad / 64))
    rest=$((pad % 64))
    {
        printf '%s' "$head"
        yes '%PADDING-PADDING-PADDING-PADDING-PADDING-PADDING-PADDING-PADDIN' | head -n "$lines"
        if ((rest >= 2)); then
            printf '%%%*s\n' $((rest - 2)) '' | tr ' ' 'x'
        elif ((rest == 1)); then
            printf '\n'
        fi
        printf '%s' "$tail"
    } >"$file"
}

# start_private_cupsd DIR: a cupsd with all its state under DIR, reached
# through the domain socket DIR/cups.sock, as CUPS's own test scripts run it.
# Exports CUPS_SERVER and CUPS_STATEDIR for the clients and sets CUPSD_PID.
# Needs root (lpadmin is root's or group lpadmin's). True once it answers.
start_private_cupsd() {
    local dir=$1 i
    mkdir -p "$dir"/{conf/ppd,conf/ssl,state,cache,spool/tmp,log}
    chmod 755 "$dir"
    sed -e '/^Listen /d' -e '/^Port /d' -e '/^Browsing /d' -e '/^BrowseLocalProtocols /d' \
        -e '/^LogLevel /d' -e '/^IdleExitTimeout /d' \
        /usr/share/cups/cupsd.conf.default >"$dir/conf/cupsd.conf"
    printf 'Listen %s/cups.sock\nBrowsing No\nLogLevel info\n' "$dir" >>"$dir/conf/cupsd.conf"
    cat >"$dir/conf/cups-files.conf" <<CONF
ServerRoot $dir/conf
StateDir $dir/state
CacheDir $dir/cache
RequestRoot $dir/spool
TempDir $dir/spool/tmp
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
Printcap $dir/printcap
SystemGroup root
CONF
    export CUPS_SERVER=$dir/cups.sock
    export CUPS_STATEDIR=$dir/state
    cupsd -f -c "$dir/conf/cupsd.conf" -s "$dir/conf/cups-files.conf" >"$dir/log/cupsd.out" 2>&1 </dev/null &
    CUPSD_PID=$!
    for ((i = 0; i < 100; i++)); do
        lpstat -r 2>/dev/null | grep -q 'is running' && return 0
        kill -0 "$CUPSD_PID" 2>/dev/null || break
        sleep 0.1
    done
    echo "cupsd did not come up:" >&2
    cat "$dir/log/cupsd.out" >&2
    stop_pid "$CUPSD_PID"
    CUPSD_PID=
    return 1
}

# enter_private_network SCRIPT [ARGS...]: the end-to-end tests need root (a
# network namespace of their own, where ports 80 and 4559 are free and only
# loopback exists, and hfaxd, which changes root into its spool). Another
# user skips (exit 77); root runs SCRIPT again inside the namespace, once.
enter_private_network() {
    if [[ $(id -u) -ne 0 ]]; then
        echo "skipped: needs root (a private network namespace and hfaxd)" >&2
        exit 77
    fi
    PATH=$PATH:/usr/sbin:/sbin
    if [[ -z ${KESTREL_E2E_NETNS:-} ]]; then
        KESTREL_E2E_NETNS=1 exec unshare -n -- bash "$@"
    fi
}

# The checks of a test script: fail says what did not hold and counts it,
# pass what held.
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
pass() { echo "ok: $*"; }
