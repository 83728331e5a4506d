#!/bin/bash
# The install step: installs into a temporary prefix, registering the control
# in a temporary registry, then sends a fax with the installed host from
# another folder; a host program compiles against the installed headers
# alone; a staged install (DESTDIR, as packages are built) registers inside
# the staged tree and leaves this machine's registries alone.
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
for progid in KestrelOCX.corvanefax KestrelOCX.faxstatus; do
    grep -q "^$progid = $WORK/prefix/lib/libKestrelOCX" "$KESTREL_COMPONENT_REGISTRY" || {
        echo "FAIL: the installed $progid is not registered: $(cat "$KESTREL_COMPONENT_REGISTRY")"
        exit 1
    }
done

[[ ! -e $WORK/prefix/bin/kestrel-appliance-sim ]] || {
    echo "FAIL: the simulator was installed as a user program"
    exit 1
}

# The public headers and what they include are enough for a host.
cat >"$WORK/host.cpp" <<'CPP'
#include <kestrel/Corvanefax.h>
#include <kestrel/FaxStatus.h>
#include <kestrel/JobOptions.h>
class Events : public kestrel::ICorvanefaxEvents {};
int main()
{
    Events events;
    kestrel::JobReport report;
    const kestrel::JobOptions options;
    return kestrel::CorvanefaxProgId[0] == 'K' && kestrel::FaxNotSent.size() > 0 && !report.finished() && options.isDefault() ? 0 : 1;
}
CPP
# shellcheck disable=SC2046
g++ -std=c++20 -fPIC -I"$WORK/prefix/include" $(pkg-config --cflags Qt6Core) -c "$WORK/host.cpp" \
    -o "$WORK/host.o" 2>"$WORK/host.log" || {
    echo "FAIL: the installed headers do not compile on their own: $(head -n 5 "$WORK/host.log")"
    exit 1
}

# A staged install registers the final path, in the staged system registry.
system_registry=/etc/xdg/kestrel/components.reg
before=$(cat "$system_registry" 2>/dev/null || echo none)
(unset KESTREL_COMPONENT_REGISTRY; export XDG_CONFIG_HOME=$WORK/home-config
 DESTDIR=$WORK/stage cmake --install "$BUILD" --prefix /usr >"$WORK/stage.log" 2>&1) || {
    echo "FAIL: staged install: $(tail -n 5 "$WORK/stage.log")"
    exit 1
}
grep -q "^KestrelOCX.corvanefax = /usr/lib/libKestrelOCX" "$WORK/stage$system_registry" 2>/dev/null || {
    echo "FAIL: the staged tree holds no registration of /usr/lib/libKestrelOCX: $(cat "$WORK/stage$system_registry" 2>&1)"
    exit 1
}
[[ $(cat "$system_registry" 2>/dev/null || echo none) == "$before" ]] || {
    echo "FAIL: the staged install changed $system_registry"
    exit 1
}
[[ ! -e $WORK/home-config/kestrel/components.reg ]] || {
    echo "FAIL: the staged install wrote the user's registry"
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
