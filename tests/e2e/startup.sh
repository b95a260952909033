#!/usr/bin/env bash
# Start-up and shutdown of the real program as a person meets them:
#  1. no bat.mdb: one error box per component that can't open (three), then the window with an empty
#     grid; closing it ends the program with exit code 0 and no file is created;
#  2. an SQLite library older than korvel was built for: the start-up failure box, no window, exit code 1;
#  3. SIGTERM while a test runs: the program ends at once with exit code 0.
set -euo pipefail
korvel=$1 source=$2 artifacts=$3 oldsqlite=$4
. "$source/tests/e2e/lib.sh"
e2e_setup "$source" "$artifacts"

echo "== 1. no bat.mdb"
mkdir "$work/empty"
e2e_start "$korvel" "$tree" "$work/empty" "$work/missing.log"
for n in 1 2 3; do
    e2e_wait_lines "$work/missing.log" 'Varnholt Pellomir: The database file .* does not exist' "$n"
    [ "$n" -eq 1 ] && import -window root "$artifacts/e2e-missing-box.png"
    sleep 0.3
    xdotool key Return
done
win=$(e2e_window)
import -window root "$artifacts/e2e-missing-window.png"
[ ! -e "$work/empty/bat.mdb" ]
xdotool windowactivate --sync "$win" 2>/dev/null || true
xdotool key alt+F4
e2e_wait_exit "$E2E_PID"
[ "$E2E_CODE" -eq 0 ] || { echo "exit code $E2E_CODE"; exit 1; }
[ ! -e "$work/empty/bat.mdb" ]

echo "== 2. SQLite older than korvel was built for"
mkdir "$work/old"
sqlite3 "$work/old/bat.mdb" < "$source/schema/testdata.sql" >/dev/null
( cd "$work/old" && LD_PRELOAD="$oldsqlite" exec "$korvel" ) >"$work/old.log" 2>&1 &
E2E_PID=$!
e2e_wait_lines "$work/old.log" 'Application Error: Exception Exception in module korvel at [0-9A-F]\{8\}\.' 1
grep -q 'Error creating object.  Please verify that SQLite .* (or later) has been properly installed' "$work/old.log"
import -window root "$artifacts/e2e-failed-start.png"
! xdotool search --onlyvisible --name '^Varnholt Sarnivo$' >/dev/null 2>&1
sleep 0.3
xdotool key Return
e2e_wait_exit "$E2E_PID"
[ "$E2E_CODE" -eq 1 ] || { echo "exit code $E2E_CODE"; cat "$work/old.log"; exit 1; }

echo "== 3. SIGTERM during a test"
mkdir "$work/run"
sqlite3 "$work/run/bat.mdb" < "$source/schema/testdata.sql" >/dev/null
e2e_start "$korvel" "$tree" "$work/run" "$work/run.log"
win=$(e2e_window)
xdotool windowactivate --sync "$win" 2>/dev/null || true
xdotool key Tab Tab space
e2e_wait_rows "$work/run/bat.mdb" "select count(*) from testdata" 1
# The signal goes to korvel itself, inside its mount namespace.
kill -TERM "$(pgrep -n -f "^$korvel\$")"
e2e_wait_exit "$E2E_PID"
[ "$E2E_CODE" -eq 0 ] || { echo "exit code $E2E_CODE"; cat "$work/run.log"; exit 1; }
echo "all start-up cases passed"
