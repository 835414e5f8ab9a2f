#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz/ and runs each for SECONDS
# seconds, starting from a scratch copy of its seed corpus (the corpus in the
# repository is only read). Every reproducer under fuzz/regressions/TARGET/
# is run first. A target stops at its first finding, whose input is kept as
# build-fuzz/findings/TARGET-crash-* (or -timeout-, -oom-, -leak-); the
# script then fails once every target has run.
#
#   fuzz/run.sh SECONDS
#
# FUZZ_PARALLEL=1 runs the two targets at the same time, one per core.
# FUZZ_BUILD names another build folder; FUZZ_JOBS sets the build's -j.
set -euo pipefail

seconds=${1:?usage: fuzz/run.sh SECONDS}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD:-$root/build-fuzz}
jobs=${FUZZ_JOBS:-2}
targets=(fuzz_record fuzz_document)

cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTROVE_FUZZ=ON -DTROVE_TESTS=OFF >/dev/null
cmake --build "$build" --target "${targets[@]}" -j"$jobs"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
findings=$build/findings
mkdir -p "$findings"

# Prints the fuzzer's options for one target: the corpus folder's name and
# the longest input worth trying (a record is one line of at most 511 bytes).
corpus_of() { [ "$1" = fuzz_record ] && echo record || echo document; }
max_len_of() { [ "$1" = fuzz_record ] && echo 600 || echo 1024; }

run_target() {
  local target=$1 binary=$build/fuzz/$1 corpus
  corpus=$(corpus_of "$target")
  local regressions=$root/fuzz/regressions/$target
  if compgen -G "$regressions/*" >/dev/null; then
    "$binary" "$regressions"/* >"$scratch/$target-regressions.log" 2>&1 ||
      { cat "$scratch/$target-regressions.log"; echo "$target: a regression input fails"; return 1; }
  fi
  mkdir -p "$scratch/$target"
  cp "$root/fuzz/corpus/$corpus"/* "$scratch/$target/"
  "$binary" "$scratch/$target" -max_total_time="$seconds" -max_len="$(max_len_of "$target")" \
    -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$findings/$target-" \
    >"$scratch/$target.log" 2>&1 ||
    { tail -n 60 "$scratch/$target.log"; echo "$target: finding kept in $findings"; return 1; }
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' "$scratch/$target.log" |
    sed "s/^/$target: /"
}

status=0
if [ "${FUZZ_PARALLEL:-0}" = 1 ]; then
  pids=()
  for target in "${targets[@]}"; do
    run_target "$target" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid" || status=1; done
else
  for target in "${targets[@]}"; do run_target "$target" || status=1; done
fi
exit $status
