#!/usr/bin/env bash
# Makes sure the cached Wine prefix exists (WoW64: runs 64-bit and 32-bit
# programs) and prints its path. The prefix lives outside the build tree so
# later runs reuse it; creating it takes about two minutes.
set -euo pipefail

prefix="${VELMORIN_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/velmorin/wineprefix}"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

if [ ! -f "$prefix/.velmorin-ready" ]; then
    mkdir -p "$(dirname "$prefix")"
    rm -rf "$prefix"
    echo "wine-prefix: creating $prefix (about two minutes)" >&2
    /usr/lib/wine/wine64 wineboot -i </dev/null >/dev/null 2>&1
    # A crash must not start the debugger: it would cost a process start.
    for view in /reg:64 /reg:32; do
        /usr/lib/wine/wine64 reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
            /v Debugger /t REG_SZ /d '' /f "$view" </dev/null >/dev/null 2>&1 || true
    done
    /usr/lib/wine/wineserver -w
    touch "$prefix/.velmorin-ready"
fi
echo "$prefix"
