#!/usr/bin/env bash
# A full disk during a test, with the real program: bat.mdb lies on a small tmpfs that a filler file
# fills up after two rows. Each later change gets one error box with the provider's "disk ... is full"
# message; the program keeps ticking (the late row's elapsed time shows it); the file stays intact. Once
# the filler is gone, the next change posts the record that failed first, with its own values, and then
# the new one.
set -euo pipefail
korvel=$1 source=$2 artifacts=$3
. "$source/tests/e2e/lib.sh"
e2e_require
# The tmpfs lives in a mount namespace of this script's own, so nothing leaks when it ends.
if [ -z "${KORVEL_DISKFULL_NS:-}" ]; then
    exec env KORVEL_DISKFULL_NS=1 unshare -m bash "$0" "$@"
fi
mount --make-rprivate /

work=$(mktemp -d)
export XDG_RUNTIME_DIR="$work/xdg" && mkdir -m 700 "$XDG_RUNTIME_DIR"
disk="$work/disk"
mkdir "$disk"
# Room for the schema, the WAL of a few rows and the shared-memory index; the filler takes the rest.
mount -t tmpfs -o size=1m tmpfs "$disk"
trap 'e2e_cleanup; umount "$disk" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$artifacts"
db="$disk/bat.mdb"
sqlite3 "$db" < "$source/schema/testdata.sql" >/dev/null
tree="$work/power_supply"
e2e_tree "$source/tests/data/power-supply/laptop-discharging" "$tree"
log="$work/korvel.log"
e2e_display

set_percent() { printf '%08d\n' $(($1 * 520000 + 1000)) 1<> "$tree/BAT0/energy_now"; }
count() { sqlite3 "$db" "select count(*) from testdata"; }
boxes() { grep -c 'Varnholt Pellomir:' "$log" || true; }
wait_boxes() {
    for _ in $(seq 1 100); do
        [ "$(boxes)" -ge "$1" ] && return 0
        sleep 0.1
    done
    echo "expected $1 boxes:"; cat "$log"; exit 1
}

e2e_start "$korvel" "$tree" "$disk" "$log"
win=$(e2e_window) || { cat "$log"; exit 1; }
xdotool windowactivate --sync "$win" 2>/dev/null || true
xdotool key Tab Tab space
e2e_wait_rows "$db" "select count(*) from testdata" 1
set_percent 56
e2e_wait_rows "$db" "select count(*) from testdata" 2

dd if=/dev/zero of="$disk/filler" bs=4096 2>/dev/null || true
[ "$(df --output=avail "$disk" | tail -n 1 | tr -d ' ')" -eq 0 ] || { df "$disk"; exit 1; }
before=$(sha256sum < "$db")

# Three changes on a full disk: a box each, nothing written.
for percent in 55 54 53; do
    n=$(( $(boxes) + 1 ))
    set_percent "$percent"
    wait_boxes "$n"
    [ "$percent" -eq 55 ] && import -window root "$artifacts/diskfull-box.png"
    sleep 0.3
    xdotool key Return
    sleep 0.3
done
kill -0 "$E2E_PID" || { echo "korvel ended"; cat "$log"; exit 1; }
grep 'Varnholt Pellomir:' "$log"
[ "$(boxes)" -eq 3 ] || { echo "expected one box per change"; exit 1; }
full=$(grep -c 'Varnholt Pellomir: The disk that holds ".*/bat.mdb" is full. Free some space; korvel tries again at the next change.' "$log" || true)
[ "$full" -eq 3 ] || { echo "not the disk-full message"; exit 1; }
[ "$(count)" -eq 2 ]
[ "$(sha256sum < "$db")" = "$before" ] || { echo "bat.mdb changed while the disk was full"; exit 1; }

# Space returns: the next change posts the pending 55 % record first, then its own.
rm "$disk/filler"
set_percent 52
e2e_wait_rows "$db" "select group_concat(cast(tperc as int), ' ') from (select tperc from testdata order by tid)" \
    "57 56 55 52"
[ "$(boxes)" -eq 3 ] || { echo "a box after space returned"; cat "$log"; exit 1; }
# The ticks went on while the boxes were open: the late row's elapsed time is later than the pending one's.
late=$(sqlite3 "$db" "select (select telap from testdata where tperc = 52) > (select telap from testdata where tperc = 55)")
[ "$late" -eq 1 ] || { sqlite3 "$db" "select tperc, telap from testdata"; exit 1; }

kill -TERM "$(pgrep -n -f "^$korvel\$")"
wait "$E2E_PID" || true
E2E_PID=
[ "$(sqlite3 "$db" "pragma integrity_check")" = ok ]
echo "disk full: one box per change, pending record posted when space returned, file intact"
