#!/usr/bin/env bash
# Installs what the named presets need on a Debian 12 machine, idempotently,
# and nothing more. Every preset: compilers, CMake, test and benchmark
# libraries, clang with libFuzzer, Valgrind, tmux, and the tools that build and
# run the callers' examples (Mono, Free Pascal, Python's wheel tools). The
# linux preset also: the Debian packaging tools, lintian and mmdebstrap. The
# Windows presets also: MinGW-w64 for both targets (headers, import libraries,
# GCC's C++ library for the tests), clang 19 and LLD 19 that build them, LLVM's dlltool and linker
# for the import library Microsoft's linker reads, Wine for both word sizes
# with the i386 architecture, and a way for this kernel to run 32-bit programs.
# usage: scripts/setup.sh [preset...]      (default: every preset)
set -euo pipefail

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

presets=("$@")
[ "${#presets[@]}" -gt 0 ] || presets=(linux win64)
windows=0
packages=0
for p in "${presets[@]}"; do
    case "$p" in
        win32|win64) windows=1;;
        linux|package) packages=1;;
        linux-asan|linux-tsan|fuzz|bench) ;;
        *) echo "setup: unknown preset $p" >&2; exit 2;;
    esac
done

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep "install ok installed" >/dev/null; }

want=(cmake ninja-build g++ python3 tmux valgrind googletest libgtest-dev libbenchmark-dev clang libclang-rt-14-dev
      pkg-config mono-mcs mono-runtime fp-compiler python3-build python3-setuptools python3-wheel python3-venv)
if [ "$packages" = 1 ]; then
    # cpack's Debian packages (dpkg-shlibdeps, file), their check, and the
    # clean Debian root they are installed into.
    want+=(dpkg-dev file lintian mmdebstrap)
fi
if [ "$windows" = 1 ]; then
    want+=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
           wine wine64 wine32:i386 qemu-user-static llvm lld unzip clang-19 lld-19 llvm-19)
fi

if [ "$windows" = 1 ] && ! dpkg --print-foreign-architectures | grep -x i386 >/dev/null; then
    echo "setup: adding the i386 architecture, for 32-bit Wine"
    $SUDO dpkg --add-architecture i386
    updated_arch=1
fi
for p in "${want[@]}"; do have "$p" || need+=("$p"); done
if [ "${#need[@]}" -gt 0 ] || [ -n "${updated_arch:-}" ]; then
    echo "setup: installing ${#need[@]} packages: ${need[*]}"
    if [ "$windows" = 1 ]; then
        echo "setup: this takes about 5 to 10 minutes on a new machine (Wine and MinGW-w64 are large)"
    else
        echo "setup: this takes about 2 to 4 minutes on a new machine"
    fi
    echo "setup: reading the package index"
    # A mirror caught mid-sync serves an index of the wrong size; a later try
    # usually gets a whole one.
    for try in 1 2 3; do
        $SUDO apt-get update -qq && break
        echo "setup: package index incomplete (try $try of 3)" >&2
        sleep 10
    done
    install() { DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "$@" "${need[@]}" >/dev/null; }
    if ! install; then
        # 32-bit and 64-bit copies of a library must be of one version. When
        # one architecture's index of a suite is missing, that cannot be met
        # with the suite; the main suites alone still give a matching pair.
        echo "setup: installing from the main suites alone, as the indexes do not match" >&2
        only_main=$(mktemp -d)
        for f in /etc/apt/sources.list.d/*.sources; do
            [ -e "$f" ] && awk 'BEGIN { RS = ""; ORS = "\n\n" } !/-security/' "$f" >"$only_main/${f##*/}"
        done
        [ -e /etc/apt/sources.list ] && grep -v -- '-security' /etc/apt/sources.list >"$only_main/main.list" || true
        install -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$only_main"
        rm -rf "$only_main"
    fi
fi

[ "${#need[@]}" -eq 0 ] || echo "setup: packages installed"

# 32-bit Wine needs the kernel to run 32-bit ELF programs. Where it cannot
# natively, register qemu-i386 with binfmt_misc.
runs_ia32() { case "$(/lib/ld-linux.so.2 --version 2>/dev/null | head -1)" in ld.so*) return 0;; esac; return 1; }
if [ "$windows" = 1 ] && ! runs_ia32; then
    bm=/proc/sys/fs/binfmt_misc
    mountpoint -q "$bm" || $SUDO mount -t binfmt_misc binfmt_misc "$bm" || true
    if [ -e "$bm/qemu-i386" ]; then
        echo 1 | $SUDO tee "$bm/qemu-i386" >/dev/null || true
    elif [ -w "$bm/register" ] || [ -n "$SUDO" ]; then
        printf '%s\n' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
            | $SUDO tee "$bm/register" >/dev/null || true
    fi
    runs_ia32 && echo "setup: 32-bit programs run through qemu-i386" \
              || echo "setup: warning: this machine cannot run 32-bit programs; win32 tests will be skipped" >&2
fi
