#!/usr/bin/env bash
# The maker's library as a drop-in, end to end:
#  1. build the stand-in on its own, as the maker's binary would arrive, and
#     build the program against it with -DBOARDCONTROL_LIBRARY;
#  2. run that program under Xvfb and close it;
#  3. install the default build, then swap the library file next to the
#     installed program, and put another one on the library path, and see the
#     program load each without being rebuilt.
#   dropin_test.sh SOURCE_DIR BUILD_DIR WORK_DIR QT_MAJOR E2E_SCRIPT E2E_TOOLS TRACING_LIBRARY
set -euo pipefail

source_dir=$1 build_dir=$2 work=$3 qt=$4 e2e=$5 tools=$6 tracing=$7
lib=libOrvane_boardcontrol_api.so

rm -rf "$work"
mkdir -p "$work"

echo "--- the maker's library, built apart"
cmake -S "$source_dir/board/standin" -B "$work/maker-build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/maker-build" >/dev/null
cmake --install "$work/maker-build" --prefix "$work/maker" >/dev/null
maker_lib=$(find "$work/maker" -name "$lib" | head -n 1)
[ -f "$maker_lib" ] || { echo "FAIL: no $lib installed from the stand-in build" >&2; exit 1; }

echo "--- the program against it"
cmake -S "$source_dir" -B "$work/app" -DPOWERMONITOR_QT="$qt" -DBUILD_TESTING=OFF \
    -DBOARDCONTROL_LIBRARY="$maker_lib" -DBOARDCONTROL_INCLUDE_DIR="$work/maker/include" >/dev/null
cmake --build "$work/app" --target powermonitor --parallel 2 >/dev/null
needed=$(readelf -d "$work/app/powermonitor" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
if ! grep -qx "$lib" <<<"$needed"; then
    echo "FAIL: the program does not ask for $lib by name; it needs: $needed" >&2
    exit 1
fi
resolved=$(ldd "$work/app/powermonitor" | sed -n "s/.*$lib => \([^ ]*\).*/\1/p")
if [ "$(readlink -f "$resolved")" != "$(readlink -f "$maker_lib")" ]; then
    echo "FAIL: the program loads '$resolved', not the maker's $maker_lib" >&2
    exit 1
fi
"$e2e" "$work/app/powermonitor" "$tools"
# Built against the maker's library, there is no simulated board to package.
(cd "$work/app" && cpack -G DEB >/dev/null 2>&1)
debs=$(cd "$work/app" && ls -- *.deb)
[ "$debs" = "$(ls "$work/app" | grep -x 'powermonitor_.*\.deb')" ] && [ "$(wc -l <<<"$debs")" -eq 1 ] ||
    { echo "FAIL: built against the maker's library, cpack made: $debs" >&2; exit 1; }
echo "packaged: $debs"

echo "--- the installed program, its library swapped"
cmake --install "$build_dir" --prefix "$work/installed" >/dev/null
installed_lib=$(find "$work/installed" -name "$lib" | head -n 1)
[ -f "$installed_lib" ] || { echo "FAIL: the install has no $lib" >&2; exit 1; }
export TRACING_BOARD_FILE=$work/trace

"$e2e" "$work/installed/bin/powermonitor" "$tools"
[ ! -e "$TRACING_BOARD_FILE" ] || { echo "FAIL: the stand-in install already loads the tracing library" >&2; exit 1; }

cp "$installed_lib" "$work/standin.so"
cp "$tracing" "$installed_lib"
"$e2e" "$work/installed/bin/powermonitor" "$tools"
if ! grep -qx bctrl_init "$TRACING_BOARD_FILE" || [ "$(tail -n 1 "$TRACING_BOARD_FILE")" != "bctrl_deinit 7ace0001" ]; then
    echo "FAIL: the library file next to the program was replaced, yet not used" >&2
    exit 1
fi

cp "$work/standin.so" "$installed_lib"
rm -f "$TRACING_BOARD_FILE"
mkdir -p "$work/on-library-path"
cp "$tracing" "$work/on-library-path/$lib"
LD_LIBRARY_PATH="$work/on-library-path" "$e2e" "$work/installed/bin/powermonitor" "$tools"
grep -qx bctrl_init "$TRACING_BOARD_FILE" || {
    echo "FAIL: a library on LD_LIBRARY_PATH was not used" >&2
    exit 1
}
echo "PASS: built against the maker's library; swapped libraries load without a rebuild"
