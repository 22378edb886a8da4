#!/usr/bin/env bash
# Sets up what is missing, builds the three targets and runs every test:
# natively for linux (and its sanitizer and fuzz builds), under Wine (inside a
# pseudo-terminal) for win64 and win32.
# usage: scripts/test.sh [preset...]      (default: linux linux-asan linux-tsan fuzz win64 win32)
set -euo pipefail
cd "$(dirname "$0")/.."

presets=("$@")
[ "${#presets[@]}" -gt 0 ] || presets=(linux linux-asan linux-tsan fuzz win64 win32)

bash scripts/setup.sh "${presets[@]}"

uses_wine=0
for p in "${presets[@]}"; do case "$p" in win*) uses_wine=1;; esac; done
if [ "$uses_wine" = 1 ]; then
    WINEPREFIX="$(bash scripts/wine-prefix.sh)"
    export WINEPREFIX WINEDEBUG=-all
    # One wineserver for the whole run saves a server start per program. A
    # server that is already running is used as it is, and left running.
    if /usr/lib/wine/wineserver -p 2>/dev/null; then
        trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
    fi
    # The first Wine program starts Wine's own services, which live on with
    # the server and keep whatever output they were given open. Started by a
    # test, they would hold CTest's output pipe and CTest would wait for it to
    # close until the test timed out; started here, they hold /dev/null.
    /usr/lib/wine/wine64 wineboot </dev/null >/dev/null 2>&1 || true
fi

failed=()
for p in "${presets[@]}"; do
    echo "=== $p: configure and build"
    cmake --preset "$p" >/dev/null
    cmake --build --preset "$p"
    echo "=== $p: test"
    start=$(date +%s)
    ctest --preset "$p" || failed+=("$p")
    echo "=== $p: tests took $(( $(date +%s) - start )) s"
done

if [ "${#failed[@]}" -gt 0 ]; then
    echo "FAILED presets: ${failed[*]}"
    exit 1
fi
echo "all presets passed: ${presets[*]}"
