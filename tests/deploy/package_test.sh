#!/usr/bin/env bash
# Builds the two .deb packages with CPack, checks what they hold and declare
# and runs Debian's own checks on them, then unpacks them into a folder of
# their own (the machine's package database is never touched) and runs the
# unpacked program: against the unpacked simulated board, which must say so,
# and without any board library, where the loader must name the one missing.
#   package_test.sh BUILD_DIR WORK_DIR E2E_SCRIPT E2E_TOOLS
set -euo pipefail

build_dir=$1 work=$2 e2e=$3 tools=$4
lib=libOrvane_boardcontrol_api.so
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
(cd "$build_dir" && cpack -G DEB -B "$work" >/dev/null)
program=$(find "$work" -maxdepth 1 -name 'powermonitor_*.deb' | head -n 1)
board=$(find "$work" -maxdepth 1 -name 'powermonitor-simulated-board_*.deb' | head -n 1)
[ -f "$program" ] && [ -f "$board" ] || fail "cpack did not make both packages in $work"
echo "built $(basename "$program") and $(basename "$board")"

holds() {
    local deb=$1 contents path
    contents=$(dpkg-deb -c "$deb")
    shift
    for path in "$@"; do
        grep -q " \./$path\$" <<<"$contents" || fail "$(basename "$deb") lacks /$path"
    done
}
holds "$program" usr/bin/powermonitor usr/share/man/man1/powermonitor.1.gz \
    usr/share/applications/org.orvane9.powermonitor.desktop \
    usr/share/metainfo/org.orvane9.powermonitor.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/powermonitor.svg \
    usr/share/doc/powermonitor/copyright usr/share/doc/powermonitor/changelog.gz \
    usr/share/doc/powermonitor/recording.md usr/lib/powermonitor/board-trace/libboardtrace.so
holds "$board" "usr/lib/powermonitor/board/$lib" \
    usr/share/doc/powermonitor-simulated-board/copyright
if dpkg-deb -c "$program" | grep -- "$lib" >/dev/null; then
    fail "the program package carries a board library"
fi

depends=$(dpkg-deb -f "$program" Depends)
grep -q 'libqt[56]widgets' <<<"$depends" || fail "no Qt Widgets in Depends: $depends"
if grep -q simulated <<<"$(dpkg-deb -f "$program" Depends Recommends Pre-Depends)"; then
    fail "the program package pulls in the simulated board"
fi
echo "Depends: $depends"

lintian --fail-on error,warning "$program" "$board"
echo "lintian: no errors, no warnings"

# The dependencies they declare are met here (checked only, nothing installed).
if [ "$(id -u)" -eq 0 ]; then
    dpkg --dry-run -i "$program" "$board" >/dev/null
fi

dpkg-deb -x "$program" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/org.orvane9.powermonitor.desktop"
# appstreamcli passes a file with remarks (infos, pedantic ones); here none is let
# through, but for one: the metainfo names its developer as AppStream 1.0 does
# (<developer>), a tag that the AppStream before 1.0 (Debian 12's 0.16) does not know yet.
metainfo=$work/root/usr/share/metainfo/org.orvane9.powermonitor.metainfo.xml
appstream=$(appstreamcli --version | sed -n 's/^AppStream version: //p')
validation=$(appstreamcli validate --no-net --pedantic "$metainfo" 2>&1) || fail "appstreamcli validate: $validation"
remarks=$(grep -E '^[EWIP]: ' <<<"$validation" || true)
if dpkg --compare-versions "$appstream" lt 1.0; then
    remarks=$(grep -v -E '^I: org\.orvane9\.powermonitor:[0-9]+: unknown-tag developer$' <<<"$remarks" || true)
fi
[ -z "$remarks" ] || fail "appstreamcli $appstream remarks on the metainfo: $validation"
echo "desktop-file-validate and appstreamcli $appstream: valid, no remark"

# Only the program: the loader refuses to start it and names the library.
status=0
QT_QPA_PLATFORM=offscreen "$work/root/usr/bin/powermonitor" 2>"$work/no-board.err" || status=$?
[ "$status" -eq 127 ] && grep -q "$lib" "$work/no-board.err" ||
    fail "without a board library the program gave status $status and said: $(cat "$work/no-board.err")"
echo "program alone: $(cat "$work/no-board.err")"

# With the simulated board: it announces itself and names its file.
dpkg-deb -x "$board" "$work/root"
QT_QPA_PLATFORM=offscreen "$work/root/usr/bin/powermonitor" 2>"$work/simulated.err" &
pid=$!
for _ in $(seq 100); do
    grep -q 'SIMULATED BOARD' "$work/simulated.err" && break
    sleep 0.1
done
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
grep -q "SIMULATED BOARD.*$work/root/usr/lib/powermonitor/board/$lib" "$work/simulated.err" ||
    fail "the simulated board did not name itself: $(cat "$work/simulated.err")"
[ "$(grep -c 'SIMULATED BOARD' "$work/simulated.err")" -eq 1 ] || fail "the simulated board spoke more than once"
echo "with the simulated board: $(cat "$work/simulated.err")"

# Never served over the network, however Qt's VNC platform is asked for: one
# line, a non-zero status, and the board never opened.
for asked in "-platform vnc" "QT_QPA_PLATFORM=VNC" "QT_QPA_PLATFORM=xcb;vnc"; do
    status=0
    case $asked in
        -*) QT_QPA_PLATFORM=offscreen "$work/root/usr/bin/powermonitor" $asked 2>"$work/vnc.err" || status=$? ;;
        *) env "$asked" "$work/root/usr/bin/powermonitor" 2>"$work/vnc.err" || status=$? ;;
    esac
    [ "$status" -eq 2 ] && [ "$(wc -l <"$work/vnc.err")" -eq 1 ] && grep -qF "refusing $asked" "$work/vnc.err" &&
        ! grep -q 'SIMULATED BOARD' "$work/vnc.err" || fail "$asked: status $status, said: $(cat "$work/vnc.err")"
done
echo "asked for VNC three ways: refused each time before the board was opened"

# Recording the board's calls, as the manual page says, into the state folder;
# not in a sanitizer build, whose runtime must come before any preloaded library.
if readelf -d "$work/root/usr/bin/powermonitor" | grep libasan >/dev/null; then
    echo "PASS: both packages pass lintian, and the unpacked program runs on the simulated board (recorder not tried: sanitizer build)"
    exit 0
fi
# Built as Debian builds every package: stack protector, fortified calls,
# PIE, full RELRO (not in a sanitizer build, which replaces libc's calls).
# Control-flow protection (CET) wherever this toolchain gives it to a program:
# the linker keeps its mark only where every object has it, the C runtime's
# too, which neither Debian 12's nor Debian 13's has. Branch protection is
# AArch64's; hardening-check asks for it on every machine since Debian 13.
relaxed=()
checks=$(hardening-check --help 2>&1 || true)
if [ "$(dpkg --print-architecture)" != arm64 ] && grep -e --nobranchprotection <<<"$checks" >/dev/null; then
    relaxed+=(--nobranchprotection)
fi
printf 'int main(void) { return 0; }\n' >"$work/cet.c"
if ! cc -fcf-protection -o "$work/cet" "$work/cet.c" 2>/dev/null ||
    ! hardening-check "${relaxed[@]}" --nopie --nostackprotector --nofortify --norelro --nobindnow \
        "$work/cet" >/dev/null 2>&1; then
    relaxed+=(--nocfprotection)
fi
echo "hardening-check ${relaxed[*]}"
hardened=()
while IFS= read -r binary; do
    hardening-check "${relaxed[@]}" "$binary" >"$work/hardening.txt" ||
        fail "not hardened: $(cat "$work/hardening.txt")"
    hardened+=("${binary#"$work/root"}")
done < <(find "$work/root" -type f \( -perm -u+x -o -name '*.so*' \) -exec sh -c 'file -b "$1" | grep -q ^ELF' _ {} \; -print)
[ ${#hardened[@]} -ge 3 ] || fail "hardening-check found only ${hardened[*]}"
echo "hardening-check passes: ${hardened[*]}"

XDG_STATE_HOME=$work/state LD_PRELOAD=$work/root/usr/lib/powermonitor/board-trace/libboardtrace.so \
    "$e2e" "$work/root/usr/bin/powermonitor" "$tools"
record=$(find "$work/state/powermonitor" -name 'boardtrace-*.tsv' | head -n 1)
[ -n "$record" ] && grep -q -P '^[0-9.]+\tbctrl_deinit\t' "$record" || fail "the packaged recorder left no record"
echo "the packaged recorder wrote ${record#"$work"/}"
echo "PASS: both packages pass lintian, and the unpacked program runs on the simulated board"
