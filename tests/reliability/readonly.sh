#!/usr/bin/env bash
# A read-only bat.mdb met by an ordinary user (root ignores file modes, so korvel runs as "nobody"):
#  1. the file and its folder read-only: start-up says clearly that the file can't be written;
#  2. only the file read-only: the log table is not updatable, and each change says so.
# In both the first change of a test gets a message, the program keeps running, and the file's bytes
# stay as they were.
set -euo pipefail
korvel=$1 source=$2 artifacts=$3
. "$source/tests/e2e/lib.sh"
e2e_require
command -v setpriv >/dev/null || e2e_skip "setpriv is not installed"
id nobody >/dev/null 2>&1 || e2e_skip "no user nobody"

work=$(mktemp -d)
chmod 755 "$work"
trap 'e2e_cleanup; rm -rf "$work"' EXIT
mkdir -p "$artifacts"
tree="$work/power_supply"
e2e_tree "$source/tests/data/power-supply/laptop-discharging" "$tree"
# A copy of the program that "nobody" may run, wherever the build folder lies.
cp "$korvel" "$work/korvel" && chmod 755 "$work/korvel"
export XDG_RUNTIME_DIR="$work/xdg" && mkdir -m 700 "$XDG_RUNTIME_DIR" && chown nobody "$XDG_RUNTIME_DIR"
export HOME="$work/home" && mkdir -p "$HOME" && chown nobody "$HOME"
e2e_display

start_as_nobody() {
    local dir=$1 log=$2
    ( cd "$dir" && exec unshare -m sh -c '
        mount --make-rprivate / &&
        mount --bind "$1" /sys/class/power_supply &&
        exec setpriv --reuid=nobody --regid=nogroup --clear-groups "$2"' sh "$tree" "$work/korvel" ) >"$log" 2>&1 &
    E2E_PID=$!
}

boxes() { grep -c 'Varnholt Pellomir:' "$1" || true; }

wait_boxes() {
    for _ in $(seq 1 100); do
        [ "$(boxes "$1")" -ge "$2" ] && return 0
        sleep 0.1
    done
    echo "expected $2 boxes in $1:"; cat "$1"; return 1
}

run_case() {
    local name=$1 dir=$2
    echo "== $name"
    local before
    before=$(sha256sum < "$dir/bat.mdb")
    start_as_nobody "$dir" "$work/$name.log"
    # Start-up boxes, if any, come before the window; each is answered.
    local win=""
    for _ in $(seq 1 100); do
        win=$(xdotool search --onlyvisible --name '^Varnholt Sarnivo$' 2>/dev/null | head -n 1) && [ -n "$win" ] && break
        if [ "$(boxes "$work/$name.log")" -gt "${answered:-0}" ]; then
            sleep 0.3; xdotool key Return; answered=$(( ${answered:-0} + 1 ))
        fi
        sleep 0.1
    done
    [ -n "$win" ] || { echo "no window"; cat "$work/$name.log"; exit 1; }
    local startup
    startup=$(boxes "$work/$name.log")
    xdotool windowactivate --sync "$win" 2>/dev/null || true
    xdotool key Tab Tab space
    wait_boxes "$work/$name.log" $((startup + 1))
    import -window root "$artifacts/readonly-$name.png"
    sleep 0.3
    xdotool key Return
    echo 28000000 > "$tree/BAT0/energy_now"
    wait_boxes "$work/$name.log" $((startup + 2))
    sleep 0.3
    xdotool key Return
    kill -0 "$E2E_PID" || { echo "korvel ended"; cat "$work/$name.log"; exit 1; }
    kill -TERM "$(pgrep -n -f "^$work/korvel\$")"
    wait "$E2E_PID" || true
    E2E_PID=
    echo 29640000 > "$tree/BAT0/energy_now"
    answered=0
    cat "$work/$name.log"
    [ "$(sha256sum < "$dir/bat.mdb")" = "$before" ] || { echo "bat.mdb changed"; exit 1; }
    # The first message says the file is read-only: the provider's own when the folder is read-only too
    # (the database can't open for writing), the table object's when only the file is.
    grep -m1 'Varnholt Pellomir:' "$work/$name.log" | grep -q -- "$3" ||
        { echo "the first message doesn't say [$3]"; exit 1; }
}

mkdir "$work/folder-ro"
sqlite3 "$work/folder-ro/bat.mdb" < "$source/schema/testdata.sql" >/dev/null
chmod 444 "$work/folder-ro/bat.mdb" && chmod 555 "$work/folder-ro"
run_case folder-ro "$work/folder-ro" 'is read-only, so nothing can be written to it. Make the file'

mkdir "$work/file-ro"
sqlite3 "$work/file-ro/bat.mdb" < "$source/schema/testdata.sql" >/dev/null
chmod 444 "$work/file-ro/bat.mdb" && chown nobody "$work/file-ro"
run_case file-ro "$work/file-ro" 'Tdata: Cannot modify a read-only dataset\.'
echo "read-only cases passed"
