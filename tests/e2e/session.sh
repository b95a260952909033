#!/usr/bin/env bash
# A person's session with the real program: type the names, start a test with the keyboard, let the
# battery drain a few steps, end the test, look at the window, clear the data, close the window.
# Proves that rows land in bat.mdb as the battery changes, that the window shows them, that Clear Data
# empties the file and that closing the window ends the program with exit code 0.
set -euo pipefail
korvel=$1 source=$2 artifacts=$3
. "$source/tests/e2e/lib.sh"
e2e_setup "$source" "$artifacts"
sqlite3 "$work/bat.mdb" < "$source/schema/testdata.sql" >/dev/null
db="$work/bat.mdb"

e2e_start "$korvel" "$tree" "$work" "$work/korvel.log"
win=$(e2e_window) || { cat "$work/korvel.log"; exit 1; }
xdotool windowactivate --sync "$win" 2>/dev/null || true
sleep 0.3

# The caret starts in the battery name; Tab moves on to the test name, then to Start Test.
xdotool type --delay 20 "BAT0 left bay"
xdotool key Tab
xdotool type --delay 20 "drain 'quoted' #1"
xdotool key Tab space
e2e_wait_rows "$db" "select count(*) from testdata" 1

# The battery drains: 57 % → 56 % → 55 %, then the charger is plugged in at 55 % → 56 %.
for energy in 29200000 28700000; do
    e2e_put "$tree/BAT0/energy_now" "$energy"
    e2e_wait_rows "$db" "select min(tperc) from testdata" "$((100 * energy / 52000000)).0"
done
e2e_put "$tree/AC/online" 1
e2e_put "$tree/BAT0/energy_now" 29300000
e2e_wait_rows "$db" "select count(*) from testdata" 4

# End the test: the focus is still on the button.
xdotool key space
sleep 0.5
e2e_wait_rows "$db" "select group_concat(tperc || '/' || tac || '/' || ttest || '/' || tbat, ',') from (select * from testdata order by tid)" \
    "57.0/0/drain 'quoted' #1/BAT0 left bay,56.0/0/drain 'quoted' #1/BAT0 left bay,55.0/0/drain 'quoted' #1/BAT0 left bay,56.0/1/drain 'quoted' #1/BAT0 left bay"
e2e_put "$tree/BAT0/energy_now" 28000000
sleep 0.5
e2e_wait_rows "$db" "select count(*) from testdata" 4   # nothing is written after End

import -window root "$artifacts/e2e-session.png"

# Clear Data, with the mouse.
xdotool mousemove --window "$win" 77 173 click 1
e2e_wait_rows "$db" "select count(*) from testdata" 0
import -window root "$artifacts/e2e-cleared.png"

# Close the window the way a person does.
xdotool key alt+F4
e2e_wait_exit "$E2E_PID"
echo "korvel exited with $E2E_CODE"
cat "$work/korvel.log"
[ "$E2E_CODE" -eq 0 ]
