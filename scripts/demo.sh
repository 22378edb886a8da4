#!/usr/bin/env bash
# Sets up what is missing, builds, and runs the demo in this terminal:
# natively by default, or the Windows build under Wine.
# usage: scripts/demo.sh [linux|win64|win32]
set -euo pipefail
cd "$(dirname "$0")/.."

preset="${1:-linux}"
case "$preset" in
    linux|win64|win32) ;;
    *) echo "usage: $0 [linux|win64|win32]" >&2; exit 2;;
esac

bash scripts/setup.sh "$preset" >&2
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target demo >&2

out="build/$preset/out"
case "$preset" in
    linux) exec "$out/demo";;
    win64) WINEPREFIX="$(bash scripts/wine-prefix.sh)" WINEDEBUG=-all exec /usr/lib/wine/wine64 "$out/demo.exe";;
    win32) WINEPREFIX="$(bash scripts/wine-prefix.sh)" WINEDEBUG=-all exec /usr/lib/wine/wine "$out/demo.exe";;
esac
