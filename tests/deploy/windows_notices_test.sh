#!/usr/bin/env bash
# The notices of the code inside the Windows folder's Qt are the ones
# scripts/qt-notices.py writes from Qt's source, as ../shared/toolchains/sources
# holds it, for the Qt this build uses. Skipped (77) without that source.
#   windows_notices_test.sh x64|x86 QT_DIR WORK_DIR
set -euo pipefail
arch=$1 qt=$2 work=$3
project=$(cd "$(dirname "$0")/../.." && pwd)
sources=${QT_WINDOWS_SOURCES:-$project/../shared/toolchains/sources}
if [ ! -d "$sources" ]; then
    echo "SKIP: no Debian source of the Qts in $sources"
    exit 77
fi
rm -rf "$work"
"$project/scripts/qt-notices.py" "$arch" "$qt" "$sources" "$work"
committed=$project/packaging/windows/third-party/$arch
if ! diff -r "$committed" "$work"; then
    echo "FAIL: $committed is not what Qt's source says; write it again with" >&2
    echo "  scripts/qt-notices.py $arch $qt $sources $committed" >&2
    exit 1
fi
echo "the notices in $committed are the ones Qt's source gives ($(ls "$work/licenses" | wc -l) licence texts)"
