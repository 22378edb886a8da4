#!/usr/bin/env bash
# Makes sure the cached clean Debian 12 root exists and prints its path: a
# tarball of a minimal system with a C compiler and pkg-config, in which the
# packaging tests install the Debian packages as a user's machine would. Made
# once with mmdebstrap from the Debian mirror (a few minutes); later runs
# unpack the cached file and need no network.
set -euo pipefail

root="${VELMORIN_DEBIAN_ROOT:-${XDG_CACHE_HOME:-$HOME/.cache}/velmorin/debian12-root.tar}"
mirror="${VELMORIN_DEBIAN_MIRROR:-http://deb.debian.org/debian}"

if [ ! -s "$root" ]; then
    mkdir -p "$(dirname "$root")"
    echo "debian-root: creating $root with mmdebstrap from $mirror (a few minutes)" >&2
    # Written beside the final name and moved there whole, so an interrupted
    # run never leaves a root that looks complete.
    mmdebstrap --quiet --variant=apt --include=gcc,libc6-dev,pkg-config --format=tar \
        bookworm "$root.part" "$mirror" >&2
    mv "$root.part" "$root"
fi
echo "$root"
