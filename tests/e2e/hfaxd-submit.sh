#!/bin/bash
# End to end: corvafax-send submits jobs to a real HylaFAX server (hfaxd +
# faxq, private spool) on the default ports, 80 for the appliance pages
# (served by the simulator) and 4559 for the fax server, and the server's
# queue files and stored documents are checked; with --wait it learns how
# jobs ended from the server.
#
#   hfaxd-submit.sh CORVAFAX_SEND SIMULATOR
#
# The fixed ports are taken inside a private network namespace, so nothing on
# the machine is disturbed; that and hfaxd need root. Not root: exit 77.

set -u

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
readonly HERE
readonly SEND=${1:?usage: hfaxd-submit.sh CORVAFAX_SEND SIMULATOR}
readonly SIMULATOR=${2:?usage: hfaxd-submit.sh CORVAFAX_SEND SIMULATOR}
readonly PASSWORD='Kestrel-e2e-9'
readonly SEND_LIMIT=120

# shellcheck source=e2e-common.sh
source "$HERE/e2e-common.sh"
enter_private_network "${BASH_SOURCE[0]}" "$@"

WORK=$(mktemp -d /tmp/kestrel-e2e.XXXXXX)
chmod 755 "$WORK" # hfaxd and faxq run as the spool's owner below it
SIM_PID=
PROXY_PID=
KILLED_PID=
EXPIRED_PID=
cleanup() {
    stop_pid "$KILLED_PID"
    stop_pid "$EXPIRED_PID"
    stop_pid "$PROXY_PID"
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

for f in "$SEND" "$SIMULATOR"; do
    [[ -x $f ]] || {
        echo "not built: $f" >&2
        failures=1
        exit 1
    }
done
if [[ ! -s ${KESTREL_COMPONENT_REGISTRY:-} ]]; then
    echo "no component registry at '${KESTREL_COMPONENT_REGISTRY:-}': build the 'all' target so the control is registered" >&2
    failures=1
    exit 1
fi

ip link set lo up || {
    echo "cannot bring up the loopback interface" >&2
    failures=1
    exit 1
}
# The defaults are under test: the ports may not be moved.
unset KESTREL_HTTP_PORT KESTREL_FAX_PORT

# The simulator serves the pages on 80; its own fax server takes a free port,
# leaving 4559 to hfaxd.
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

make_postscript "$WORK/doc.ps" 2
ps2pdf "$WORK/doc.ps" "$WORK/doc.pdf" || {
    echo "ps2pdf failed" >&2
    failures=1
    exit 1
}

# send NAME options...: runs corvafax-send with stdout, stderr and status in
# $WORK/NAME.{out,err,rc}.
send() {
    local name=$1
    shift
    (cd "$WORK" && timeout "$SEND_LIMIT" "$SEND" --appliance 127.0.0.1 "$@") \
        >"$WORK/$name.out" 2>"$WORK/$name.err"
    echo $? >"$WORK/$name.rc"
}
show() {
    local name=$1
    echo "--- $name: exit $(<"$WORK/$name.rc"), stdout:" >&2
    cat "$WORK/$name.out" >&2
    echo "--- $name: stderr (last 40 lines):" >&2
    tail -n 40 "$WORK/$name.err" >&2
}
# Jobs in the send queue, but those of the --wait checks, which leave it by
# themselves at any time.
queued() {
    local skip=() f
    for f in "$WORK"/*.job; do
        [[ -s $f ]] && skip+=(! -name "q$(<"$f")")
    done
    find "$SPOOL/sendq" -maxdepth 1 -name 'q[0-9]*' "${skip[@]}" | wc -l
}
printf '%s\n' "$PASSWORD" >"$WORK/password"
chmod 600 "$WORK/password"

# --- how a job ended, learnt by --wait: started first, checked last --------
# No modem is configured: nothing is ever sent. One job is killed on the
# server and must end "annullato"; the other gets a kill time that passes
# and must end "non riuscito" with hfaxd's reason in Italian, its own text
# after it. A kill time passes only at a turn of the minute, so the checks
# below run meanwhile.
# wait_send NAME NUMBER: corvafax-send --wait in the background; sets
# WAIT_PID and, once it printed it, the job number in $WORK/NAME.job.
wait_send() {
    local name=$1 number=$2 i
    (cd "$WORK" && exec timeout "$SEND_LIMIT" "$SEND" --appliance 127.0.0.1 --user faxpw \
        --password-file "$WORK/password" --notify someone@example.org --timeout 60 --debug --wait \
        -d "$number" doc.ps) >"$WORK/$name.out" 2>"$WORK/$name.err" &
    WAIT_PID=$!
    for ((i = 0; i < 300; i++)); do
        if grep -qE '^[0-9]+$' "$WORK/$name.out" 2>/dev/null; then
            head -n 1 "$WORK/$name.out" >"$WORK/$name.job"
            return 0
        fi
        kill -0 "$WAIT_PID" 2>/dev/null || break
        sleep 0.1
    done
    fail "$name: no job number from corvafax-send --wait"
    return 1
}
# change ACTION NAME: hfaxd-job.py ACTION on the job of NAME, as its owner.
change() {
    python3 "$HERE/hfaxd-job.py" 4559 faxpw "$PASSWORD" "$1" "$(<"$WORK/$2.job")" >>"$WORK/$2.change" 2>&1 ||
        fail "$2: $1 refused: $(cat "$WORK/$2.change")"
}
if wait_send expired 0633; then
    EXPIRED_PID=$WAIT_PID
    change expire expired
fi
if wait_send killed 0622; then
    KILLED_PID=$WAIT_PID
    change kill killed
fi
# field QFILE KEY: the value of "KEY:" in a queue file (first occurrence).
field() { sed -n "s/^$2://p" "$1" | head -n 1; }

# --- two destinations, a PostScript and a PDF document --------------------
# One session: each document is uploaded once and both jobs name it. The
# password comes from a private file and never shows in the debug log.
send good --user faxpw --password-file "$WORK/password" --notify someone@example.org --maxdials 5 \
    --timeout 60 --debug -d 0612345 -d 0698765 doc.ps doc.pdf
mapfile -t jobs <"$WORK/good.out"
if [[ $(<"$WORK/good.rc") -ne 0 || ${#jobs[@]} -ne 2 || ! ${jobs[0]} =~ ^[0-9]+$ ||
    ! ${jobs[1]} =~ ^[0-9]+$ || ${jobs[0]} == "${jobs[1]}" ]]; then
    fail "two destinations: expected exit 0 and two job numbers"
    show good
    exit 1
fi
pass "two destinations accepted as jobs ${jobs[*]}"
if grep -qF "$PASSWORD" "$WORK/good.err"; then
    fail "the password appears in the debug log"
fi
if [[ $(grep -c '^150 ' "$WORK/good.err") -ne 2 ]]; then
    fail "expected two uploads for two documents and two destinations"
    show good
fi
# The PostScript document goes compressed: hfaxd takes the mode, and the
# stored files below are compared with the originals.
grep -q '^200 Mode set to ZIP\.' "$WORK/good.err" || fail "the upload did not ask for the compressed mode"
# hfaxd tells the size it holds of each upload, the inflated one after mode Z,
# and the control checks it against the file (never falling back to the 226).
if [[ $(grep -c ' bytes on the fax server$' "$WORK/good.err") -ne 2 ]] ||
    grep -q 'does not tell file sizes' "$WORK/good.err"; then
    fail "the size hfaxd holds was not checked for both uploads"
    show good
fi

numbers=()
for job in "${jobs[@]}"; do
    q=$SPOOL/sendq/q$job
    if [[ ! -f $q ]]; then
        fail "job $job: no queue file $q"
        continue
    fi
    bad=()
    numbers+=("$(field "$q" number)")
    [[ $(field "$q" maxdials) == 5 ]] || bad+=("maxdials:$(field "$q" maxdials)")
    [[ $(field "$q" mailaddr) == someone@example.org ]] || bad+=("mailaddr:$(field "$q" mailaddr)")
    [[ $(field "$q" notify) == *done* ]] || bad+=("notify:$(field "$q" notify)")
    [[ $(field "$q" resolution) == 196 ]] || bad+=("resolution:$(field "$q" resolution)")
    [[ $(field "$q" owner) == faxpw ]] || bad+=("owner:$(field "$q" owner)")
    [[ $(field "$q" modem) == any ]] || bad+=("modem:$(field "$q" modem)")
    # Each job names its own number, though hfaxd copies the first job's.
    [[ $(field "$q" external) == "$(field "$q" number)" ]] || bad+=("external:$(field "$q" external)")

    # The documents in file order: the PostScript, then the PDF, each stored
    # byte for byte.
    mapfile -t docs < <(grep -E '^(postscript|pdf|tiff|pcl|data):' "$q")
    if [[ ${#docs[@]} -ne 2 || ${docs[0]} != postscript:* || ${docs[1]} != pdf:* ]]; then
        bad+=("documents: ${docs[*]}")
    else
        local_files=("$WORK/doc.ps" "$WORK/doc.pdf")
        for i in 0 1; do
            stored=${docs[i]##*:}
            if [[ $stored != docq/"${jobs[0]}"-* || ! -f $SPOOL/$stored ]]; then
                bad+=("no stored document of the session's upload for '${docs[i]}'")
            elif ! cmp -s "$SPOOL/$stored" "${local_files[i]}"; then
                bad+=("$stored differs from ${local_files[i]##*/}")
            fi
        done
    fi
    if ((${#bad[@]})); then
        fail "job $job queue file: ${bad[*]}"
        sed 's/^/    /' "$q" >&2
    else
        pass "job $job queued to $(field "$q" number) with both documents intact"
    fi
done
if [[ $(printf '%s\n' "${numbers[@]}" | sort | tr '\n' ' ') != "0612345 0698765 " ]]; then
    fail "dialled numbers: ${numbers[*]} (expected one job each for 0612345 and 0698765)"
fi

# --- send later, give up later, standard resolution, tries ------------------
# A group of two: every job carries the options exactly as asked, in its
# queue file and in hfaxd's own listing of its parameters.
at=$(date -d 'tomorrow 09:30' '+%Y-%m-%d %H:%M')
at_epoch=$(date -d "$at" +%s)
at_utc=$(date -u -d "@$at_epoch" +%Y%m%d%H%M)
send later --user faxpw --password-file "$WORK/password" --notify someone@example.org --timeout 60 \
    --at "$at" --kill-after 5 --standard --tries 4 -d 0655501 -d 0655502 doc.ps
mapfile -t laterjobs <"$WORK/later.out"
if [[ $(<"$WORK/later.rc") -ne 0 || ${#laterjobs[@]} -ne 2 ]]; then
    fail "send options: expected exit 0 and two job numbers"
    show later
else
    for job in "${laterjobs[@]}"; do
        q=$SPOOL/sendq/q$job
        listed=$(python3 "$HERE/hfaxd-job.py" 4559 faxpw "$PASSWORD" state "$job" 2>&1)
        bad=()
        [[ $(field "$q" tts) == "$at_epoch" ]] || bad+=("tts:$(field "$q" tts) (asked $at_epoch)")
        [[ $(field "$q" killtime) == $((at_epoch + 5 * 3600)) ]] || bad+=("killtime:$(field "$q" killtime)")
        [[ $(field "$q" resolution) == 98 ]] || bad+=("resolution:$(field "$q" resolution)")
        [[ $(field "$q" maxtries) == 4 ]] || bad+=("maxtries:$(field "$q" maxtries)")
        for line in "SENDTIME: ${at_utc}00" "LASTTIME: 000500" "VRES: 98" "MAXTRIES: 4"; do
            grep -qx "$line" <<<"$listed" || bad+=("JPARM has no '$line'")
        done
        if ((${#bad[@]})); then
            fail "job $job with send options: ${bad[*]}"
            echo "$listed" >&2
        else
            pass "job $job: sent at $at, given up 5 hours later, standard resolution, 4 tries"
        fi
    done
fi

# --- wrong password: refused, nothing queued ------------------------------
before=$(queued)
send badpw --user faxpw --password wrong --notify someone@example.org --timeout 60 \
    -d 0612345 doc.ps
if [[ $(<"$WORK/badpw.rc") -eq 0 ]] || ! grep -q 'Nome utente o password errati' "$WORK/badpw.err" ||
    grep -qE '^[0-9]+$' "$WORK/badpw.out" || [[ $(queued) -ne $before ]]; then
    fail "wrong password: expected a non-zero exit, the login message, no job"
    show badpw
else
    pass "wrong password refused, no job queued"
fi

# --- a line the server does not have: jsubm is refused --------------------
before=$(queued)
send noline --user faxpw --password "$PASSWORD" --notify someone@example.org --timeout 60 \
    --line nosuchmodem -d 0612345 doc.ps
if [[ $(<"$WORK/noline.rc") -eq 0 ]] || grep -qE '^[0-9]+$' "$WORK/noline.out" ||
    [[ ! -s $WORK/noline.err ]] || [[ $(queued) -ne $before ]]; then
    fail "unknown line: expected a non-zero exit with a reason, no job number, nothing queued"
    show noline
else
    pass "job to an unknown line refused: $(grep -v '^$' "$WORK/noline.err" | tail -n 1)"
fi

# --- the connection lost right after jsubm: the server holds the job --------
# The client cannot know whether the job went until it asks; it must report
# the job that hfaxd queued, once, and never "non inviato".
python3 "$HERE/hfaxd-proxy.py" cut-after-jsubm 4560 4559 >"$WORK/proxy.out" 2>&1 &
PROXY_PID=$!
for _ in $(seq 50); do
    grep -q ready "$WORK/proxy.out" 2>/dev/null && break
    sleep 0.1
done
before=$(queued)
KESTREL_FAX_PORT=4560 send cut --user faxpw --password-file "$WORK/password" --notify someone@example.org \
    --timeout 60 --debug -d 0642 doc.ps
stop_pid "$PROXY_PID"
mapfile -t cutjobs <"$WORK/cut.out"
if [[ $(<"$WORK/cut.rc") -ne 0 || ${#cutjobs[@]} -ne 1 || ! -f $SPOOL/sendq/q${cutjobs[0]:-none} ]] ||
    grep -q 'non inviato' "$WORK/cut.err" || [[ $(queued) -ne $((before + 1)) ]]; then
    fail "connection cut after jsubm: expected exit 0, the one job hfaxd queued, no 'non inviato'"
    show cut
else
    pass "connection cut after jsubm: job ${cutjobs[0]} found on the server and reported"
fi

# --- a later jsubm of a group lost -----------------------------------------
# With the server's side of the session kept open, hfaxd holds that job as
# made and never submitted (SUSPENDED) until the session ends, and deletes it
# then; with it closed, the job is gone at once. Either way it must be
# reported not sent, with the numbers after it, and only the jobs before it
# as accepted; exit non-zero, also when it is the last job of the session.
# proxy MODE PORT: hfaxd-proxy.py in the background, PROXY_PID.
proxy() {
    python3 "$HERE/hfaxd-proxy.py" "$1" "$2" 4559 >"$WORK/$1.out" 2>&1 &
    PROXY_PID=$!
    for _ in $(seq 50); do
        grep -q ready "$WORK/$1.out" 2>/dev/null && break
        sleep 0.1
    done
}
before=$(queued)
proxy drop-second-jsubm 4561
KESTREL_FAX_PORT=4561 send drop3 --user faxpw --password-file "$WORK/password" --notify someone@example.org \
    --timeout 60 --debug -d 0651 -d 0652 -d 0653 doc.ps
KESTREL_FAX_PORT=4561 send drop2 --user faxpw --password-file "$WORK/password" --notify someone@example.org \
    --timeout 60 --debug -d 0661 -d 0662 doc.ps
stop_pid "$PROXY_PID"
proxy lose-second-jsubm 4562
KESTREL_FAX_PORT=4562 send lose2 --user faxpw --password-file "$WORK/password" --notify someone@example.org \
    --timeout 60 --debug -d 0671 -d 0672 doc.ps
stop_pid "$PROXY_PID"
PROXY_PID=
# The sessions behind the proxy end with it: hfaxd deletes their unsubmitted jobs.
for _ in $(seq 50); do
    [[ $(queued) -eq $((before + 3)) ]] && break
    sleep 0.1
done
# Behind drop-second-jsubm the server keeps the session open: its job still
# reads SUSPENDED when asked twice, and a jsubm held up on the way could yet
# queue it, so its outcome is open. Behind lose-second-jsubm the session ends
# and the job is gone: it did not go. The numbers after it did not go either.
for run in drop3:0651:"0652 0653":"not submitted (SUSPENDED)":"fax n\. [0-9]* al numero 0652 potrebbe essere partito" \
    drop2:0661:0662:"not submitted (SUSPENDED)":"fax n\. [0-9]* al numero 0662 potrebbe essere partito" \
    lose2:0671:0672:"job does not exist":"non ha messo in coda il fax n\. [0-9]* al numero 0672 "; do
    IFS=: read -r name first lost found said <<<"$run"
    mapfile -t dropjobs <"$WORK/$name.out"
    bad=()
    [[ $(<"$WORK/$name.rc") -ne 0 ]] || bad+=("exit 0")
    [[ ${#dropjobs[@]} -eq 1 && -f $SPOOL/sendq/q${dropjobs[0]:-none} ]] || bad+=("jobs printed: ${dropjobs[*]}")
    [[ $(field "$SPOOL/sendq/q${dropjobs[0]:-none}" number 2>/dev/null) == "$first" ]] || bad+=("first job not to $first")
    grep -q "$found" "$WORK/$name.err" || bad+=("hfaxd's answer about the job was not '$found'")
    grep -q "$said" "$WORK/$name.err" || bad+=("not told '$said'")
    for number in ${lost#* }; do
        [[ $number == "${lost%% *}" ]] && continue
        grep -q "fax al numero $number non inviato" "$WORK/$name.err" || bad+=("$number not reported not sent")
    done
    if ((${#bad[@]})); then
        fail "$name: a later jsubm lost: ${bad[*]}"
        show "$name"
    else
        pass "$name: job ${dropjobs[0]} accepted, the job made after it ($found) told as '$said', exit $(<"$WORK/$name.rc")"
    fi
done
if [[ $(queued) -ne $((before + 3)) ]]; then
    fail "a later jsubm lost: $(($(queued) - before)) jobs queued, expected 3 (one per session)"
fi

# --- ten numbers: the jobs go in batches ----------------------------------
# hfaxd reads commands ahead: each job's creation, parameters and document
# lines go in one write with the jsubm of the job before, some 15 writes for
# ten jobs where one step after the other takes over 50. Every job is queued
# to its own number with the session's upload.
proxy count-writes 4563
KESTREL_FAX_PORT=4563 send ten --user faxpw --password-file "$WORK/password" --notify someone@example.org \
    --timeout 60 -d 06700 -d 06701 -d 06702 -d 06703 -d 06704 -d 06705 -d 06706 -d 06707 -d 06708 -d 06709 \
    doc.ps
for _ in $(seq 50); do
    grep -q '^writes ' "$WORK/count-writes.out" 2>/dev/null && break
    sleep 0.1
done
stop_pid "$PROXY_PID"
PROXY_PID=
mapfile -t tenjobs <"$WORK/ten.out"
read -r _ writes _ commands < <(grep '^writes ' "$WORK/count-writes.out")
bad=()
[[ $(<"$WORK/ten.rc") -eq 0 && ${#tenjobs[@]} -eq 10 ]] || bad+=("exit $(<"$WORK/ten.rc"), ${#tenjobs[@]} jobs")
for i in "${!tenjobs[@]}"; do
    q=$SPOOL/sendq/q${tenjobs[i]}
    [[ $(field "$q" number 2>/dev/null) == "0670$i" ]] || bad+=("job ${tenjobs[i]} not to 0670$i")
    [[ $(field "$q" external 2>/dev/null) == "0670$i" ]] || bad+=("job ${tenjobs[i]} named $(field "$q" external)")
    stored=$(grep -m 1 '^postscript:' "$q" 2>/dev/null)
    stored=${stored##*:}
    [[ -n $stored ]] && cmp -s "$SPOOL/$stored" "$WORK/doc.ps" || bad+=("job ${tenjobs[i]}: document '$stored'")
done
[[ ${writes:-99} -le 20 ]] || bad+=("${writes:-no} writes for ${commands:-?} commands")
if ((${#bad[@]})); then
    fail "ten numbers: ${bad[*]}"
    show ten
else
    pass "ten numbers: ten jobs queued, each to its number with the document, $commands commands in $writes writes"
fi

# --- the jobs waited for ---------------------------------------------------
# outcome NAME PID LINE: corvafax-send --wait ended, exit 1, with LINE
# ("%s": the job) after the job number.
outcome() {
    local name=$1 pid=$2 line job rc
    [[ -n $pid && -s $WORK/$name.job ]] || return 0
    job=$(<"$WORK/$name.job")
    # shellcheck disable=SC2059 # the line is a format with the job
    line=$(printf "$3" "$job")
    wait "$pid"
    rc=$?
    echo "$rc" >"$WORK/$name.rc"
    if [[ $rc -ne 1 || $(<"$WORK/$name.out") != "$job"$'\n'"$line" ]]; then
        fail "$name: expected exit 1 and '$line'"
        show "$name"
    else
        pass "$name: $line (the server: $(grep -o "Status: job $job .*" "$WORK/$name.err" | tail -n 1))"
    fi
}
outcome killed "$KILLED_PID" '%s annullato'
KILLED_PID=
outcome expired "$EXPIRED_PID" "%s non riuscito: Tempo massimo per l'invio scaduto (Kill time expired)"
EXPIRED_PID=

if ((failures)); then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "all checks passed"
