#!/usr/bin/env bash
# Installs what is needed, builds, starts the appliance simulator on
# loopback and sends a sample document through it with corvafax-send.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
bash "$root/scripts/setup.sh"
BUILD_DIR="$build" bash "$root/scripts/build.sh"

work="$(mktemp -d /tmp/corvafax-demo.XXXXXX)"
store="$work/appliance"
sim_log="$work/simulator.log"
# Free ports, so the demo runs as an ordinary user next to anything else.
"$build/simulator/kestrel-appliance-sim" --http-port 0 --fax-port 0 --store "$store" \
  >"$work/ready" 2>"$sim_log" &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  grep -q ' ready ' "$work/ready" 2>/dev/null && break
  sleep 0.1
done
ready="$(cat "$work/ready")"
http_port="$(sed -n 's/.* http=\([0-9]*\).*/\1/p' <<<"$ready")"
fax_port="$(sed -n 's/.* fax=\([0-9]*\).*/\1/p' <<<"$ready")"
[ -n "$http_port" ] && [ -n "$fax_port" ] || { echo "demo: the simulator did not start"; cat "$sim_log"; exit 1; }
echo "Appliance simulator on 127.0.0.1 (pages on port $http_port, fax server on port $fax_port)"

doc="$work/sample.ps"
cat >"$doc" <<'PS'
%!PS-Adobe-3.0
%%Pages: 1
%%EndComments
%%Page: 1 1
/Helvetica findfont 28 scalefont setfont
72 700 moveto (Corvafax sample fax) show
/Helvetica findfont 14 scalefont setfont
72 660 moveto (Sent through the appliance simulator.) show
showpage
%%EOF
PS

export KESTREL_HTTP_PORT="$http_port" KESTREL_FAX_PORT="$fax_port"
export KESTREL_COMPONENT_REGISTRY="$build/components.reg"
echo "Sending $doc to 0612345 ..."
job="$("$build/tools/corvafax-send" --appliance 127.0.0.1 --user demo --password demo \
  --notify demo@example.org -d 0612345 "$doc")"
echo "Job number: $job"
echo "The simulator keeps the job in: $store/jobs/$job"
ls -l "$store/jobs/$job"
