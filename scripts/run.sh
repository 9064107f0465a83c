#!/usr/bin/env bash
# Starts the power monitor, or says in one line why it cannot show its window.
#   run.sh PROGRAM [ARGS...]
set -euo pipefail

program=$1
shift

# Without a display Qt would end in its platform-plugin error. (The program
# itself refuses Qt's VNC platform.)
if [ -z "${QT_QPA_PLATFORM:-}" ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "powermonitor: no display found; run it from a desktop session, over 'ssh -X', or under 'xvfb-run make run'." >&2
    exit 1
fi
exec "$program" "$@"
