#!/bin/bash
# Submission benchmark: how fast corvafax-send uploads a large document and
# how much memory it needs, against the appliance simulator and against a
# private HylaFAX server, and next to HylaFAX's own sendfax.
#
#   submit-bench.sh --send CORVAFAX_SEND --simulator SIMULATOR
#                   [--size MIB] [--destinations N] [--runs R] [--memory-run]
#
#   --size MIB        document size in MiB (default 50)
#   --destinations N  numbers per submission, one job each (default 1)
#   --runs R          repetitions; the median is printed (default 3)
#   --memory-run      one 1 GiB document to one destination; checks that the
#                     sender's peak resident memory stays under 64 MiB and
#                     exits 1 when it does not
#
# The HylaFAX half needs root (hfaxd chroot()s into its spool); without root
# it is left out and the script says so. KESTREL_COMPONENT_REGISTRY must name
# the build's component registry. All servers listen on 127.0.0.1 only, on
# free ports, handed to corvafax-send through KESTREL_HTTP_PORT and
# KESTREL_FAX_PORT.

set -u
export LC_ALL=C # decimal points in $EPOCHREALTIME and awk

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
readonly HERE
readonly E2E=$HERE/../tests/e2e
readonly PASSWORD='Kestrel-bench-7'
readonly MIB=1048576
readonly MEMORY_LIMIT_KB=65536
# shellcheck source=../tests/e2e/e2e-common.sh
source "$E2E/e2e-common.sh"

SEND='' SIMULATOR='' SIZE_MIB=50 DESTINATIONS=1 RUNS=3 MEMORY_RUN=''
usage() {
    sed -n '6,14p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
    exit 2
}
while (($#)); do
    case $1 in
    --send) SEND=${2:-} && shift ;;
    --simulator) SIMULATOR=${2:-} && shift ;;
    --size) SIZE_MIB=${2:-} && shift ;;
    --destinations) DESTINATIONS=${2:-} && shift ;;
    --runs) RUNS=${2:-} && shift ;;
    --memory-run) MEMORY_RUN=1 ;;
    *) usage ;;
    esac
    shift
done
[[ -x $SEND && -x $SIMULATOR ]] || usage
for n in "$SIZE_MIB" "$DESTINATIONS" "$RUNS"; do
    [[ $n =~ ^[1-9][0-9]*$ ]] || usage
done
if [[ -n $MEMORY_RUN ]]; then
    SIZE_MIB=1024 DESTINATIONS=1 RUNS=1
fi
if [[ ! -s ${KESTREL_COMPONENT_REGISTRY:-} ]]; then
    echo "KESTREL_COMPONENT_REGISTRY names no registry: build the 'all' target first" >&2
    exit 1
fi
PATH=$PATH:/usr/sbin:/sbin
unset KESTREL_HTTP_PORT KESTREL_FAX_PORT

WORK=$(mktemp -d /tmp/kestrel-bench.XXXXXX)
chmod 755 "$WORK" # hfaxd and faxq run as the spool's owner below it
SIM_PID=
HYLAFAX_STARTED=
cleanup() {
    stop_pid "$SIM_PID"
    [[ -n $HYLAFAX_STARTED ]] && bash "$E2E/hylafax-instance.sh" stop "$WORK/hylafax"
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

numbers=()
for ((i = 0; i < DESTINATIONS; i++)); do
    numbers+=(-d "06$((10000 + i))")
done
DOC=$WORK/bench.ps
BYTES=$((SIZE_MIB * MIB))
make_padded_postscript "$DOC" "$BYTES" || exit 1

# timed NAME command...: runs the command under /usr/bin/time; leaves its
# wall-clock seconds in $WORK/NAME.secs and its peak RSS (KiB) in NAME.rss.
timed() {
    local name=$1 start end rc
    shift
    start=$EPOCHREALTIME
    /usr/bin/time -f %M -o "$WORK/$name.rss" "$@" >"$WORK/$name.out" 2>"$WORK/$name.err"
    rc=$?
    end=$EPOCHREALTIME
    echo "$start $end" | awk '{ printf "%.4f\n", $2 - $1 }' >"$WORK/$name.secs"
    if ((rc != 0)); then
        echo "$name failed (exit $rc):" >&2
        tail -n 20 "$WORK/$name.err" >&2
        return 1
    fi
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# measure KEY LABEL UPLOADS command...: runs the command RUNS times, each run
# uploading the document UPLOADS times; prints one table row and sets
# LAST_SECS (median wall clock) and LAST_RSS (highest peak).
measure() {
    local key=$1 label=$2 uploads=$3 r
    shift 3
    for ((r = 1; r <= RUNS; r++)); do
        timed "$key.$r" "$@" || return 1
    done
    LAST_SECS=$(cat "$WORK/$key".*.secs | median)
    LAST_RSS=$(tail -q -n 1 "$WORK/$key".*.rss | sort -g | tail -n 1)
    awk -v l="$label" -v s="$LAST_SECS" -v j="$DESTINATIONS" -v b="$BYTES" -v u="$uploads" -v m="$LAST_RSS" \
        'BEGIN { printf "%-24s %9.3f %9.1f %12d\n", l, s / j, b * u / 1048576 / s, m }'
}

# The stored copy of every submitted document must have the full size, or
# the figures mean nothing. Each reads the job numbers printed by one run.
check_hfaxd_jobs() {
    local job q doc
    while read -r job; do
        q=$WORK/hylafax/spool/sendq/q$job
        doc=$(sed -n 's/^postscript:.*:\(docq\/.*\)$/\1/p' "$q" 2>/dev/null | head -n 1)
        if [[ -z $doc || $(stat -c %s "$WORK/hylafax/spool/$doc" 2>/dev/null) != "$BYTES" ]]; then
            echo "hfaxd job $job: document missing or short" >&2
            return 1
        fi
    done <"$1"
}
check_simulator_jobs() {
    local job dir
    while read -r job; do
        dir=$WORK/sim/store/jobs/$job
        if [[ ! -f $dir/submitted ]] || [[ -z $(find "$dir" -type f -size "${BYTES}c" -print -quit) ]]; then
            echo "simulator job $job: document missing or short" >&2
            return 1
        fi
    done <"$1"
}
check_runs() {
    local key=$1 check=$2 f
    for f in "$WORK/$key".*.out; do
        [[ $(grep -c . "$f") -eq $DESTINATIONS ]] || {
            echo "$key: expected $DESTINATIONS job numbers in $f" >&2
            return 1
        }
        "$check" "$f" || return 1
    done
}

start_simulator "$SIMULATOR" "$WORK/sim" 0 0 --user faxpw --password "$PASSWORD" || exit 1

echo "document: $SIZE_MIB MiB PostScript, $DESTINATIONS destination(s), $RUNS run(s), median"
printf '%-24s %9s %9s %12s\n' "" "s/job" "MiB/s" "peak RSS KiB"

status=0
export KESTREL_HTTP_PORT=$SIM_HTTP_PORT
export KESTREL_FAX_PORT=$SIM_FAX_PORT
measure sim "corvafax -> simulator" "$DESTINATIONS" \
    "$SEND" --appliance 127.0.0.1 --user faxpw --password "$PASSWORD" --notify bench@example.org \
    --timeout 600 "${numbers[@]}" "$DOC" || exit 1
check_runs sim check_simulator_jobs || exit 1
SIM_RSS=$LAST_RSS

if [[ $(id -u) -ne 0 ]]; then
    echo "(HylaFAX half left out: a private hfaxd needs root)"
else
    HFAXD_PORT=$(free_port)
    HYLAFAX_STARTED=1
    bash "$E2E/hylafax-instance.sh" start "$WORK/hylafax" "$HFAXD_PORT" "$PASSWORD" || exit 1
    export KESTREL_FAX_PORT=$HFAXD_PORT
    measure hfaxd "corvafax -> hfaxd" "$DESTINATIONS" \
        "$SEND" --appliance 127.0.0.1 --user faxpw --password "$PASSWORD" --notify bench@example.org \
        --timeout 600 "${numbers[@]}" "$DOC" || exit 1
    check_runs hfaxd check_hfaxd_jobs || exit 1
    HFAXD_SECS=$LAST_SECS HFAXD_RSS=$LAST_RSS

    # sendfax: no cover page (-n); a plain user that needs no password. It
    # uploads the document once for all its destinations.
    measure sendfax "sendfax -> hfaxd" 1 \
        env FAXUSER=benchuser sendfax -n -h "127.0.0.1:$HFAXD_PORT" "${numbers[@]}" "$DOC" || exit 1
    awk -v c="$HFAXD_SECS" -v s="$LAST_SECS" \
        'BEGIN { printf "ratio corvafax/sendfax (hfaxd, wall clock): %.2f\n", c / s }'
    if ((DESTINATIONS > 1)); then
        echo "(sendfax uploads the document once for all its destinations; corvafax once per job)"
    fi
    if ((HFAXD_RSS > SIM_RSS)); then SIM_RSS=$HFAXD_RSS; fi
fi

if [[ -n $MEMORY_RUN ]]; then
    if ((SIM_RSS < MEMORY_LIMIT_KB)); then
        echo "memory target met: peak RSS $SIM_RSS KiB < $MEMORY_LIMIT_KB KiB for a 1 GiB document"
    else
        echo "memory target MISSED: peak RSS $SIM_RSS KiB >= $MEMORY_LIMIT_KB KiB for a 1 GiB document"
        status=1
    fi
fi
exit $status
