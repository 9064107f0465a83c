#!/usr/bin/env bash
# Builds the .deb with CPack, checks what it holds and declares, unpacks it and
# runs the unpacked program under Xvfb.
#   package_test.sh BUILD_DIR WORK_DIR E2E_SCRIPT E2E_TOOLS
set -euo pipefail

build_dir=$1 work=$2 e2e=$3 tools=$4

rm -rf "$work"
mkdir -p "$work"
(cd "$build_dir" && cpack -G DEB -B "$work" >/dev/null)
deb=$(find "$work" -maxdepth 1 -name 'powermonitor_*.deb' | head -n 1)
[ -f "$deb" ] || { echo "FAIL: cpack made no .deb in $work" >&2; exit 1; }
echo "built $(basename "$deb")"

contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/powermonitor ./usr/lib/libOrvane_boardcontrol_api.so \
            ./usr/share/applications/powermonitor.desktop; do
    grep -q " $path\$" <<<"$contents" || { echo "FAIL: the package lacks $path" >&2; exit 1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
grep -q 'libqt[56]widgets' <<<"$depends" || { echo "FAIL: no Qt Widgets in Depends: $depends" >&2; exit 1; }
echo "Depends: $depends"

# The dependencies it declares are met here (checked only, nothing installed).
if [ "$(id -u)" -eq 0 ]; then
    dpkg --dry-run -i "$deb" >/dev/null
fi

dpkg-deb -x "$deb" "$work/root"
"$e2e" "$work/root/usr/bin/powermonitor" "$tools"
echo "PASS: the package holds a program that runs"
