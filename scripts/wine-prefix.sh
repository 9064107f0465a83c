#!/usr/bin/env bash
# Makes a Wine prefix once, for the Windows build's tests and checks, and waits
# until Wine has written it. Safe to call from tests that run in parallel.
#   wine-prefix.sh PREFIX [QT_QPA_PLATFORM]
# WINE_WINDOWS_VERSION (win7, win10, ...) sets the Windows version the prefix
# reports; Wine's default here is Windows 7.
# Wine does not hand QT_* variables from the shell to Windows programs, so a
# platform plugin for every Qt program in the prefix goes into its registry.
set -euo pipefail

prefix=$1 platform=${2:-}
ready=$prefix/.powermonitor-ready

[ -f "$ready" ] && exit 0
command -v wine >/dev/null || { echo "wine-prefix.sh: wine not found. $(cat "$(dirname "$0")/install-hint.txt")" >&2; exit 1; }
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$ready" ] && exit 0

export WINEPREFIX=$prefix WINEDEBUG=-all
# Debian's wine starts everything through 32-bit Wine once that is installed.
# 64-bit Wine makes the same prefix, its 32-bit half included, a second sooner
# where 32-bit Wine runs under emulation (16 s against 17 s); a 32-bit prefix
# (WINEARCH=win32) only 32-bit Wine can make.
wine=/usr/lib/wine/wine64
[ "${WINEARCH:-}" = win32 ] && wine=wine
# Runs Wine quietly, saying what it said where it fails. A start that lost the
# Wine server as that server quit after the command before ("wine client
# error: ... Connection reset by peer") is made once more.
quietly() {
    local said status
    for _ in first again; do
        status=0
        said=$("$wine" "$@" 2>&1) || status=$?
        [ "$status" != 0 ] && grep -q '^wine client error:' <<<"$said" || break
        wineserver -w
    done
    [ "$status" = 0 ] || echo "wine-prefix.sh: wine $* exited with $status: $said" >&2
    return "$status"
}
# No Mono and no Gecko: nothing here needs them, and Wine would offer to download them.
WINEDLLOVERRIDES="mscoree,mshtml=" quietly wineboot.exe --init
# Nor Wine's menu builder, which would copy the installer's Start-menu entries
# into the desktop menus of the user running the tests.
quietly reg add 'HKCU\Software\Wine\DllOverrides' /v winemenubuilder.exe /d '' /f
# Windows' UI font: Qt's Windows font database takes only fonts registered in
# the prefix, so without this the window is drawn in a serif fallback that no
# Windows uses (and with other column widths). Wine's own Tahoma stands in.
fonts=/usr/share/wine/fonts
[ -f "$fonts/tahoma.ttf" ] || { echo "wine-prefix.sh: no $fonts/tahoma.ttf: install fonts-wine. $(cat "$(dirname "$0")/install-hint.txt")" >&2; exit 1; }
cp "$fonts/tahoma.ttf" "$fonts/tahomabd.ttf" "$prefix/drive_c/windows/Fonts/"
quietly reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts' /v 'Tahoma (TrueType)' /d tahoma.ttf /f
quietly reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts' /v 'Tahoma Bold (TrueType)' /d tahomabd.ttf /f
if [ -n "${WINE_WINDOWS_VERSION:-}" ]; then
    quietly winecfg -v "$WINE_WINDOWS_VERSION"
fi
if [ -n "$platform" ]; then
    quietly reg add 'HKCU\Environment' /v QT_QPA_PLATFORM /d "$platform" /f
fi
wineserver -w
touch "$ready"
