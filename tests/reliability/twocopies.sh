#!/usr/bin/env bash
# Two copies of the real program on one bat.mdb, each in its own mount namespace with its own stand-in
# battery, both logging while their batteries change at the same moments, 80 times each: every
# reading of both is in the file exactly once and in order, and the file is intact. (That each copy's
# grid shows the other's rows at its next refresh is proven in-process by tst_twocopies; the
# screenshot shows both windows.)
set -euo pipefail
korvel=$1 source=$2 artifacts=$3
. "$source/tests/e2e/lib.sh"
e2e_setup "$source" "$artifacts"
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; e2e_cleanup; rm -rf "$work" || true' EXIT
db="$work/bat.mdb"
sqlite3 "$db" < "$source/schema/testdata.sql" >/dev/null
e2e_tree "$source/tests/data/power-supply/laptop-discharging" "$work/treeA"
e2e_tree "$source/tests/data/power-supply/laptop-discharging" "$work/treeB"

# start_copy <name>: starts a copy reading tree<name>, types <name> as the battery and starts a test.
start_copy() {
    local name=$1 old new=""
    old=$(xdotool search --onlyvisible --name '^Varnholt Sarnivo$' 2>/dev/null || true)
    e2e_start "$korvel" "$work/tree$name" "$work" "$work/$name.log"
    pids+=("$E2E_PID")
    for _ in $(seq 1 100); do
        new=$(xdotool search --onlyvisible --name '^Varnholt Sarnivo$' 2>/dev/null | grep -vxF "${old:-none}" | head -n 1 || true)
        [ -n "$new" ] && break
        sleep 0.1
    done
    [ -n "$new" ] || { echo "copy $name: no window"; cat "$work/$name.log"; exit 1; }
    xdotool windowactivate --sync "$new" 2>/dev/null || true
    sleep 0.3
    xdotool type --delay 20 "$name"
    xdotool key Tab Tab space
}

readings() { sqlite3 "$db" "select group_concat(p, ' ') from (select cast(tperc as int) p from testdata where tbat = '$1' order by tid)"; }
count() { sqlite3 "$db" "select count(*) from testdata where tbat = '$1'" 2>/dev/null || echo -1; }

wait_counts() {
    for _ in $(seq 1 500); do
        [ "$(count A)" -ge "$1" ] && [ "$(count B)" -ge "$1" ] && return 0
        sleep 0.02
    done
    echo "expected $1 rows of each, have A $(count A), B $(count B)"; cat "$work/A.log" "$work/B.log"; exit 1
}

# Rewrites energy_now in place with one write, as the kernel's file reads are whole: "echo >" would
# truncate first, and a tick between truncating and writing would read the fixture's capacity file.
set_percent() { printf '%08d\n' $(($2 * 520000 + 1000)) 1<> "$work/tree$1/BAT0/energy_now"; }

start_copy A
start_copy B
wait_counts 1
expectA=57 expectB=57
for i in $(seq 1 80); do
    a=$((90 - i)) b=$((10 + i))
    [ "$a" -eq 57 ] && a=5
    [ "$b" -eq 57 ] && b=95
    set_percent A "$a"
    set_percent B "$b"
    expectA="$expectA $a" expectB="$expectB $b"
    wait_counts $((i + 1))
done
import -window root "$artifacts/twocopies.png"

[ "$(readings A)" = "$expectA" ] || { echo "A: got [$(readings A)], expected [$expectA]"; exit 1; }
[ "$(readings B)" = "$expectB" ] || { echo "B: got [$(readings B)], expected [$expectB]"; exit 1; }
[ "$(sqlite3 "$db" "select count(*) from testdata")" -eq 162 ]
[ "$(sqlite3 "$db" "pragma integrity_check")" = ok ]
if grep -h 'Varnholt Pellomir:' "$work/A.log" "$work/B.log"; then echo "error boxes shown"; exit 1; fi
echo "two copies: 162 rows, each once"
