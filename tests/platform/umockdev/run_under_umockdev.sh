#!/bin/sh
# run_under_umockdev.sh WRAPPER PROGRAM [ARGS...]
# Runs a test program through umockdev-wrapper. The wrapper's preloaded library comes
# before the AddressSanitizer runtime, which ASan accepts only with
# verify_asan_link_order=0; ThreadSanitizer gets the suppressions for umockdev and GLib
# (see tsan.supp). The options already given are kept; a build without the sanitizer
# ignores its variable.
here=$(dirname "$0")
wrapper=$1
shift
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0" \
TSAN_OPTIONS="${TSAN_OPTIONS:+$TSAN_OPTIONS:}suppressions=$here/tsan.supp" \
  exec "$wrapper" "$@"
