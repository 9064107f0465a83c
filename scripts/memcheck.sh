#!/usr/bin/env bash
# Runs the poll and controls tests under valgrind memcheck and fails on any
# memory error, or definite leak, whose stack reaches the project's own code.
# What Qt and the system libraries do on their own is reported as a count only.
#   memcheck.sh BUILD_DIR
set -euo pipefail

build=$1
source_dir=$(cd "$(dirname "$0")/.." && pwd)
out=$build/memcheck
mkdir -p "$out"
command -v valgrind >/dev/null || { echo "memcheck.sh: valgrind not found (Debian: valgrind)" >&2; exit 1; }
command -v python3 >/dev/null || { echo "memcheck.sh: python3 not found" >&2; exit 1; }

status=0
for test in tst_poll tst_controls; do
    binary=$build/tests/$test
    [ -x "$binary" ] || { echo "memcheck.sh: $binary is not built" >&2; exit 1; }
    echo "--- $test under memcheck"
    QT_QPA_PLATFORM=offscreen valgrind --tool=memcheck --leak-check=full --track-origins=yes \
        --num-callers=40 --xml=yes --xml-file="$out/$test.xml" "$binary" >"$out/$test.log" 2>&1 || {
        echo "FAIL: $test itself failed under valgrind; see $out/$test.log" >&2
        status=1
        continue
    }
    python3 - "$out/$test.xml" "$source_dir" <<'PY' || status=1
import sys
import xml.etree.ElementTree as ET

xml_file, source_dir = sys.argv[1], sys.argv[2].rstrip("/") + "/"
ours, theirs = [], 0
for error in ET.parse(xml_file).getroot().iter("error"):
    kind = error.findtext("kind", "")
    if kind.startswith("Leak_") and kind != "Leak_DefinitelyLost":
        continue
    frames = [f for f in error.iter("frame")]
    def place(f):
        return (f.findtext("dir", "") + "/" + f.findtext("file", "")).replace("//", "/")
    if any(place(f).startswith(source_dir) for f in frames):
        what = error.findtext("what") or error.findtext("xwhat/text") or kind
        top = next(f for f in frames if place(f).startswith(source_dir))
        ours.append(f"{kind}: {what}\n    at {top.findtext('fn')} ({place(top)}:{top.findtext('line')})")
    else:
        theirs += 1
for report in ours:
    print("  " + report)
print(f"  {len(ours)} report(s) reaching the project's code; {theirs} in Qt or system libraries only")
sys.exit(1 if ours else 0)
PY
done
[ "$status" -eq 0 ] && echo "PASS: no memory error or definite leak reaches the project's code"
exit "$status"
