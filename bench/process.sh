#!/usr/bin/env bash
# Whole-process cost of korvel while a test runs and the percentage stays the same, beside the
# smallest sampler that does the same reads at the same rate, both measured over the same seconds.
#
#   bench/process.sh [--seconds N] <korvel> <korvel-bench-sampler> <source dir>
#
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
. "$source/tests/e2e/lib.sh"
e2e_setup "$source" "${TMPDIR:-/tmp}"
trap 'kill "${SAMPLER_PID:-}" 2>/dev/null; e2e_cleanup; rm -rf "$work"' EXIT
sqlite3 "$work/bat.mdb" < "$source/schema/testdata.sql" >/dev/null
db="$work/bat.mdb"

e2e_start "$korvel" "$tree" "$work" "$work/korvel.log"
( exec unshare -m sh -c '
    mount --make-rprivate / &&
    mount --bind "$1" /sys/class/power_supply &&
    exec "$2" /sys/class/power_supply 0' sh "$tree" "$sampler" ) >"$work/sampler.log" 2>&1 &
SAMPLER_PID=$!

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

read -r k_t0 k_ns0 k_all0 k_main0 < <(cpu "$E2E_PID")
read -r s_t0 s_ns0 s_all0 s_main0 < <(cpu "$SAMPLER_PID")
start=$(date +%s.%N)
sleep "$seconds"
read -r k_t1 k_ns1 k_all1 k_main1 < <(cpu "$E2E_PID")
read -r s_t1 s_ns1 s_all1 s_main1 < <(cpu "$SAMPLER_PID")
end=$(date +%s.%N)

rows=$(sqlite3 "$db" "select count(*) from testdata")
[ "$rows" = 1 ] || { echo "expected 1 row while the percentage stays the same, found $rows" >&2; exit 1; }
threads=$(ls "/proc/$E2E_PID/task" | wc -l)
hz=$(getconf CLK_TCK)

awk -v k_t=$((k_t1 - k_t0)) -v k_ns=$((k_ns1 - k_ns0)) -v k_all=$((k_all1 - k_all0)) -v k_main=$((k_main1 - k_main0)) \
    -v s_t=$((s_t1 - s_t0)) -v s_ns=$((s_ns1 - s_ns0)) -v s_all=$((s_all1 - s_all0)) -v s_main=$((s_main1 - s_main0)) \
    -v start="$start" -v end="$end" -v hz="$hz" -v threads="$threads" -v short=$([ "$seconds" -lt 60 ] && echo 1 || echo 0) '
BEGIN {
    secs = end - start
    printf "Measured over %.1f s (korvel: %d threads)\n", secs, threads
    printf "%-10s %14s %16s %12s %18s %18s\n", "process", "cpu ms (ns)", "utime+stime ms", "cpu ms / s", "vol. switches/s", "main thread sw/s"
    printf "%-10s %14.1f %16.0f %12.3f %18.2f %18.2f\n", "korvel", k_ns / 1e6, k_t * 1000 / hz, k_ns / 1e6 / secs, k_all / secs, k_main / secs
    printf "%-10s %14.1f %16.0f %12.3f %18.2f %18.2f\n", "sampler", s_ns / 1e6, s_t * 1000 / hz, s_ns / 1e6 / secs, s_all / secs, s_main / secs
    ratio = s_ns > 0 ? k_ns / s_ns : 0
    printf "4. cpu korvel / sampler            %8.2f  (target <= 2.0)  %s\n", ratio, ratio <= 2 ? "PASS" : "MISS"
    printf "4. korvel voluntary switches / s   %8.2f  (target <= 10)   %s\n", k_all / secs, k_all / secs <= 10 ? "PASS" : "MISS"
    if (short)
        print "(a short run: the figures are indicative only; run with the default 60 s for the README)"
}'
