#!/usr/bin/env bash
# Checks that the programs built for another platform write byte for byte
# the documents that the reference build (the native GCC build) writes, on
# the benchmark's generated inputs at full size, in both layouts, and on
# inputs whose altitudes cover the whole 32-bit range (altitudes.py).
#
#   same_documents.sh REFERENCE PROGRAMS [RUNNER...]
#
# REFERENCE is the native build folder with the benchmark tools (they are
# turned on, and the folder is configured like bench/run.sh's when it is
# new); PROGRAMS the folder of the programs to check (pintrove,
# pintrove.exe or pintrove.wasm), started through the words RUNNER when
# given (an emulator, wine, Node's WASI). Windows programs write their
# documents through text streams, so each of their line feeds is expected as
# CR LF. Prints one line per input and exits with 1 when a document differs.
#
# Environment: SCRATCH, a folder for the inputs and documents (about 2 GB;
# default: a new folder under TMPDIR, removed at the end).
set -euo pipefail
export LC_ALL=C

if [ $# -lt 2 ]; then
  echo "usage: same_documents.sh REFERENCE PROGRAMS [RUNNER...]" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$(dirname "$here")")
reference=$1
programs=$(cd "$2" && pwd)
shift 2
runner=("$@")

suffix=""
[ -e "$programs/pintrove.exe" ] && suffix=.exe
[ -e "$programs/pintrove.wasm" ] && suffix=.wasm
if [ -e "$reference/CMakeCache.txt" ]; then
  cmake "$reference" -DTROVE_BENCH=ON >/dev/null
else
  cmake -S "$root" -B "$reference" -DCMAKE_BUILD_TYPE=Release -DTROVE_TESTS=OFF -DTROVE_BENCH=ON >/dev/null
fi
cmake --build "$reference" -j2 --target pintrove pathtrove bench_generate >/dev/null
reference=$(cd "$reference" && pwd)

if [ -n "${SCRATCH:-}" ]; then
  scratch=$SCRATCH
  mkdir -p "$scratch"
else
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
fi
cd "$scratch"  # inputs are named relative to it, as the documents show them

generate=$reference/bench/bench_generate
inputs=()
for kind in wpt wpt-other; do
  "$generate" "$kind" 1000000 >"bench-$kind.wpt"
  inputs+=("bench-$kind.wpt")
done
for kind in plt plt-other; do
  "$generate" "$kind" 2000000 >"bench-$kind.plt"
  inputs+=("bench-$kind.plt")
done
for kind in wpt plt; do
  python3 "$here/altitudes.py" "$kind" >"altitudes.$kind"
  inputs+=("altitudes.$kind")
done

failed=0
for input in "${inputs[@]}"; do
  program=pintrove
  [ "${input##*.}" = plt ] && program=pathtrove
  "$reference/$program" "$input" expected.kml
  if [ "$suffix" = .exe ]; then
    sed 's/$/\r/' expected.kml >expected.crlf && mv expected.crlf expected.kml
  fi
  status=0
  "${runner[@]}" "$programs/$program$suffix" "$input" written.kml || status=$?
  lines=$(($(wc -l <"$input")))
  if [ "$status" != 0 ]; then
    echo "DIFFERENT $program$suffix $input ($lines lines): exit status $status"
    failed=1
  elif ! difference=$(cmp expected.kml written.kml 2>&1); then
    echo "DIFFERENT $program$suffix $input ($lines lines): $difference"
    failed=1
  else
    echo "same      $program$suffix $input ($lines lines, $(($(wc -c <written.kml))) bytes)"
  fi
  rm -f expected.kml written.kml
done
exit $failed
