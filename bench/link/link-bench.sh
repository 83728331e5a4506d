#!/bin/bash
# Ours against HylaFAX's sendfax over an office link: 10 Mbit/s each way and
# a 20 ms round trip, as a branch office reaching the appliance over a VPN.
# The senders run in one network namespace, the real hfaxd in another, and
# office-link.py carries every packet between them (delay and rate in user
# space: this kernel has no netem). Paired alternating rounds (ours, sendfax,
# ours, ...) of each case; prints the median time ratio with its spread and
# the bytes on the link to and from the fax server (both ways) per byte of
# document; the appliance's status pages, which our senders read and
# sendfax does not, are counted apart.
#
#   link-bench.sh --send CORVAFAX_SEND --client BENCH_CLIENT_SUBMIT --simulator SIMULATOR [--rounds R]
#
# Cases: a 20-page PostScript document and a 20 MiB PDF, each to one and to
# ten destinations, through corvafax-send and through the client's send
# window (ClientApplication, as bench-client-submit drives it).
# Needs root (namespaces, hfaxd); KESTREL_COMPONENT_REGISTRY must name the
# build's registry.

set -u
export LC_ALL=C

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
readonly HERE
readonly E2E=$HERE/../../tests/e2e
# shellcheck source=../../tests/e2e/e2e-common.sh
source "$E2E/e2e-common.sh"
readonly MIB=1048576
readonly CLIENT_NS=kestrel-office SERVER_NS=kestrel-appliance
readonly CLIENT_ADDR=10.77.0.2 SERVER_ADDR=10.77.1.2

SEND='' CLIENT='' SIMULATOR='' ROUNDS=3
usage() {
    sed -n '10,11p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
    exit 2
}
while (($#)); do
    case $1 in
    --send) SEND=${2:-} && shift ;;
    --client) CLIENT=${2:-} && shift ;;
    --simulator) SIMULATOR=${2:-} && shift ;;
    --rounds) ROUNDS=${2:-} && shift ;;
    *) usage ;;
    esac
    shift
done
[[ -x $SEND && -x $CLIENT && -x $SIMULATOR && $ROUNDS =~ ^[1-9][0-9]*$ ]] || usage
if [[ $(id -u) -ne 0 ]]; then
    echo "link-bench needs root (network namespaces, hfaxd)" >&2
    exit 1
fi
if [[ -z ${KESTREL_LINK_BENCH_NS:-} ]]; then
    # A private namespace of our own, where the two below can be made.
    KESTREL_LINK_BENCH_NS=1 exec unshare -n --mount-proc -f -- bash "${BASH_SOURCE[0]}" --send "$SEND" \
        --client "$CLIENT" --simulator "$SIMULATOR" --rounds "$ROUNDS"
fi
PATH=$PATH:/usr/sbin:/sbin

WORK=$(mktemp -d /tmp/kestrel-link.XXXXXX)
chmod 755 "$WORK"
SIM_PID=
LINK_PID=
cleanup() {
    stop_pid "$SIM_PID"
    bash "$E2E/hylafax-instance.sh" stop "$WORK/hylafax" 2>/dev/null
    [[ -n $LINK_PID ]] && kill "$LINK_PID" 2>/dev/null
    ip netns del "$CLIENT_NS" 2>/dev/null
    ip netns del "$SERVER_NS" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- the link: two namespaces joined by the relay
ip link set lo up
ip netns add "$CLIENT_NS" && ip netns add "$SERVER_NS" || exit 1
coproc LINK { python3 "$HERE/office-link.py" lnkc lnks 10 10; }
LINK_PID=$LINK_PID
read -r -t 10 -u "${LINK[0]}" ready && [[ $ready == ready ]] || {
    echo "the link relay did not start" >&2
    exit 1
}
ip link set lnkc netns "$CLIENT_NS" && ip link set lnks netns "$SERVER_NS" || exit 1
ip -n "$CLIENT_NS" link set lo up
ip -n "$SERVER_NS" link set lo up
ip -n "$CLIENT_NS" addr add "$CLIENT_ADDR/24" dev lnkc
ip -n "$SERVER_NS" addr add "$SERVER_ADDR/24" dev lnks
ip -n "$CLIENT_NS" link set lnkc up
ip -n "$SERVER_NS" link set lnks up
ip -n "$CLIENT_NS" route add 10.77.1.0/24 dev lnkc
ip -n "$SERVER_NS" route add 10.77.0.0/24 dev lnks
# bytes: what crossed the link (both ways) since the last call, as
# "FAX PAGES": the fax server's traffic, then the appliance's pages.
link_bytes() {
    local line
    echo count >&"${LINK[1]}"
    read -r -t 10 -u "${LINK[0]}" line || return 1
    awk '{ print $2 + $3, $4 }' <<<"$line"
}

# --- the appliance: its pages (the simulator) and the real hfaxd
ip netns exec "$SERVER_NS" bash -c "$(declare -f start_simulator); start_simulator '$SIMULATOR' '$WORK/sim' 80 0 \
    --listen $SERVER_ADDR && echo \$SIM_PID >'$WORK/sim.pid'" >/dev/null || exit 1
SIM_PID=$(<"$WORK/sim.pid")
HYLAFAX_LISTEN=$SERVER_ADDR HYLAFAX_CLIENT='10\.77\.0\.2' \
    ip netns exec "$SERVER_NS" bash "$E2E/hylafax-instance.sh" start "$WORK/hylafax" 4559 || exit 1

# --- the documents
pages_postscript() {
    local file=$1 p l
    {
        printf '%%!PS-Adobe-3.0\n%%%%Pages: 20\n%%%%EndComments\n/Times-Roman findfont 11 scalefont setfont\n'
        for ((p = 1; p <= 20; p++)); do
            printf '%%%%Page: %d %d\n' "$p" "$p"
            for ((l = 0; l < 60; l++)); do
                printf '72 %d moveto (Pagina %d, riga %d: il documento che la filiale manda in sede ogni mattina.) show\n' \
                    $((760 - l * 11)) "$p" "$l"
            done
            printf 'newpath 72 72 moveto 540 72 lineto 540 720 lineto 72 720 lineto closepath stroke\nshowpage\n'
        done
        printf '%%%%EOF\n'
    } >"$file"
}
pages_postscript "$WORK/pages.ps"
python3 "$HERE/make-pdf.py" "$WORK/image.pdf" $((20 * MIB)) || exit 1

run_client() { # the send window's flow
    ip netns exec "$CLIENT_NS" env KESTREL_HTTP_PORT=80 KESTREL_FAX_PORT=4559 QT_QPA_PLATFORM=offscreen \
        "$CLIENT" --document "$1" --destinations "$2" --appliance "$SERVER_ADDR" 2>"$WORK/client.err" | tail -n 1
}
run_send() { # corvafax-send
    local doc=$1 n=$2 i numbers=()
    for ((i = 0; i < n; i++)); do numbers+=(-d "06$((10000 + i))"); done
    local start=$EPOCHREALTIME
    ip netns exec "$CLIENT_NS" env KESTREL_HTTP_PORT=80 KESTREL_FAX_PORT=4559 \
        "$SEND" --appliance "$SERVER_ADDR" --notify bench@example.org --timeout 600 "${numbers[@]}" "$doc" \
        >"$WORK/send.out" 2>"$WORK/send.err" || { tail -n 5 "$WORK/send.err" >&2; return 1; }
    awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.4f\n", b - a }'
}
run_sendfax() {
    local doc=$1 n=$2 i numbers=()
    for ((i = 0; i < n; i++)); do numbers+=(-d "06$((10000 + i))"); done
    local start=$EPOCHREALTIME
    ip netns exec "$CLIENT_NS" env FAXUSER=benchuser sendfax -n -h "$SERVER_ADDR:4559" "${numbers[@]}" "$doc" \
        >"$WORK/sendfax.out" 2>"$WORK/sendfax.err" || { tail -n 5 "$WORK/sendfax.err" >&2; return 1; }
    awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.4f\n", b - a }'
}

# case NAME WHO DOC N: paired rounds of WHO (run_send or run_client) and sendfax.
bench_case() {
    local name=$1 who=$2 doc=$3 n=$4 r ours theirs ob tb size
    size=$(stat -c %s "$doc")
    : >"$WORK/rounds"
    link_bytes >/dev/null
    for ((r = 1; r <= ROUNDS; r++)); do
        ours=$($who "$doc" "$n") || { echo "$name: ours failed" >&2; return 1; }
        ob=$(link_bytes)
        theirs=$(run_sendfax "$doc" "$n") || { echo "$name: sendfax failed" >&2; return 1; }
        tb=$(link_bytes)
        echo "$ours $theirs $ob $tb" >>"$WORK/rounds" # ob and tb: two fields each
    done
    awk -v label="$name" -v size="$size" '
        { o[NR] = $1; t[NR] = $2; r[NR] = $1 / $2; ob[NR] = $3; op[NR] = $4; tb[NR] = $5 }
        function median(a, n,   b, i) { for (i = 1; i <= n; i++) b[i] = a[i]; asort(b)
            return (n % 2) ? b[(n + 1) / 2] : (b[n / 2] + b[n / 2 + 1]) / 2 }
        END {
            n = NR; m = median(r, n); lo = hi = r[1]
            for (i = 2; i <= n; i++) { if (r[i] < lo) lo = r[i]; if (r[i] > hi) hi = r[i] }
            printf "%-40s %7.2f %7.2f %6.2f  %4.2f..%-4.2f %8.4f %8.4f %7d\n", label, median(o, n), median(t, n), m, lo,
                hi, median(ob, n) / size, median(tb, n) / size, median(op, n)
        }' "$WORK/rounds"
}

echo "Over a 10 Mbit/s, 20 ms round-trip link to a real hfaxd; $ROUNDS paired alternating rounds per case"
printf '%-40s %7s %7s %6s  %-10s %8s %8s %7s\n' "" "ours s" "sendfax" "ratio" "spread" "ours B/B" "theirs" "pages B"
bench_case "20-page PostScript, 1 number" run_send "$WORK/pages.ps" 1 || exit 1
bench_case "20-page PostScript, 10 numbers" run_send "$WORK/pages.ps" 10 || exit 1
bench_case "20 MiB PDF, 1 number" run_send "$WORK/image.pdf" 1 || exit 1
bench_case "20 MiB PDF, 10 numbers" run_send "$WORK/image.pdf" 10 || exit 1
bench_case "send window: 20-page PostScript, 1" run_client "$WORK/pages.ps" 1 || exit 1
bench_case "send window: 20-page PostScript, 10" run_client "$WORK/pages.ps" 10 || exit 1
bench_case "send window: 20 MiB PDF, 1" run_client "$WORK/image.pdf" 1 || exit 1
bench_case "send window: 20 MiB PDF, 10" run_client "$WORK/image.pdf" 10 || exit 1
echo "ratio: our time / sendfax's, median of the rounds; spread: lowest..highest;"
echo "B/B: bytes on the link to and from the fax server (both ways, headers and acknowledgements"
echo "included) per byte of document, median; pages B: bytes of the appliance's status pages"
echo "that ours read in a round (sendfax reads none), median"
