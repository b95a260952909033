#!/usr/bin/env bash
# Builds korvel and starts it in the current directory, creating bat.mdb from schema/ when it is
# missing. On a machine without a display it starts on a virtual one (Xvfb) and says so.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh"
build=${KORVEL_BUILD_DIR:-$here/build}
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target korvel

if [ ! -e bat.mdb ]; then
    sqlite3 bat.mdb < "$here/schema/testdata.sql" >/dev/null
    echo "korvel: created bat.mdb in $(pwd)"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    for n in $(seq 99 199); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
    done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill "$xvfb" 2>/dev/null' EXIT
    export DISPLAY=":$n"
    for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    echo "korvel: no display found; started on the virtual display $DISPLAY (Xvfb)."
    echo "korvel: see it with: import -display $DISPLAY -window root korvel.png   (Ctrl+C ends korvel)"
    "$build/src/korvel" "$@"
    exit $?
fi
exec "$build/src/korvel" "$@"
