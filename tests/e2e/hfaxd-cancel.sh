#!/bin/bash
# End to end: faxes stopped and moved on a real HylaFAX server. A fax queued
# for tomorrow is moved to the day after through the client's job changes
# (the control library's status class): the server gives back the new send
# time, the same job number, the same document and the same kill time
# relative to it. It is then cancelled the same way (the history reads
# "cancelled", the server's queue no longer holds it), another one with
# corvafax-send --cancel; another user's fax cannot be cancelled, and the
# reason says so; a fax already cancelled is refused with the server's word.
#
#   hfaxd-cancel.sh JOB_CHANGE CORVAFAX_SEND
#
# Inside a private network namespace; needs root (hfaxd). Not root: exit 77.

set -u

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
readonly HERE
readonly CHANGE=${1:?usage: hfaxd-cancel.sh JOB_CHANGE CORVAFAX_SEND}
readonly SEND=${2:?usage: hfaxd-cancel.sh JOB_CHANGE CORVAFAX_SEND}
readonly JOB_TOOL=$HERE/hfaxd-job.py

# shellcheck source=e2e-common.sh
source "$HERE/e2e-common.sh"
enter_private_network "${BASH_SOURCE[0]}" "$@"

WORK=$(mktemp -d /tmp/kestrel-e2e-cancel.XXXXXX)
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
bash "$HERE/hylafax-instance.sh" start "$WORK/hylafax" 4559 || {
    rc=$?
    failures=1
    exit "$rc"
}
readonly SPOOL=$WORK/hylafax/spool

job() { python3 "$JOB_TOOL" 4559 "$1" x "${@:2}"; }
# field USER JOB NAME: the value of the job's NAME line as listed.
field() { job "$1" state "$2" | sed -n "s/^$3: //p"; }
# in_queue JOB: the server's queue still holds the job.
in_queue() { [[ -e $SPOOL/sendq/q$1 ]]; }

# expect WHAT FILE LINE: FILE has the line LINE.
expect() {
    if grep -qxF -- "$3" "$2"; then
        pass "$1"
    else
        fail "$1: no line '$3' in: $(cat "$2")"
    fi
}

# A fax of mario's for tomorrow, moved to the day after. Queued just after
# a second begins and moved within it: hfaxd then sees the job's queue file
# unchanged after the suspension in the session that suspended it, and the
# move needs a second session.
sleep "0.$(printf '%03d' $((1000 - 10#$(date +%N | cut -c1-3))))"
ours=$(job mario later 0612345) || fail "mario's fax was not queued"
job mario state "$ours" >"$WORK/before.out"
before_document=$(sed -n 's/^DOCUMENT: //p' "$WORK/before.out")
before_span=$(sed -n 's/^LASTTIME: //p' "$WORK/before.out")
target=$(date -u -d '+2 days' +%Y%m%d%H%M)
"$CHANGE" 127.0.0.1 mario x move "$ours" "$target" >"$WORK/move.out" 2>&1 || fail "the move failed: $(cat "$WORK/move.out")"
cat "$WORK/move.out"
[[ $(field mario "$ours" SENDTIME) == "${target}00" ]] && pass "the server holds the new send time" ||
    fail "the server's send time is $(field mario "$ours" SENDTIME), not ${target}00"
[[ $(field mario "$ours" JOBID) == "$ours" ]] && pass "the moved fax keeps its number" || fail "the job number changed"
[[ -n $before_document && $(field mario "$ours" DOCUMENT) == "$before_document" ]] &&
    pass "the moved fax keeps its document" || fail "the document changed: $(field mario "$ours" DOCUMENT)"
[[ $(field mario "$ours" LASTTIME) == "$before_span" ]] && pass "the server tries it as long as before" ||
    fail "the kill time is $(field mario "$ours" LASTTIME) after the send time, not $before_span"
[[ $(field mario "$ours" STATE) != SUSPENDED ]] && pass "the moved fax is queued, not suspended" ||
    fail "the moved fax was left suspended"
expect "the history keeps it queued" "$WORK/move.out" "$ours queued"

# Cancelled through the job changes.
"$CHANGE" 127.0.0.1 mario x cancel "$ours" >"$WORK/cancel.out" 2>&1 || fail "the cancel failed: $(cat "$WORK/cancel.out")"
cat "$WORK/cancel.out"
expect "the history reads cancelled once the server confirmed" "$WORK/cancel.out" "$ours cancelled"
in_queue "$ours" && fail "the server's queue still holds job $ours" || pass "the server's queue no longer holds it"
[[ $(field mario "$ours" STATUS) == "Job aborted by request" ]] && pass "the server says it was aborted" ||
    fail "the server's status of the job is $(field mario "$ours" STATUS)"

# Cancelled with corvafax-send; another user's fax and one already over are
# refused, with the reason.
second=$(job mario later 0612346)
theirs=$(job luigi later 0612347)
"$SEND" --appliance 127.0.0.1 --user mario --password x --cancel "$second" >"$WORK/send.out" 2>&1
rc=$?
cat "$WORK/send.out"
((rc == 0)) && pass "corvafax-send --cancel exits 0" || fail "corvafax-send --cancel exit status $rc"
expect "corvafax-send says it was cancelled" "$WORK/send.out" "$second annullato"
in_queue "$second" && fail "the server's queue still holds job $second" || pass "corvafax-send's cancel emptied the queue"

"$SEND" --appliance 127.0.0.1 --user mario --password x --cancel "$theirs" "$ours" >"$WORK/refused.out" 2>&1
rc=$?
cat "$WORK/refused.out"
((rc == 1)) && pass "a refused cancel exits 1" || fail "exit status $rc for refused cancels"
expect "another user's fax is not cancelled, and why" "$WORK/refused.out" \
    "$theirs non annullato: Il fax n. $theirs sul server fax è di un altro utente (luigi)"
expect "a fax already over is not cancelled, with the server's word" "$WORK/refused.out" \
    "$ours non annullato: Il fax n. $ours è già concluso: il server fax non lo ha annullato (504 Job $ours not killed; already done.)"
in_queue "$theirs" && pass "the other user's fax is still queued" || fail "the other user's fax left the queue"
"$CHANGE" 127.0.0.1 mario x cancel "$theirs" >"$WORK/theirs.out" 2>&1
expect "the history keeps another user's fax as it was" "$WORK/theirs.out" "$theirs queued"

((failures == 0))
