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
    echo "korvel: no display found; starting on a virtual display (Xvfb). Screenshot it with: xwd -root -display \$DISPLAY"
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$build/src/korvel" "$@"
fi
exec "$build/src/korvel" "$@"
