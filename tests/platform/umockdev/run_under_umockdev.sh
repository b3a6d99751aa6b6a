#!/bin/sh
# run_under_umockdev.sh WRAPPER PROGRAM [ARGS...]
# Runs a test program through umockdev-wrapper. The wrapper's preloaded library comes
# before the AddressSanitizer runtime, which ASan accepts only with
# verify_asan_link_order=0; the options already given are kept. Without ASan the
# variable is ignored.
wrapper=$1
shift
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0" exec "$wrapper" "$@"
