#!/usr/bin/env bash
# End-to-end check on a real X server: start the monitor under Xvfb, wait for its
# window, close it as a window manager does, and expect exit status 0.
#   close_window_test.sh PROGRAM CLOSER
set -euo pipefail

program=$1
closer=$2

if [ -z "${POWERMONITOR_E2E_INNER:-}" ]; then
    command -v xvfb-run >/dev/null || { echo "xvfb-run not found: install the xvfb package" >&2; exit 1; }
    # -nolisten tcp: the test server takes local connections only.
    POWERMONITOR_E2E_INNER=1 exec xvfb-run -a -s "-screen 0 1024x900x24 -nolisten tcp" "$0" "$@"
fi

unset QT_QPA_PLATFORM
export QT_QPA_PLATFORM=xcb
"$program" &
pid=$!

if ! "$closer" "$pid" 30; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    echo "FAIL: the window of $program never appeared" >&2
    exit 1
fi

status=0
wait "$pid" || status=$?
if [ "$status" -ne 0 ]; then
    echo "FAIL: $program exited with status $status after its window was closed" >&2
    exit 1
fi
echo "PASS: window shown, closed by WM_DELETE_WINDOW, exit status 0"
