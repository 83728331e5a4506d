#!/bin/bash
# Submission benchmark: corvafax-send next to HylaFAX's own sendfax, both
# against one private hfaxd, in alternating paired rounds (corvafax, sendfax,
# corvafax, ...), so that the noise of a shared machine hits both alike. For
# each case it prints the median of the per-round time ratios and their
# spread, and the bytes corvafax uploaded per byte of document.
#
#   submit-bench.sh --send CORVAFAX_SEND --simulator SIMULATOR [--rounds R] [--memory-run]
#
#   --rounds R    paired rounds per case (default 15; 5 for the 20 MiB cases)
#   --memory-run  instead: one 1 GiB document to ten numbers on the
#                 simulator (one upload, compressed); checks that the
#                 sender's peak resident memory stays under 64 MiB and exits
#                 1 when it does not
#
# Cases: a one-page job to one number; a 20 MiB document that does not
# compress (random bytes, as most PDF content is) to ten numbers; the same
# size of well-compressing PostScript to one and to ten numbers, for
# comparison (sendfax compresses what it uploads).
#
# The hfaxd half needs root (hfaxd chroot()s into its spool).
# KESTREL_COMPONENT_REGISTRY must name the build's component registry.
# Everything listens on 127.0.0.1 only, on free ports.

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

SEND='' SIMULATOR='' ROUNDS='' MEMORY_RUN=''
usage() {
    sed -n '8,13p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
    exit 2
}
while (($#)); do
    case $1 in
    --send) SEND=${2:-} && shift ;;
    --simulator) SIMULATOR=${2:-} && shift ;;
    --rounds) ROUNDS=${2:-} && shift ;;
    --memory-run) MEMORY_RUN=1 ;;
    *) usage ;;
    esac
    shift
done
[[ -x $SEND && -x $SIMULATOR ]] || usage
[[ -z $ROUNDS || $ROUNDS =~ ^[1-9][0-9]*$ ]] || usage
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

# timed NAME command...: runs the command; leaves its wall-clock seconds in
# $WORK/NAME.secs and its peak RSS (KiB) in NAME.rss.
timed() {
    local name=$1 start end rc
    shift
    start=$EPOCHREALTIME
    /usr/bin/time -f %M -o "$WORK/$name.rss" "$@" >"$WORK/$name.out" 2>"$WORK/$name.err"
    rc=$?
    end=$EPOCHREALTIME
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f\n", b - a }' >"$WORK/$name.secs"
    if ((rc != 0)); then
        echo "$name failed (exit $rc):" >&2
        tail -n 20 "$WORK/$name.err" >&2
        return 1
    fi
}

# A PostScript document of exactly BYTES bytes whose body is random binary
# data: it does not compress.
make_random_postscript() {
    local file=$1 bytes=$2 head tail
    head=$'%!PS-Adobe-3.0\n%%Pages: 1\n%%EndComments\n%%BeginData: binary\n'
    tail=$'\n%%EndData\nshowpage\n%%EOF\n'
    {
        printf '%s' "$head"
        head -c $((bytes - ${#head} - ${#tail})) /dev/urandom
        printf '%s' "$tail"
    } >"$file"
}

# Bytes that arrived in the server's /tmp since the last call: what was
# uploaded (hfaxd hard-links documents from there into its queue).
SPOOL=''
uploaded_bytes() {
    local total
    total=$(find "$SPOOL/tmp" -maxdepth 1 -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
    find "$SPOOL/tmp" -maxdepth 1 -type f -delete
    echo "$total"
}

# paired CASE DOC ROUNDS NUMBERS...: alternating rounds of corvafax-send and
# sendfax to the same numbers; prints the case's row.
paired() {
    local name=$1 doc=$2 rounds=$3 r c s bytes size
    shift 3
    size=$(stat -c %s "$doc")
    uploaded_bytes >/dev/null
    : >"$WORK/$name.ratios"
    : >"$WORK/$name.upload"
    for ((r = 1; r <= rounds; r++)); do
        timed "$name.c$r" "$SEND" --appliance 127.0.0.1 --user faxpw --password-file "$WORK/password" \
            --notify bench@example.org --timeout 600 "$@" "$doc" || return 1
        [[ $(grep -c . "$WORK/$name.c$r.out") -eq $(($# / 2)) ]] || {
            echo "$name: corvafax-send did not print one job per number" >&2
            return 1
        }
        bytes=$(uploaded_bytes)
        echo "$bytes $size" | awk '{ printf "%.3f\n", $1 / $2 }' >>"$WORK/$name.upload"
        timed "$name.s$r" env FAXUSER=benchuser sendfax -n -h "127.0.0.1:$HFAXD_PORT" "$@" "$doc" || return 1
        uploaded_bytes >/dev/null
        c=$(<"$WORK/$name.c$r.secs")
        s=$(<"$WORK/$name.s$r.secs")
        awk -v c="$c" -v s="$s" 'BEGIN { printf "%.4f %.4f %.4f\n", c / s, c, s }' >>"$WORK/$name.ratios"
    done
    sort -g "$WORK/$name.ratios" | awk -v label="$name" -v up="$(sort -g "$WORK/$name.upload" | tail -n 1)" '
        { r[NR] = $1; c[NR] = $2; s[NR] = $3 }
        END {
            m = (NR % 2) ? r[(NR + 1) / 2] : (r[NR / 2] + r[NR / 2 + 1]) / 2
            n = asort(c); asort(s)
            mc = (n % 2) ? c[(n + 1) / 2] : (c[n / 2] + c[n / 2 + 1]) / 2
            ms = (n % 2) ? s[(n + 1) / 2] : (s[n / 2] + s[n / 2 + 1]) / 2
            printf "%-34s %7.3f %7.3f %7.2f  %5.2f..%-5.2f %9.2f\n", label, mc, ms, m, r[1], r[NR], up
        }'
}

if [[ -n $MEMORY_RUN ]]; then
    DOC=$WORK/big.ps
    make_padded_postscript "$DOC" $((1024 * MIB)) || exit 1
    start_simulator "$SIMULATOR" "$WORK/sim" 0 0 || exit 1
    export KESTREL_HTTP_PORT=$SIM_HTTP_PORT KESTREL_FAX_PORT=$SIM_FAX_PORT
    numbers=()
    for ((i = 0; i < 10; i++)); do numbers+=(-d "06$((10000 + i))"); done
    timed memory "$SEND" --appliance 127.0.0.1 --notify bench@example.org --timeout 600 "${numbers[@]}" "$DOC" ||
        exit 1
    rss=$(tail -n 1 "$WORK/memory.rss")
    secs=$(<"$WORK/memory.secs")
    awk -v s="$secs" 'BEGIN { printf "1 GiB to ten numbers on the simulator: %.1f s, %.0f MiB/s\n", s, 1024 / s }'
    if ((rss < MEMORY_LIMIT_KB)); then
        echo "memory target met: peak RSS $rss KiB < $MEMORY_LIMIT_KB KiB for a 1 GiB document to ten numbers"
        exit 0
    fi
    echo "memory target MISSED: peak RSS $rss KiB >= $MEMORY_LIMIT_KB KiB for a 1 GiB document to ten numbers"
    exit 1
fi

if [[ $(id -u) -ne 0 ]]; then
    echo "The comparison with sendfax needs a private hfaxd, which needs root." >&2
    exit 1
fi
# Pages of the appliance simulator answer the activation; the jobs go to hfaxd.
start_simulator "$SIMULATOR" "$WORK/sim" 0 0 || exit 1
HFAXD_PORT=$(free_port)
HYLAFAX_STARTED=1
bash "$E2E/hylafax-instance.sh" start "$WORK/hylafax" "$HFAXD_PORT" "$PASSWORD" || exit 1
SPOOL=$WORK/hylafax/spool
export KESTREL_HTTP_PORT=$SIM_HTTP_PORT KESTREL_FAX_PORT=$HFAXD_PORT
printf '%s\n' "$PASSWORD" >"$WORK/password"
chmod 600 "$WORK/password"

make_postscript "$WORK/page.ps" 1
make_random_postscript "$WORK/random.ps" $((20 * MIB))
make_padded_postscript "$WORK/padded.ps" $((20 * MIB)) || exit 1
ten=()
for ((i = 0; i < 10; i++)); do
    ten+=(-d "06$((10000 + i))")
done

echo "corvafax-send and sendfax against one hfaxd on loopback; medians of alternating paired rounds"
printf '%-34s %7s %7s %7s  %-12s %9s\n' "" "ours s" "sendfax" "ratio" "spread" "upload/doc"
paired "one page, one number" "$WORK/page.ps" "${ROUNDS:-15}" -d 0610000 || exit 1
paired "20 MiB random, ten numbers" "$WORK/random.ps" "${ROUNDS:-5}" "${ten[@]}" || exit 1
paired "20 MiB PostScript, one number" "$WORK/padded.ps" "${ROUNDS:-5}" -d 0610000 || exit 1
paired "20 MiB PostScript, ten numbers" "$WORK/padded.ps" "${ROUNDS:-5}" "${ten[@]}" || exit 1
echo "ratio: corvafax time / sendfax time per round; spread: lowest..highest ratio;"
echo "upload/doc: bytes corvafax uploaded per byte of document, highest round (sendfax compresses its uploads)"
