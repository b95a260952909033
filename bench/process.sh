#!/usr/bin/env bash
# Whole-process cost of korvel while a test runs and the percentage stays the same, beside the
# smallest sampler that does the same reads at the same rate, both measured over the same seconds.
#
#   bench/process.sh [--seconds N] <korvel> <korvel-bench-sampler> <source dir> [korvel-bench-qtsampler]
#
# With the fourth argument a third process runs alongside: a QApplication with no window whose
# 125 ms timer does the sampler's reads, the floor of any Qt program here (shown, no target).
# The window is shown under Xvfb with the laptop-discharging tree bind-mounted over
# /sys/class/power_supply (tests/e2e/lib.sh; needs root). The test is started as a person would: type
# the names, Tab, Tab to Start Test, space. CPU time is read from /proc/<pid>/stat (utime+stime, clock
# ticks) and, to the nanosecond, from /proc/<pid>/task/*/schedstat; voluntary context switches from
# /proc/<pid>/task/*/status (all threads; the main thread's own count is shown too). Reports only:
# the exit code says whether the run worked, never whether a target was met.
set -euo pipefail
seconds=60
if [ "${1:-}" = "--seconds" ]; then
    seconds=$2
    shift 2
fi
korvel=$(realpath "$1") sampler=$(realpath "$2") source=$(realpath "$3")
qtsampler=${4:+$(realpath "$4")}
. "$source/tests/e2e/lib.sh"
e2e_setup "$source" "${TMPDIR:-/tmp}"
trap 'kill ${SAMPLER_PID:-} ${QT_PID:-} 2>/dev/null; e2e_cleanup; rm -rf "$work"' EXIT
sqlite3 "$work/bat.mdb" < "$source/schema/testdata.sql" >/dev/null
db="$work/bat.mdb"

e2e_start "$korvel" "$tree" "$work" "$work/korvel.log"
( exec unshare -m sh -c '
    mount --make-rprivate / &&
    mount --bind "$1" /sys/class/power_supply &&
    exec "$2" /sys/class/power_supply 0' sh "$tree" "$sampler" ) >"$work/sampler.log" 2>&1 &
SAMPLER_PID=$!
if [ -n "$qtsampler" ]; then
    ( exec unshare -m sh -c '
        mount --make-rprivate / &&
        mount --bind "$1" /sys/class/power_supply &&
        exec "$2" /sys/class/power_supply' sh "$tree" "$qtsampler" ) >"$work/qtsampler.log" 2>&1 &
    QT_PID=$!
fi

win=$(e2e_window) || { cat "$work/korvel.log"; exit 1; }
xdotool windowactivate --sync "$win" 2>/dev/null || true
sleep 0.3
xdotool type --delay 20 "BAT0"
xdotool key Tab
xdotool type --delay 20 "idle"
xdotool key Tab space
e2e_wait_rows "$db" "select count(*) from testdata" 1
sleep 1 # the first row's refresh and repaints are done

# cpu <pid>: utime+stime in clock ticks, summed run time of all threads in ns, voluntary context
# switches of all threads, and of the main thread.
cpu() {
    local pid=$1 ticks ns=0 all=0 main t
    ticks=$(sed 's/^.*) //' "/proc/$pid/stat" | awk '{print $12 + $13}')
    for t in /proc/"$pid"/task/*; do
        ns=$((ns + $(cut -d' ' -f1 "$t/schedstat")))
        all=$((all + $(awk '/^voluntary_ctxt_switches/ {print $2}' "$t/status")))
    done
    main=$(awk '/^voluntary_ctxt_switches/ {print $2}' "/proc/$pid/status")
    echo "$ticks $ns $all $main"
}

pids="$E2E_PID $SAMPLER_PID ${QT_PID:-}"
names="korvel sampler qt-floor"
before=$(for p in $pids; do cpu "$p"; done)
start=$(date +%s.%N)
sleep "$seconds"
after=$(for p in $pids; do cpu "$p"; done)
end=$(date +%s.%N)

rows=$(sqlite3 "$db" "select count(*) from testdata")
[ "$rows" = 1 ] || { echo "expected 1 row while the percentage stays the same, found $rows" >&2; exit 1; }
for p in $pids; do
    kill -0 "$p" 2>/dev/null || { echo "process $p ended during the measurement" >&2; exit 1; }
done
threads=$(ls "/proc/$E2E_PID/task" | wc -l)

paste <(echo "$names" | tr ' ' '\n' | head -n "$(echo "$pids" | wc -w)") <(echo "$before") <(echo "$after") |
awk -v start="$start" -v end="$end" -v hz="$(getconf CLK_TCK)" -v threads="$threads" \
    -v short=$([ "$seconds" -lt 60 ] && echo 1 || echo 0) '
{
    name[NR] = $1; ticks[NR] = $6 - $2; ns[NR] = $7 - $3; all[NR] = $8 - $4; main[NR] = $9 - $5
}
END {
    secs = end - start
    printf "Measured over %.1f s (korvel: %d threads)\n", secs, threads
    printf "%-10s %12s %16s %12s %18s %18s\n", "process", "cpu ms", "utime+stime ms", "cpu ms / s", "vol. switches/s", "main thread sw/s"
    for (i = 1; i <= NR; ++i)
        printf "%-10s %12.1f %16.0f %12.3f %18.2f %18.2f\n", name[i], ns[i] / 1e6, ticks[i] * 1000 / hz, ns[i] / 1e6 / secs, all[i] / secs, main[i] / secs
    ratio = ns[2] > 0 ? ns[1] / ns[2] : 0
    printf "4. cpu korvel / sampler            %8.2f  (target <= 2.0)  %s\n", ratio, ratio <= 2 ? "PASS" : "MISS"
    printf "4. korvel voluntary switches / s   %8.2f  (target <= 10)   %s\n", all[1] / secs, all[1] / secs <= 10 ? "PASS" : "MISS"
    if (NR >= 3 && ns[2] > 0 && ns[3] > 0) {
        printf "   qt-floor / sampler              %8.2f  (no target)\n", ns[3] / ns[2]
        printf "   korvel / qt-floor               %8.2f  (no target)\n", ns[1] / ns[3]
    }
    if (short)
        print "(a short run: the figures are indicative only; run with the default 60 s for the README)"
}'
