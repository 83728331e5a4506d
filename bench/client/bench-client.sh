#!/bin/bash
# Client benchmark (prints figures; not a test):
# - cold start of corvafax to ready (its control activated against the
#   appliance simulator, its window hidden, its tray icon shown), next to a
#   bare Qt Widgets program that shows one window, in alternating paired
#   rounds: the median ratio and its spread;
# - resident memory one second after start, both programs;
# - one 20 MiB document sent by the send window to ten destinations through
#   the simulator: wall time and bytes uploaded.
#
#   bench-client.sh CORVAFAX BARE_WINDOW SUBMIT_BENCH SIMULATOR [ROUNDS]
#
# KESTREL_COMPONENT_REGISTRY must name the build's registry. It runs its own
# Xvfb with a notification area (trayer, when installed) and, as root, its
# own CUPS holding the capture printer, as a desktop has them; this machine's
# print system is left alone.
set -u
export LC_ALL=C
CLIENT=$1 BARE=$2 SUBMIT=$3 SIMULATOR=$4 ROUNDS=${5:-10}
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../../tests/e2e/e2e-common.sh
source "$HERE/../../tests/e2e/e2e-common.sh"

WORK=$(mktemp -d /tmp/kestrel-bench-client.XXXXXX)
SIM_PID='' XVFB_PID='' TRAY_PID='' CUPSD_PID=''
cleanup() {
    stop_pid "$TRAY_PID"
    stop_pid "$CUPSD_PID"
    stop_pid "$SIM_PID"
    stop_pid "$XVFB_PID"
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

display=:$((500 + RANDOM % 400))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
export DISPLAY=$display
for _ in $(seq 50); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done
if command -v trayer >/dev/null; then
    trayer --edge top --align right --widthtype pixel --width 200 --height 24 >/dev/null 2>&1 &
    TRAY_PID=$!
    sleep 0.5
else
    echo "no notification area (apt-get install trayer): corvafax minimises its window instead of hiding it" >&2
fi

start_simulator "$SIMULATOR" "$WORK/sim" 0 0 || exit 1
export KESTREL_HTTP_PORT=$SIM_HTTP_PORT KESTREL_FAX_PORT=$SIM_FAX_PORT
export KESTREL_PRINT_PORT
KESTREL_PRINT_PORT=$(free_port)
export KESTREL_PROGRAM_DIR=$WORK/program TEMP=$WORK/spool
mkdir -p "$KESTREL_PROGRAM_DIR" "$TEMP"
printf '[MAIN]\r\nIP=127.0.0.1\r\nMAIL=bench@example.org\r\n' >"$KESTREL_PROGRAM_DIR/KZV.INI"

# The capture printer as a desktop has it after the first start (which asks
# the user before it installs it): the queue the control would make.
cups=''
if [[ $(id -u) -eq 0 ]] && command -v cupsd >/dev/null && command -v lpadmin >/dev/null; then
    chmod 755 "$WORK"
    start_private_cupsd "$WORK/cups" && cups=yes
fi
if [[ -n $cups ]]; then
    lpadmin -p kestrel -E -v "socket://127.0.0.1:$KESTREL_PRINT_PORT" -m drv:///sample.drv/generic.ppd 2>/dev/null ||
        { echo "cannot install the capture printer in the bench's CUPS" >&2; exit 1; }
else
    export CUPS_SERVER=$WORK/no-cupsd.sock
    echo "no print system of its own (it needs root): corvafax starts with its notice that the capture printer cannot be checked" >&2
fi

python3 "$HERE/coldstart.py" "$CLIENT" "$BARE" "$KESTREL_PRINT_PORT" "$ROUNDS" || exit 1

"$SUBMIT" "$WORK/sim/store"
