#!/usr/bin/env bash
# End-to-end check on a real X server: start the monitor under Xvfb, wait for its
# window and its title, close it as a window manager does, and expect exit
# status 0.
#   close_window_test.sh PROGRAM TOOLS_DIR [SCREENSHOT.png]
# TOOLS_DIR holds x11_window and x11_grab. With a third argument, the window is
# also saved as a picture once the poll has filled in a full cycle of readings.
# POWERMONITOR_E2E_LAUNCHER names a loader that runs PROGRAM in the process it
# was started as (wine, for the Windows build), so the window's pid is the same.
# POWERMONITOR_E2E_SCREEN sets the X screen's size (1024x900 by default). The
# PASS line gives the window's size, WIDTHxHEIGHT. POWERMONITOR_E2E_TITLE and
# POWERMONITOR_E2E_STATUS expect another window, such as a message box, and
# another exit status.
set -euo pipefail

program=$1
tools=$2
screenshot=${3:-}

if [ -z "${POWERMONITOR_E2E_INNER:-}" ]; then
    command -v xvfb-run >/dev/null || { echo "xvfb-run not found: install the xvfb package" >&2; exit 1; }
    # -nolisten tcp: the test server takes local connections only.
    POWERMONITOR_E2E_INNER=1 exec xvfb-run -a -s "-screen 0 ${POWERMONITOR_E2E_SCREEN:-1024x900}x24 -nolisten tcp" \
        "$0" "$@"
fi

export QT_QPA_PLATFORM=xcb
${POWERMONITOR_E2E_LAUNCHER:-} "$program" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

if ! found=$("$tools/x11_window" wait "$pid" 30); then
    echo "FAIL: the window of $program never appeared" >&2
    exit 1
fi
window=$(sed -n 1p <<<"$found")
title=$(sed -n 2p <<<"$found")
expected_title=${POWERMONITOR_E2E_TITLE:-Ardelin Orvane9 power monitor}
expected_status=${POWERMONITOR_E2E_STATUS:-0}
if [ "$title" != "$expected_title" ]; then
    echo "FAIL: the window's title is '$title'" >&2
    exit 1
fi
if [ -n "$screenshot" ]; then
    sleep 1.5 # one poll cycle is a second; the picture should show live readings
    "$tools/x11_grab" "$window" "$screenshot"
    echo "saved $screenshot"
fi
# Its size as shown, after the poll has filled it in.
size=$("$tools/x11_window" wait "$pid" 10 | sed -n 3p)
"$tools/x11_window" close "$pid" 10

status=0
wait "$pid" || status=$?
trap - EXIT
if [ "$status" -ne "$expected_status" ]; then
    echo "FAIL: $program exited with status $status after its window was closed" >&2
    exit 1
fi
echo "PASS: window $window \"$title\" shown at $size, closed by WM_DELETE_WINDOW, exit status $status"
