#!/usr/bin/env bash
# Builds everything, tests included, with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-sanitize/ and runs every test there.
# Any report of either sanitizer stops the program that made it, so the test
# running it fails. The debug checks stay on (no NDEBUG), such as what a
# record stores past its end.
#
#   fuzz/sanitize.sh
#
# SANITIZE_BUILD names another build folder; SANITIZE_JOBS sets the build's -j.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${SANITIZE_BUILD:-$root/build-sanitize}
jobs=${SANITIZE_JOBS:-2}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g" \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all"
cmake --build "$build" -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$build" --output-on-failure
