#!/bin/bash
# End to end: a mail merge of 20 tagged letters made with Writer printed
# through a private cupsd to the capture printer; the spool file the capture
# host writes is read by the program's tag reader (tags-read), which must
# find the 20 letters, each document holding exactly its letter's pages.
# The letters are the rows of MAILMERGE.csv ("fax;nome;condizioni", two
# pages where "condizioni" is "si"); each page's text begins
# "Lettera N pagina K".
#
#   cups-tags.sh CORVAFAX_SEND SIMULATOR TAGS_READ MAILMERGE.pdf MAILMERGE.csv
#
# Needs root (a private cupsd and lpadmin) and the CUPS tools: exit 77
# otherwise. KEEP_WORK=1 keeps the work folder.

set -u
export PATH=$PATH:/usr/sbin:/sbin
export LC_ALL=C

SEND=${1:?usage: cups-tags.sh CORVAFAX_SEND SIMULATOR TAGS_READ MAILMERGE.pdf}
SIMULATOR=${2:?usage: cups-tags.sh CORVAFAX_SEND SIMULATOR TAGS_READ MAILMERGE.pdf}
TAGS_READ=${3:?usage: cups-tags.sh CORVAFAX_SEND SIMULATOR TAGS_READ MAILMERGE.pdf}
MAILMERGE=${4:?usage: cups-tags.sh CORVAFAX_SEND SIMULATOR TAGS_READ MAILMERGE.pdf MAILMERGE.csv}
ROWS=${5:?usage: cups-tags.sh CORVAFAX_SEND SIMULATOR TAGS_READ MAILMERGE.pdf MAILMERGE.csv}
# shellcheck source=e2e-common.sh
source "$(dirname "$0")/e2e-common.sh"

if [[ $(id -u) -ne 0 ]]; then
    echo "SKIP: needs root (a private cupsd and lpadmin)"
    exit 77
fi
for tool in cupsd lpadmin lp lpstat gs; do
    command -v "$tool" >/dev/null || {
        echo "SKIP: $tool is not installed"
        exit 77
    }
done

WORK=$(mktemp -d /tmp/kestrel-cups-tags.XXXXXX)
chmod 755 "$WORK"
CUPSD_PID=
HOST_PID=
SIM_PID=
FAILED=0
cleanup() {
    stop_pid "$HOST_PID"
    stop_pid "$SIM_PID"
    stop_pid "$CUPSD_PID"
    if ((FAILED)); then
        echo "--- capture host stderr (last lines)"
        tail -n 20 "$WORK/host.err" 2>/dev/null
    fi
    if [[ ${KEEP_WORK:-} == 1 ]]; then
        echo "work folder kept: $WORK"
    else
        rm -rf "$WORK"
    fi
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    FAILED=1
}

start_private_cupsd "$WORK/cups" || {
    fail "cupsd did not start"
    exit 1
}
start_simulator "$SIMULATOR" "$WORK/appliance" 0 0 || {
    fail "the appliance simulator did not start"
    exit 1
}
export KESTREL_HTTP_PORT=$SIM_HTTP_PORT
mkdir -p "$WORK/spoolfiles"

# The capture host on a free port; its activation installs the queue.
PORT=
for ((attempt = 0; attempt < 20; attempt++)); do
    [[ -n $PORT ]] && break
    candidate=$((20000 + RANDOM % 40000))
    rm -f "$WORK/host.err"
    : >"$WORK/host.out"
    KESTREL_PRINT_PORT=$candidate TEMP=$WORK/spoolfiles "$SEND" --capture --appliance 127.0.0.1 --printer kestrel \
        --debug >"$WORK/host.out" 2>"$WORK/host.err" </dev/null &
    HOST_PID=$!
    for ((i = 0; i < 100; i++)); do
        grep -q 'in attesa di stampe' "$WORK/host.err" 2>/dev/null && break
        kill -0 "$HOST_PID" 2>/dev/null || break
        sleep 0.1
    done
    if grep -q 'in attesa di stampe' "$WORK/host.err" && ! grep -q 'Printer Socket Error' "$WORK/host.err"; then
        PORT=$candidate
    else
        stop_pid "$HOST_PID"
        HOST_PID=
        lpadmin -x kestrel 2>/dev/null
    fi
done
[[ -n $PORT ]] || {
    fail "the capture host did not start listening"
    exit 1
}
for ((i = 0; i < 200; i++)); do
    lpstat -e 2>/dev/null | grep -qx kestrel && break
    sleep 0.1
done
lpstat -e 2>/dev/null | grep -qx kestrel || {
    fail "the capture printer was not installed"
    exit 1
}

out=$(lp -d kestrel -t mailmerge "$MAILMERGE" 2>&1) || {
    fail "lp: $out"
    exit 1
}
for ((i = 0; i < 600; i++)); do
    [[ -s $WORK/host.out && -z $(lpstat -o 2>/dev/null) ]] && break
    sleep 0.1
done
SPOOL=$(head -n 1 "$WORK/host.out")
[[ -f $SPOOL ]] || {
    fail "no spool file for the printed mail merge"
    exit 1
}

mkdir -p "$WORK/letters"
"$TAGS_READ" "$SPOOL" "$WORK/letters" >"$WORK/letters.txt"
mapfile -t LETTERS <"$WORK/letters.txt"
if ((${#LETTERS[@]} != 20)); then
    fail "expected 20 letters from the captured print, got: $(cat "$WORK/letters.txt")"
    exit 1
fi

mapfile -t EXPECTED < <(tail -n +2 "$ROWS")
for i in $(seq 1 20); do
    IFS=$'\t' read -r number name range pages document <<<"${LETTERS[i - 1]}"
    IFS=';' read -r fax who conditions <<<"${EXPECTED[i - 1]}"
    expected=1
    [[ $conditions == si ]] && expected=2
    [[ $number == "$(sed 's/+/00/g; s/[^0-9]//g' <<<"$fax")" && $name == "$who" && $pages == "$expected" ]] ||
        fail "letter $i: read as '${LETTERS[i - 1]}'"
    rm -rf "$WORK/text" && mkdir -p "$WORK/text"
    gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=txtwrite -sOutputFile="$WORK/text/p%d.txt" -f "$document" ||
        fail "letter $i ($range): its document $document does not read"
    count=$(find "$WORK/text" -name 'p*.txt' | wc -l)
    ((count == expected)) || fail "letter $i: its document has $count pages, not $expected"
    for ((k = 1; k <= count; k++)); do
        text=$(tr -s ' \n\r' '  ' <"$WORK/text/p$k.txt" | sed 's/^ *//')
        [[ $text == "Lettera $i pagina $k "* ]] || fail "letter $i: page $k reads '$text'"
    done
done
((FAILED)) && exit 1
echo "ok: the captured mail merge split into its 20 letters, each document holding exactly its pages"

# Letters in the word processor's default TrueType font: their tags stay
# readable through the queue (CUPS makes their PostScript with Cairo).
out=$(lp -d kestrel -t truetype "$(dirname "$MAILMERGE")/truetype-letters.pdf" 2>&1) || {
    fail "lp: $out"
    exit 1
}
for ((i = 0; i < 600; i++)); do
    [[ $(wc -l <"$WORK/host.out") -ge 2 && -z $(lpstat -o 2>/dev/null) ]] && break
    sleep 0.1
done
SPOOL=$(sed -n 2p "$WORK/host.out")
[[ -f $SPOOL ]] || {
    fail "no spool file for the letters in TrueType"
    exit 1
}
mkdir -p "$WORK/truetype"
"$TAGS_READ" "$SPOOL" "$WORK/truetype" >"$WORK/truetype.txt"
got=$(cut -f1-3 "$WORK/truetype.txt")
want=$(printf '061234501\tRossi Srl\t1-1\n025551234\tBianchi & Figli\t2-2')
[[ $got == "$want" ]] || fail "letters in TrueType read as: $(cat "$WORK/truetype.txt")"
((FAILED)) && exit 1
echo "ok: letters set in TrueType keep their tags through the queue"
exit 0
