#!/usr/bin/env bash
# Makes a private 32-bit Wine prefix for the tool, once, and reuses it:
#   wine-prefix.sh DIR
# The prefix draws no windows (graphics driver "null": message boxes are
# still real windows, without an X server), has no Mono or Gecko, and runs
# under a Japanese locale so that Wine's ANSI code page is 932, and reports
# itself as Windows NT 4.0 (4.0.1381), the tool's own system. A relay
# trace (WINEDEBUG=+relay) there shows only the tool's calls to MessageBoxA
# and ExitWindowsEx, with their arguments.
set -euo pipefail

prefix=$(realpath -m "$1")
here=$(cd "$(dirname "$0")" && pwd)
bash "$here/install-deps.sh" wine

if ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; then
    echo "Generating the ja_JP.UTF-8 locale"
    localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi

# Bumped whenever the prefix's settings below change.
version=3
[ "$(cat "$prefix/.ready" 2>/dev/null)" = "$version" ] && exit 0

echo "Making the Wine prefix $prefix"
rm -rf "$prefix"
mkdir -p "$prefix"
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
unset DISPLAY WAYLAND_DISPLAY
wineboot --init </dev/null >/dev/null 2>&1
wine winecfg -v nt40 </dev/null >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /d 'user32.MessageBoxA;user32.ExitWindowsEx' \
    /f </dev/null >/dev/null 2>&1
wineserver --wait
echo "$version" >"$prefix/.ready"
