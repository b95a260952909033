#!/usr/bin/env bash
# Installs every Debian package that building, running and testing korvel needs.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-qpa-plugins
    libsqlite3-dev sqlite3
    libbenchmark-dev
    xvfb xauth xdotool x11-utils imagemagick openbox
    fonts-wine fonts-dejavu-core
    util-linux procps
    libjs-dygraphs chromium
    clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: need root to install: ${missing[*]}" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
