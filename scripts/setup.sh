#!/usr/bin/env bash
# Installs every Debian package the build, the demo and the tests need.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libqt6sql6-sqlite qt6-translations-l10n libcups2-dev zlib1g-dev
  hylafax-server hylafax-client
  cups cups-client cups-filters ghostscript
  iproute2 util-linux openssl time procps
  clang-format xvfb xauth x11-utils xdotool imagemagick python3
  # The checks of .clang-tidy on the changed sources (scripts/tidy.sh).
  clang-tidy
  # A private session bus for the desktop notice's test (dbus-run-session),
  # and a notification service to picture a notice for the README.
  dbus-daemon dunst
  # Printer descriptions that wrap PostScript in job control (PJL), as
  # vendors ship them: the capture test prints through queues made of them.
  openprinting-ppds
  # The shared address book: a private PostgreSQL cluster for its tests, Qt's
  # driver for the server, and libpq's header (the store reads its
  # connection URI with libpq's own parser).
  postgresql libqt6sql6-psql libpq-dev
  lintian desktop-file-utils appstream file # the Debian packages' checks (tests/package)
  # The appliance password in the desktop's keyring (QtKeychain), and a
  # private Secret Service with its command-line tool for the keyring's tests.
  qtkeychain-qt6-dev gnome-keyring libsecret-tools
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi
echo "setup: installing ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
