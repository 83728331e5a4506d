#!/bin/bash
# End to end: corvafax-send --tags sends each letter of a mail merge to the
# number its tag names, through a real HylaFAX server (hfaxd + faxq, private
# spool) on the default ports, the appliance pages served by the simulator.
# Each of the 20 jobs must name its letter's number and hold a document with
# exactly its letter's pages; a print with a tag in doubt sends nothing. The
# mail merge is Writer's: its letters are the rows of MAILMERGE.csv
# ("fax;nome;condizioni", two pages where "condizioni" is "si"), each page's
# text beginning "Lettera N pagina K".
#
#   hfaxd-tags.sh CORVAFAX_SEND SIMULATOR MAILMERGE.pdf MAILMERGE.csv
#
# Needs root (a private network namespace for ports 80 and 4559, and hfaxd):
# exit 77 otherwise.

set -u

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
readonly HERE
readonly SEND=${1:?usage: hfaxd-tags.sh CORVAFAX_SEND SIMULATOR MAILMERGE.pdf}
readonly SIMULATOR=${2:?usage: hfaxd-tags.sh CORVAFAX_SEND SIMULATOR MAILMERGE.pdf}
readonly MAILMERGE=${3:?usage: hfaxd-tags.sh CORVAFAX_SEND SIMULATOR MAILMERGE.pdf MAILMERGE.csv}
readonly ROWS=${4:?usage: hfaxd-tags.sh CORVAFAX_SEND SIMULATOR MAILMERGE.pdf MAILMERGE.csv}
readonly PASSWORD='Kestrel-e2e-9'

# shellcheck source=e2e-common.sh
source "$HERE/e2e-common.sh"
enter_private_network "${BASH_SOURCE[0]}" "$@"

WORK=$(mktemp -d /tmp/kestrel-tags.XXXXXX)
chmod 755 "$WORK"
SIM_PID=
cleanup() {
    stop_pid "$SIM_PID"
    bash "$HERE/hylafax-instance.sh" stop "$WORK/hylafax"
    if ((failures == 0)) && [[ -z ${KESTREL_E2E_KEEP:-} ]]; then
        rm -rf "$WORK"
    else
        echo "work folder kept: $WORK" >&2
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

ip link set lo up || {
    echo "cannot bring up the loopback interface" >&2
    failures=1
    exit 1
}
unset KESTREL_HTTP_PORT KESTREL_FAX_PORT
start_simulator "$SIMULATOR" "$WORK/sim" 80 0 || {
    failures=1
    exit 1
}
bash "$HERE/hylafax-instance.sh" start "$WORK/hylafax" 4559 "$PASSWORD" || {
    rc=$?
    failures=1
    exit "$rc"
}
SPOOL=$WORK/hylafax/spool
printf '%s\n' "$PASSWORD" >"$WORK/password"
chmod 600 "$WORK/password"

field() { sed -n "s/^$2://p" "$1" | head -n 1; }
# The text of each page of a document, one line per page.
page_lines() {
    local out=$WORK/pages.$$ f
    rm -rf "$out" && mkdir -p "$out"
    gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=txtwrite -sOutputFile="$out/p%d.txt" -f "$1" || return 1
    for f in $(ls "$out" | sort -V); do
        tr -s ' \n\r' '  ' <"$out/$f" | sed 's/^ *//'
        echo
    done
}
# A number as the number box keeps it.
digits_of() { sed 's/+/00/g; s/[^0-9]//g' <<<"$1"; }
queued() { find "$SPOOL/sendq" -maxdepth 1 -name 'q[0-9]*' | wc -l; }

send() {
    local name=$1
    shift
    (cd "$WORK" && timeout 300 "$SEND" --appliance 127.0.0.1 --user faxpw --password-file "$WORK/password" \
        --notify someone@example.org --timeout 60 "$@") >"$WORK/$name.out" 2>"$WORK/$name.err"
    echo $? >"$WORK/$name.rc"
}
show() {
    echo "--- $1: exit $(<"$WORK/$1.rc"), stdout:" >&2
    cat "$WORK/$1.out" >&2
    echo "--- $1: stderr (last 40 lines):" >&2
    tail -n 40 "$WORK/$1.err" >&2
}

# --- a tag without digits: refused, nothing queued -------------------------
printf '%%!PS\n/Helvetica findfont 12 scalefont setfont\n72 700 moveto (@@FAX:0611@@) show showpage\n72 700 moveto (@@FAX: --- @@) show showpage\n' >"$WORK/bad.ps"
before=$(queued)
send bad --tags bad.ps
if [[ $(<"$WORK/bad.rc") -eq 0 ]] || ! grep -q 'a pagina 2 .*non contiene alcuna cifra' "$WORK/bad.err" ||
    grep -qE '^[0-9]+$' "$WORK/bad.out" || [[ $(queued) -ne $before ]]; then
    fail "a tag without digits: expected a refusal naming page 2 and no job"
    show bad
else
    pass "a tag without digits refused, nothing queued"
fi

# --- --wait: every letter is submitted before any is waited for -------------
# No modem: no job ends, so a wait per letter would hold the second letter
# back for ever. SIGTERM then ends the wait (exit 3).
printf '%%!PS\n/Helvetica findfont 12 scalefont setfont\n72 700 moveto (@@FAX:0611@@) show showpage\n72 700 moveto (@@FAX:0622@@) show showpage\n' >"$WORK/two.ps"
(cd "$WORK" && exec timeout 120 "$SEND" --appliance 127.0.0.1 --user faxpw --password-file "$WORK/password" \
    --notify someone@example.org --timeout 60 --wait --tags two.ps) >"$WORK/wait.out" 2>"$WORK/wait.err" &
WAIT_PID=$!
for ((i = 0; i < 300; i++)); do
    (($(grep -cE '^[0-9]+$' "$WORK/wait.out") >= 2)) && break
    kill -0 "$WAIT_PID" 2>/dev/null || break
    sleep 0.2
done
# SIGTERM ends the wait once the program has taken it over (its handler is
# installed when the wait starts, after the job numbers are printed): before
# that it would end the program. It goes to the program itself: through
# timeout it would come twice (timeout also signals its process group), the
# second possibly after the program has given the signal back.
caught_by() {
    local pid mask
    for pid in $(pgrep -P "$WAIT_PID"); do
        mask=$(sed -n 's/^SigCgt:\s*//p' "/proc/$pid/status" 2>/dev/null)
        [[ -n $mask ]] && (((16#$mask >> 14) & 1)) && echo "$pid" && return 0
    done
    return 1
}
PROGRAM_PID=
for ((i = 0; i < 300; i++)); do
    PROGRAM_PID=$(caught_by) && break
    kill -0 "$WAIT_PID" 2>/dev/null || break
    sleep 0.1
done
kill -TERM "${PROGRAM_PID:-$WAIT_PID}" 2>/dev/null
wait "$WAIT_PID"
echo $? >"$WORK/wait.rc"
if (($(grep -cE '^[0-9]+$' "$WORK/wait.out") != 2)) || [[ $(<"$WORK/wait.rc") -ne 3 ]]; then
    fail "--wait --tags: expected both letters submitted, then the wait stopped (exit 3)"
    show wait
else
    pass "--wait --tags submitted both letters before waiting"
fi

# --- the mail merge: 20 letters, 20 jobs ------------------------------------
cp "$MAILMERGE" "$WORK/mailmerge.pdf"
send merge --tags mailmerge.pdf
mapfile -t jobs < <(grep -E '^[0-9]+$' "$WORK/merge.out")
if [[ $(<"$WORK/merge.rc") -ne 0 || ${#jobs[@]} -ne 20 ]]; then
    fail "mail merge: expected exit 0 and 20 job numbers"
    show merge
    exit 1
fi
pass "mail merge: 20 jobs ${jobs[*]}"
mapfile -t EXPECTED < <(tail -n +2 "$ROWS")
for i in $(seq 1 20); do
    job=${jobs[i - 1]}
    q=$SPOOL/sendq/q$job
    IFS=';' read -r fax _ conditions <<<"${EXPECTED[i - 1]}"
    pages=1
    [[ $conditions == si ]] && pages=2
    [[ -f $q ]] || {
        fail "letter $i: no queue file for job $job"
        continue
    }
    [[ $(field "$q" number) == "$(digits_of "$fax")" ]] ||
        fail "letter $i: job $job dials $(field "$q" number), not $(digits_of "$fax")"
    mapfile -t docs < <(grep -E '^(postscript|pdf):' "$q")
    if [[ ${#docs[@]} -ne 1 ]]; then
        fail "letter $i: job $job holds ${#docs[@]} documents"
        continue
    fi
    mapfile -t texts < <(page_lines "$SPOOL/${docs[0]##*:}")
    if [[ ${#texts[@]} -ne $pages ]]; then
        fail "letter $i: job $job's document has ${#texts[@]} pages, not $pages"
        continue
    fi
    for ((k = 1; k <= pages; k++)); do
        [[ ${texts[k - 1]} == "Lettera $i pagina $k "* ]] ||
            fail "letter $i: page $k of job $job reads '${texts[k - 1]}'"
    done
done
((failures == 0)) && pass "every job dials its letter's number and holds exactly its pages"
exit $((failures > 0))
