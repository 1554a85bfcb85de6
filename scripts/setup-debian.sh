#!/bin/sh
# Installs every Debian package that building, running and testing whiteout
# needs. Safe to run again: when everything is present it changes nothing and
# prints nothing.
set -eu

PACKAGES="
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  qt6-base-dev libgl-dev libxcb1-dev libjpeg62-turbo-dev libgtest-dev libbenchmark-dev
  libfluidsynth-dev fluid-soundfont-gm
  xvfb xauth x11-utils xdotool openbox imagemagick fonts-ipafont-gothic
  pulseaudio pulseaudio-utils sox libasound2-plugins
  devscripts procps python3
"

missing=""
for package in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
        missing="$missing $package"
    fi
done
[ -z "$missing" ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
        echo "setup-debian: missing packages:$missing (run as root to install them)" >&2
        exit 1
    fi
    sudo="sudo"
fi

echo "Installing:$missing"
# shellcheck disable=SC2086
$sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
# shellcheck disable=SC2086
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >/dev/null
