#!/bin/bash
# Client benchmark (prints figures; not a test):
# - cold start of corvafax to ready (its control activated against the
#   appliance simulator, its window put away, its capture port open), next
#   to a bare Qt Widgets program that shows one window, in alternating
#   paired rounds: the median ratio and its spread;
# - resident memory one second after start, both programs;
# - one 20 MiB document sent by the send window to ten destinations through
#   the simulator: wall time and bytes uploaded.
#
#   bench-client.sh CORVAFAX BARE_WINDOW SUBMIT_BENCH SIMULATOR [ROUNDS]
#
# KESTREL_COMPONENT_REGISTRY must name the build's registry. It runs its own
# Xvfb; this machine's print system is left alone.
set -u
export LC_ALL=C
CLIENT=$1 BARE=$2 SUBMIT=$3 SIMULATOR=$4 ROUNDS=${5:-10}
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../../tests/e2e/e2e-common.sh
source "$HERE/../../tests/e2e/e2e-common.sh"

WORK=$(mktemp -d /tmp/kestrel-bench-client.XXXXXX)
SIM_PID='' XVFB_PID='' RUN_PID=''
cleanup() {
    stop_pid "$RUN_PID"
    stop_pid "$SIM_PID"
    stop_pid "$XVFB_PID"
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

display=:$((500 + RANDOM % 400))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
export DISPLAY=$display
for _ in $(seq 50); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done

start_simulator "$SIMULATOR" "$WORK/sim" 0 0 || exit 1
export KESTREL_HTTP_PORT=$SIM_HTTP_PORT KESTREL_FAX_PORT=$SIM_FAX_PORT
export KESTREL_PRINT_PORT
KESTREL_PRINT_PORT=$(free_port)
export KESTREL_PROGRAM_DIR=$WORK/program TEMP=$WORK/spool
export CUPS_SERVER=$WORK/no-cupsd.sock
mkdir -p "$KESTREL_PROGRAM_DIR" "$TEMP"
printf '[MAIN]\r\nIP=127.0.0.1\r\nMAIL=bench@example.org\r\n' >"$KESTREL_PROGRAM_DIR/KZV.INI"

rss_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }

# One start of the bare program: seconds to its "ready", and its RSS.
bare_round() {
    local start end
    start=$EPOCHREALTIME
    coproc BARE_RUN { exec "$BARE"; }
    RUN_PID=$BARE_RUN_PID
    read -r _ <&"${BARE_RUN[0]}"
    end=$EPOCHREALTIME
    sleep 1
    echo "$start $end $(rss_kib "$RUN_PID")"
    stop_pid "$RUN_PID"
    RUN_PID=''
}
# One start of corvafax: seconds until its capture port answers, and its RSS.
client_round() {
    local start end
    start=$EPOCHREALTIME
    "$CLIENT" >/dev/null 2>&1 &
    RUN_PID=$!
    until (exec 3<>"/dev/tcp/127.0.0.1/$KESTREL_PRINT_PORT") 2>/dev/null; do
        kill -0 "$RUN_PID" 2>/dev/null || { echo "corvafax exited" >&2; return 1; }
        sleep 0.002
    done
    end=$EPOCHREALTIME
    sleep 1
    echo "$start $end $(rss_kib "$RUN_PID")"
    stop_pid "$RUN_PID"
    RUN_PID=''
}

: >"$WORK/rounds"
for ((r = 0; r <= ROUNDS; r++)); do
    b=$(bare_round) || exit 1
    c=$(client_round) || exit 1
    ((r == 0)) && continue # the first round warms the disk cache
    echo "$b $c" >>"$WORK/rounds"
done
awk '{
    bare = $2 - $1; client = $5 - $4
    ratio[NR] = client / bare; b[NR] = bare; c[NR] = client; mb[NR] = $3; mc[NR] = $6
} END {
    n = asort(ratio); asort(b); asort(c); asort(mb); asort(mc)
    m = int((n + 1) / 2)
    printf "cold start to ready, median of %d paired rounds: corvafax %.3f s, bare window %.3f s\n", n, c[m], b[m]
    printf "  ratio corvafax / bare: median %.2f, spread %.2f..%.2f (target at most 1.5)\n", ratio[m], ratio[1], ratio[n]
    printf "resident memory after start: corvafax %.1f MiB, bare window %.1f MiB: %+.1f MiB (target at most +20)\n",
        mc[m] / 1024, mb[m] / 1024, (mc[m] - mb[m]) / 1024
}' "$WORK/rounds"

"$SUBMIT" "$WORK/sim/store"
