#!/usr/bin/env bash
# Power cut, as far as a process can see one: the real program logs a test while a stand-in battery
# changes a few hundred times, and is killed with SIGKILL, in some rounds right after a row was posted
# and in others at a random moment while changes stream in. After each kill every row that had been
# posted (visible to another connection) is in the file unchanged, PRAGMA integrity_check says "ok",
# and the program starts again normally: its window appears and no error box was shown.
# SIGKILL tests the process side only (nothing half-written by korvel itself); that a commit also
# survives the machine losing power rests on synchronous=FULL making SQLite fsync before it returns.
set -euo pipefail
korvel=$1 source=$2 artifacts=$3
. "$source/tests/e2e/lib.sh"
e2e_setup "$source" "$artifacts"
db="$work/bat.mdb"
sqlite3 "$db" < "$source/schema/testdata.sql" >/dev/null

rows() { sqlite3 "$db" "select tid, tperc, ttime, telap from testdata order by tid"; }
count() { sqlite3 "$db" "select count(*) from testdata" 2>/dev/null || echo -1; }

percent=57
# The next percentage, always different from the last one (energy_full is 52000000).
change() {
    percent=$(( percent <= 6 ? 95 : percent - 1 - RANDOM % 2 ))
    printf '%08d\n' $(( percent * 520000 + 1000 )) 1<> "$tree/BAT0/energy_now" # in place, one write
    changes=$((changes + 1))
}

# Starts korvel and a test; fails when an error box appeared on the way.
start_logging() {
    : > "$work/korvel.log"
    e2e_start "$korvel" "$tree" "$work" "$work/korvel.log"
    local win
    win=$(e2e_window) || { echo "no window after restart"; cat "$work/korvel.log"; exit 1; }
    # Same file, compared by device and inode: a path text may differ (a chroot, a symlinked build folder).
    [ "$(stat -L -c %d:%i "/proc/$E2E_PID/exe")" = "$(stat -L -c %d:%i "$korvel")" ] || { echo "pid is not korvel"; exit 1; }
    if grep -q 'Varnholt Pellomir:' "$work/korvel.log"; then
        echo "error box at start-up:"; cat "$work/korvel.log"; exit 1
    fi
    xdotool windowactivate --sync "$win" 2>/dev/null || true
    local before
    before=$(count)
    xdotool key Tab Tab space
    wait_count $((before + 1))
}

wait_count() {
    for _ in $(seq 1 500); do
        [ "$(count)" -ge "$1" ] && return 0
        sleep 0.02
    done
    echo "expected $1 rows, have $(count)"; cat "$work/korvel.log"; exit 1
}

kill_and_check() {
    local posted=$1
    kill -KILL "$E2E_PID"
    wait "$E2E_PID" 2>/dev/null || true
    E2E_PID=
    rows > "$work/after"
    if ! comm -23 "$posted" "$work/after" | diff /dev/null - >/dev/null; then
        echo "round $round: posted rows lost:"; comm -23 "$posted" "$work/after"; exit 1
    fi
    local check
    check=$(sqlite3 "$db" "pragma integrity_check")
    [ "$check" = ok ] || { echo "round $round: integrity_check: $check"; exit 1; }
}

changes=0
kills=0
for round in $(seq 1 14); do
    start_logging
    if [ $((round % 2)) -eq 1 ]; then
        # Kill right after a row is posted: change, wait for the row, kill at once.
        n=$(count)
        for _ in $(seq 1 $((30 + RANDOM % 20))); do
            change
            n=$((n + 1))
            wait_count "$n"
        done
        rows > "$work/posted"
        kill_and_check "$work/posted"
    else
        # Kill at a random moment while changes stream in faster or slower than the ticks.
        deadline=$(( $(date +%s%N) + (500 + RANDOM % 2500) * 1000000 ))
        while [ "$(date +%s%N)" -lt "$deadline" ]; do
            change
            sleep "0.$(printf %02d $((5 + RANDOM % 25)))"
        done
        rows > "$work/posted"
        kill_and_check "$work/posted"
    fi
    kills=$((kills + 1))
done

# After the last kill the program still starts normally and logs.
start_logging
cp "$db" "$artifacts/powercut-bat.mdb" 2>/dev/null || true
echo "$kills kills, $changes changes, $(count) rows, integrity ok"
