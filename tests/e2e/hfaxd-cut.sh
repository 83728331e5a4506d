#!/bin/bash
# End to end: the command connection to a real HylaFAX server (hfaxd + faxq,
# private spool) cut inside a group's batches, at one point per row of the
# table below, and what corvafax-send reports set against what the server
# holds. Every job reported sent is queued on the server to its number; every
# job the server queued is reported sent, or said to be of unknown outcome;
# every other number is reported not sent; the exit is 0 only when every
# number was reported sent.
#
#   hfaxd-cut.sh CORVAFAX_SEND SIMULATOR
#
# Inside a private network namespace (ports 80 and 4559); needs root (hfaxd).
# Not root: exit 77.

set -u

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
readonly HERE
readonly SEND=${1:?usage: hfaxd-cut.sh CORVAFAX_SEND SIMULATOR}
readonly SIMULATOR=${2:?usage: hfaxd-cut.sh CORVAFAX_SEND SIMULATOR}
readonly PASSWORD='Kestrel-e2e-9'

# shellcheck source=e2e-common.sh
source "$HERE/e2e-common.sh"
enter_private_network "${BASH_SOURCE[0]}" "$@"

WORK=$(mktemp -d /tmp/kestrel-e2e-cut.XXXXXX)
chmod 755 "$WORK" # hfaxd and faxq run as the spool's owner below it
SIM_PID=
PROXY_PID=
cleanup() {
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
readonly SPOOL=$WORK/hylafax/spool
make_postscript "$WORK/doc.ps" 1
printf '%s\n' "$PASSWORD" >"$WORK/password"
chmod 600 "$WORK/password"

# field QFILE KEY: the value of "KEY:" in a queue file.
field() { sed -n "s/^$2://p" "$1" | head -n 1; }
# on_server NUMBER: "JOB STATE" for each job to NUMBER in the server's queue.
on_server() {
    local q
    for q in "$SPOOL"/sendq/q[0-9]* "$SPOOL"/doneq/q[0-9]*; do
        [[ -f $q && $(field "$q" number) == "$1" ]] && echo "${q##*/q} $(field "$q" state)"
    done
}

# The session of three numbers, its commands counted from USER (1) and its
# final replies after the greeting (reply N answers command N):
#   1 USER, 2 PASS, 3 MODE Z, 4 jnew, 5-14 the first job's parameters (14 its
#   notify address), 15 cwd /tmp, 16 PASV, 17 STOR, 18 SIZE, 19 its document,
#   20 its last line; 21 jsubm, written with the second job's 22 cwd /,
#   23 jnew, 24-35 its lines (26 its dial string); 36 jsubm, written with the
#   third job's 37-50; 51 jsubm.
# Each row: name, where the cut comes (a proxy mode), the start of the last
# line through (a command, or a reply), the jobs the server then holds (LOW-HIGH
# where either is right). "late": the server's side ends 1.5 s after the
# client's; else at once, and hfaxd may or may not carry out a "jsubm" read
# just before the end. "unreachable": the server cannot be asked afterwards.
rows=(
    "first job's parameters|cut-after-command:14|jparm notifyaddr|0"
    "first job's last line|cut-after-command:20|JPARM LASTTIME|0"
    "first jsubm, the server's side ended at once|cut-after-command:21|jsubm|0-1"
    "first jsubm, the server's side ended late|cut-after-command:21:late|jsubm|1"
    "second job's dial string|cut-after-command:26:late|jparm dialstring|1"
    "first jsubm answered|cut-after-reply:21|200 Job|1"
    "second jsubm, the server's side ended at once|cut-after-command:36|jsubm|1-2"
    "second jsubm, the server out of reach|cut-after-command:36:late:unreachable|jsubm|2"
    "last jsubm|cut-after-command:51:late|jsubm|3"
)
row=0
for cut in "${rows[@]}"; do
    IFS='|' read -r name mode through held <<<"$cut"
    row=$((row + 1))
    port=$((4569 + row))
    numbers=("07${row}1" "07${row}2" "07${row}3")
    out=$WORK/row$row
    python3 "$HERE/hfaxd-proxy.py" "$mode" "$port" 4559 >"$out.proxy" 2>&1 &
    PROXY_PID=$!
    for _ in $(seq 50); do
        grep -q ready "$out.proxy" 2>/dev/null && break
        sleep 0.1
    done
    (cd "$WORK" && KESTREL_FAX_PORT=$port timeout 60 "$SEND" --appliance 127.0.0.1 --user faxpw \
        --password-file "$WORK/password" --notify someone@example.org --timeout 20 --debug \
        -d "${numbers[0]}" -d "${numbers[1]}" -d "${numbers[2]}" doc.ps) >"$out.out" 2>"$out.err"
    rc=$?
    stop_pid "$PROXY_PID"
    PROXY_PID=
    # hfaxd deletes the jobs a session made and never submitted once it ends.
    for _ in $(seq 30); do
        suspended=0
        for number in "${numbers[@]}"; do
            [[ $(on_server "$number") == *" 1" ]] && suspended=1
        done
        ((suspended)) || break
        sleep 0.1
    done

    bad=()
    cut=$(grep -m 1 '^cut after ' "$out.proxy")
    [[ ${cut#*: } == "$through"* ]] || bad+=("the cut came after '${cut:-nothing}', not '$through'")
    mapfile -t reported <"$out.out"
    queued=0
    for i in 0 1 2; do
        number=${numbers[i]}
        mapfile -t jobs < <(on_server "$number")
        job=${jobs[0]:-} state=
        [[ -n $job ]] && state=${job#* } job=${job%% *}
        if ((${#jobs[@]} > 1)); then
            bad+=("$number: ${#jobs[@]} jobs on the server")
        elif [[ -n $job && $state != 1 ]]; then
            queued=$((queued + 1))
            # Queued: reported sent under its number, or said unknown.
            if [[ ${reported[i]:-} != "$job" ]] &&
                ! grep -q "fax n\. $job al numero $number potrebbe essere partito" "$out.err"; then
                bad+=("$number: job $job queued on the server (state $state), reported neither sent nor unknown")
            fi
        else
            [[ -n $job ]] && bad+=("$number: job $job left made and never submitted")
            [[ -z ${reported[i]:-} ]] || bad+=("$number: reported sent as job ${reported[i]}, not on the server")
            grep -q "fax al numero $number non inviato" "$out.err" || bad+=("$number: not reported not sent")
        fi
    done
    ((${#reported[@]} <= 3)) || bad+=("${#reported[@]} jobs reported for three numbers")
    ((queued >= ${held%-*} && queued <= ${held#*-})) ||
        bad+=("$queued jobs queued on the server, $held expected for this cut")
    if ((${#reported[@]} == 3)); then
        ((rc == 0)) || bad+=("exit $rc with every number sent")
    else
        ((rc == 1)) || bad+=("exit $rc with numbers not sent")
    fi
    if ((${#bad[@]})); then
        fail "$name ($mode): ${bad[*]}"
        echo "--- exit $rc, stdout: ${reported[*]}" >&2
        grep -v '^$' "$out.err" | tail -n 30 >&2
    else
        pass "$name: $queued queued, reported ${reported[*]:-none}, exit $rc"
    fi
done

if ((failures)); then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "all checks passed"
