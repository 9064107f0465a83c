#!/usr/bin/env bash
# Starts the power monitor, or says in one line why it cannot show its window.
#   run.sh PROGRAM [ARGS...]
set -euo pipefail

program=$1
shift

# Without a display Qt would end in its platform-plugin error. The window
# switches the board's supplies, so it is never served over the network (no VNC).
if [ -z "${QT_QPA_PLATFORM:-}" ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "powermonitor: no display found; run it from a desktop session, over 'ssh -X', or under 'xvfb-run make run'." >&2
    exit 1
fi
case "${QT_QPA_PLATFORM:-}" in
    vnc*) echo "powermonitor: refusing QT_QPA_PLATFORM=$QT_QPA_PLATFORM: it would serve the window without authentication on every network interface." >&2
          exit 1 ;;
esac
exec "$program" "$@"
