#!/bin/sh
# keyring-session.sh MODE PROGRAM [ARGS...]
#
# Runs PROGRAM on a private session bus of its own, with a fresh home in a
# temporary folder, so that no desktop's keyring is ever touched:
#   keyring  the bus holds gnome-keyring-daemon's Secret Service, its login
#            keyring made and unlocked here (KESTREL_KEYRING=unlocked);
#   none     the bus holds no Secret Service and cannot start one
#            (KESTREL_KEYRING=none).
# Where dbus-run-session or gnome-keyring-daemon is missing, PROGRAM runs
# with KESTREL_KEYRING=missing:<what> and skips.
set -u
mode=$1
shift

for tool in dbus-run-session dbus-daemon dbus-send gnome-keyring-daemon; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        KESTREL_KEYRING="missing:$tool" exec "$@"
    fi
done

top=$(mktemp -d "${TMPDIR:-/tmp}/keyring-session.XXXXXX") || exit 1
trap 'rm -rf "$top"' EXIT
mkdir -p "$top/home" "$top/data" "$top/config" "$top/run"
chmod 700 "$top/run"
export HOME="$top/home" XDG_DATA_HOME="$top/data" XDG_CONFIG_HOME="$top/config" XDG_RUNTIME_DIR="$top/run"
# No desktop to follow: the keyring is chosen as on a plain desktop.
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION KDE_SESSION_VERSION GNOME_DESKTOP_SESSION_ID

# A bus with no service directories: nothing can be started on demand on
# it, not even the Secret Service the standard session bus would start.
cat >"$top/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$top/run</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF

# Inside the bus: the keyring (in keyring mode), then the program; the
# daemon is stopped by its own process id when the program has ended.
cat >"$top/inside.sh" <<'INSIDE'
mode=$1
shift
daemon=
if [ "$mode" = keyring ]; then
    # Makes the login keyring with this password and unlocks it; the daemon
    # goes to the background and takes the Secret Service's name.
    printf '%s' keyring-test | gnome-keyring-daemon --unlock --components=secrets >/dev/null 2>&1
    tries=0
    until dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null | grep -q 'boolean true'; do
        tries=$((tries + 1))
        if [ "$tries" -ge 100 ]; then
            echo "keyring-session: gnome-keyring-daemon did not take org.freedesktop.secrets" >&2
            exit 1
        fi
        sleep 0.1
    done
    daemon=$(dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.GetConnectionUnixProcessID string:org.freedesktop.secrets | awk '/uint32/ {print $2}')
    export KESTREL_KEYRING=unlocked
else
    export KESTREL_KEYRING=none
fi
"$@"
status=$?
if [ -n "$daemon" ]; then
    kill -CONT "$daemon" 2>/dev/null
    kill "$daemon" 2>/dev/null
    tries=0
    while kill -0 "$daemon" 2>/dev/null && [ "$tries" -lt 50 ]; do
        tries=$((tries + 1))
        sleep 0.1
    done
fi
exit $status
INSIDE

dbus-run-session --config-file="$top/bus.conf" -- sh "$top/inside.sh" "$mode" "$@"
