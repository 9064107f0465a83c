#!/usr/bin/env bash
# Prints the calls of a board-call record (BCTRL_TRACE_FILE) as the tracing
# board traces them, "bctrl_enable_modem 7ace0001 1", so that the two can be
# compared: the recorder must pass on every call as it came.
#   recorded_calls.sh RECORD
set -euo pipefail
tr -d '\r' <"$1" | grep -v '^#' |
    awk -F'\t' '{ line = $2; if ($3 != "-") line = line " " $3; if ($4 != "-") line = line " " $4; print line }'
