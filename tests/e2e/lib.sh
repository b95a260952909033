# Shared steps of the end-to-end tests: a virtual display with a window manager, a stand-in
# power-supply tree bind-mounted over /sys/class/power_supply in a private mount namespace, and
# helpers to read the log file.

e2e_skip() { echo "SKIP: $*"; exit 77; }

e2e_require() {
    [ "$(id -u)" -eq 0 ] || e2e_skip "needs root for a private mount namespace"
    for tool in Xvfb xdotool unshare sqlite3 import openbox; do
        command -v "$tool" >/dev/null || e2e_skip "$tool is not installed"
    done
}

# e2e_display: starts Xvfb and openbox on a free display number; sets DISPLAY.
e2e_display() {
    local n
    for n in $(seq 90 140); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        E2E_XVFB=$!
        export DISPLAY=":$n"
        for _ in $(seq 1 50); do
            xdpyinfo >/dev/null 2>&1 && break
            sleep 0.1
        done
        openbox >/dev/null 2>&1 &
        E2E_WM=$!
        sleep 0.5
        return 0
    done
    echo "no free display" >&2
    return 1
}

# e2e_tree <fixture> <dest>: copies a fixture power-supply tree.
e2e_tree() {
    mkdir -p "$2"
    cp -r "$1"/. "$2"/
}

# e2e_put <file> <value>: rewrites a value file in place with one write, as the kernel's sysfs files
# change: "echo >" would truncate first and let a tick read an empty file. The new value must be as long
# as the old one.
e2e_put() {
    printf '%s\n' "$2" 1<> "$1"
}

# e2e_start <korvel> <tree> <workdir> <logfile>: starts korvel in workdir with the tree over
# /sys/class/power_supply; sets E2E_PID.
e2e_start() {
    local korvel=$1 tree=$2 work=$3 log=$4
    ( cd "$work" && exec unshare -m sh -c '
        mount --make-rprivate / &&
        mount --bind "$1" /sys/class/power_supply &&
        exec "$2"' sh "$tree" "$korvel" ) >"$log" 2>&1 &
    E2E_PID=$!
}

# e2e_window: waits for the main window and prints its id.
e2e_window() {
    local id=""
    for _ in $(seq 1 100); do
        id=$(xdotool search --onlyvisible --name '^Varnholt Sarnivo$' 2>/dev/null | head -n 1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}

# e2e_wait_rows <db> <sql> <expected> : waits up to 10 s for a query to give the expected text.
e2e_wait_rows() {
    local got=""
    for _ in $(seq 1 100); do
        got=$(sqlite3 "$1" "$2" 2>/dev/null)
        [ "$got" = "$3" ] && return 0
        sleep 0.1
    done
    echo "expected [$3] from [$2], got [$got]" >&2
    return 1
}

e2e_cleanup() {
    local pid
    for pid in "${E2E_PID:-}" "${E2E_WM:-}" "${E2E_XVFB:-}"; do
        [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    return 0
}

# e2e_setup <source> <artifacts>: checks the tools, makes a work folder (removed at exit) with a copy of
# the laptop-discharging tree in $tree, and starts the display. Sets work, tree and XDG_RUNTIME_DIR.
e2e_setup() {
    e2e_require
    work=$(mktemp -d)
    export XDG_RUNTIME_DIR="$work/xdg"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    trap 'e2e_cleanup; rm -rf "$work" || true' EXIT
    mkdir -p "$2"
    tree="$work/power_supply"
    e2e_tree "$1/tests/data/power-supply/laptop-discharging" "$tree"
    e2e_display
}

# e2e_wait_lines <log> <pattern> <n>: waits up to 10 s until the log holds n lines matching a pattern.
e2e_wait_lines() {
    for _ in $(seq 1 100); do
        [ "$(grep -c -- "$2" "$1" || true)" -ge "$3" ] && return 0
        sleep 0.1
    done
    echo "expected $3 lines with [$2] in $1:" >&2
    cat "$1" >&2
    return 1
}

# e2e_wait_exit <pid>: waits up to 10 s for the program to end; sets E2E_CODE to its exit code.
e2e_wait_exit() {
    local pid=$1
    for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    set +e
    wait "$pid"
    E2E_CODE=$?
    set -e
    E2E_PID=
}
