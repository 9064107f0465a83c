#!/usr/bin/env bash
# Runs the benchmarks and the soak on the offscreen platform and prints one table.
#   run_benchmarks.sh BUILD_DIR [SECONDS] [SOAK_TICKS]
# SECONDS: how long the monitor and the reference window run side by side (30).
set -euo pipefail

build=$1
seconds=${2:-30}
soak_ticks=${3:-1000000}
bench=$build/bench
export QT_QPA_PLATFORM=offscreen
hz=$(getconf CLK_TCK)

value() { awk -v key="$1" '$1 == key { print $2 }'; }

# CPU seconds (user + system) and peak resident KiB of a running process.
cpu_seconds() { awk -v hz="$hz" '{ sub(/^.*\) /, ""); printf "%.3f", ($12 + $13) / hz }' "/proc/$1/stat"; }
peak_kib() { awk '/^VmHWM:/ { print $2 }' "/proc/$1/status"; }

echo "tick cost ..." >&2
tick_us=$("$bench/bench_tick" | value tick_us)

echo "board call and tick on the stand-in, without and with the board-call recorder ..." >&2
plain=$("$bench/bench_boardcall")
recorded=$(BCTRL_TRACE_FILE=$(mktemp) LD_PRELOAD=$build/lib/powermonitor/board-trace/libboardtrace.so \
    "$bench/bench_boardcall" 2>/dev/null)

echo "start-up (median of 5) ..." >&2
startups=()
for _ in 1 2 3 4 5; do
    startups+=("$(BENCH_LAUNCH_NS=$(date +%s%N) "$bench/bench_startup" | value startup_ms)")
done
startup_ms=$(printf '%s\n' "${startups[@]}" | sort -n | sed -n 3p)

echo "monitor and reference window side by side for ${seconds} s ..." >&2
"$build/powermonitor" >/dev/null 2>&1 &
monitor=$!
"$bench/reference_window" >/dev/null 2>&1 &
reference=$!
trap 'kill "$monitor" "$reference" 2>/dev/null || true' EXIT
sleep "$seconds"
monitor_cpu=$(cpu_seconds "$monitor") reference_cpu=$(cpu_seconds "$reference")
monitor_peak=$(peak_kib "$monitor") reference_peak=$(peak_kib "$reference")
kill "$monitor" "$reference"
wait "$monitor" "$reference" 2>/dev/null || true
trap - EXIT

echo "soak, $soak_ticks ticks ..." >&2
soak_status=0
soak=$("$bench/bench_soak" "$soak_ticks") || soak_status=$?

awk -v tick="$tick_us" -v startup="$startup_ms" -v mc="$monitor_cpu" -v rc="$reference_cpu" \
    -v mp="$monitor_peak" -v rp="$reference_peak" -v secs="$seconds" \
    -v settled="$(value soak_rss_settled_kib <<<"$soak")" -v end="$(value soak_rss_end_kib <<<"$soak")" \
    -v call0="$(value call_us <<<"$plain")" -v call1="$(value call_us <<<"$recorded")" \
    -v tick0="$(value tick_us <<<"$plain")" -v tick1="$(value tick_us <<<"$recorded")" \
    -v growth="$(value soak_growth_kib <<<"$soak")" -v ticks="$soak_ticks" -v soaksecs="$(value soak_seconds <<<"$soak")" '
function verdict(ok) { return ok ? "met" : "MISSED" }
BEGIN {
    cpu_ratio = rc > 0 ? mc / rc : 0
    fmt = "| %-44s | %-30s | %-18s | %-6s |\n"
    printf fmt, "measure", "result", "target", ""
    printf fmt, "--------------------------------------------", "------------------------------", "------------------", "------"
    printf fmt, "poll tick incl. repaint (zero-latency board)", sprintf("%.1f us", tick), "<= 50 us", verdict(tick <= 50)
    printf fmt, "board call: stand-in / through the recorder", sprintf("%.2f / %.2f us (+%.2f)", call0, call1, call1 - call0), "<= +20 us", verdict(call1 - call0 <= 20)
    printf fmt, "tick on the stand-in: without / with recorder", sprintf("%.1f / %.1f us", tick0, tick1), "", ""
    printf fmt, "start-up to end of first tick (median of 5)", sprintf("%.1f ms (100 ms is the timer)", startup), "", ""
    printf fmt, sprintf("CPU time over %d s: monitor / reference", secs), sprintf("%.2f s / %.2f s = %.2f", mc, rc, cpu_ratio), "ratio <= 1.5", verdict(cpu_ratio <= 1.5)
    printf fmt, "peak memory: monitor / reference", sprintf("%.1f / %.1f MiB (+%.1f)", mp / 1024, rp / 1024, (mp - rp) / 1024), "<= +8 MiB", verdict(mp - rp <= 8192)
    printf fmt, sprintf("soak: resident memory, 10k -> %d ticks", ticks), sprintf("%.1f -> %.1f MiB (%+d KiB)", settled / 1024, end / 1024, growth), "growth <= 1 MiB", verdict(growth <= 1024)
    printf fmt, "soak: duration", sprintf("%.0f s", soaksecs), "", ""
}'
exit "$soak_status"
