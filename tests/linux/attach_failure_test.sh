#!/usr/bin/env bash
# A program that imports VELMORIN does not start when the library's attach
# fails: the program asks the stand-in, before the library's attach, to leave
# no thread-local index for it.
# usage: attach_failure_test.sh PROGRAM
set -u
out=$("$1" --no-thread-slots 2>&1); rc=$?
fail=0
[ "$rc" -ne 0 ] || { echo "FAIL: exit status 0"; fail=1; }
case "$out" in *"failed to initialise"*) ;; *) echo "FAIL: no message: $out"; fail=1;; esac
case "$out" in *"program code ran"*) echo "FAIL: the program's own code ran"; fail=1;; esac
normal=$("$1" 2>&1); 
case "$normal" in *"program code ran"*) ;; *) echo "FAIL: without the limit the program did not run: $normal"; fail=1;; esac
[ "$fail" = 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit "$fail"
