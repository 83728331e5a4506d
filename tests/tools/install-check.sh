#!/bin/bash
# The install step: installs into a temporary prefix, registering the control
# in a temporary registry, then sends a fax with the installed host from
# another folder.
# Usage: install-check.sh BUILD_DIR SIMULATOR
set -u
BUILD=${1:?usage: install-check.sh BUILD_DIR SIMULATOR}
SIMULATOR=${2:?usage: install-check.sh BUILD_DIR SIMULATOR}
# shellcheck source=../e2e/e2e-common.sh
source "$(dirname "$0")/../e2e/e2e-common.sh"

WORK=$(mktemp -d /tmp/kestrel-install.XXXXXX)
SIM_PID=
trap 'stop_pid "$SIM_PID"; rm -rf "$WORK"' EXIT

export KESTREL_COMPONENT_REGISTRY=$WORK/components.reg
cmake --install "$BUILD" --prefix "$WORK/prefix" >"$WORK/install.log" 2>&1 || {
    echo "FAIL: install: $(tail -n 5 "$WORK/install.log")"
    exit 1
}
grep -q "^KestrelOCX.corvanefax = $WORK/prefix/lib/libKestrelOCX" "$KESTREL_COMPONENT_REGISTRY" || {
    echo "FAIL: the installed control is not registered: $(cat "$KESTREL_COMPONENT_REGISTRY")"
    exit 1
}

start_simulator "$SIMULATOR" "$WORK/appliance" 0 0 || exit 1
export KESTREL_HTTP_PORT=$SIM_HTTP_PORT KESTREL_FAX_PORT=$SIM_FAX_PORT
make_postscript "$WORK/doc.ps" 1
cd / || exit 1
job=$("$WORK/prefix/bin/corvafax-send" --appliance 127.0.0.1 -d 0612345 "$WORK/doc.ps") || {
    echo "FAIL: the installed corvafax-send did not send"
    exit 1
}
[[ -f $WORK/appliance/store/jobs/$job/submitted ]] || {
    echo "FAIL: job '$job' not at the appliance"
    exit 1
}
echo "PASS: installed host sent job $job"
