#!/usr/bin/env bash
# Installs what is needed, builds, and runs the desktop client against the
# bundled appliance simulator on loopback.
#
# It starts the simulator, prepares a program folder whose KZV.INI points at
# it, starts corvafax, and prints a sample document to the capture printer,
# so that the send window comes up with it.
# - On a desktop (DISPLAY or WAYLAND_DISPLAY set) you take it from there:
#   type a number, press "Invia FAX", read the summary; Ctrl-C ends the demo.
# - Without a display it runs under Xvfb and does those steps itself, as a
#   user would, with a screenshot of each step in the demo folder; it prints
#   their paths and the job number the simulator stored.
# It runs as an ordinary user (free ports; this machine's print system is
# left alone). As root it prints through a private CUPS; otherwise the sample
# goes straight to the capture port, and the demo says so.
# DEMO_PRINT=FILE prints that file instead of the sample, e.g. the mail merge
# tests/client/core/tags/data/mailmerge.pdf, whose letters name their numbers.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
bash "$root/scripts/setup.sh"
BUILD_DIR="$build" bash "$root/scripts/build.sh"

# shellcheck source=../tests/e2e/e2e-common.sh
source "$root/tests/e2e/e2e-common.sh"
export PATH=$PATH:/usr/sbin:/sbin

work="$(mktemp -d /tmp/corvafax-demo.XXXXXX)"
chmod 755 "$work" # a private cupsd's filters run as lp below it
SIM_PID='' CUPSD_PID='' CLIENT_PID='' XVFB_PID=''
cleanup() {
    set +e # everything is stopped, whatever stopped already
    stop_pid "$CLIENT_PID"
    stop_pid "$CUPSD_PID"
    stop_pid "$SIM_PID"
    stop_pid "$XVFB_PID"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# --- the appliance
start_simulator "$build/simulator/kestrel-appliance-sim" "$work/appliance" 0 0 || {
    echo "demo: the simulator did not start"
    exit 1
}
store="$work/appliance/store"
print_port=$(free_port)
export KESTREL_HTTP_PORT=$SIM_HTTP_PORT KESTREL_FAX_PORT=$SIM_FAX_PORT KESTREL_PRINT_PORT=$print_port
export KESTREL_COMPONENT_REGISTRY="$build/components.reg"
# Captured print jobs are kept here.
export TEMP="$work/spool"
mkdir -p "$TEMP"
echo "Appliance simulator on 127.0.0.1 (pages on port $SIM_HTTP_PORT, fax server on $SIM_FAX_PORT)"

# --- the program folder
export KESTREL_PROGRAM_DIR="$work/program"
mkdir -p "$KESTREL_PROGRAM_DIR"
cat >"$KESTREL_PROGRAM_DIR/KZV.INI" <<'INI'
[MAIN]
IP=127.0.0.1
USER=demo
PASS=demo
MAIL=demo@example.org
INI
chmod 600 "$KESTREL_PROGRAM_DIR/KZV.INI"
echo "Program folder: $KESTREL_PROGRAM_DIR"

# --- a print system of its own, when it may have one
cups=''
if [[ $(id -u) -eq 0 ]] && command -v cupsd >/dev/null && command -v lp >/dev/null; then
    if start_private_cupsd "$work/cups"; then
        cups=yes
        echo "A private CUPS runs for the demo (CUPS_SERVER=$CUPS_SERVER)"
    fi
fi
if [[ -z $cups ]]; then
    # This machine's print system is left alone: the client finds none and
    # says so in a notice; its capture port opens all the same.
    export CUPS_SERVER="$work/no-print-system.sock"
fi

sample="$work/sample.ps"
cat >"$sample" <<'PS'
%!PS-Adobe-3.0
%%Pages: 1
%%EndComments
%%Page: 1 1
/Helvetica findfont 28 scalefont setfont
72 700 moveto (Corvafax sample fax) show
/Helvetica findfont 14 scalefont setfont
72 660 moveto (Printed to the capture printer, sent through the appliance simulator.) show
showpage
%%EOF
PS
if [[ -n ${DEMO_PRINT:-} ]]; then
    sample=$(realpath "$DEMO_PRINT")
fi

# print_sample: through CUPS when the demo has its own, else straight to the
# capture port (the raw stream a PostScript queue would send).
print_sample() {
    if [[ -n $cups ]]; then
        # The client adds its queue once the print system answered it: on
        # a busy machine that may take a while.
        for _ in $(seq 600); do
            lpstat -e 2>/dev/null | grep -qx kestrel && break
            sleep 0.1
        done
        echo "Printing the sample to the capture printer 'kestrel'"
        lp -d kestrel "$sample" >/dev/null
    else
        echo "No print system of the demo's own here: the sample goes straight to the capture port $print_port"
        python3 - "$sample" "$print_port" <<'PY'
import socket, sys
with open(sys.argv[1], 'rb') as f, socket.create_connection(('127.0.0.1', int(sys.argv[2]))) as s:
    s.sendall(f.read())
    s.shutdown(socket.SHUT_WR)
    s.recv(1)
PY
    fi
}

wait_listening() {
    for _ in $(seq 150); do
        if python3 -c "import socket,sys; socket.create_connection(('127.0.0.1', $print_port), 0.2).close()" 2>/dev/null; then
            return 0
        fi
        sleep 0.2
    done
    echo "demo: the client does not listen on the capture port"
    return 1
}

if [[ -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ]]; then
    "$build/client/corvafax" &
    CLIENT_PID=$!
    wait_listening
    print_sample
    echo
    echo "The send window shows the sample. Type a fax number, press \"Invia FAX\" and read the summary."
    echo "Jobs the appliance receives appear under $store/jobs. Ctrl-C ends the demo."
    wait "$CLIENT_PID" || true
    exit 0
fi

# --- no display: Xvfb, and the steps a user would take
shots="$work/screenshots"
mkdir -p "$shots"
display=:$((90 + RANDOM % 400))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
XVFB_PID=$!
export DISPLAY=$display
for _ in $(seq 50); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done
step=0
shot() {
    step=$((step + 1))
    local file
    file="$shots/$(printf '%02d' "$step")-$1.png"
    import -window root "$file"
    echo "  screenshot: $file"
}
# find_window NAME: the id of the first visible window with that title.
find_window() {
    local id
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
        [[ -n $id ]] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}
# click WINDOW X Y: a left click at a point of the window, in pixels.
click() {
    xdotool mousemove --window "$1" "$2" "$3" click 1
}

"$build/client/corvafax" >"$work/client.log" 2>&1 &
CLIENT_PID=$!
echo "corvafax runs (its output: $work/client.log)"
for _ in $(seq 150); do
    if python3 -c "import socket; socket.create_connection(('127.0.0.1', $print_port), 0.2).close()" 2>/dev/null; then
        break
    fi
    sleep 0.2
done
wait_listening
# The first start installs the capture printer and says so in a box, once
# the print system has answered (the capture port opens before that).
for _ in $(seq 25); do
    box=$(xdotool search --onlyvisible --name '^corvafax$' 2>/dev/null | head -n 1 || true)
    if [[ -n $box ]]; then
        echo "The client tells that it installs its capture printer:"
        shot printer-installed
        xdotool windowfocus "$box" key Return
        break
    fi
    sleep 0.2
done
print_sample
for _ in $(seq 300); do
    compgen -G "$TEMP/kestrel-*.ps" >/dev/null && break
    sleep 0.1
done
compgen -G "$TEMP/kestrel-*.ps" >/dev/null || {
    echo "demo: the print job did not reach the client"
    exit 1
}
echo "Captured: $(ls "$TEMP"/kestrel-*.ps)"
send_window=$(find_window 'Invio Fax') || {
    echo "demo: the send window did not come up"
    exit 1
}
sleep 0.5
echo "The send window came up with the sample:"
shot send-window
# The number box, then "&Invia FAX": 15 twips a pixel at this screen's dpi.
click "$send_window" 120 40
xdotool type --delay 50 0612345
shot number-typed
click "$send_window" 86 371
summary=$(find_window 'KESTREL WinClient') || {
    echo "demo: no summary came"
    exit 1
}
sleep 0.5
echo "The summary of the submission:"
shot summary
xdotool windowfocus "$summary" key Return
jobs=$(ls "$store/jobs" 2>/dev/null || true)
echo
if [[ -z $jobs ]]; then
    echo "demo: the simulator stored no job"
    exit 1
fi
for job in $jobs; do
    echo "Job $job at the appliance simulator: $store/jobs/$job"
    ls -l "$store/jobs/$job"
done
echo "Screenshots in $shots"
