#!/bin/bash
# The Debian packages, from build to purge: builds the package target,
# installs both packages with apt, finds the control registered system-wide
# (and still after an upgrade), runs the installed client as an ordinary user against the appliance
# simulator until its capture printer listens, checks the packages with
# lintian, the AppStream data and the desktop entry with their validators,
# then removes them (the registration undone) and purges, and finds nothing
# of them left.
# Needs root (dpkg); exits 77, reported as skipped, without it.
# Usage: package-check.sh BUILD_DIR SIMULATOR ACCEPTED_LINTIAN_TAGS
set -u
BUILD=${1:?usage: package-check.sh BUILD_DIR SIMULATOR ACCEPTED_LINTIAN_TAGS}
SIMULATOR=${2:?usage: package-check.sh BUILD_DIR SIMULATOR ACCEPTED_LINTIAN_TAGS}
ACCEPTED=${3:?usage: package-check.sh BUILD_DIR SIMULATOR ACCEPTED_LINTIAN_TAGS}
HERE=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../e2e/e2e-common.sh
source "$HERE/../e2e/e2e-common.sh"
export PATH=$PATH:/usr/sbin:/sbin

skip() {
    echo "SKIP: $*"
    exit 77
}
fail() {
    echo "FAIL: $*"
    exit 1
}

[[ $(id -u) -eq 0 ]] || skip "installing a package needs root"
for tool in dpkg apt-get lintian appstreamcli desktop-file-validate unshare setpriv; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/setup.sh installs it)"
done
for package in corvafax corvafax-dev; do
    if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q ' installed$'; then
        skip "$package is installed on this machine already; the test would remove it"
    fi
done

# The system registry the maintainer scripts write is made private to this
# test: /etc/xdg is a copy of the machine's, without its kestrel folder,
# mounted over the real one in a mount namespace of the test's own, so tests
# and programs that run meanwhile see the machine's registry unchanged.
if [[ -z ${KESTREL_PACKAGE_CHECK_NS:-} ]]; then
    KESTREL_PACKAGE_CHECK_NS=1 exec unshare -m --propagation private bash "$0" "$@"
fi
WORK=$(mktemp -d /tmp/kestrel-package.XXXXXX)
chmod 755 "$WORK"
mkdir "$WORK/xdg"
cp -a /etc/xdg/. "$WORK/xdg/"
rm -rf "$WORK/xdg/kestrel"
mount --bind "$WORK/xdg" /etc/xdg || skip "cannot make /etc/xdg private to the test"

SIM_PID='' CLIENT_PID=''
INSTALLED=''
cleanup() {
    stop_pid "$CLIENT_PID"
    stop_pid "$SIM_PID"
    if [[ -n $INSTALLED ]]; then
        apt-get purge -y -qq -o DPkg::Lock::Timeout=120 corvafax corvafax-dev >/dev/null 2>&1
    fi
    umount /etc/xdg 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT
apt_get() {
    DEBIAN_FRONTEND=noninteractive apt-get -y -qq -o DPkg::Lock::Timeout=120 "$@"
}

# --- build
rm -f "$BUILD"/corvafax_*.deb "$BUILD"/corvafax-dev_*.deb
cmake --build "$BUILD" --target package >"$WORK/package.log" 2>&1 ||
    fail "the package target failed: $(tail -n 20 "$WORK/package.log")"
debs=("$BUILD"/corvafax_*.deb "$BUILD"/corvafax-dev_*.deb)
for deb in "${debs[@]}"; do
    [[ -f $deb ]] || fail "the package target made no $deb: $(ls "$BUILD"/*.deb 2>&1)"
done
deb=${debs[0]}

# Dependencies come from the binaries (dpkg-shlibdeps), the Qt libraries among them.
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libqt6sql6 libqt6network6 libqt6dbus6 libc6 libqt6sql6-sqlite; do
    [[ $depends == *"$library"* ]] || fail "Depends lacks $library: $depends"
done

# --- lintian: no error, no warning but those accepted (with their reasons) in $ACCEPTED
lintian --fail-on none --suppress-tags-from-file "$ACCEPTED" "${debs[@]}" >"$WORK/lintian.log" 2>&1
if grep -E '^(E|W): ' "$WORK/lintian.log"; then
    fail "lintian reports the lines above"
fi

# --- install (every dependency is on this machine already: nothing is downloaded)
apt_get install --no-install-recommends "${debs[@]}" >"$WORK/install.log" 2>&1 ||
    fail "apt-get install: $(tail -n 20 "$WORK/install.log")"
INSTALLED=yes
dpkg -L corvafax corvafax-dev | sort -u >"$WORK/files"
libdir=$(dirname "$(grep -m1 '/libKestrelOCX\.so\.0$' "$WORK/files")")
[[ $libdir == /usr/lib* ]] || fail "the package holds no libKestrelOCX.so.0 under /usr/lib"
for file in /usr/bin/corvafax /usr/bin/corvafax-send /usr/bin/corvafax-rubrica /usr/bin/kestrel-regsvr \
    "$libdir/libKestrelOCX.so.0" "$libdir/libKestrelOCX.so" /usr/include/kestrel/Corvanefax.h \
    /usr/share/kestrel/rubrica.db /usr/share/kestrel/rubrica-server.sql /usr/share/kestrel/corvafax.desktop \
    /usr/share/applications/corvafax.desktop /usr/share/metainfo/org.corvafax.corvafax.metainfo.xml \
    /usr/share/icons/hicolor/scalable/apps/corvafax.svg \
    /usr/share/icons/hicolor/{16x16,22x22,24x24,32x32,48x48,64x64,128x128,256x256}/apps/corvafax.png \
    /usr/share/man/man1/{corvafax,corvafax-send,corvafax-rubrica,kestrel-regsvr}.1.gz \
    /usr/share/doc/{corvafax,corvafax-dev}/{copyright,changelog.Debian.gz}; do
    [[ -e $file ]] || fail "$file is not installed"
done
for size in 16 22 24 32 48 64 128 256; do
    png=/usr/share/icons/hicolor/${size}x${size}/apps/corvafax.png
    [[ $(file -b "$png") == "PNG image data, $size x $size,"* ]] || fail "$png: $(file -b "$png")"
done
for program in corvafax corvafax-send corvafax-rubrica kestrel-regsvr; do
    [[ $(file -b "/usr/bin/$program") == *", stripped"* ]] || fail "/usr/bin/$program is not stripped"
done
[[ $(stat -c %a "$(readlink -f "$libdir/libKestrelOCX.so.0")") == 644 ]] || fail "the control library is not 0644"
MANWIDTH=80 man -l /usr/share/man/man1/corvafax-send.1.gz 2>&1 | grep -q -- '--kill-after' ||
    fail "man -l shows no --kill-after in corvafax-send(1)"

# --- the maintainer scripts registered the control system-wide
registry=/etc/xdg/kestrel/components.reg
for progid in KestrelOCX.corvanefax KestrelOCX.faxstatus; do
    grep -qx "$progid = $(readlink -f "$libdir/libKestrelOCX.so.0")" "$registry" 2>/dev/null ||
        fail "$progid is not registered: $(cat "$registry" 2>&1)"
done

# An upgrade (here: the same version again) takes the old registration out
# in prerm and registers in postinst: the control stays registered.
dpkg -i "$deb" >"$WORK/reinstall.log" 2>&1 || fail "dpkg -i again: $(tail -n 20 "$WORK/reinstall.log")"
for progid in KestrelOCX.corvanefax KestrelOCX.faxstatus; do
    grep -qx "$progid = $(readlink -f "$libdir/libKestrelOCX.so.0")" "$registry" 2>/dev/null ||
        fail "$progid is not registered after an upgrade: $(cat "$registry" 2>&1)"
done

# --- validators on the installed files, with no remark at all
appstreamcli validate --no-net /usr/share/metainfo/org.corvafax.corvafax.metainfo.xml >"$WORK/appstream.log" 2>&1 ||
    fail "appstreamcli validate: $(cat "$WORK/appstream.log")"
for entry in /usr/share/applications/corvafax.desktop /usr/share/kestrel/corvafax.desktop; do
    out=$(desktop-file-validate "$entry" 2>&1)
    [[ -z $out ]] || fail "desktop-file-validate $entry: $out"
done

# --- the installed client, as an ordinary user, finds the control through the
# system registry, activates it against the simulator and opens its capture printer
start_simulator "$SIMULATOR" "$WORK/appliance" 0 0 || fail "the simulator did not start"
print_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
user=nobody
group=$(id -gn "$user")
mkdir -p "$WORK/home" "$WORK/program" "$WORK/spool" "$WORK/run"
cat >"$WORK/program/KZV.INI" <<'INI'
[MAIN]
IP=127.0.0.1
USER=test
PASS=test
MAIL=test@example.org
INI
chmod 600 "$WORK/program/KZV.INI"
chmod 700 "$WORK/run"
chown -R "$user:$group" "$WORK/home" "$WORK/program" "$WORK/spool" "$WORK/run"
# No print system: the machine's CUPS is left alone, the capture port opens all the same.
(cd "$WORK/home" && exec setpriv --reuid="$user" --regid="$group" --init-groups \
    env -i PATH=/usr/bin:/bin HOME="$WORK/home" USER="$user" LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen \
    XDG_RUNTIME_DIR="$WORK/run" KESTREL_PROGRAM_DIR="$WORK/program" TEMP="$WORK/spool" \
    CUPS_SERVER="$WORK/no-print-system.sock" KESTREL_HTTP_PORT="$SIM_HTTP_PORT" \
    KESTREL_FAX_PORT="$SIM_FAX_PORT" KESTREL_PRINT_PORT="$print_port" \
    /usr/bin/corvafax >"$WORK/client.out" 2>&1) &
CLIENT_PID=$!
listening=''
for _ in $(seq 150); do
    kill -0 "$CLIENT_PID" 2>/dev/null || break
    if python3 -c "import socket; socket.create_connection(('127.0.0.1', $print_port), 0.2).close()" 2>/dev/null; then
        listening=yes
        break
    fi
    sleep 0.2
done
[[ -n $listening ]] || fail "the installed client did not open its capture printer: $(tail -n 20 "$WORK/client.out")"
[[ $(stat -c %U "/proc/$CLIENT_PID") == "$user" ]] || fail "the client does not run as $user"
[[ -f $WORK/program/rubrica.db ]] || fail "the client did not copy the shipped rubrica.db on its first start"
# Past its start, it keeps running until told to stop.
sleep 3
kill -0 "$CLIENT_PID" 2>/dev/null || fail "the installed client ended by itself: $(tail -n 20 "$WORK/client.out")"
stop_pid "$CLIENT_PID"
CLIENT_PID=''

# --- remove: the programs go and the control is no longer registered; only
# the configuration files stay, for the purge
apt_get remove corvafax corvafax-dev >"$WORK/remove.log" 2>&1 || fail "apt-get remove: $(tail -n 20 "$WORK/remove.log")"
[[ ! -e /usr/bin/corvafax && ! -e /usr/bin/corvafax-send ]] || fail "the remove left the programs"
! grep -qi 'KestrelOCX' "$registry" 2>/dev/null || fail "the remove left the control registered: $(cat "$registry")"

# --- purge: nothing of the packages is left, the registration is undone
# (the -dev package has no configuration files: the remove took it whole)
apt_get purge corvafax >"$WORK/purge.log" 2>&1 || fail "apt-get purge: $(tail -n 20 "$WORK/purge.log")"
INSTALLED=''
for package in corvafax corvafax-dev; do
    ! dpkg -L "$package" >/dev/null 2>&1 || fail "dpkg still lists the files of $package"
done
[[ ! -e /etc/xdg/kestrel ]] || fail "the purge left /etc/xdg/kestrel: $(ls -la /etc/xdg/kestrel; cat "$registry" 2>&1)"
left=()
while read -r path; do
    [[ -e $path && ! -d $path ]] && left+=("$path")
    [[ -d $path && $path == */kestrel ]] && left+=("$path")
done <"$WORK/files"
((${#left[@]} == 0)) || fail "the purge left ${left[*]}"
for folder in /usr/share/doc/corvafax /usr/share/doc/corvafax-dev /usr/include/kestrel /usr/share/kestrel; do
    [[ ! -e $folder ]] || fail "the purge left $folder"
done
echo "PASS: built, installed, registered, ran as $user, validated, purged"
