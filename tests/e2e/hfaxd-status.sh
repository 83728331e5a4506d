#!/bin/bash
# End to end: the history's tracking against a real HylaFAX server whose
# jobs really end on a test fax line (hylafax-instance.sh, HYLAFAX_LINE=1).
# The server's numbering starts again and another user's job takes the
# number of one of ours that failed: ours is to be checked, never "sent". A
# fax the server has forgotten is to be checked too; a fax that failed after
# two dials shows them as its tries.
#
#   hfaxd-status.sh HISTORY_TRACK
#
# Inside a private network namespace; needs root (hfaxd). Not root: exit 77.

set -u

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
readonly HERE
readonly TRACK=${1:?usage: hfaxd-status.sh HISTORY_TRACK}
readonly JOB_TOOL=$HERE/hfaxd-job.py
# Each job ends within seconds on the test line; this bounds the wait, with
# room for a machine busy with a parallel build and the other peers' tests.
readonly END_SECONDS=90

# shellcheck source=e2e-common.sh
source "$HERE/e2e-common.sh"
enter_private_network "${BASH_SOURCE[0]}" "$@"

WORK=$(mktemp -d /tmp/kestrel-e2e-status.XXXXXX)
chmod 755 "$WORK"
cleanup() {
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
    failures=1
    exit 1
}
unset KESTREL_FAX_PORT
HYLAFAX_LINE=1 bash "$HERE/hylafax-instance.sh" start "$WORK/hylafax" 4559 || {
    rc=$?
    failures=1
    exit "$rc"
}

job() { python3 "$JOB_TOOL" 4559 "$1" x "${@:2}"; }

# wait_state USER JOB STATE: true once the server lists the job in STATE.
wait_state() {
    local i
    for ((i = 0; i < END_SECONDS * 2; i++)); do
        job "$1" state "$2" 2>/dev/null | grep -qx "STATE: $3" && return 0
        sleep 0.5
    done
    echo "job $2 is not $3 after ${END_SECONDS}s:" >&2
    job "$1" state "$2" >&2
    return 1
}

# Our fax fails while the client is not running.
ours=$(job mario submit 0612341)
[[ $ours == 1 ]] || fail "the first job is $ours, not 1"
wait_state mario "$ours" FAILED || fail "our first fax did not fail"

# The finished jobs are cleaned away and the numbering starts again: another
# user's fax takes our number and goes.
bash "$HERE/hylafax-instance.sh" renumber "$WORK/hylafax" || fail "the numbering did not start again"
theirs=$(job luigi submit 0612340)
[[ $theirs == "$ours" ]] || fail "another user's job got number $theirs, not $ours"
wait_state luigi "$theirs" DONE || fail "the other user's fax did not go"

# A fax of ours that fails after two dials.
dialled=$(job mario submit 0612351)
wait_state mario "$dialled" FAILED || fail "our second fax did not fail"

# The client comes back: its history has the three faxes unfinished, one of
# them a number the server never gave it.
"$TRACK" 127.0.0.1 mario x "$ours:0612341" "$dialled:0612351" "99:0612399" >"$WORK/track.out" \
    2>"$WORK/track.err" || fail "history-track failed: $(cat "$WORK/track.err")"
cat "$WORK/track.out"

expect() {
    local what=$1 line=$2
    if grep -qxF -- "$line" "$WORK/track.out"; then
        pass "$what"
    else
        fail "$what: no line '$line'"
    fi
}
# The history keeps the server's reason; the window shows it in Italian
# (after "|"), and the client's own reasons as they are.
owned="Il fax n. $ours sul server fax è di un altro utente (luigi)"
expect "our fax whose number another user's job took is to be checked" "$ours tocheck 0 $owned | $owned"
expect "a fax failed after two dials shows two tries, its reason in Italian" \
    "$dialled failed 2 No carrier detected | Nessun fax ha risposto al numero chiamato"
gone="Il server fax non ha più notizie di questo fax"
expect "a fax the server does not know is to be checked" "99 tocheck 0 $gone | $gone"

((failures == 0))
