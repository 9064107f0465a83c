#!/usr/bin/env bash
# Reads a tracing board's record of the program's calls (TRACING_BOARD_FILE)
# and fails unless they arrived intact: bctrl_init first, every reading with
# the board's handle (and channel 0), bctrl_deinit with the handle last, and no
# call after bctrl_init with another handle or argument, as a call in the
# wrong convention would shift them on the stack. Prints how many calls.
#   intact_calls.sh TRACE_FILE
set -euo pipefail

fail() { echo "FAIL: $*" >&2; exit 1; }
calls=$(tr -d '\r' <"$1") # written in Windows' text mode
[ "$(head -n 1 <<<"$calls")" = bctrl_init ] || fail "the first call was not bctrl_init: $(head -n 3 <<<"$calls")"
[ "$(tail -n 1 <<<"$calls")" = "bctrl_deinit 7ace0001" ] || fail "the board was closed as: $(tail -n 1 <<<"$calls")"
for reading in version_info canbus_powerstate pgood_states gps_fault_state thermal_trip_state; do
    grep -qx "bctrl_get_$reading 7ace0001" <<<"$calls" || fail "no bctrl_get_$reading with the board's handle"
done
for reading in input_voltage lcd_voltage pcie_voltage display_current cpu_current; do
    grep -qx "bctrl_get_$reading 7ace0001 0" <<<"$calls" || fail "no bctrl_get_$reading on channel 0"
done
wrong=$(sed 1d <<<"$calls" | grep -v -E '^bctrl_[a-z_A-Z]+ 7ace0001( [01])?$' | head -n 3 || true)
[ -z "$wrong" ] || fail "calls arrived garbled: $wrong"
wc -l <<<"$calls"
